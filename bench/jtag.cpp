// Sample readout through the debug hub of the Verilated demo: the same
// burst reads (uart_la's whole sample memory) through OpenOCD's Tcl RPC
// server and through a raw remote_bitbang client, as TCK bits per second and
// their ratio, measured in one run; then the end-to-end time of a capture
// of each demo analyzer core through the engine's target over JTAG (the
// OpenOCD it starts), against the same capture on the simulated device.
//   bench_jtag [rounds]

#include "bitbangport.h"
#include "hubbus.h"
#include "onapackage.h"
#include "openocdport.h"
#include "simlaunch.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <tcl.h>

#include <cstdio>
#include <memory>

namespace {

constexpr int kWords = 2048; // uart_la's sample memory, one bus word a sample

// Bits per second of `rounds` reads of the sample memory (header, words,
// one more frame each).
double readout(JtagPort* port, int rounds, QString* error) {
    HubBus bus(port);
    if (!bus.open(error) || !bus.write(0, {{0x0016, 0}}, error))
        return -1;
    QVector<quint32> words;
    QElapsedTimer t;
    t.start();
    for (int r = 0; r < rounds; ++r)
        if (!bus.read(0, 0x8000, kWords, &words, error))
            return -1;
    return double(rounds) * 32 * (kWords + 2) / (t.nsecsElapsed() / 1e9);
}

// Milliseconds of `ona_run; ona_wait` on `core` alone after `cable`, or -1.
double captureMs(Tcl_Interp* ip, const QString& ona, const QString& core, const QString& cable, QString* error) {
    const auto eval = [&](const QString& script) {
        const QByteArray s = script.toUtf8();
        if (Tcl_EvalEx(ip, s.constData(), s.size(), TCL_EVAL_GLOBAL) == TCL_OK)
            return true;
        *error = QString::fromUtf8(Tcl_GetStringResult(ip));
        return false;
    };
    if (!eval(QStringLiteral("ona_open_project {%1}; %2").arg(ona, cable)))
        return -1;
    for (const QString& c : {QStringLiteral("uart_la"), QStringLiteral("bus_la")})
        if (!eval(QStringLiteral("ona_set_core -name %1 -run %2").arg(c, c == core ? "on" : "off")))
            return -1;
    QElapsedTimer t;
    t.start();
    if (!eval(QStringLiteral("ona_run; ona_wait -timeout 60000; set e [dict get [ona_get capture] error];"
                             "if {$e ne {}} {error $e}")))
        return -1;
    const double ms = t.nsecsElapsed() / 1e6;
    return eval(QStringLiteral("ona_close_project")) ? ms : -1;
}

int fail(const QString& why) {
    std::fprintf(stderr, "bench_jtag: %s\n", qPrintable(why));
    return 1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int rounds = argc > 1 ? qMax(1, atoi(argv[1])) : 20;
    QString error;

    QProcess rawSim;
    const int rawPort = SimLaunch::startSim(&rawSim, QStringLiteral(ONA_DEMO_SIM));
    BitbangPort raw;
    if (rawPort <= 0 || !raw.open(QStringLiteral("127.0.0.1"), rawPort, 20000, &error))
        return fail(QStringLiteral("the simulated demo: %1").arg(error));
    const double rawBits = readout(&raw, rounds, &error);
    // OpenOCD 0.12's remote_bitbang driver awaits its TDO answers every 255
    // bits; the same window here shows what that costs on its own.
    raw.setWindow(255);
    const double rawWindowBits = readout(&raw, rounds, &error);
    raw.close();
    rawSim.waitForFinished(10000);
    if (rawBits < 0 || rawWindowBits < 0)
        return fail(error);

    QProcess sim, ocd;
    const int simPort = SimLaunch::startSim(&sim, QStringLiteral(ONA_DEMO_SIM));
    const int tclPort = SimLaunch::freePort();
    QTemporaryDir logDir;
    ocd.setProcessChannelMode(QProcess::MergedChannels);
    ocd.setStandardOutputFile(logDir.filePath(QStringLiteral("openocd.log"))); // it logs every answer
    ocd.start(QStringLiteral(OPENOCD_BIN),
              SimLaunch::openocdArgs(simPort, {QStringLiteral("tcl_port %1").arg(tclPort)}));
    OpenocdPort viaOcd;
    QDeadlineTimer deadline(20000);
    bool open = false;
    while (!(open = viaOcd.open(QStringLiteral("127.0.0.1"), tclPort, QStringLiteral("demo.tap"), 20000, &error)) &&
           !deadline.hasExpired() && ocd.state() != QProcess::NotRunning)
        QThread::msleep(100);
    if (!open)
        return fail(QStringLiteral("OpenOCD: %1").arg(error));
    const double ocdBits = readout(&viaOcd, rounds, &error);
    if (ocdBits < 0)
        return fail(error);
    QString ignored;
    viaOcd.command(QStringLiteral("shutdown"), &ignored, &ignored);
    ocd.waitForFinished(10000);
    sim.waitForFinished(10000);

    std::printf("sample readout, %d rounds of %d words:\n", rounds, kWords);
    std::printf("  raw remote_bitbang client: %10.0f TCK bits/s\n", rawBits);
    std::printf("  through OpenOCD (Tcl RPC): %10.0f TCK bits/s\n", ocdBits);
    std::printf("  ratio OpenOCD / raw:       %10.2f (goal >= 0.5)\n", ocdBits / rawBits);
    std::printf("  raw, 255 reads in flight:  %10.0f TCK bits/s (OpenOCD's window), ratio OpenOCD / it %.2f\n",
                rawWindowBits, ocdBits / rawWindowBits);

    // End to end, through the engine: OpenOCD started, chain checked, the
    // core found and loaded, armed, triggered, read back and stored.
    QTemporaryDir demo;
    const QDir src(QStringLiteral(ONDREL_SOURCE_DIR "/examples/demo"));
    for (const QString& f : src.entryList(QDir::Files))
        QFile::copy(src.filePath(f), demo.filePath(f));
    const QString ona = demo.filePath(QStringLiteral("demo.ona"));
    Tcl_Interp* ip = Tcl_CreateInterp();
    Ona_Init(ip);
    std::printf("demo captures, end to end:\n");
    for (const QString& core : {QStringLiteral("uart_la"), QStringLiteral("bus_la")}) {
        const double model = captureMs(ip, ona, core, QString(), &error);
        QProcess capSim;
        const int port = SimLaunch::startSim(&capSim, QStringLiteral(ONA_DEMO_SIM));
        const double rtl =
            captureMs(ip, ona, core,
                      QStringLiteral("ona_set_project -target jtag -cabletype REMOTE -cableport %1").arg(port), &error);
        capSim.kill();
        capSim.waitForFinished(5000);
        if (model < 0 || rtl < 0)
            return fail(QStringLiteral("%1: %2").arg(core, error));
        std::printf("  %-8s over JTAG %8.0f ms, simulated device %6.0f ms, ratio %6.1f\n", qPrintable(core), rtl, model,
                    rtl / model);
    }
    Tcl_DeleteInterp(ip);
    return 0;
}
