// Sample readout through the debug hub of the Verilated demo: the same
// burst reads (uart_la's whole sample memory) through OpenOCD's Tcl RPC
// server and through a raw remote_bitbang client, as TCK bits per second and
// their ratio, measured in one run.
//   bench_jtag [rounds]

#include "bitbangport.h"
#include "hubbus.h"
#include "openocdport.h"
#include "simlaunch.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

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
    raw.close();
    rawSim.waitForFinished(10000);
    if (rawBits < 0)
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
    return 0;
}
