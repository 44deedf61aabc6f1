// Capture, store and export benchmarks on the simulated device. Every
// figure is a ratio measured in this one run:
//  - storage bits per signal-sample (goal <= 1.1)
//  - capture time of 256 x 1M samples over 256 x 256K (goal <= 4.4: linear)
//  - VCD export time of the same two captures (linear)
//  - VCD export bytes/s over a plain fwrite of a same-sized buffer
//  - nextChange over a quiet 1M-sample signal against a busy one
#include "onadata.h"
#include "onapackage.h"
#include "tracedata.h"
#include "waveexport.h"
#include "waveformmodel.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <cstdio>
#include <tcl.h>

namespace {

// 256 one-bit signals: clocks, counters' bits, LFSRs and random values.
QByteArray design(int depth)
{
    QJsonArray signalList;
    QJsonObject sim;
    for (int i = 0; i < 256; ++i) {
        const QString n = QStringLiteral("s%1").arg(i);
        signalList.append(QJsonObject{{"name", n}});
        switch (i % 4) {
        case 0: sim.insert(n, QJsonObject{{"kind", "clock"}, {"period", 2 + 2 * (i % 16)}}); break;
        case 1: sim.insert(n, QJsonObject{{"kind", "lfsr"}, {"seed", i + 1}}); break;
        case 2: sim.insert(n, QJsonObject{{"kind", "random"}, {"seed", i}}); break;
        default: sim.insert(n, QJsonObject{{"kind", "pattern"}, {"values", QJsonArray{"b'0", "b'1", "b'1"}}, {"hold", 1 + i}}); break;
        }
    }
    const QJsonObject core{{"name", "big"}, {"kind", 1}, {"signals", signalList},
                           {"trigger_units", QJsonArray{QJsonObject{{"name", "TU_a"}, {"signals", QJsonArray{"s0"}},
                                                                    {"operator", "rising edge"}, {"value", "1"}}}},
                           {"trigger_expressions", QJsonArray{QJsonObject{{"name", "TE"}, {"expression", "TU_a"}}}},
                           {"sample_depth", QJsonObject{{"min", depth}, {"max", depth}}},
                           {"simulation", sim}};
    return QJsonDocument(QJsonObject{{"format", "ondrel-onl"}, {"version", 1}, {"device", "SIM"},
                                     {"cores", QJsonArray{core}}}).toJson();
}

struct Result {
    double captureMs = 0, vcdMs = 0;
    qint64 vcdBytes = 0, storeBytes = 0, signalSamples = 0;
};

Result run(Tcl_Interp* ip, const QTemporaryDir& dir, int depth)
{
    const QString onl = dir.filePath(QStringLiteral("big%1.onl").arg(depth));
    QFile f(onl);
    f.open(QIODevice::WriteOnly);
    f.write(design(depth));
    f.close();
    auto eval = [&](const QString& s) {
        if (Tcl_Eval(ip, s.toUtf8().constData()) != TCL_OK) {
            std::fprintf(stderr, "%s: %s\n", qPrintable(s), Tcl_GetStringResult(ip));
            std::exit(1);
        }
    };
    eval(QStringLiteral("ona_open_project {%1}").arg(onl));
    Result r;
    QElapsedTimer t;
    t.start();
    eval(QStringLiteral("ona_run; ona_wait"));
    r.captureMs = t.nsecsElapsed() / 1e6;
    const auto trace = OnaData::inst()->getWDModel()->traceData();
    r.storeBytes = trace->storageBytes();
    r.signalSamples = qint64(trace->numChannels()) * trace->numSamples();
    const QString vcd = dir.filePath(QStringLiteral("big%1.vcd").arg(depth));
    t.restart();
    eval(QStringLiteral("ona_export_project -vcd {%1} -module big").arg(vcd));
    r.vcdMs = t.nsecsElapsed() / 1e6;
    r.vcdBytes = QFileInfo(vcd).size();
    QFile::remove(vcd);
    eval(QStringLiteral("ona_close_project"));
    return r;
}

double fwriteMs(const QString& path, qint64 bytes)
{
    QByteArray buf(1 << 20, 'x');
    QElapsedTimer t;
    t.start();
    FILE* f = std::fopen(path.toLocal8Bit().constData(), "wb");
    for (qint64 left = bytes; left > 0; left -= buf.size())
        std::fwrite(buf.constData(), 1, size_t(qMin<qint64>(left, buf.size())), f);
    std::fclose(f);
    const double ms = t.nsecsElapsed() / 1e6;
    QFile::remove(path);
    return ms;
}

double nextChangeNs(const TraceData& t, int ch)
{
    QElapsedTimer e;
    e.start();
    qint64 found = 0;
    for (int rep = 0; rep < 20; ++rep)
        for (qint64 s = t.nextChange(ch, -1); s >= 0; s = t.nextChange(ch, s))
            ++found;
    return double(e.nsecsElapsed()) / qMax<qint64>(1, found);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    Tcl_Interp* ip = Tcl_CreateInterp();
    Ona_Init(ip);
    const Result small = run(ip, dir, 1 << 18);
    const Result big = run(ip, dir, 1 << 20);
    const double bits = double(big.storeBytes) * 8 / double(big.signalSamples);
    std::printf("storage: %.4f bits per signal-sample (goal <= 1.1)\n", bits);
    std::printf("capture: 256 x 1M took %.2f times 256 x 256K (%.0f ms / %.0f ms; goal <= 4.4)\n",
                big.captureMs / small.captureMs, big.captureMs, small.captureMs);
    std::printf("VCD export: 256 x 1M took %.2f times 256 x 256K (%.0f ms / %.0f ms; goal <= 4.4)\n",
                big.vcdMs / small.vcdMs, big.vcdMs, small.vcdMs);
    const double plain = fwriteMs(dir.filePath(QStringLiteral("plain.bin")), big.vcdBytes);
    std::printf("VCD export: %.2f times the bytes/s of a plain fwrite (%lld bytes; %.0f ms against %.0f ms; goal >= 1)\n",
                plain / big.vcdMs, big.vcdBytes, big.vcdMs, plain);
    // nextChange: a quiet signal (three changes in 1M) against a busy one (every sample).
    const qint64 n = 1 << 20;
    TraceData t({QStringLiteral("quiet"), QStringLiteral("busy")}, n);
    t.channelWords(0)[1000] = 1;
    t.channelWords(0)[15000] = 0xF0;
    for (qint64 w = 0; w < t.wordsPerChannel(); ++w)
        t.channelWords(1)[w] = 0xAAAAAAAAAAAAAAAAull;
    t.finish();
    const double quiet = nextChangeNs(t, 0), busy = nextChangeNs(t, 1);
    std::printf("nextChange: %.2f times the cost per change found on a quiet 1M-sample signal as on a busy one "
                "(%.0f ns against %.1f ns; grows with changes found, not samples skipped)\n",
                quiet / busy, quiet, busy);
    Tcl_DeleteInterp(ip);
    return 0;
}
