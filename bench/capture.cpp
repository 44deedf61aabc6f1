// Capture, store and export benchmarks on the simulated device. Every
// figure is a ratio measured in this one run:
//  - storage bits per signal-sample (goal <= 1.1)
//  - capture time of 256 x 1M samples over 256 x 256K (goal <= 4.4: linear)
//  - VCD export time of the same two captures (linear)
//  - VCD export bytes/s over a plain C writer of the same file (goal >= 1),
//    whose output must be byte-identical, and, for information, over a raw
//    fwrite of a same-sized buffer (no formatting at all)
//  - nextChange over quiet 1M- and 256M-sample signals against a busy one
#include "onadata.h"
#include "onapackage.h"
#include "tracedata.h"
#include "vcd_c_writer.h"
#include "waveexport.h"
#include "waveformmodel.h"

#include <tcl.h>
#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <cstdio>

namespace {

// 256 one-bit signals: clocks, counters' bits, LFSRs and random values.
QByteArray design(int depth) {
    QJsonArray signalList;
    QJsonObject sim;
    for (int i = 0; i < 256; ++i) {
        const QString n = QStringLiteral("s%1").arg(i);
        signalList.append(QJsonObject{{"name", n}});
        switch (i % 4) {
            case 0:
                sim.insert(n, QJsonObject{{"kind", "clock"}, {"period", 2 + 2 * (i % 16)}});
                break;
            case 1:
                sim.insert(n, QJsonObject{{"kind", "lfsr"}, {"seed", i + 1}});
                break;
            case 2:
                sim.insert(n, QJsonObject{{"kind", "random"}, {"seed", i}});
                break;
            default:
                sim.insert(
                    n, QJsonObject{{"kind", "pattern"}, {"values", QJsonArray{"b'0", "b'1", "b'1"}}, {"hold", 1 + i}});
                break;
        }
    }
    const QJsonObject core{
        {"name", "big"},
        {"kind", 1},
        {"signals", signalList},
        {"trigger_units",
         QJsonArray{QJsonObject{
             {"name", "TU_a"}, {"signals", QJsonArray{"s0"}}, {"operator", "rising edge"}, {"value", "1"}}}},
        {"trigger_expressions", QJsonArray{QJsonObject{{"name", "TE"}, {"expression", "TU_a"}}}},
        {"sample_depth", QJsonObject{{"min", depth}, {"max", depth}}},
        {"simulation", sim}};
    return QJsonDocument(
               QJsonObject{{"format", "ondrel-onl"}, {"version", 1}, {"device", "SIM"}, {"cores", QJsonArray{core}}})
        .toJson();
}

struct Result {
    double captureMs = 0, vcdMs = 0;
    qint64 vcdBytes = 0, storeBytes = 0, signalSamples = 0;
    // Writer against writer, both to a plain file (the command also saves
    // atomically and syncs the file to disk).
    double oursMs = 0, cMs = 0;
    bool identical = false;
};

bool sameFiles(const QString& a, const QString& b) {
    QFile fa(a), fb(b);
    if (!fa.open(QIODevice::ReadOnly) || !fb.open(QIODevice::ReadOnly) || fa.size() != fb.size())
        return false;
    while (!fa.atEnd())
        if (fa.read(1 << 20) != fb.read(1 << 20))
            return false;
    return true;
}

// Our exporter and the C writer on the same store, alternately; the best of
// three of each, so that a busy moment of the shared machine does not decide.
void compareWriters(const QTemporaryDir& dir, Result* r) {
    const WaveformModel* model = OnaData::inst()->getWDModel();
    const auto trace = model->traceData();
    const auto vars = WaveExport::topLevelVars(*model);
    const QString date = QStringLiteral("2026-01-01 00:00:00");
    const int period = OnaData::inst()->getPeriod();
    const QString unit = OnaData::inst()->getClockUnit();

    std::vector<QByteArray> names;
    std::vector<std::vector<const uint64_t*>> bits;
    for (const auto& v : vars) {
        names.push_back(v.name.toUtf8());
        bits.emplace_back();
        for (int ch : v.channels)
            bits.back().push_back(reinterpret_cast<const uint64_t*>(trace->channelWords(ch)));
    }
    std::vector<cvcd_var> cvars;
    for (size_t i = 0; i < names.size(); ++i)
        cvars.push_back({names[i].constData(), int(bits[i].size()), bits[i].data()});
    std::vector<long long> starts(trace->frameStarts.begin(), trace->frameStarts.end());
    std::vector<long long> trigs(trace->triggerPositions.begin(), trace->triggerPositions.end());
    const QByteArray cdate = date.toUtf8(), cunit = unit.toUtf8();
    const cvcd_info info{cdate.constData(),   "big",         cunit.constData(),  period,
                         trace->numSamples(), starts.data(), int(starts.size()), trigs.data(),
                         int(trigs.size())};

    const QString oursPath = dir.filePath(QStringLiteral("ours.vcd")), cPath = dir.filePath(QStringLiteral("c.vcd"));
    r->oursMs = r->cMs = 1e300;
    for (int rep = 0; rep < 3; ++rep) {
        QElapsedTimer t;
        t.start();
        QFile f(oursPath);
        QString why;
        if (!f.open(QIODevice::WriteOnly) ||
            !WaveExport::writeVcd(&f, *trace, vars, QStringLiteral("big"), period, unit, date, &why)) {
            std::fprintf(stderr, "export: %s\n", qPrintable(why));
            std::exit(1);
        }
        f.close();
        r->oursMs = qMin(r->oursMs, t.nsecsElapsed() / 1e6);

        t.restart();
        FILE* c = std::fopen(cPath.toLocal8Bit().constData(), "wb");
        if (!c || cvcd_write(c, &info, cvars.data(), int(cvars.size())) != 0 || std::fclose(c) != 0) {
            std::fprintf(stderr, "C writer: cannot write %s\n", qPrintable(cPath));
            std::exit(1);
        }
        r->cMs = qMin(r->cMs, t.nsecsElapsed() / 1e6);
    }
    r->identical = sameFiles(oursPath, cPath);
    QFile::remove(oursPath);
    QFile::remove(cPath);
}

Result run(Tcl_Interp* ip, const QTemporaryDir& dir, int depth, bool compare) {
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
    if (compare)
        compareWriters(dir, &r);
    eval(QStringLiteral("ona_close_project"));
    return r;
}

double fwriteMs(const QString& path, qint64 bytes) {
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

// Walks every change of a channel `reps` times, after one untimed walk (the
// first call of a library function and cold caches would otherwise weigh on
// a signal with few changes); the time per change found.
double nextChangeNs(const TraceData& t, int ch, int reps) {
    for (qint64 s = t.nextChange(ch, -1); s >= 0; s = t.nextChange(ch, s))
        ;
    QElapsedTimer e;
    e.start();
    qint64 found = 0;
    for (int rep = 0; rep < reps; ++rep)
        for (qint64 s = t.nextChange(ch, -1); s >= 0; s = t.nextChange(ch, s))
            ++found;
    return double(e.nsecsElapsed()) / qMax<qint64>(1, found);
}

// A signal with four changes, two near its start and two near its end.
TraceData quietSignal(qint64 samples) {
    TraceData t({QStringLiteral("quiet")}, samples);
    t.channelWords(0)[1000] = 1;
    t.channelWords(0)[t.wordsPerChannel() - 384] = 0xF0;
    t.finish();
    return t;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    Tcl_Interp* ip = Tcl_CreateInterp();
    Ona_Init(ip);
    const Result small = run(ip, dir, 1 << 18, false);
    const Result big = run(ip, dir, 1 << 20, true);
    const double bits = double(big.storeBytes) * 8 / double(big.signalSamples);
    std::printf("storage: %.4f bits per signal-sample (goal <= 1.1)\n", bits);
    std::printf("capture: 256 x 1M took %.2f times 256 x 256K (%.0f ms / %.0f ms; goal <= 4.4)\n",
                big.captureMs / small.captureMs, big.captureMs, small.captureMs);
    std::printf("VCD export: 256 x 1M took %.2f times 256 x 256K (%.0f ms / %.0f ms; goal <= 4.4)\n",
                big.vcdMs / small.vcdMs, big.vcdMs, small.vcdMs);
    std::printf(
        "VCD export: %.2f times the bytes/s of a plain C writer of the same file (%s output; %.0f ms against %.0f ms "
        "for %lld bytes; goal >= 1)\n",
        big.cMs / big.oursMs, big.identical ? "byte-identical" : "DIFFERENT", big.oursMs, big.cMs, big.vcdBytes);
    double plain = 1e300;
    for (int rep = 0; rep < 3; ++rep)
        plain = qMin(plain, fwriteMs(dir.filePath(QStringLiteral("plain.bin")), big.vcdBytes));
    std::printf(
        "VCD export: %.2f times the bytes/s of a raw fwrite of a same-sized buffer (%.0f ms against %.0f ms; "
        "for information: the raw write formats nothing)\n",
        plain / big.oursMs, big.oursMs, plain);
    // nextChange: quiet signals of 1M and 256M samples (four changes each)
    // against a busy one (a change at every sample).
    const qint64 n = 1 << 20;
    TraceData busy({QStringLiteral("busy")}, n);
    for (qint64 w = 0; w < busy.wordsPerChannel(); ++w)
        busy.channelWords(0)[w] = 0xAAAAAAAAAAAAAAAAull;
    busy.finish();
    const double busyNs = nextChangeNs(busy, 0, 5);
    const double quietNs = nextChangeNs(quietSignal(n), 0, 100000);
    const double longNs = nextChangeNs(quietSignal(qint64(1) << 28), 0, 100000);
    std::printf(
        "nextChange: %.2f times the cost per change found on a quiet 1M-sample signal as on a busy one, "
        "%.2f times on a quiet 256M-sample one (%.1f ns, %.1f ns against %.1f ns; grows with changes found, "
        "not samples skipped)\n",
        quietNs / busyNs, longNs / busyNs, quietNs, longNs, busyNs);
    Tcl_DeleteInterp(ip);
    return big.identical ? 0 : 1;
}
