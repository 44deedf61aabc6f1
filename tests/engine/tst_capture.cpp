// Captures on the simulated device, predicted from its deterministic
// drivers: every operator, don't-cares, edges, serial units, expressions,
// the final event counter, trigger position, several frames and power-on
// reset; the store, the model arithmetic at its edges, VCD against a
// reference writer and the capture sidecar. Several
// interpreters share the one engine. Stop and manual trigger are the run
// panel's test.

#include "enginetest.h"

#include "capturefile.h"
#include "simdriver.h"
#include "vcdwriter.h"
#include "waveexport.h"
#include "waveformmodel.h"

#include <QtTest>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// cnt counts 0,1,2,... (8 bits); pat is 0 for 10 samples, then 1 for 10;
// wide is a 100-bit counter starting at 2^64 - 2.
const char* kOnl = R"JSON({
  "format": "ondrel-onl", "version": 1, "device": "ONX-SIM-25",
  "cores": [ {
    "name": "t", "kind": 1,
    "signals": [ {"name": "cnt", "width": 8}, {"name": "pat"}, {"name": "wide", "width": 100},
                 {"name": "mix", "width": 6} ],
    "trigger_units": [
      {"name": "TU_a", "signals": ["cnt"]},
      {"name": "TU_b", "signals": ["pat"], "value": "1"},
      {"name": "TU_s", "signals": ["pat"], "serial": 4},
      {"name": "TU_w", "signals": ["wide"]} ],
    "trigger_expressions": [ {"name": "TE1", "expression": "TU_a"},
                             {"name": "TE2", "expression": "TU_b", "enable": false} ],
    "sample_depth": {"min": 16, "max": 256},
    "multi_trigger_capacity": 1024, "max_triggers": 8, "final_counter_max": 8, "por": true,
    "simulation": {
      "cnt": {"kind": "counter", "start": 0, "step": 1, "every": 1},
      "pat": {"kind": "pattern", "values": ["b'0", "b'1"], "hold": 10},
      "wide": {"kind": "counter", "start": "h'FFFFFFFFFFFFFFFE", "step": 1, "every": 4},
      "mix": {"kind": "bus", "parts": [ {"width": 2, "kind": "constant", "value": "b'10"},
                                         {"width": 4, "kind": "counter", "step": 3} ]}
    } } ] })JSON";

class Project {
public:
    Project() { writeAll(path(u"t.onl"_s), kOnl); }
    QString path(const QString& n) const { return m_dir.filePath(n); }
    QString onl() const { return path(u"t.onl"_s); }

private:
    QTemporaryDir m_dir;
};

std::shared_ptr<const TraceData> trace() {
    WaveformModel* m = OnaData::inst()->getWDModel();
    return m ? m->traceData() : nullptr;
}

// Two's complement of a bit string (at most 127 bits), in decimal, worked
// out in 128-bit arithmetic.
QString signedReference(const QString& bits) {
    unsigned __int128 u = 0;
    for (QChar c : bits)
        u = (u << 1) | (c == u'1');
    const bool negative = bits.startsWith(u'1');
    if (negative)
        u = (~u + 1) & ((static_cast<unsigned __int128>(1) << bits.size()) - 1);
    if (negative && u == 0) // -2^w wraps to itself
        u = static_cast<unsigned __int128>(1) << (bits.size() - 1);
    QString digits;
    do {
        digits.prepend(QChar(u'0' + int(u % 10)));
        u /= 10;
    } while (u);
    return negative ? u'-' + digits : digits;
}

} // namespace

class TestCapture : public QObject {
    Q_OBJECT
private slots:
    // Each test starts on a fresh copy of the project above.
    void init() {
        OnaData::inst()->resetData();
        m_p = std::make_unique<Project>();
        QVERIFY2(m_tcl.call({"ona_open_project", m_p->onl()}), qPrintable(m_tcl.result()));
    }
    void cleanup() { OnaData::inst()->resetData(); }
    void drivers() {
        QString why;
        // Maximal length: the LFSR returns to its seed after 2^w - 1 steps, not before.
        for (int w = 2; w <= 16; ++w) {
            auto d = SimDriver::create(QJsonObject{{"kind", "lfsr"}, {"seed", 5}}, w, &why);
            QVERIFY(d);
            const quint64 seed = d->value()[0];
            quint64 period = 0;
            do {
                d->step();
                ++period;
            } while (d->value()[0] != seed && period <= (1u << w));
            QCOMPARE(period, (quint64(1) << w) - 1);
        }
        // skip() lands where the same number of steps does, for every kind.
        const QList<QJsonObject> drivers{{{"kind", "clock"}, {"period", 6}},
                                         {{"kind", "counter"}, {"start", 5}, {"step", -3}, {"every", 7}},
                                         {{"kind", "random"}, {"seed", 9}},
                                         {{"kind", "fsm"},
                                          {"states", QJsonArray{QJsonObject{{"value", "h'3"}, {"hold", 3}},
                                                                QJsonObject{{"value", "h'1F"}, {"hold", 5}}}}},
                                         {{"kind", "pattern"}, {"values", QJsonArray{"b'1", "d'7"}}, {"hold", 4}},
                                         {{"kind", "uart"}, {"bytes", QJsonArray{"h'A7", "h'3C"}}, {"bit", 3}}};
        for (const QJsonObject& s : drivers)
            for (int w : {5, 70}) {
                if (s.value("kind") == "uart" && w != 1)
                    w = 1;
                auto a = SimDriver::create(s, w, &why);
                QVERIFY2(a, qPrintable(why));
                auto b = a->clone();
                for (int i = 0; i < 1234; ++i)
                    a->step();
                b->skip(1234);
                QCOMPARE(wordsToBits(a->value(), w), wordsToBits(b->value(), w));
                // Deterministic: a reset gives the same sequence again.
                b->reset();
                auto c = SimDriver::create(s, w, &why);
                QCOMPARE(wordsToBits(b->value(), w), wordsToBits(c->value(), w));
            }
        // A serial line: idle high, start bit, the byte least significant bit
        // first, stop bit, then the next byte; each bit `bit` samples long.
        {
            auto u = SimDriver::create(
                QJsonObject{{"kind", "uart"}, {"bytes", QJsonArray{"h'C5", "h'01"}}, {"bit", 2}, {"idle", 3}}, 1, &why);
            QVERIFY2(u, qPrintable(why));
            QString line;
            for (int i = 0; i < 2 * (3 + 20); ++i, u->step())
                line += QLatin1Char(u->value()[0] ? '1' : '0');
            // Idle, start, data, stop per byte; C5 = 1100 0101 is sent 1,0,1,0,0,0,1,1.
            QCOMPARE(line, u"111 00 1100110000001111 11 111 00 1100000000000000 11"_s.remove(u' '));
        }
        // Bad entries are refused with a reason.
        const QList<std::tuple<QJsonObject, int, const char*>> bad = {
            {{{"kind", "uart"}, {"bytes", QJsonArray{"h'55"}}}, 8, "1-bit"},
            {{{"kind", "uart"}, {"bytes", QJsonArray{"h'155"}}}, 1, "bytes[0]"},
            {{{"kind", "clock"}, {"period", 0}}, 1, "period"},
            {{{"kind", "constant"}, {"value", "h'1FF"}}, 4, ""},
            {{{"kind", "bus"}, {"parts", QJsonArray{QJsonObject{{"width", 3}, {"kind", "clock"}, {"period", 2}}}}},
             4,
             "3 bits"}};
        for (const auto& [desc, width, reason] : bad) {
            QVERIFY(!SimDriver::create(desc, width, &why));
            QVERIFY2(why.contains(reason), qPrintable(why));
        }
    }
    void storeNextChange() {
        // Busy and quiet random stores are compared with a plain scan in tst_find.
        QRandomGenerator rng(3);
        // A store deep enough for three summary levels, with changes in clusters
        // and long quiet stretches (some crossing a whole top-level bit).
        {
            const qint64 deep = (qint64(1) << 22) + 37;
            TraceData q({"x", "y"}, deep);
            std::vector<qint64> changes;
            int v = 0;
            for (qint64 s = 1; s < deep;) {
                const qint64 gap = rng.bounded(4) == 0 ? 1 + rng.bounded(600000) : 1 + rng.bounded(80);
                for (qint64 e = qMin(deep, s + gap); s < e; ++s)
                    if (v)
                        q.channelWords(1)[s >> 6] |= quint64(1) << (s & 63);
                if (s < deep) {
                    changes.push_back(s);
                    v ^= 1;
                }
            }
            q.finish();
            QCOMPARE(q.nextChange(0, -1), -1);
            qint64 walked = 0;
            for (qint64 s = q.nextChange(1, -1); s >= 0; s = q.nextChange(1, s))
                QCOMPARE(s, changes.at(size_t(walked++)));
            QCOMPARE(walked, qint64(changes.size()));
            for (int i = 0; i < 2000; ++i) {
                const qint64 from = qint64(rng.bounded(quint64(deep + 2))) - 1;
                const auto next = std::upper_bound(changes.begin(), changes.end(), from);
                QCOMPARE(q.nextChange(1, from), next == changes.end() ? -1 : *next);
            }
            // Whether a span holds a change, for spans from one sample to
            // beyond the store, starting on, before and after word and block
            // edges, or starting or ending beside a change.
            for (int i = 0; i < 4000; ++i) {
                const qint64 r = qint64(rng.bounded(quint64(deep)));
                const qint64 c = changes.at(rng.bounded(quint32(changes.size())));
                const qint64 starts[] = {r, r & ~qint64(63), r | 63, (r & ~qint64(4095)) - 1, r & ~qint64(262143), -5,
                                         c - 1, c, c + 1};
                const qint64 length = QList<qint64>{0, 1, 63, 64, 4096, rng.bounded(300000), deep}.at(rng.bounded(7));
                qint64 a = starts[rng.bounded(9)], b = a + length + rng.bounded(3) - 1;
                if (rng.bounded(3) == 0) {
                    b = c - 1 - rng.bounded(2);
                    a = b - length;
                }
                const auto next = std::lower_bound(changes.begin(), changes.end(), a);
                const bool expected = next != changes.end() && *next <= b;
                QVERIFY2(q.hasChange(1, a, b) == expected, qPrintable(u"%1..%2"_s.arg(a).arg(b)));
                QCOMPARE(q.hasChange(QVector<int>{0, 1}, a, b), expected);
                QVERIFY(!q.hasChange(0, a, b));
            }
            // The last change sits in the last, partial word; nothing comes after it.
            q.channelWords(0)[q.wordsPerChannel() - 1] |= quint64(1) << 36;
            q.finish();
            QCOMPARE(q.nextChange(0, 0), deep - 1);
            QCOMPARE(q.nextChange(0, deep - 1), -1);
            q.truncate(deep - 1);
            QCOMPARE(q.nextChange(0, 0), -1);
        }
        const qint64 n = 5000;
        TraceData t({"a", "b"}, n);
        t.channelWords(1)[10] = ~quint64(0); // high from 640 to 703
        t.finish();
        QCOMPARE(t.bit(1, 650), 1);
        QCOMPARE(t.bit(0, -1), 0);
        QCOMPARE(t.bit(0, n), 0);
        QCOMPARE(t.nextChange(7, 0), -1);
        // Wide values render in every radix.
        const QString bits = u"1"_s + QString(99, QLatin1Char('0')); // 2^99
        QCOMPARE(WaveformModel::radixText(bits, 10), u"633825300114114700748351602688"_s);
        QCOMPARE(WaveformModel::radixText(bits, 16), u"8"_s + QString(24, QLatin1Char('0')));
        QCOMPARE(WaveformModel::radixText(u"000"_s, 10), u"0"_s);
    }
    // Each step edits on top of the ones before it; the device time of the
    // trigger, where the counter's sample reads the same.
    void operatorsExpressionsCounterSerial() {
        QVERIFY(m_tcl.eval("ona_set_trigoptn -samples 64 -positionmode user -position 10"));
        const QList<QPair<const char*, qint64>> steps = {
            {"ona_set_tu -name TU_a -operator == -radix Hex -value 40", 64},
            {"ona_set_tu -name TU_a -operator != -radix Hex -value 00", 10},
            {"ona_set_tu -name TU_a -operator < -radix Dec -value 5", 256},
            {"ona_set_tu -name TU_a -operator <= -radix Dec -value 4", 256},
            {"ona_set_tu -name TU_a -operator > -radix Hex -value EF", 240},
            {"ona_set_tu -name TU_a -operator >= -radix Hex -value F0", 240},
            {"ona_set_tu -name TU_a -operator {in range} -radix Hex -value 20..22", 32},
            {"ona_set_tu -name TU_a -operator {not in range} -radix Dec -value 0..100", 101},
            {"ona_set_tu -name TU_a -operator == -radix Bin -value x1x1xxxx", 80},
            {"ona_set_tu -name TU_a -operator == -radix Hex -value 5x", 80},
            {"ona_set_tu -name TU_a -operator == -radix Oct -value 1x0", 64},
            {"ona_set_tu -name TU_a -operator {rising edge} -radix Bin -value 00010000", 16},
            {"ona_set_tu -name TU_a -operator {falling edge} -radix Bin -value 00010000", 32},
            {"ona_set_tu -name TU_a -operator {any edge} -radix Bin -value 10000000", 128},
            {"ona_set_tu -name TU_a -operator >= -radix Hex -value 30; ona_set_te -name TE1 -expression {TU_a & TU_b}",
             50}, // cnt >= 48 and pat high from 50
            {"ona_set_te -name TE1 -expression {TU_a & !TU_b}", 48},
            {"ona_set_te -name TE1 -expression {TU_a ^ TU_b}", 10}, // pat high at 10, cnt below 48
            // Sequence: cnt == 0x30, then pat high three times.
            {"ona_set_tu -name TU_a -operator == -value 30; ona_set_te -name TE1 -expression {TU_a THEN TU_b #3}", 52},
            // OR and AND of two expressions.
            {"ona_set_te -name TE1 -expression TU_a; ona_set_te -name TE2 -enable on", 10},
            {"ona_set_trigoptn -teall and", 816}, // cnt == 0x30 at 48 + 256k, pat high only at 816
            // Final event counter: the third sample with cnt >= 0x30.
            {"ona_set_trigoptn -teall or; ona_set_te -name TE2 -enable off; ona_set_tu -name TU_a -operator >=; "
             "ona_set_trigoptn -finalcounter on -finalcountervalue 3",
             50},
            // Serial unit: the last four bits of pat, newest last, are 0011 at 11.
            {"ona_set_trigoptn -finalcounter off; ona_set_tu -name TU_s -radix Bin -value 0011; "
             "ona_set_te -name TE1 -expression TU_s",
             11},
            // The wide unit compares beyond 64 bits: wide is 2^64 + 4 after six
            // steps of 4 samples.
            {"ona_set_te -name TE1 -expression TU_w; ona_set_tu -name TU_w -operator >= -radix Hex -value "
             "10000000000000004",
             24},
        };
        for (const auto& [script, trigger] : steps) {
            QVERIFY2(m_tcl.eval(script), qPrintable(m_tcl.result()));
            QVERIFY2(m_tcl.capture(), qPrintable(m_tcl.result()));
            QCOMPARE(m_tcl.result(), u"Completed"_s);
            const auto t = trace();
            QVERIFY(t);
            QCOMPARE(t->numSamples(), 64);
            QCOMPARE(t->triggerPositions, QVector<qint64>{10});
            QVERIFY2(t->frameTimes.value(0) + 10 == trigger, script);
            QVERIFY(m_tcl.eval("ona_get value cnt 10"));
            QCOMPARE(m_tcl.result(), u"%1"_s.arg(trigger % 256, 8, 2, QLatin1Char('0')));
        }
        QVERIFY(m_tcl.eval("ona_get value wide 10"));
        QCOMPARE(m_tcl.result(), QString(35, '0') + "1" + QString(61, '0') + "100");
    }
    void framesPositionAndPor() {
        const QString run = TclSession::runAndWait();
        QCOMPARE(
            m_tcl.steps({
                "ona_set_tu -name TU_a -operator == -radix Hex -value 40",
                {"ona_set_trigoptn -samples 64 -numtriggers 3 -positionmode user -position 10; " + run, "Completed"},
                {"_cap samples frames pnum", "192 3 3"},
                {"_cap framestarts", "0 64 128"},
                {"_cap triggers", "10 74 138"},
                {"_cap frametimes", "54 310 566"},
                {"list [ona_get value cnt 10] [ona_get value cnt 74] [ona_get value cnt 138]",
                 "01000000 01000000 01000000"},
                // Preset positions: a sixteenth of the window before the trigger, centre.
                {"ona_set_trigoptn -numtriggers 1 -positionmode preset -position center; " + run +
                     "; list [_cap triggers] [ona_get value cnt 32]",
                 "32 01000000"},
                // Power-on reset: the trigger may come before the pre-trigger window filled.
                {"ona_set_tu -name TU_a -value 05; ona_set_trigoptn -connectpor on -positionmode user -position 10; " +
                     run + "; _cap triggers frametimes",
                 "5 0"},
                // Without POR the first cnt == 5 after the fill is at 261.
                {"ona_set_trigoptn -connectpor off; " + run + "; _cap frametimes", "251"},
                // A bus made of parts: mix = 10 then a 4-bit counter stepping by 3.
                {"ona_get value mix 10", u"10"_s + u"%1"_s.arg((261 * 3) % 16, 4, 2, QLatin1Char('0'))},
            }),
            QString());
    }
    void refusals() {
        const QString wait = u"ona_wait -timeout %1"_s.arg(testMs(5000));
        QCOMPARE(
            m_tcl.steps({
                {"ona_close_project; ona_run", "error: no project"},
                {"ona_open_project {" + m_p->onl() +
                     "}; ona_set_te -name TE1 -expression {TU_a & !TU_a}; ona_run; ona_run",
                 "error: already running"},
                "ona_stop; ona_wait",
                {"ona_set_te -name TE1 -enable off; ona_run", "error: no enabled trigger expression"},
                {"ona_set_te -name TE1 -enable on; ona_set_tu -name TU_a -value zz; ona_run", "error: 1 error"},
                {"ona_set_core -name t -run off; ona_run", "error: no core is selected"},
                // Stop and manual trigger with nothing running do nothing.
                "ona_stop; ona_manualtrig",
                {"ona_wait -timeout -5", "error: "},
                {"ona_export_project -vcd x.vcd", "error: no captured data"},
                // A cable that is not connected: the run starts, then fails while
                // configuring with a text that says which cable, and keeps no data.
                "ona_set_core -name t -run on; ona_set_tu -name TU_a -value 0; ona_set_te -name TE1 -expression TU_a",
                {"ona_set_project -cabletype USB2 -cableport 3; ona_run; " + wait, "Error!"},
                {"string match {*FTUSB-3*} [_cap error]", "1"},
                {"ona_export_project -vcd x.vcd", "error: "},
            }),
            QString());
        QVERIFY(m_tcl.eval("ona_set_project -cabletype VORANTE -cableport 768; ona_run; " + wait));
        QVERIFY(OnaData::inst()->getRunErr().contains("address 0x300"));
        // The connected cable runs again.
        QCOMPARE(m_tcl.steps({{"ona_set_project -cabletype USB2 -cableport 0; ona_run; " + wait, "Completed"}}),
                 QString());
        QVERIFY(OnaData::inst()->getRunErr().isEmpty());
    }
    void modelEdges() {
        WaveformModel m;
        QSignalSpy changed(&m, &WaveformModel::viewChanged);
        // No data: every operation is a no-op.
        m.zoomIn(500);
        m.zoomOut(0);
        m.zoomFit(-3);
        m.zoomTrigger(500, 4);
        m.zoomPos(500, 99, true);
        m.zoomBox(500, 3, 0);
        m.moveLeft(500);
        m.moveRightEnd(500);
        QVERIFY(!m.addCurPos(0));
        m.setDataPos(7);
        QCOMPARE(m.getDataPos(), 0);
        QCOMPARE(changed.count(), 0);
        // One sample.
        auto one = std::make_shared<TraceData>(QStringList{"a"}, 1);
        one->finish();
        m.setTrace(one, {{"a", 1}});
        for (int w : {0, -5, 1, 1000}) {
            m.zoomIn(w);
            m.zoomOut(w);
            m.zoomBox(w, 10, 1);
            m.moveRight(w);
            QCOMPARE(m.getViewStart(), 0);
            QCOMPARE(m.getViewCount(), 1);
        }
        // A longer capture with two frames.
        auto t = std::make_shared<TraceData>(QStringList{"b[1]", "b[0]"}, 1000);
        t->frameStarts = {0, 500};
        t->frameTimes = {0, 9000};
        t->triggerPositions = {40, 540};
        t->finish();
        m.setTrace(t, {{"b", 2}});
        m.zoomPos(100, 5000, true); // past the end: clamped to the last sample
        QCOMPARE(m.getDataPos(), 999);
        QCOMPARE(m.getViewEnd(), 999);
        for (int i = 0; i < 20; ++i)
            m.zoomIn(320);
        QCOMPARE(m.getViewCount(), 10); // at most 32 pixels per sample
        m.zoomTrigger(320, 99);         // clamped to the last frame
        QCOMPARE(m.getViewStart(), 500);
        QCOMPARE(m.getDataPos(), 540);
        m.zoomBox(320, 999, 4);
        QCOMPARE(m.getTimestamp(600), 9100);
        // A measuring drag may start at sample 0.
        m.setRulerPos(0);
        QVERIFY(m.hasRuler());
        // Cursors: inside the capture, once each; removed nearest the data position.
        QVERIFY(!m.addCurPos(1000) && !m.addCurPos(-1) && m.addCurPos(999) && m.addCurPos(3) && !m.addCurPos(3));
        m.setDataPos(900);
        QVERIFY(m.removeCurPos(-1));
        QCOMPARE(m.getCurPos(), QList<qint64>{3});
        // Nothing is dropped into a signal.
        QVERIFY(m.dropItem(m.index(0, 0, m.index(0, 0)), QModelIndex(), -1));
        QVERIFY(!m.dropItem(m.index(0, 0), m.index(1, 0), 0));
    }
    // Signed decimal at widths 1, 8 and 65 and ASCII (leading partial byte,
    // bytes that do not print) against references worked out apart, the
    // typed values read back, and the ranges refused.
    void signedAndAsciiRadixes() {
        QRandomGenerator rng(7);
        for (int width : {1, 8, 65}) {
            QStringList cases{QString(width, u'0'), QString(width, u'1'), u'1' + QString(width - 1, u'0'),
                              u'0' + QString(width - 1, u'1')};
            for (int i = 0; i < 50; ++i) {
                QString b;
                for (int k = 0; k < width; ++k)
                    b += rng.bounded(2) ? u'1' : u'0';
                cases << b;
            }
            for (const QString& bits : cases) {
                const QString text = WaveformModel::radixText(bits, SigTreeData::Signed);
                QCOMPARE(text, signedReference(bits));
                QString back, why;
                QVERIFY2(WaveformModel::parseRadixValue(text, SigTreeData::Signed, width, &back, &why),
                         qPrintable(why));
                QCOMPARE(back, bits);
            }
        }
        QString bits, why;
        for (const char* bad : {"128", "-129", "-0", "+5", "1.5", "", "0x10", "99999999999999999999999999"})
            QVERIFY2(!WaveformModel::parseRadixValue(QString::fromLatin1(bad), SigTreeData::Signed, 8, &bits, &why),
                     bad);
        // 12 bits: the first character takes the leading four bits alone.
        QCOMPARE(WaveformModel::radixText(u"0100"
                                          "01000001"_s,
                                          SigTreeData::Ascii),
                 u".A"_s);
        const QList<QPair<int, QChar>> bytes{{0x00, u'.'}, {0x1F, u'.'}, {0x20, u' '}, {0x41, u'A'},
                                             {0x7E, u'~'}, {0x7F, u'.'}, {0x80, u'.'}, {0xFF, u'.'}};
        for (const auto& b : bytes)
            QCOMPARE(WaveformModel::radixText(u"%1"_s.arg(b.first, 8, 2, QLatin1Char('0')), SigTreeData::Ascii),
                     QString(b.second));
        QVERIFY(WaveformModel::parseRadixValue(u"Hi"_s, SigTreeData::Ascii, 16, &bits, &why));
        QCOMPARE(bits, u"0100100001101001"_s);
        QVERIFY(!WaveformModel::parseRadixValue(u"H"_s, SigTreeData::Ascii, 16, &bits, &why));       // too few
        QVERIFY(!WaveformModel::parseRadixValue(u"\u00e9!"_s, SigTreeData::Ascii, 16, &bits, &why)); // not ASCII
        QVERIFY(!WaveformModel::parseRadixValue(u"A"_s, SigTreeData::Ascii, 4, &bits, &why));        // 0x41 > 4 bits
    }
    // The layout keeps the new radixes, the analog view and the named
    // cursors; an older file (no cursors, no analog) opens as it did, and
    // cursors a file gets wrong are left out.
    void layoutKeepsRadixesAnalogAndCursors() {
        auto t = std::make_shared<TraceData>(QStringList{"a", "b[1]", "b[0]", "c[1]", "c[0]"}, 100);
        t->finish();
        const QList<QPair<QString, int>> widths{{"a", 1}, {"b", 2}, {"c", 2}};
        WaveformModel m;
        m.setTrace(t, widths);
        SigTreeData b = WaveformModel::rowData(m.index(1, 0));
        b.radix = SigTreeData::Signed;
        b.analog = true;
        m.setRowData(m.index(1, 0), b);
        SigTreeData c = WaveformModel::rowData(m.index(2, 0));
        c.radix = SigTreeData::Ascii;
        m.setRowData(m.index(2, 0), c);
        QVERIFY(m.addCurPos(40, u"start"_s) && m.addCurPos(7) && m.addCurPos(99, u"\U0001F600 end"_s));
        QVERIFY(!m.addCurPos(98, QString(65, u'x')) && !m.addCurPos(97, u"a\u0000b"_s) &&
                !m.addCurPos(96, QString(QChar(0xD83D)))); // too long, NUL, half an emoji
        const QJsonObject saved = m.layout();

        WaveformModel again;
        again.setTrace(t, widths);
        again.restoreLayout(saved);
        QCOMPARE(again.layout(), saved);
        QCOMPARE(again.cursors(),
                 (QList<QPair<QString, qint64>>{{u"C1"_s, 7}, {u"start"_s, 40}, {u"\U0001F600 end"_s, 99}}));
        QCOMPARE(WaveformModel::rowData(again.index(1, 0)), b);

        const QByteArray old = R"({"rows": [{"name": "a", "channel": "a"},
            {"name": "b", "expanded": false, "radix": 10, "members": [{"name": "b[1]", "channel": "b[1]"},
                                                                    {"name": "b[0]", "channel": "b[0]"}]},
            {"name": "c", "radix": 7, "members": [{"name": "c[0]", "channel": "c[0]"}]}],
            "cursors": [{"name": "x", "sample": 100}, {"name": "y", "sample": 5}, {"name": "y", "sample": 6},
                        {"name": "bad\u0001", "sample": 9}, {"name": "z", "sample": "3"}, {"sample": 2.5},
                        {"sample": 11}]})";
        WaveformModel older;
        older.setTrace(t, widths);
        older.restoreLayout(QJsonDocument::fromJson(old).object());
        const SigTreeData ob = WaveformModel::rowData(older.index(1, 0));
        QVERIFY(ob.radix == 10 && !ob.analog && ob.hasNumericRadix());
        QCOMPARE(WaveformModel::rowData(older.index(2, 0)).radix, 16); // unknown: Hex, as before
        QCOMPARE(older.cursors(), (QList<QPair<QString, qint64>>{{u"y"_s, 5}, {u"C1"_s, 11}}));
        QVERIFY(!older.layout().contains(u"analog"_s));
    }
    // Buses as their one-bit signals: the exact file of a small store, the
    // verb's flag (VCD only), and sigrok-cli reading every channel of a
    // capture's export sample by sample, where it is installed. The same
    // capture is exported as VCD with its modules and refusals, and answers
    // ona_get cursors and ona_find in the new radixes.
    void scalarVcdReadBySigrok() {
        TraceData small({"en", "d[1]", "d[0]"}, 4);
        const int en[] = {0, 1, 1, 0}, d[] = {0, 2, 3, 3};
        for (int s = 0; s < 4; ++s) {
            small.channelWords(0)[0] |= quint64(en[s]) << s;
            small.channelWords(1)[0] |= quint64(d[s] >> 1) << s;
            small.channelWords(2)[0] |= quint64(d[s] & 1) << s;
        }
        small.finish();
        QVector<WaveExport::Var> vars(2);
        vars[0].name = u"en"_s;
        vars[0].channels = {0};
        vars[1].name = u"d"_s;
        vars[1].channels = {1, 2};
        QByteArray got;
        QBuffer buf(&got);
        buf.open(QIODevice::WriteOnly);
        QString why;
        QVERIFY(
            WaveExport::writeVcd(&buf, small, WaveExport::scalarVars(vars, small), u"m"_s, 10, u"ns"_s, u"D"_s, &why));
        QCOMPARE(got, QByteArray("$date\n\tD\n$end\n$version\n\tOndrel Analyzer 1.0\n$end\n$comment\n"
                                 "\t4 samples in 1 trigger frame(s); frames start at samples; trigger positions at "
                                 "samples\n$end\n$timescale 10 ns $end\n$scope module m $end\n"
                                 "$var wire 1 ! en $end\n$var wire 1 \" d [1] $end\n$var wire 1 # d [0] $end\n"
                                 "$upscope $end\n$enddefinitions $end\n#0\n$dumpvars\n0!\n0\"\n0#\n$end\n"
                                 "#1\n1!\n1\"\n#2\n1#\n#3\n0!\n#4\n"));
        // A channel named twice (a signal and a bus member) gets the bus's name.
        vars[0].name = u"d[0]"_s;
        QCOMPARE(WaveExport::scalarVars(vars, small).at(2).name, u"d.d[0]"_s);

        QCOMPARE(capture40("ona_set_project -period 10ns"), QString());
        const auto t = trace();
        // The VCD export: the core's name for a module none or an empty one
        // names; failures leave no file and say why.
        const QString named = m_p->path("out dir [x].vcd");
        QVERIFY2(m_tcl.call({"ona_export_project", "-vcd", named, "-module", ""}), qPrintable(m_tcl.result()));
        QVERIFY(readAll(named).startsWith("$date") && readAll(named).contains("$timescale 10 ns $end"));
        QVERIFY(readAll(named).contains("$scope module t $end"));
        QVERIFY2(m_tcl.call({"ona_export_project", "-vcd", named, "-module"}), qPrintable(m_tcl.result()));
        QVERIFY(!m_tcl.call({"ona_export_project", "-vcd", m_p->path("no/such/dir/x.vcd"), "-module", "m"}));
        QVERIFY(m_tcl.result().contains("cannot write") && !QFile::exists(m_p->path("no/such/dir/x.vcd")));
        QVERIFY(!m_tcl.call({"ona_export_project", "-vcd", "", "-module", "m"}));
        QVERIFY(m_tcl.result().contains("no output file"));
        WaveformModel* model = OnaData::inst()->getWDModel();
        QVERIFY(model->addCurPos(9, u"go \u25B6"_s) && model->addCurPos(3));
        QCOMPARE(m_tcl.steps({{"dict get [ona_get cursors] {go \u25B6}", u"9"_s},
                              {"dict keys [ona_get cursors]", u"C1 {go \u25B6}"_s}}),
                 QString());
        // cnt counts: the first sample it reads negative is found by its signed value.
        int negative = 0;
        while (!t->bits(model->channelsOf(model->index(0, 0)), negative).startsWith(u'1'))
            ++negative;
        const QString value =
            WaveformModel::radixText(t->bits(model->channelsOf(model->index(0, 0)), negative), SigTreeData::Signed);
        QVERIFY(value.startsWith(u'-'));
        QVERIFY(m_tcl.call({"ona_find", "-signal", "cnt", "-value", value, "-radix", "Signed"}));
        QCOMPARE(m_tcl.result(), QString::number(negative));
        QVERIFY(!m_tcl.call({"ona_find", "-signal", "cnt", "-value", "200", "-radix", "Signed"}));
        QVERIFY(m_tcl.result().contains(u"does not fit in 8 bits"_s));

        // The text export writes a bus in its radix, these two included.
        SigTreeData cnt = WaveformModel::rowData(model->index(0, 0));
        cnt.radix = SigTreeData::Signed;
        model->setRowData(model->index(0, 0), cnt);
        const QString txt = m_p->path(u"signed.txt"_s);
        QVERIFY2(m_tcl.call({"ona_export_project", "-txt", txt, "-siglist", "cnt"}), qPrintable(m_tcl.result()));
        QVERIFY(readAll(txt).contains(("\t" + value + "\n").toUtf8()));

        const QString file = m_p->path(u"scalar.vcd"_s);
        QVERIFY(!m_tcl.call({"ona_export_project", "-txt", file, "-scalar"}));
        QVERIFY(m_tcl.result().contains(u"-vcd only"_s) && !QFile::exists(file));
        QVERIFY2(m_tcl.call({"ona_export_project", "-vcd", file, "-scalar"}), qPrintable(m_tcl.result()));
        const QByteArray text = readAll(file);
        QVERIFY(text.contains("$var wire 1 ! cnt [7] $end") && !text.contains("$var wire 8"));

        const QString sigrok = QStandardPaths::findExecutable(u"sigrok-cli"_s);
        if (sigrok.isEmpty())
            QSKIP("sigrok-cli is not installed: the sigrok read of the export is not checked");
        QProcess p;
        p.start(sigrok, {u"-i"_s, file, u"-O"_s, u"csv"_s});
        QVERIFY(p.waitForFinished(testMs(30000)));
        QCOMPARE(p.exitCode(), 0);
        QStringList names, rows;
        for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts)) {
            if (line.startsWith(u"; Channels"_s))
                names = line.section(u": "_s, 1).split(u", "_s);
            else if (!line.startsWith(u';') && !line.startsWith(u"META"_s) && !line.startsWith(u"logic"_s))
                rows << line;
        }
        QCOMPARE(names, t->channelNames());
        QCOMPARE(rows.size(), t->numSamples());
        for (qint64 s = 0; s < t->numSamples(); ++s) {
            QStringList want;
            for (int ch = 0; ch < t->numChannels(); ++ch)
                want << QString::number(t->bit(ch, s));
            QCOMPARE(rows.at(s), want.join(u','));
        }
    }
    // The exporter's fast path (64 variables at a time, skipping quiet words)
    // against a sample-by-sample writer, byte for byte, on stores of many
    // shapes: buses and scalars mixed, two-character identifiers, a partial last
    // word, dense, sparse and constant data, with and without change summaries.
    void vcdAgainstReference() {
        struct Shape {
            qint64 samples;
            int vars;
            int density; // a channel toggles with probability 1/density per sample; 0 never
            bool finished;
        };
        const Shape shapes[] = {{64 * 37 + 13, 200, 2, true},
                                {64 * 37 + 13, 200, 900, true},
                                {5000, 130, 0, true},
                                {5000, 70, 40, false},
                                {1, 3, 2, true},
                                {64, 65, 3, true},
                                {65, 64, 1, true},
                                {64 * 64 * 3 + 1, 10, 3000, true}};
        QRandomGenerator rng(11);
        for (const Shape& sh : shapes) {
            // Every fifth variable is a bus of 2 to 70 channels, some shared with a scalar.
            QStringList names;
            QVector<WaveExport::Var> vars;
            for (int i = 0; i < sh.vars; ++i) {
                WaveExport::Var v;
                v.name = u"v%1"_s.arg(i);
                const int width = i % 5 == 4 ? 2 + int(rng.bounded(69)) : 1;
                for (int b = 0; b < width; ++b) {
                    if (b == 1 && i > 0 && width > 1)
                        v.channels << vars.at(i - 1).channels.at(0);
                    else {
                        v.channels << int(names.size());
                        names << u"c%1"_s.arg(names.size());
                    }
                }
                vars << v;
            }
            TraceData t(names, sh.samples);
            for (int ch = 0; ch < names.size(); ++ch) {
                int v = int(rng.bounded(2));
                for (qint64 s = 0; s < sh.samples; ++s) {
                    if (sh.density && rng.bounded(sh.density) == 0)
                        v ^= 1;
                    if (v)
                        t.channelWords(ch)[s >> 6] |= quint64(1) << (s & 63);
                }
            }
            if (sh.finished)
                t.finish();

            QByteArray got;
            QBuffer buf(&got);
            buf.open(QIODevice::WriteOnly);
            QString why;
            QVERIFY(WaveExport::writeVcd(&buf, t, vars, u"m"_s, 30, u"ns"_s, u"d"_s, &why));

            auto value = [&](int i, qint64 s) {
                const WaveExport::Var& v = vars.at(i);
                QByteArray bits;
                for (int ch : v.channels)
                    bits += char('0' + t.bit(ch, s));
                const QByteArray id = VcdWriter::identifier(i);
                if (v.channels.size() == 1)
                    return bits + id + '\n';
                while (bits.size() > 1 && bits.startsWith('0'))
                    bits.remove(0, 1);
                return 'b' + bits + ' ' + id + '\n';
            };
            QByteArray want = "#0\n$dumpvars\n";
            for (int i = 0; i < vars.size(); ++i)
                want += value(i, 0);
            want += "$end\n";
            for (qint64 s = 1; s < sh.samples; ++s) {
                QByteArray lines;
                for (int i = 0; i < vars.size(); ++i) {
                    const QByteArray now = value(i, s);
                    if (now != value(i, s - 1))
                        lines += now;
                }
                if (!lines.isEmpty())
                    want += '#' + QByteArray::number(s * 3) + '\n' + lines;
            }
            want += '#' + QByteArray::number(sh.samples * 3) + '\n';
            const QByteArray body = got.mid(got.indexOf("$enddefinitions $end\n") + 21);
            QCOMPARE(body, want);
            QVERIFY(got.contains("$timescale 10 ns $end"));
            QVERIFY(got.contains("$var wire " + QByteArray::number(vars.last().channels.size()) + ' ' +
                                 VcdWriter::identifier(sh.vars - 1) + ' ' + vars.last().name.toLatin1()));
        }
    }
    void sidecar() {
        QCOMPARE(capture40(), QString());
        WaveformModel* m = OnaData::inst()->getWDModel();
        SigTreeData d = WaveformModel::rowData(m->index(0, 0));
        d.colour = QColor(Qt::red);
        d.radix = 10;
        m->setRowData(m->index(0, 0), d);
        const auto before = trace();
        const QString ona = m_p->path("t.ona");
        QVERIFY2(m_tcl.call({"ona_save_project", ona}), qPrintable(m_tcl.result()));
        QVERIFY(QFile::exists(ona + ".cap") && m_tcl.eval("ona_close_project"));
        QVERIFY(m_tcl.call({"ona_open_project", ona}));
        auto after = trace();
        QVERIFY(after);
        QCOMPARE(after->channelNames(), before->channelNames());
        QCOMPARE(after->triggerPositions, before->triggerPositions);
        QCOMPARE(after->frameTimes, before->frameTimes);
        for (int ch = 0; ch < after->numChannels(); ++ch)
            for (qint64 s = 0; s < after->numSamples(); ++s)
                QCOMPARE(after->bit(ch, s), before->bit(ch, s));
        const SigTreeData restored = WaveformModel::rowData(OnaData::inst()->getWDModel()->index(0, 0));
        QCOMPARE(restored.colour, QColor(Qt::red));
        QCOMPARE(restored.radix, 10);
        // Damage: a flipped byte, a truncated file, garbage. Each is reported and ignored.
        const QByteArray good = readAll(ona + ".cap");
        QByteArray flipped = good;
        flipped[flipped.size() / 2] = char(flipped[flipped.size() / 2] ^ 0x10);
        for (const QByteArray& bad :
             {flipped, good.left(good.size() - 9), QByteArray("ONDRCAP\n\x01\0\0\0garbage", 19), QByteArray()}) {
            QVERIFY(m_tcl.eval("ona_close_project"));
            writeAll(ona + ".cap", bad);
            QSignalSpy info(OnaData::inst(), &OnaData::infoDirty);
            QVERIFY2(m_tcl.call({"ona_open_project", ona}), qPrintable(m_tcl.result()));
            QVERIFY(!OnaData::inst()->getWDModel()->hasData());
            QCOMPARE(info.count(), 1);
        }
        std::vector<CaptureFile::Entry> entries;
        QString why;
        QVERIFY(CaptureFile::parse(good, &entries, &why));
        QCOMPARE(CaptureFile::serialize(entries), good);
        QVERIFY(!CaptureFile::parse(flipped, &entries, &why) && why.contains("checksum"));
    }
    // A batch script end to end on the demo: a named condition, wait, export.
    void demoScript() {
        DemoCopy demo;
        const QString script = QStringLiteral(R"TCL(
        ona_open_project {%1}
        ona_set_core -name bus_la -run off
        ona_set_core -name uart_la
        ona_set_te -name TE_start -enable on
        ona_run
        set status [ona_wait -timeout 20000]
        set c [ona_get capture]
        ona_export_project -vcd {%2} -module uart
        ona_export_project -txt {%3} -siglist "state rx"
        list $status [dict get $c frames] [dict get $c triggers] [ona_get value state [lindex [dict get $c triggers] 0]]
    )TCL")
                                   .arg(demo.ona(), demo.path("u.vcd"), demo.path("u.txt"));
        QVERIFY2(m_tcl.eval(script), qPrintable(m_tcl.result()));
        // Centre of 2048 samples; the first START (state 001) after the fill.
        QCOMPARE(m_tcl.result(), u"Completed 1 1024 001"_s);
        QVERIFY(readAll(demo.path("u.vcd")).contains("$scope module uart $end"));
        QVERIFY(readAll(demo.path("u.txt")).contains("frame\tsample\tstate\trx\n"));
        // The bus core: four frames at its user position with the final counter on.
        QVERIFY(m_tcl.eval(
            "ona_set_core -name uart_la -run off; ona_set_core -name bus_la -run on; ona_set_core -name bus_la"));
        QVERIFY(m_tcl.capture());
        QCOMPARE(m_tcl.dictGet("ona_get capture", "triggers"), u"100 356 612 868"_s);
        // Another interpreter has the same engine behind it.
        TclSession other;
        QVERIFY(other.eval("ona_set_core -name uart_la"));
        QCOMPARE(m_tcl.dictGet("ona_get project", "currentcore"), u"uart_la"_s);
        QCOMPARE(Ona_Init(nullptr), TCL_ERROR);
    }

private:
    // Two frames of 128 samples triggered at cnt == 0x40, after `more`.
    QString capture40(const char* more = "list") {
        return m_tcl.steps({"ona_set_tu -name TU_a -operator == -radix Hex -value 40",
                            "ona_set_trigoptn -samples 128 -numtriggers 2", more,
                            {TclSession::runAndWait(), u"Completed"_s}});
    }

    TclSession m_tcl;
    std::unique_ptr<Project> m_p;
};

QTEST_GUILESS_MAIN(TestCapture)
#include "tst_capture.moc"
