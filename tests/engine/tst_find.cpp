// Finding things in a capture: next and previous changes, value search with
// don't-care bits and the ona_find verb, each checked against a plain scan
// of the samples on random stores (quiet and busy, word-aligned or not).

#include "enginetest.h"

#include "waveformmodel.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// A store of `channels` channels where each channel flips with probability
// `flip` per sample (0 gives constant channels).
TraceData randomStore(QRandomGenerator& rng, int channels, qint64 samples, double flip) {
    QStringList names;
    for (int c = 0; c < channels; ++c)
        names << u"c%1"_s.arg(c);
    TraceData t(names, samples);
    for (int c = 0; c < channels; ++c) {
        int level = rng.bounded(2);
        quint64* w = t.channelWords(c);
        for (qint64 s = 0; s < samples; ++s) {
            if (rng.generateDouble() < flip)
                level ^= 1;
            if (level)
                w[s >> 6] |= quint64(1) << (s & 63);
        }
    }
    t.finish();
    return t;
}

bool matchesAt(const TraceData& t, const QVector<int>& ch, const QString& pattern, qint64 s) {
    for (int i = 0; i < ch.size(); ++i)
        if (pattern.at(i) != QLatin1Char('x') && t.bit(ch.at(i), s) != (pattern.at(i) == QLatin1Char('1')))
            return false;
    return true;
}

qint64 scanFind(const TraceData& t, const QVector<int>& ch, const QString& pattern, qint64 from, bool backward) {
    if (backward) {
        for (qint64 s = qMin(from, t.numSamples() - 1); s >= 0; --s)
            if (matchesAt(t, ch, pattern, s))
                return s;
    } else {
        for (qint64 s = qMax<qint64>(from, 0); s < t.numSamples(); ++s)
            if (matchesAt(t, ch, pattern, s))
                return s;
    }
    return -1;
}

qint64 scanNextChange(const TraceData& t, const QVector<int>& ch, qint64 after) {
    for (qint64 s = qMax<qint64>(after + 1, 1); s < t.numSamples(); ++s)
        for (int c : ch)
            if (t.bit(c, s) != t.bit(c, s - 1))
                return s;
    return -1;
}

qint64 scanPrevChange(const TraceData& t, const QVector<int>& ch, qint64 at) {
    for (qint64 s = qMin(at, t.numSamples() - 1); s >= 1; --s)
        for (int c : ch)
            if (t.bit(c, s) != t.bit(c, s - 1))
                return s;
    return -1;
}

} // namespace

class TestFind : public DemoSession {
    Q_OBJECT
private slots:
    void findAndPreviousChangeMatchAPlainScan() {
        QRandomGenerator rng(20261207);
        struct Case {
            qint64 samples;
            double flip;
        };
        // Quiet stores span several summary words between changes; busy ones
        // change in every word; sizes end inside a word and on its boundary.
        const Case cases[] = {{1, 0.5},        {63, 0.3},         {64, 0.5},     {1000, 0.002}, {4097, 0.3},
                              {70000, 0.0002}, {300000, 0.00002}, {262144, 0.0}, {5000, 1.0}};
        for (const Case& c : cases) {
            const TraceData t = randomStore(rng, 5, c.samples, c.flip);
            const qint64 n = t.numSamples();
            for (int q = 0; q < 300; ++q) {
                QVector<int> ch;
                const int width = 1 + rng.bounded(5);
                for (int i = 0; i < width; ++i)
                    ch << rng.bounded(5);
                // From anywhere, including both ends, word edges and beyond.
                const qint64 picks[] = {0,
                                        n - 1,
                                        n,
                                        -1,
                                        qint64(rng.bounded(n)),
                                        (qint64(rng.bounded(n)) | 63),
                                        (qint64(rng.bounded(n)) & ~qint64(63))};
                const qint64 from = picks[rng.bounded(7)];
                // Mostly the value of a sample near `from` (a stretch that the
                // search must reach across quiet words), sometimes any value.
                const qint64 near = qBound<qint64>(0, from + rng.bounded(4001) - 2000, n - 1);
                const qint64 at = rng.bounded(2) ? near : qint64(rng.bounded(n));
                QString pattern;
                for (int i = 0; i < width; ++i) {
                    const int r = rng.bounded(6);
                    pattern += r == 0  ? QLatin1Char('x')
                               : r < 4 ? QLatin1Char(t.bit(ch.at(i), at) ? '1' : '0')
                                       : QLatin1Char(rng.bounded(2) ? '1' : '0');
                }
                for (bool backward : {false, true})
                    QCOMPARE(t.findValue(ch, pattern, from, backward), scanFind(t, ch, pattern, from, backward));
                QCOMPARE(t.prevChange(ch, from), scanPrevChange(t, ch, from));
                QCOMPARE(t.nextChange(ch, from), scanNextChange(t, ch, from));
            }
        }
        // A pattern that does not fit the channels, or a channel that does not
        // exist, finds nothing.
        const TraceData t = randomStore(rng, 2, 100, 0.5);
        QCOMPARE(t.findValue({0, 1}, u"1"_s, 0, false), -1);
        QCOMPARE(t.findValue({0, 9}, u"xx"_s, 0, false), -1);
        QCOMPARE(t.findValue({0}, u"x"_s, 99, false), 99);
        QCOMPARE(t.findValue({0}, u"x"_s, 100, false), -1);
        QCOMPARE(t.findValue({0}, u"x"_s, -1, true), -1);
    }
    void findVerbOnTheDemoCapture() {
        QVERIFY2(openDemo(), qPrintable(m_tcl.result()));
        TclSession& tcl = m_tcl;
        QVERIFY(!tcl.eval("ona_find -signal rx_data -value 55 -radix Hex"));
        QVERIFY2(tcl.result().contains(QLatin1String("no capture")), qPrintable(tcl.result()));
        QVERIFY2(tcl.capture(), qPrintable(tcl.result()));
        WaveformModel* m = OnaData::inst()->getWDModel();
        QVERIFY(m && m->hasData());
        const auto t = m->traceData();
        const qint64 n = t->numSamples();

        QVector<int> data;
        for (int b = 7; b >= 0; --b)
            data << t->channelOf(u"rx_data[%1]"_s.arg(b));
        QVERIFY(!data.contains(-1));
        // Don't-care digits, a bus bit, a one-bit signal and an ENUM token.
        // Past the ends: nothing after the last sample, nothing before 0.
        const QVector<int> tx{t->channelOf(u"tx"_s)};
        const QVector<int> state{t->channelOf(u"state[2]"_s), t->channelOf(u"state[1]"_s), t->channelOf(u"state[0]"_s)};
        const QList<std::tuple<QString, QVector<int>, const char*, qint64>> cases = {
            {"ona_find -signal rx_data -value 5x -radix Hex", data, "0101xxxx", 0},
            {"ona_find -signal tx -value 0", tx, "0", 0},
            {"ona_find -signal {rx_data[0]} -value 1 -from 3", {data.last()}, "1", 3},
            {"ona_find -signal state -value STOP -radix ONL_uart_state", state, "100", 0},
            {u"ona_find -signal tx -value x -from %1"_s.arg(n), tx, "x", n},
            {"ona_find -signal tx -value x -from -5 -backward", {}, "", -1},
            {"ona_find -signal tx -value x -backward", {}, "", n - 1}};
        for (const auto& [cmd, ch, pattern, from] : cases) {
            QVERIFY2(tcl.eval(cmd), qPrintable(tcl.result()));
            QCOMPARE(tcl.result().toLongLong(),
                     ch.isEmpty() ? from : scanFind(*t, ch, QLatin1String(pattern), from, false));
        }

        // Errors say what was wrong.
        const QList<QPair<QString, QString>> refused{
            {"ona_find -signal nosuch -value 1", "no signal or bus named \"nosuch\""},
            {"ona_find -signal rx_data -value 1FF -radix Hex", "ona_find:"},
            {"ona_find -signal rx_data -value 12 -radix Base3", "not \"Base3\""},
            {"ona_find -signal state -value NOPE -radix ONL_uart_state", "no token \"NOPE\""},
            {"ona_find -signal rx_data -value STOP -radix ONL_uart_state", "3 bits wide"},
            {"ona_find -signal tx -value 1 -from later", "sample number"},
            {"ona_find -signal tx -value 1 -colour red", "unknown option"},
            {"ona_find -signal tx", "ona_find -signal name -value value"},
            {"ona_find -signal tx -value 1 -from", "ona_find -signal name -value value"},
            {"ona_find -colour red -signal tx -value", "unknown option \"-colour\""},
        };
        for (const auto& r : refused) {
            QVERIFY2(!tcl.eval(r.first), qPrintable(r.first));
            QVERIFY2(tcl.result().contains(r.second), qPrintable(r.first + QLatin1String(": ") + tcl.result()));
        }
        QVERIFY(tcl.eval("ona_close_project"));
    }
};

QTEST_GUILESS_MAIN(TestFind)
#include "tst_find.moc"
