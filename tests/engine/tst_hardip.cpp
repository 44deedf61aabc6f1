// The hard IP checks the Hard IP page cannot make: faulty records in the
// debug-logic file, refused keys and values, PRBS sequences against their
// mathematics and the merge information reader on hostile files. The
// page's round trips on the simulated blocks are in the window's test.

#include "enginetest.h"
#include "hardipmerge.h"
#include "ibert.h"

#include <QtTest>

using Ibert::Pattern;
using namespace Qt::StringLiterals;

class TestHardIp : public DemoSession {
    Q_OBJECT
private slots:
    void initTestCase() {
        // Stage a key, read keys as staged (joined by "|").
        QVERIFY(m_tcl.eval(
            "proc _set {n k v} {ona_set_controller -hard_ip $n -$k $v}\n"
            "proc _st {n args} {set d [ona_get hardip $n -staged]; join [lmap k $args {dict get $d $k}] |}"));
    }
    void init() { QVERIFY2(openDemo("board_ctrl"), qPrintable(m_tcl.result())); }
    void recordsFromTheProject() {
        // A faulty record refuses the whole file, naming where and why.
        const QByteArray onl = readAll(m_demo->onl());
        const QList<std::tuple<QByteArray, QByteArray, QByteArray>> faults = {
            // Names travel unquoted in commands: Tcl-special characters are refused.
            {"\"PCSCH_1\", \"type\"", "\"PCSCH[1]\", \"type\"", "hard_ip[1].instance: expected an instance name"},
            {"\"PCSCH_1\", \"type\"", "\"PCSCH_0\", \"type\"", "hard_ip[1].instance: \"PCSCH_0\" is named twice"},
            {"\"start\": \"0x8100\"", "\"start\": \"0x80F0\"", "hard_ip[1].start: the address space overlaps that of"},
            {"\"start\": \"0x9000\", \"end\": \"0x903F\"", "\"start\": \"0x0200\", \"end\": \"0x0210\"",
             "hard_ip[2].start: the address space overlaps the user"},
            {"\"end\": \"0x903F\"", "\"end\": \"0x8FFF\"", "hard_ip[2].end: below the start address"},
            {"\"end\": \"0x903F\"", "\"end\": \"0x19000\"", "hard_ip[2].end: more than 65536 words"},
            {"\"type\": \"pll\"", "\"type\": \"pll\", \"colour\": 1", "hard_ip[2].colour: unknown key"},
            {"\"hierarchy\": \"top/clocking/sys_pll\"", "\"hierarchy\": \"top/$x\"", "hard_ip[2].hierarchy"},
        };
        for (const auto& [from, to, where] : faults) {
            QByteArray bad = onl;
            QVERIFY2(bad.contains(from), from.constData());
            bad.replace(bad.indexOf(from), from.size(), to);
            writeAll(m_demo->onl(), bad);
            QVERIFY(!m_tcl.call({"ona_open_project", m_demo->ona()}));
            QVERIFY2(m_tcl.result().contains(QString::fromUtf8(where)), qPrintable(m_tcl.result()));
        }
    }
    void refusalsStageNothing() {
        // Refusals say why and stage nothing.
        QCOMPARE(
            m_tcl.steps({
                {"_set PCSCH_0 tx_differential_amplitude 1100mV", "error: takes one of"},
                {"_set PCSCH_0 tx_precursor_ratio 64", "error: from 0 to 63"},
                {"_set PCSCH_0 tx_precursor_ratio -1", "error: from 0 to 63"},
                {"_set PCSCH_0 tx_precursor_ratio 1.5", "error: from 0 to 63"},
                {"_set PCSCH_0 rx_cdr_lol_status Locked", "error: cannot be set"},
                {"_set PCSCH_0 swing_control full", "error: has no key -swing_control"},
                {"_set PCSCH_9 loopback_mode Disabled", "error: no hard IP instance"},
                {"_set PLL_0 loopback_mode Disabled", "error: has no key"},
                {"ona_set_controller -hard_ip PCSCH_0 loopback_mode Disabled", "error: expected a key option"},
                {"ona_set_controller -hard_ip PCSCH_0 -loopback_mode", "error: ona_set_controller -hard_ip NAME"},
                {"ona_run_controller -write_ip PCSCH_9", "error: no hard IP instance"},
                {"ona_run_controller -read_ip PCSCH_0 -tx_pll_lol_status x", "error: -read_ip NAME ?-KEY?"},
                {"ona_run_controller -write_ip PCSCH_0 -tx_pll_lol_status", "error: cannot be written"},
                {"ona_get hardip PCSCH_9", "error: no hard IP instance"},
                {"_st PCSCH_0 tx_differential_amplitude tx_precursor_ratio", "1000mV|0"},
                // An analyzer core has no hard IP.
                {"ona_set_core -name uart_la; _set PCSCH_0 loopback_mode Disabled", "error: is not a controller core"},
            }),
            QString());
    }
    void prbsSequences() {
        // The published first bytes of PRBS7 from the all-ones state.
        Ibert::Generator prbs7(Pattern::Prbs7);
        quint32 word = 0;
        for (int i = 0; i < 32; ++i)
            word = (word << 1) | quint32(prbs7.next());
        QCOMPARE(word, 0xFE041851u);

        // A maximal-length sequence holds the all-ones run of n exactly once per
        // 2^n - 1 bits and repeats after that: its period. It has 2^(n-1) ones.
        for (Pattern p : {Pattern::Prbs7, Pattern::Prbs11, Pattern::Prbs15, Pattern::Prbs16, Pattern::Prbs23_18,
                          Pattern::Prbs23_21}) {
            const int n = Ibert::prbsOrder(p);
            const qint64 period = (qint64(1) << n) - 1;
            Ibert::Generator g(p);
            qint64 ones = 0, fullRuns = 0;
            int run = 0;
            QVector<bool> first;
            for (qint64 i = 0; i < period + n; ++i) {
                const bool b = g.next();
                if (i < n)
                    first << b;
                if (i < period) {
                    ones += b;
                    run = b ? run + 1 : 0;
                    fullRuns += run >= n;
                } else {
                    QCOMPARE(b, first.at(int(i - period)));
                }
            }
            QCOMPARE(ones, period / 2 + 1);
            QCOMPARE(fullRuns, qint64(1));
        }

        // PRBS31's period is 2^31 - 1, a prime: it is enough that the feedback
        // polynomial divides x^(2^31 - 1) - 1 (and x is not 1). Then the
        // generator must follow that feedback.
        const quint32 taps = Ibert::prbsTaps(Pattern::Prbs31);
        QCOMPARE(taps, (1u << 30) | (1u << 27));
        // x^31 = x^3 + 1 for the recurrence b[k] = b[k-31] ^ b[k-28].
        const auto mulmod = [](quint64 a, quint64 b) {
            quint64 r = 0;
            for (int i = 0; i < 31; ++i)
                if (b >> i & 1)
                    r ^= a << i;
            for (int i = 61; i >= 31; --i)
                if (r >> i & 1)
                    r ^= (quint64(1) << i) | (quint64(1) << (i - 28)) | (quint64(1) << (i - 31));
            return r;
        };
        quint64 power = 2; // x
        for (int i = 0; i < 31; ++i)
            power = mulmod(power, power); // x^(2^31)
        QCOMPARE(power, quint64(2));      // x^(2^31) = x, so x^(2^31 - 1) = 1
        Ibert::Generator prbs31(Pattern::Prbs31);
        QVector<bool> bits;
        for (int i = 0; i < 4000; ++i)
            bits << prbs31.next();
        for (int i = 0; i < 31; ++i)
            QVERIFY(bits.at(i));
        for (int k = 31; k < bits.size(); ++k)
            QCOMPARE(bits.at(k), bool(bits.at(k - 31) ^ bits.at(k - 28)));

        // Fixed patterns repeat the lane's word (DC balanced: then its complement).
        Ibert::Generator dc(Pattern::DcBalanced, u"11010000"_s);
        QString out;
        for (int i = 0; i < 20; ++i)
            out += dc.next() ? QLatin1Char('1') : QLatin1Char('0');
        QCOMPARE(out, u"11010000001011111101"_s);
    }
    void mergeReader() {
        // The demo's file, found beside the debug-logic file.
        const QString text = OnaData::inst()->readZentaMPPMergeInfo();
        QHash<QString, ZentaMPPMergeInfo> table;
        QString warning;
        QVERIFY(HardIpMerge::parse(text.toUtf8(), &table, &warning));
        QCOMPARE(table.size(), 2);
        const ZentaMPPMergeInfo quad = table.value(u"top/mpphy_quad0"_s);
        QCOMPARE(quad.type, u"mpphy"_s);
        QVERIFY(!quad.merged);
        QCOMPARE(quad.lanes, (QSet<QString>{"0", "1"}));
        QVERIFY(table.value(u"top/pcie_x8/quad"_s).merged);

        const auto parsed = [&](const QByteArray& json, bool* ok = nullptr) {
            table.clear();
            warning.clear();
            const bool good = HardIpMerge::parse(json, &table, &warning);
            if (ok)
                *ok = good;
            return table;
        };
        bool ok = false;
        // Only "version": nothing stored, nothing said.
        QVERIFY(parsed(R"({"version": "2"})", &ok).isEmpty() && ok && warning.isEmpty());
        // Partial entries: missing or mistyped fields are empty; merged only on "yes";
        // empty lane parts are kept; a later member of the same name wins.
        table = parsed(R"({"a": {"lane": "1,,3", "merged": true, "quad": 7}, "b": {}, "c": 5, "d": [1],
                       "a": {"lane": "2", "merged": "yes", "type": ["x"]}})");
        QCOMPARE(table.size(), 2);
        QCOMPARE(table.value("a").lanes, (QSet<QString>{"2"}));
        QVERIFY(table.value("a").merged && table.value("a").type.isEmpty());
        QVERIFY(table.value("b").lanes.isEmpty() && table.value("b").quad.isEmpty());
        QCOMPARE(parsed(R"({"a": {"lane": "1,,3"}})").value("a").lanes, (QSet<QString>{"1", "", "3"}));
        // Hostile: huge arrays and lane lists, deep nesting, not an object, empty.
        QByteArray huge = "{\"a\": {\"lane\": [";
        for (int i = 0; i < 200000; ++i)
            huge += "1,";
        huge += "1]}, \"b\": {\"lane\": \"" + QByteArray(300000, ',') + "\"}}";
        table = parsed(huge, &ok);
        QVERIFY(ok && table.value("a").lanes.isEmpty() && table.value("b").lanes.size() <= HardIpMerge::kMaxLaneParts);
        QByteArray deep = "{\"a\": " + QByteArray(100000, '[') + QByteArray(100000, ']') + "}";
        QVERIFY(parsed(deep, &ok).isEmpty());
        QVERIFY(!ok && warning == QLatin1String("WARNING: Failed to parse MPP merge JSON file."));
        QByteArray many = "{";
        for (int i = 0; i < 5000; ++i)
            many += "\"h" + QByteArray::number(i) + "\": {\"lane\": \"0\"},";
        many += "\"version\": 1}";
        QCOMPARE(parsed(many).size(), HardIpMerge::kMaxEntries);
        for (const QByteArray& bad :
             {QByteArray("[1, 2]"), QByteArray("{\"a\":"), QByteArray("\xff\xfe{}"), QByteArray("null")}) {
            QVERIFY(parsed(bad, &ok).isEmpty());
            QVERIFY(!ok && warning == QLatin1String("WARNING: Failed to parse MPP merge JSON file."));
        }
        QVERIFY(parsed(QByteArray(), &ok).isEmpty());
        QVERIFY(!ok && warning == QLatin1String("WARNING: Failed to retrieve MPP merge JSON file."));

        // No project, no file: nothing to read.
        QVERIFY(m_tcl.eval("ona_close_project") && OnaData::inst()->readZentaMPPMergeInfo().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestHardIp)
#include "tst_hardip.moc"
