// One read interface over a capture and a simulator's dump: the same random
// waveform as a capture and as its VCD export read back answers every query
// alike at every sample; a dump's x, z, ranges, repeats and same-time
// glitches; and a sparse 1 ps dump answers in the steps its changes take.

#include "changesource.h"
#include "tracedata.h"
#include "vcdreader.h"
#include "vcdwriter.h"
#include "waveexport.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QTest>

#include <cmath>

using namespace Qt::StringLiterals;

namespace {

std::shared_ptr<ChangeSource> dumpOf(const QByteArray& vcd) {
    VcdReader::Options o;
    o.blockBytes = 4096; // parts appended apart leave short blocks
    QString error;
    std::shared_ptr<const ChangeStore> s = VcdReader::readBytes(vcd, u"t.vcd"_s, o, &error);
    return s ? std::make_shared<ChangeSource>(s) : nullptr;
}

} // namespace

class TestWaveSource : public QObject {
    Q_OBJECT

private slots:
    void captureAndDumpAgree();
    void fourStateDump();
    void sparseDumpCost();
    void realVariables();
};

// Channels: a clock (every sample a change, so every block of 64 changes
// ends on a one-sample pulse), random runs with glitches, pulses on both
// sides of word edges, a quiet one, and an 8-bit bus whose top bit hardly
// moves while the bus changes often.
void TestWaveSource::captureAndDumpAgree() {
    const qint64 n = 64 * 20 + 17;
    QStringList names{"clk", "a", "w", "q"};
    for (int b = 7; b >= 0; --b)
        names << u"bus[%1]"_s.arg(b);
    TraceData t(names, n);
    QRandomGenerator rng(3);
    int a = 0;
    for (qint64 s = 0; s < n; ++s) {
        auto set = [&](int ch, bool v) { t.channelWords(ch)[s >> 6] |= quint64(v) << (s & 63); };
        a = rng.bounded(4) ? a : 1 - a;
        set(0, s & 1);
        set(1, a);
        set(2, (s % 64 == 63 || s % 64 == 0) && (s / 64) % 3);
        set(3, s > 500 && s < 1200);
        const int v = int(rng.bounded(128)) | (s > 900 && s < 1000 ? 128 : 0);
        for (int b = 0; b < 8; ++b)
            set(4 + b, (v >> (7 - b)) & 1);
    }
    t.finish();
    QVector<WaveExport::Var> vars(5);
    for (int v = 0; v < 4; ++v)
        vars[v] = {names[v], {v}, 2, {}};
    vars[4] = {"bus", {4, 5, 6, 7, 8, 9, 10, 11}, 16, {}};
    QBuffer buf;
    buf.open(QIODevice::WriteOnly);
    QString error;
    QVERIFY(WaveExport::writeVcd(&buf, t, vars, "top", 10, "ns", "today", &error));
    const auto d = dumpOf(buf.data());
    QVERIFY(d);
    QCOMPARE(d->channelCount(), t.channelCount());
    for (int ch = 0; ch < t.channelCount(); ++ch)
        QCOMPARE(d->channelName(ch), "top." + t.channelName(ch));
    QCOMPARE(t.lastPosition(), n - 1);
    QCOMPARE(d->lastPosition(), n); // the export's closing time

    const WaveSource* both[] = {&t, d.get()};
    const QVector<QVector<int>> sets{{0}, {1}, {2}, {3}, {4}, {1, 2}, {4, 5, 6, 7, 8, 9, 10, 11}, {0, 4}, {11, 3}};
    auto answers = [&](const WaveSource* w, const QVector<int>& set, qint64 p, int len) {
        return QStringList{w->bitsAt(set, p), QString::number(w->changeAfter(set, p)),
                           QString::number(w->changeAtOrBefore(set, p)),
                           QString::number(w->changeWithin(set, p, p + len)),
                           QString::number(set.size() == 1 ? w->codeAt(set[0], p) : -1),
                           QString::number(set.size() == 1 ? w->changeAfter(set[0], p) : -1),
                           QString::number(set.size() == 1 ? w->changeAtOrBefore(set[0], p) : -1),
                           QString::number(set.size() == 1 ? w->changeWithin(set[0], p, p + len) : -1)};
    };
    for (const QVector<int>& set : sets)
        for (qint64 p = -1; p < n; ++p) {
            const int len = QVector<int>{0, 1, 63, 64, 200}[int(p % 5 + 5) % 5];
            QCOMPARE(answers(both[1], set, p, len), answers(both[0], set, p, len));
        }
    // Patterns as read somewhere (some bits left to '?'), from anywhere.
    for (int k = 0; k < 400; ++k) {
        const QVector<int>& set = sets[int(rng.bounded(sets.size()))];
        QByteArray pat = t.bitsAt(set, rng.bounded(n)).toLatin1();
        for (char& c : pat)
            c = rng.bounded(4) ? c : "?x"[k % 2];
        const qint64 from = qint64(rng.bounded(n + 10)) - 10;
        for (bool back : {false, true})
            QCOMPARE(d->find(set, pat, from, back), t.find(set, pat, from, back));
    }
}

// x and z are codes 2 and 3 and match in a search; a repeated value and
// changes that end where they began within one time are no change; a
// declared range names the bits; reals are left out.
void TestWaveSource::fourStateDump() {
    const auto d = dumpOf("$timescale 1 ns $end\n$scope module t $end\n$var wire 1 ! en $end\n"
                          "$var reg 4 \" d [0:3] $end\n$var real 64 # v $end\n$var wire 2 $ n [9:0] $end\n"
                          "$upscope $end\n$enddefinitions $end\n#0\nx!\nbxz01 \"\nr1.5 #\nb0 $\n"
                          "#5\n1!\n1!\nb1010 \"\n#7\n0!\n1!\n#9\nz!\nb10z1 \"\n#12\n");
    QVERIFY(d);
    QCOMPARE(d->channelCount(), 7);
    QCOMPARE(d->channelName(1), u"t.d[0]"_s);
    QCOMPARE(d->channelName(4), u"t.d[3]"_s);
    QCOMPARE(d->channelName(5), u"t.n[1]"_s); // a range of another width: [1:0]
    QCOMPARE(d->realVars(), QVector<int>{2});
    QCOMPARE(d->bitsAt({1, 2, 3, 4, 0}, 0), u"xz01x"_s);
    QCOMPARE(d->bitsAt({1, 2, 3, 4, 0}, 11), u"10z1z"_s);
    QCOMPARE(d->codeAt(0, 4), int(WaveSource::Unknown));
    QCOMPARE(d->codeAt(0, 12), int(WaveSource::HighZ));
    QCOMPARE(d->changeAfter(0, 0), qint64(5));
    QCOMPARE(d->changeAfter(0, 5), qint64(9));
    QCOMPARE(d->changeAtOrBefore(0, 8), qint64(5));
    QVERIFY(!d->changeWithin(0, 6, 8));
    QCOMPARE(d->changeAfter(1, 5), qint64(-1));
    QCOMPARE(d->changeAfter({1, 2}, 5), qint64(-1));
    QCOMPARE(d->changeAfter({1, 3}, 5), qint64(9));
    QCOMPARE(d->find({0}, "z", 0, false), qint64(9));
    QCOMPARE(d->find({0}, "x", 12, true), qint64(4));
    QCOMPARE(d->find({2, 0}, "z?", 12, true), qint64(4));
    QCOMPARE(d->find({3, 0}, "zz", 0, false), qint64(9));
    QCOMPARE(d->find({3, 0}, "zq", 0, false), qint64(-1));
    // More declared bits than channels a source holds: the last variable
    // is listed apart, not a channel.
    QByteArray wide;
    for (int k = 0; k <= ChangeSource::kMaxChannels / ChangeStore::kMaxWidth; ++k)
        wide += "$var reg 65536 " + VcdWriter::identifier(k) + " r" + QByteArray::number(k) + " $end\n";
    const auto w = dumpOf(wide + "$enddefinitions $end\n");
    QVERIFY(w && w->channelCount() == ChangeSource::kMaxChannels);
    QCOMPARE(w->omittedVars(), QVector<int>{int(ChangeSource::kMaxChannels / ChangeStore::kMaxWidth)});
    // A capture never reads x or z.
    TraceData t({"a"}, 10);
    t.finish();
    QCOMPARE(t.find({0}, "x", 0, false), qint64(-1));
    QCOMPARE(t.find({0}, "?", 3, false), qint64(3));
}

// Changes a million million ticks apart cost the same steps as changes one
// tick apart; a bit of a busy vector costs the vector's changes it passes.
void TestWaveSource::sparseDumpCost() {
    const qint64 T = 1000000000000;
    QByteArray vcd = "$timescale 1 ps $end\n$var wire 1 ! s $end\n$var wire 32 \" v $end\n$enddefinitions $end\n"
                     "#0\n0!\nb0 \"\n";
    for (int k = 1; k <= 1000; ++k)
        vcd += "#" + QByteArray::number(k) + "\nb" + QByteArray::number(k, 2) + " \"\n";
    for (qint64 at : {T, T + 1, 2 * T})
        vcd += "#" + QByteArray::number(at) + "\n" + (at == T + 1 ? "0!\n" : "1!\nb1" + QByteArray(31, '0') + " \"\n");
    vcd += "#" + QByteArray::number(3 * T) + "\n";
    const auto d = dumpOf(vcd);
    QVERIFY(d);
    const int s = 0, v31 = 1;
    auto costs = [&](qint64 answer, qint64 want, qint64 most, qint64 before) {
        return answer == want && d->steps() - before <= most;
    };
    qint64 b = d->steps();
    QVERIFY(costs(d->changeAfter(s, 0), T, 3, b));
    b = d->steps();
    QVERIFY(costs(d->changeAfter(s, T), T + 1, 3, b));
    b = d->steps();
    QVERIFY(costs(d->changeAtOrBefore(s, 2 * T - 1), T + 1, 3, b));
    b = d->steps();
    QVERIFY(costs(d->changeWithin(s, 1, T - 1), false, 3, b));
    b = d->steps();
    QVERIFY(costs(d->find({s}, "1", T + 1, false), 2 * T, 6, b));
    b = d->steps();
    QVERIFY(costs(d->find({s, v31}, "00", 3 * T, true), T - 1, 24, b));
    b = d->steps();
    QVERIFY(costs(d->changeAfter(v31, 0), T, 1000 / ChangeStore::kBlock + 4, b));
    // Zoomed out, a column a question: the summary answers, right at every
    // column, and walks only where a change lies in a column's end stretch.
    const QList<qint64> sAt{T, T + 1, 2 * T}, v31At{T};
    b = d->steps();
    for (int col = 0; col < 1600; ++col) {
        const qint64 first = 3 * T * col / 1600, last = 3 * T * (col + 1) / 1600 - 1;
        const auto in = [&](const QList<qint64>& at) {
            return std::any_of(at.begin(), at.end(), [&](qint64 t) { return t >= first && t <= last; });
        };
        QCOMPARE(d->changeWithin(s, first, last), in(sAt));
        QCOMPARE(d->changeWithin(v31, first, last), in(v31At));
        QCOMPARE(d->changeWithin({s, v31}, first, last), in(sAt));
    }
    QVERIFY2(d->steps() - b <= 60, qPrintable(QString::number(d->steps() - b)));
}

QTEST_GUILESS_MAIN(TestWaveSource)
#include "tst_wavesource.moc"

// A real's value and text as written, its range over the dump and over a
// span with NaN and infinities left out, and a span of more changes than
// it reads.
void TestWaveSource::realVariables() {
    QByteArray vcd = "$timescale 1ns $end\n$scope module top $end\n$var real 64 ! r $end\n$var wire 1 \" b $end\n"
                     "$upscope $end\n$enddefinitions $end\n"
                     "#0\nr0 !\n0\"\n#10\nr3.3 !\n#20\nrnan !\n#30\nr-1.5e-06 !\n#40\nrinf !\n#50\nr-inf !\n";
    for (int t = 0; t < 1000; ++t)
        vcd += QByteArray("#") + QByteArray::number(100 + t) + "\nr" + QByteArray::number(t % 2 ? 2.0 : 1.0) + " !\n";
    const auto d = dumpOf(vcd);
    QVERIFY(d);
    QCOMPARE(d->realVars(), QVector<int>{0});
    QCOMPARE(d->realAt(0, 15), 3.3);
    QCOMPARE(d->realText(0, 15), u"3.3"_s);
    QCOMPARE(d->realText(0, 35), u"-1.5e-06"_s);
    QVERIFY(std::isnan(d->realAt(0, 25)));
    // Not a real variable: nothing, never a bit's value read as a double.
    QCOMPARE(d->realText(1, 15), QString());
    QCOMPARE(d->realAt(7, 15), 0.0);
    double lo = 0, hi = 0;
    QVERIFY(!d->realRange(1, &lo, &hi));
    QVERIFY(d->realRange(0, &lo, &hi));
    QCOMPARE(lo, -1.5e-06);
    QCOMPARE(hi, 3.3);
    QVERIFY(!d->realSpan(0, 20, 29, &lo, &hi)); // NaN alone
    QVERIFY(!d->realSpan(0, 40, 55, &lo, &hi)); // infinities alone
    QVERIFY(d->realSpan(0, 15, 35, &lo, &hi));
    QCOMPARE(lo, -1.5e-06);
    QCOMPARE(hi, 3.3);
    // A thousand changes: read up to the cap, the end's value too.
    const qint64 before = d->steps();
    QVERIFY(d->realSpan(0, 100, 1099, &lo, &hi));
    QCOMPARE(lo, 1.0);
    QCOMPARE(hi, 2.0);
    QVERIFY(d->steps() - before <= 3);
}
