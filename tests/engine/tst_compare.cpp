// A simulator's waveform against the demo capture: a dump the test writes
// from the capture itself, shifted and with known values changed, shows
// exactly those differences, on a clock and on a period; pairing by name,
// by last component and bit by bit; and every refusal.

#include "enginetest.h"

#include "openwaveform.h"
#include "simcompare.h"
#include "tcltext.h"
#include "vcdreader.h"
#include "waveformmodel.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// The demo core's signals as the dump declares them: bit_cnt one bit wider
// than captured, so it pairs bit by bit.
struct DumpVar {
    const char* name;
    int width, captured;
    char id;
};
const DumpVar kVars[] = {{"rx", 1, 1, 'a'},      {"tx", 1, 1, 'b'},      {"state", 3, 3, 'c'},
                         {"bit_cnt", 4, 3, 'd'}, {"rx_data", 8, 8, 'e'}, {"rx_valid", 1, 1, 'f'}};

QString captured(const TraceData& t, const DumpVar& v, qint64 i) {
    QVector<int> ch;
    if (v.width == 1)
        ch << t.channelOf(QLatin1String(v.name));
    for (int b = v.captured - 1; v.width > 1 && b >= 0; --b)
        ch << t.channelOf(u"%1[%2]"_s.arg(QLatin1String(v.name)).arg(b));
    const QString bits = t.bits(ch, i);
    return QString(v.width - bits.size(), u'0') + bits;
}

// The capture as a simulation would dump it: `lead` samples of x first;
// the clock rises at 10 j + 5 and, as a flip-flop's output does, sample
// j + 1 is dumped at that same tick, so the edge takes sample j and so does
// tick 10 j. `edit(sample, var, value)` may change what is dumped.
QByteArray dumpOf(const TraceData& t, int lead, const std::function<void(qint64, int, QString*)>& edit) {
    QByteArray v = "$timescale 1ns $end\n$scope module tb $end\n$var wire 1 ! clk $end\n"
                   "$scope module dut $end\n";
    for (const DumpVar& d : kVars)
        v += "$var wire " + QByteArray::number(d.width) + ' ' + d.id + ' ' + d.name +
             (d.width > 1 ? " [" + QByteArray::number(d.width - 1) + ":0]" : QByteArray()) + " $end\n";
    v += "$upscope $end\n$upscope $end\n$enddefinitions $end\n";
    QStringList last(std::size(kVars));
    for (qint64 j = 0; j < lead + t.numSamples(); ++j) {
        // The rise that takes sample j - 1, and sample j after it.
        v += j == 0 ? QByteArray("#0\n0!\n") : '#' + QByteArray::number(10 * j - 5) + "\n1!\n";
        for (int k = 0; k < int(std::size(kVars)); ++k) {
            QString value = j < lead ? QString(kVars[k].width, u'x') : captured(t, kVars[k], j - lead);
            edit(j - lead, k, &value);
            if (value == last[k])
                continue;
            last[k] = value;
            v += (kVars[k].width == 1 ? value.toLatin1() : "b" + value.toLatin1() + ' ') + kVars[k].id + '\n';
        }
        if (j > 0)
            v += '#' + QByteArray::number(10 * j) + "\n0!\n";
    }
    return v + '#' + QByteArray::number(10 * (lead + t.numSamples()) - 5) + "\n1!\n";
}

} // namespace

class TestCompare : public DemoSession {
    Q_OBJECT

    QTemporaryDir m_dir;

    bool capture() {
        return openDemo() && m_tcl.capture();
    }
    bool open(const QByteArray& vcd) {
        const QString file = m_dir.filePath(u"sim.vcd"_s);
        return writeAll(file, vcd) && m_tcl.call({"ona_open_waveform", file});
    }
    // The spans of one capture signal in the result $r, as "count: start end cap sim; ...".
    QString spansOf(const QString& capName) {
        m_tcl.eval(u"proc _spans {r name} {foreach s [dict get $r signals] {if {[lindex $s 0] eq $name} {"
                   "set o \"[lindex $s 2]:\"; foreach d [lindex $s 3] {append o \" $d;\"}; return $o}}; return none}\n"
                   "_spans $r {%1}"_s.arg(capName));
        return m_tcl.result();
    }

private slots:
    void cleanup() { OpenWaveform::set(nullptr); }

    void demoCaptureAndASparseDump() {
        QVERIFY2(capture(), qPrintable(m_tcl.result()));
        const auto t = OnaData::inst()->getWDModel()->traceData();
        const qint64 n = t->numSamples(), trig = t->triggerPositions.value(0, -1);
        QVERIFY(n > 100 && trig >= 0);
        // The first sample reading what the trigger sample reads, by a plain scan.
        qint64 first = 0;
        while ([&] {
            for (int c = 0; c < t->numChannels(); ++c)
                if (t->bit(c, first) != t->bit(c, trig))
                    return true;
            return false;
        }())
            ++first;
        const int lead = 7;
        const qint64 changed = qMin(trig + 20, n - 1), unknown = qMin(trig + 30, n - 1);
        QVERIFY(open(dumpOf(*t, lead, [&](qint64 i, int var, QString* v) {
            if (i == changed && var == 4)
                (*v)[7] = v->at(7) == u'0' ? u'1' : u'0';
            if (i == unknown && var == 1)
                *v = u"x"_s;
        })));
        const QString data = captured(*t, kVars[4], changed);
        QString flipped = data;
        flipped[7] = data.at(7) == u'0' ? u'1' : u'0';
        const QString oneDiff = u"1: %1 %1 %2 %3;"_s.arg(changed).arg(data, flipped);
        const QString txDiff = u"1: %1 %1 %2 x;"_s.arg(unknown).arg(captured(*t, kVars[1], unknown));

        QVERIFY2(m_tcl.eval("set r [ona_compare -clock tb.clk]"), qPrintable(m_tcl.result()));
        QCOMPARE(m_tcl.dictGet("set r", "aligned"), u"trigger"_s);
        QCOMPARE(m_tcl.dictGet("set r", "offset"), QString::number(first + lead - trig));
        QCOMPARE(m_tcl.dictGet("set r", "trigger"),
                 u"%1 %2 %3"_s.arg(trig).arg(first + lead).arg(10 * (first + lead) + 5));
        QCOMPARE(m_tcl.dictGet("set r", "unpaired"), QString());
        // Whole buses where the widths agree, bit by bit where they do not.
        QVERIFY(m_tcl.eval("join [lmap s [dict get $r signals] {join [lrange $s 0 1] =}]"));
        QCOMPARE(m_tcl.result(), u"state=tb.dut.state rx_data=tb.dut.rx_data rx=tb.dut.rx tx=tb.dut.tx "
                                 "bit_cnt[2]=tb.dut.bit_cnt[2] bit_cnt[1]=tb.dut.bit_cnt[1] "
                                 "bit_cnt[0]=tb.dut.bit_cnt[0] rx_valid=tb.dut.rx_valid"_s);

        // With the offset the trigger gave, the shifted dump differs exactly
        // where it was changed; on the period of its ticks the same.
        const qint64 offset = lead;
        for (const QString& how : {u"-clock clk -offset %1"_s.arg(offset), u"-period 10 -offset %1"_s.arg(offset)}) {
            QVERIFY2(m_tcl.eval(u"set r [ona_compare %1 -limit 5]"_s.arg(how)), qPrintable(m_tcl.result()));
            QCOMPARE(m_tcl.dictGet("set r", "aligned"), u"given"_s);
            QCOMPARE(m_tcl.dictGet("set r", "samples"), u"0 %1"_s.arg(t->frameStarts.value(1, n) - 1));
            QCOMPARE(spansOf(u"rx_data"_s), oneDiff);
            QCOMPARE(spansOf(u"tx"_s), txDiff);
            for (const char* same : {"state", "rx", "bit_cnt[0]", "rx_valid"})
                QCOMPARE(spansOf(QLatin1String(same)), u"0:"_s);
        }
        // One sample late, every change of a signal is a span; the limit
        // lists the first of them and counts all.
        QVERIFY(m_tcl.eval("set r [ona_compare -clock clk -offset 8 -limit 2 -map {tb.dut.rx_data rx_data "
                           "bit_cnt\\[0\\] bit_cnt\\[0\\]}]"));
        QVERIFY(m_tcl.eval("llength [lindex [dict get $r signals] 0 3]"));
        QCOMPARE(m_tcl.result(), u"2"_s);
        QVERIFY(m_tcl.eval("lindex [dict get $r signals] 0 2"));
        QVERIFY2(m_tcl.result().toInt() > 2, qPrintable(m_tcl.result()));
        QVERIFY(m_tcl.eval("join [lmap s [dict get $r signals] {lindex $s 1}]"));
        QCOMPARE(m_tcl.result(), u"tb.dut.rx_data tb.dut.bit_cnt[0]"_s);

        // One signal, the capture's rx, reaching the trigger sample's value
        // only at tick 10^12 on a 1 ps scale: the search jumps from change
        // to change, never tick by tick.
        const int at = t->bit(t->channelOf(u"rx"_s), trig);
        const QByteArray vcd = "$timescale 1ps $end\n$var wire 1 a rx $end\n$enddefinitions $end\n#0\n" +
                               QByteArray::number(1 - at) + "a\n#1000000000000\n" + QByteArray::number(at) +
                               "a\n#2000000000000\n";
        QVERIFY(open(vcd));
        QVERIFY2(m_tcl.eval("set r [ona_compare -period 1 -map {rx rx}]"), qPrintable(m_tcl.result()));
        QCOMPARE(m_tcl.dictGet("set r", "trigger"), u"%1 1000000000000 1000000000000"_s.arg(trig));
    }

    void rangesBitSelectsAndSpans() {
        // The capture lists b's bits least significant first; its bus reads
        // them most significant first. a = 00110011, b = the sample's two
        // low bits, c a bus of one bit.
        TraceData t({u"a"_s, u"b[0]"_s, u"b[1]"_s, u"c[0]"_s}, 8);
        for (int i = 0; i < 8; ++i) {
            t.channelWords(0)[0] |= quint64((i >> 1) & 1) << i;
            t.channelWords(1)[0] |= quint64(i & 1) << i;
            t.channelWords(2)[0] |= quint64((i >> 1) & 1) << i;
        }
        t.finish();
        const auto caps = SimCompare::captureSignals(t);
        QCOMPARE(caps.size(), 6);
        QCOMPARE(caps[0].name, u"b"_s);
        QCOMPARE(caps[0].channels, (QVector<int>{2, 1}));
        // rev [0:3]: bit 0 is the most significant. rev[0] reads a but 1 at
        // samples 4 and 5, where rev's other bits change too (one span, not
        // two); w [1:0] reads b but 00 at samples 2 and 3 (two spans: the
        // capture reads 10, then 11).
        const QByteArray vcd = "$timescale 1ns $end\n$var wire 4 ! rev [0:3] $end\n$var wire 2 \" w [1:0] $end\n"
                               "$enddefinitions $end\n#0\nb0000 !\nb00 \"\n#1\nb01 \"\n#2\nb1000 !\nb00 \"\n"
                               "#4\nb1000 !\nb00 \"\n#5\nb1111 !\nb01 \"\n#6\nb1000 !\nb10 \"\n#7\nb11 \"\n";
        QString error;
        const auto sim = VcdReader::readBytes(vcd, u"rev.vcd"_s, {}, &error);
        QVERIFY2(sim, qPrintable(error));
        SimCompare::Options o;
        o.period = 1;
        o.haveOffset = true;
        o.map = {{u"rev[0]"_s, u"a"_s}, {u"w"_s, u"b"_s}, {u"w[0]"_s, u"b[0]"_s}};
        SimCompare::Result r;
        QVERIFY2(SimCompare::compare(*sim, t, o, &r, &error), qPrintable(error));
        auto spans = [&](int pair) {
            QStringList out{r.pairs[pair].simName, QString::number(r.pairs[pair].count)};
            for (const auto& s : r.pairs[pair].spans)
                out << u"%1-%2 %3/%4"_s.arg(s.start).arg(s.end).arg(s.capValue, s.simValue);
            return out.join(u' ');
        };
        QCOMPARE(spans(0), u"rev[0] 1 4-5 0/1"_s);
        QCOMPARE(spans(1), u"w 2 2-2 10/00 3-3 11/00"_s);
        QCOMPARE(spans(2), u"w[0] 1 3-3 1/0"_s);
        // A limit of one lists the first span and counts both.
        o.limit = 1;
        QVERIFY(SimCompare::compare(*sim, t, o, &r, &error));
        QCOMPARE(spans(1), u"w 2 2-2 10/00"_s);
        // Out of the declared range, or mapped to a bus of another width.
        o.map = {{u"rev[4]"_s, u"a"_s}};
        QVERIFY(!SimCompare::compare(*sim, t, o, &r, &error));
        QCOMPARE(error, u"\"rev\" has no bit 4 (it is rev[0:3])"_s);
        o.map = {{u"rev"_s, u"b"_s}};
        QVERIFY(!SimCompare::compare(*sim, t, o, &r, &error));
        QCOMPARE(error, u"\"rev\" is 4 bits wide, the capture's \"b\" 2"_s);
        // By name, a bus without a variable (one bit wide too) is named once as unpaired.
        const auto onlyA = VcdReader::readBytes("$var wire 1 ! a $end\n$enddefinitions $end\n#0\n0!\n", u"a.vcd"_s, {},
                                                &error);
        QVERIFY2(onlyA, qPrintable(error));
        QVector<SimCompare::Mapping> paired;
        QStringList unpaired;
        QVERIFY(SimCompare::pairs(*onlyA, t, {}, &paired, &unpaired, &error));
        QCOMPARE(paired.size(), 1);
        QCOMPARE(unpaired, (QStringList{u"b"_s, u"c"_s}));
    }

    void refusals() {
        QVERIFY2(openDemo(), qPrintable(m_tcl.result()));
        QVERIFY(open("$timescale 1ns $end\n$scope module a $end\n$var wire 1 ! rx $end\n$var wire 2 \" tx $end\n"
                     "$var real 64 # r $end\n$upscope $end\n$scope module b $end\n$var wire 1 $ rx $end\n"
                     "$upscope $end\n$var wire 1 % flat $end\n$var wire 1 & never $end\n$enddefinitions $end\n#0\n0!\n0$\nb00 \"\n0%\n#10\n"));
        const QString none = m_tcl.steps({
            {"ona_compare -period 1", "error: the current core has no capture"},
        });
        QVERIFY2(none.isEmpty(), qPrintable(none));
        QVERIFY2(m_tcl.capture(), qPrintable(m_tcl.result()));
        // A name with a NUL and an emoji comes back in the refusal as given.
        const QString odd = u"a"_s + QChar(0) + u"b\U0001F600"_s;
        QVector<Tcl_Obj*> words;
        for (const QString& w : {u"ona_compare"_s, u"-period"_s, u"1"_s, u"-map"_s, u"{%1} rx"_s.arg(odd)}) {
            words << TclText::newObj(w);
            Tcl_IncrRefCount(words.last());
        }
        QCOMPARE(Tcl_EvalObjv(m_tcl.interp(), int(words.size()), words.data(), TCL_EVAL_GLOBAL), TCL_ERROR);
        for (Tcl_Obj* w : words)
            Tcl_DecrRefCount(w);
        QCOMPARE(TclText::fromObj(Tcl_GetObjResult(m_tcl.interp())),
                 u"ona_compare: the simulation has no variable \"%1\""_s.arg(odd));
        const QString failed = m_tcl.steps({
            {"ona_compare -bogus 1", "error: unknown option \"-bogus\""},
            {"ona_compare -period", "error: ona_compare ?-map"},
            {"ona_compare", "error: give -clock or -period"},
            {"ona_compare -clock flat -period 3", "error: give one of -clock or -period"},
            {"ona_compare -period 0", "error: -period takes ticks"},
            {"ona_compare -period 1e3", "error: -period takes ticks"},
            {"ona_compare -period 1 -limit 0 -map {flat rx}", "error: -limit takes 1 to 100000"},
            {"ona_compare -period 1 -limit 99999999999 -map {flat rx}", "error: -limit takes"},
            {"ona_compare -period 1 -offset 1.5", "error: -offset takes a whole number"},
            {"ona_compare -period 1 -offset 99999999999999 -map {flat rx}", "error: -offset 99999999999999 is beyond"},
            {"ona_compare -period 1 -offset 100 -map {flat rx}", "error: with offset 100 no capture sample meets"},
            {"ona_compare -period 1 -map {flat}", "error: -map takes a list of simulation and capture names in pairs"},
            {"ona_compare -period 1 -map {\"a b}", "error: -map takes a list"},
            {"ona_compare -period 1 -map {nosuch rx}", "error: the simulation has no variable \"nosuch\""},
            {"ona_compare -period 1 -map {flat nosuch}", "error: the capture has no signal \"nosuch\""},
            {"ona_compare -period 1 -map {flat rx flat rx}", "error: the capture's \"rx\" is mapped twice"},
            {"ona_compare -period 1 -map {rx rx}", "error: \"rx\" names several variables (a.rx, b.rx)"},
            {"ona_compare -period 1 -map {a.tx state}", "error: \"a.tx\" is 2 bits wide, the capture's \"state\" 3"},
            {"ona_compare -period 1 -map {a.tx\\[5\\] rx}", "error: \"a.tx\" has no bit 5 (it is 2 bits wide)"},
            {"ona_compare -period 1 -map {r rx}", "error: \"a.r\" is a real variable"},
            {"ona_compare -clock nosuch -map {flat rx}", "error: the simulation has no variable \"nosuch\""},
            {"ona_compare -clock a.tx -map {flat rx}", "error: the clock \"a.tx\" is 2 bits wide"},
            {"ona_compare -clock flat -map {flat rx}", "error: the clock \"flat\" never rises"},
            {"ona_compare -period 1", "error: no capture signal has a variable of its name and width"},
            // Nothing reads what the capture's trigger sample does.
            {"ona_compare -period 1 -map {flat rx never tx}", "error: give -offset"},
            {"ona_close_waveform", "*"},
            {"ona_compare -period 1", "error: no waveform is open"},
        });
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
    }
};

QTEST_GUILESS_MAIN(TestCompare)
#include "tst_compare.moc"
