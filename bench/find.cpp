// Value search on a 32-bit bus over 16M samples, as ona_find runs it
// (TraceData::findValue), against a plain scan of the samples that reads
// the bus at every sample. Two stores: a bus that changes every 64K
// samples, and a counter that changes at every sample. The value searched
// is absent (the whole store is searched) and, for the counter, one near
// the end. Every figure is a ratio measured in this one run.
#include "tracedata.h"

#include <QElapsedTimer>
#include <QString>
#include <QVector>
#include <cstdio>

namespace {

constexpr qint64 kSamples = qint64(1) << 24;
constexpr int kWidth = 32;

// Channel 0 is the most significant bit; value(s) gives the bus at s.
template <typename F>
TraceData store(F value) {
    QStringList names;
    for (int b = kWidth - 1; b >= 0; --b)
        names << QStringLiteral("bus[%1]").arg(b);
    TraceData t(names, kSamples);
    for (qint64 s = 0; s < kSamples; ++s) {
        const quint32 v = value(s);
        for (int c = 0; c < kWidth; ++c)
            if ((v >> (kWidth - 1 - c)) & 1u)
                t.channelWords(c)[s >> 6] |= quint64(1) << (s & 63);
    }
    t.finish();
    return t;
}

QString pattern(quint32 v) {
    QString p;
    for (int c = 0; c < kWidth; ++c)
        p += QLatin1Char(((v >> (kWidth - 1 - c)) & 1u) ? '1' : '0');
    return p;
}

// The plain way: read the bus at every sample until it matches.
qint64 scan(const TraceData& t, const QVector<int>& ch, quint32 want) {
    for (qint64 s = 0; s < t.numSamples(); ++s) {
        quint32 v = 0;
        for (int c : ch)
            v = (v << 1) | quint32(t.bit(c, s));
        if (v == want)
            return s;
    }
    return -1;
}

template <typename F>
double bestMs(int runs, F f) {
    double best = 1e300;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        f();
        best = qMin(best, timer.nsecsElapsed() / 1e6);
    }
    return best;
}

void run(const char* what, const TraceData& t, quint32 want) {
    QVector<int> ch;
    for (int c = 0; c < kWidth; ++c)
        ch << c;
    const QString p = pattern(want);
    qint64 a = 0, b = 0;
    const double findMs = bestMs(5, [&] { a = t.findValue(ch, p, 0, false); });
    const double scanMs = bestMs(1, [&] { b = scan(t, ch, want); });
    if (a != b) {
        std::printf("MISMATCH %s: find %lld, scan %lld\n", what, qint64(a), qint64(b));
        return;
    }
    std::printf("%-44s found at %9lld  find %9.3f ms  scan %9.1f ms  scan/find %10.0f\n", what, qint64(a), findMs,
                scanMs, scanMs / qMax(findMs, 1e-6));
}

} // namespace

int main() {
    std::printf("32-bit bus, %lld samples\n", qint64(kSamples));
    {
        // 256 values held 64K samples each.
        const TraceData quiet = store([](qint64 s) { return quint32((s >> 16) * 2654435761u); });
        run("few changes (every 64K), value absent", quiet, 0xDEADBEEFu);
        run("few changes (every 64K), last value", quiet, quint32(((kSamples - 1) >> 16) * 2654435761u));
    }
    {
        const TraceData busy = store([](qint64 s) { return quint32(s); });
        run("change every sample, value absent", busy, 0xDEADBEEFu);
        run("change every sample, value at 15M", busy, 15000000u);
    }
    return 0;
}
