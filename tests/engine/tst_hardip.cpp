// The hard IP blocks of the demo's controller core through the real verbs:
// records read from the debug-logic file, staging with key and range checks,
// write and read against the simulated blocks, the PCS channel's cursor
// rule and loss of lock, per-lane keys, the blocks' address spaces, PRBS
// sequences, the merge information reader and the IBERT matrix.

#include "enginetest.h"
#include "hardipdevice.h"
#include "hardipmerge.h"
#include "ibert.h"
#include "oncdata.h"

#include <QtTest>

using Ibert::Pattern;
using namespace Qt::StringLiterals;

class TestHardIp : public DemoSession {
    Q_OBJECT
private slots:
    void initTestCase() {
        // Stage a key, read keys as read or as staged (joined by "|"), write and read a block.
        QVERIFY(
            m_tcl.eval("proc _set {n k v} {ona_set_controller -hard_ip $n -$k $v}\n"
                       "proc _ip {n args} {set d [ona_get hardip $n]; join [lmap k $args {dict get $d $k}] |}\n"
                       "proc _st {n args} {set d [ona_get hardip $n -staged]; join [lmap k $args {dict get $d $k}] |}\n"
                       "proc _wr n {ona_run_controller -write_ip $n; ona_run_controller -read_ip $n}"));
    }
    void init() { QVERIFY2(openDemo("board_ctrl"), qPrintable(m_tcl.result())); }
    void recordsFromTheProject() {
        QCOMPARE(m_tcl.dictGet("ona_get core board_ctrl", "hardip"),
                 QStringLiteral("PCSCH_0 pcs PCSCH_1 pcs PLL_0 pll PCIELL_0 pcie I2C_0 i2c DPHY_0 dphy CDR_0 cdr "
                                "MPPHY_0 mpphy MPPCIE_0 mpphy MPPCIE_1 mpphy"));

        // A faulty record refuses the whole file, naming where and why.
        const QByteArray onl = readAll(m_demo->onl());
        const struct {
            QByteArray from, to, where;
        } faults[] = {
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
        for (const auto& f : faults) {
            QByteArray bad = onl;
            QVERIFY2(bad.contains(f.from), f.from.constData());
            bad.replace(bad.indexOf(f.from), f.from.size(), f.to);
            writeAll(m_demo->onl(), bad);
            QVERIFY(!m_tcl.call({"ona_open_project", m_demo->ona()}));
            QVERIFY2(m_tcl.result().contains(QString::fromUtf8(f.where)), qPrintable(m_tcl.result()));
        }
    }
    void stageWriteRead() {
        QCOMPARE(m_tcl.steps({
                     // Staging answers with the value staged; the device is untouched.
                     {"_set PCSCH_0 tx_differential_amplitude 0mV", "0mV"},
                     {"_set PCSCH_0 loopback_mode {pma near-end serial loopback}", "PMA Near-End Serial Loopback"},
                     {"_set PCSCH_0 tx_postcursor_ratio 07", "7"},
                     {"_st PCSCH_0 tx_differential_amplitude", "0mV"},
                     // Written, the device has it; only a read shows it.
                     {"ona_run_controller -write_ip PCSCH_0; _ip PCSCH_0 tx_differential_amplitude", "1000mV"},
                     {"ona_run_controller -read_ip PCSCH_0; _ip PCSCH_0 tx_differential_amplitude loopback_mode "
                      "tx_postcursor_ratio",
                      "0mV|PMA Near-End Serial Loopback|7"},
                     // The other channel is a block of its own.
                     {"ona_run_controller -read_ip PCSCH_1; _ip PCSCH_1 tx_differential_amplitude", "1000mV"},
                 }),
                 QString());

        // Refusals say why and stage nothing.
        const struct {
            QStringList words;
            const char* why;
        } refused[] = {
            {{"ona_set_controller", "-hard_ip", "PCSCH_0", "-tx_differential_amplitude", "1100mV"}, "takes one of"},
            {{"ona_set_controller", "-hard_ip", "PCSCH_0", "-tx_precursor_ratio", "64"}, "from 0 to 63"},
            {{"ona_set_controller", "-hard_ip", "PCSCH_0", "-tx_precursor_ratio", "-1"}, "from 0 to 63"},
            {{"ona_set_controller", "-hard_ip", "PCSCH_0", "-tx_precursor_ratio", "1.5"}, "from 0 to 63"},
            {{"ona_set_controller", "-hard_ip", "PCSCH_0", "-rx_cdr_lol_status", "Locked"}, "cannot be set"},
            {{"ona_set_controller", "-hard_ip", "PCSCH_0", "-swing_control", "full"}, "has no key -swing_control"},
            {{"ona_set_controller", "-hard_ip", "PCSCH_9", "-loopback_mode", "Disabled"}, "no hard IP instance"},
            {{"ona_set_controller", "-hard_ip", "PLL_0", "-loopback_mode", "Disabled"}, "has no key"},
            {{"ona_set_controller", "-hard_ip", "PCSCH_0", "loopback_mode", "Disabled"}, "expected a key option"},
            {{"ona_set_controller", "-hard_ip", "PCSCH_0", "-loopback_mode"}, "ona_set_controller -hard_ip NAME"},
            {{"ona_run_controller", "-write_ip", "PCSCH_9"}, "no hard IP instance"},
            {{"ona_run_controller", "-read_ip", "PCSCH_0", "-tx_pll_lol_status", "x"}, "-read_ip NAME ?-KEY?"},
            {{"ona_run_controller", "-write_ip", "PCSCH_0", "-tx_pll_lol_status"}, "cannot be written"},
            {{"ona_get", "hardip", "PCSCH_9"}, "no hard IP instance"},
        };
        for (const auto& r : refused) {
            QVERIFY2(!m_tcl.call(r.words), qPrintable(r.words.join(' ')));
            QVERIFY2(m_tcl.result().contains(QLatin1String(r.why)), qPrintable(m_tcl.result()));
        }
        QCOMPARE(
            m_tcl.steps({
                {"_st PCSCH_0 tx_differential_amplitude tx_precursor_ratio", "0mV|0"},
                // The staged dict has no status keys; the read one has them all.
                {"dict exists [ona_get hardip PCSCH_0 -staged] rx_cdr_lol_status", "0"},
                {"dict size [ona_get hardip PCSCH_0]", "18"},
                // A read makes the staged values what the block holds.
                {"_set PCSCH_0 tx_output_termination {150 ohm}; ona_run_controller -read_ip PCSCH_0; "
                 "_st PCSCH_0 tx_output_termination",
                 "100 ohm"},
                // An analyzer core has no hard IP.
                {"ona_set_core -name uart_la; _set PCSCH_0 loopback_mode Disabled", "error: is not a controller core"},
            }),
            QString());
        QCOMPARE(ONCData::inst()->getHardIP("PCSCH_0", "loopback_mode"), QString());
        // Back on the controller core, staged and device values were kept.
        QCOMPARE(m_tcl.steps({{"ona_set_core -name board_ctrl; _ip PCSCH_0 tx_differential_amplitude", "0mV"}}),
                 QString());
    }
    void lossOfLockClearsAfterReset() {
        const QString keys = u"; _ip PCSCH_0 rx_cdr_lol_status tx_pll_lol_status rx_data_lol_status"_s;
        QCOMPARE(m_tcl.steps({
                     // The simulated channel came up before its far end: the receiver
                     // has lost lock, the transmit PLL is locked.
                     {keys, "Loss of Lock|Locked|Loss of Lock"},
                     // Held in reset, still without lock; released, locked but for the
                     // data, which needs its PCS reset as well.
                     {"_set PCSCH_0 reset_rx_pll on; _set PCSCH_0 reset_tx_pll on; _wr PCSCH_0" + keys,
                      "Loss of Lock|Loss of Lock|Loss of Lock"},
                     {"_set PCSCH_0 reset_rx_pll off; _set PCSCH_0 reset_tx_pll off; _wr PCSCH_0" + keys,
                      "Locked|Locked|Loss of Lock"},
                     {"_set PCSCH_0 reset_rx_mpcs on; _wr PCSCH_0; _set PCSCH_0 reset_rx_mpcs off; _wr PCSCH_0" + keys,
                      "Locked|Locked|Locked"},
                     // A receiver in high impedance, or retuned, loses lock again.
                     {"_set PCSCH_0 force_rx_driver on; _wr PCSCH_0; _ip PCSCH_0 rx_cdr_lol_status", "Loss of Lock"},
                     {"_set PCSCH_0 force_rx_driver off; _set PCSCH_0 rx_equalization {SS_LMS 5GT/s}; _wr PCSCH_0; "
                      "_ip PCSCH_0 rx_cdr_lol_status",
                      "Loss of Lock"},
                     // The other channel never went through a reset.
                     {"ona_run_controller -read_ip PCSCH_1; _ip PCSCH_1 rx_cdr_lol_status", "Loss of Lock"},
                 }),
                 QString());
    }
    void perLaneKeys() {
        QCOMPARE(
            m_tcl.steps({
                {"ona_set_controller -pcs_lane 2; _set MPPHY_0 tx_data_width 16-bit; ona_run_controller -write_ip "
                 "MPPHY_0 -tx_data_width; ona_run_controller -read_ip MPPHY_0 -tx_data_width; _ip MPPHY_0 "
                 "tx_data_width",
                 "16-bit"},
                // Lane 0 and the other quad were not touched.
                {"ona_set_controller -pcs_lane 0; _ip MPPHY_0 tx_data_width", "8-bit"},
                {"ona_run_controller -read_ip MPPHY_0; _ip MPPHY_0 tx_data_width", "8-bit"},
                {"_ip MPPCIE_0 tx_data_width", "8-bit"},
                // One key written leaves the other staged keys staged.
                {"_set MPPHY_0 rx_term_acdc AC; _set MPPHY_0 tx_equal_pre 27; ona_run_controller -write_ip MPPHY_0 "
                 "-rx_term_acdc; ona_run_controller -read_ip MPPHY_0; _ip MPPHY_0 rx_term_acdc tx_equal_pre",
                 "AC|0"},
                {"_set MPPHY_0 tx_equal_pre 28", "error: "},
                "_set MPPHY_0 tx_prbs_pat0 0101010101",
                {"_set MPPHY_0 tx_prbs_pat0 010101010", "error: "},
                {"ona_set_controller -pcs_lane 4", "error: 0 to 3"},
                // A single-lane block ignores the lane.
                {"ona_set_controller -pcs_lane 3; _set PCSCH_0 tx_invert_polarity on; ona_set_controller -pcs_lane 0; "
                 "_st PCSCH_0 tx_invert_polarity",
                 "on"},
            }),
            QString());
    }
    void addressSpaces() {
        // Absolute addresses reach the block that holds them, and only it.
        QCOMPARE(m_tcl.steps(
                     {{"ona_write_controller -addr 0x8005 -data 0xCAFE; ona_read_controller -addr 0x8005", "0000CAFE"},
                      {"ona_read_controller -addr 0x8105", "00000000"},
                      {"ona_read_controller -addr 0x5", "00000000"},
                      {"ona_write_controller -addr 0x9040 -data 0x1", "error: "},
                      {"ona_write_controller -addr 0x8005 -data 0x100000000", "error: PCSCH_0"}}),
                 QString());

        // Dumped from one channel, loaded into the other, at the block's own
        // word offsets. The user memory's width and depth do not apply.
        ONCData::inst()->setMemDepth(1024);
        ONCData::inst()->setMemWidth(32);
        const QString file = m_demo->path(u"pcs [0] $x.mem"_s);
        QVERIFY2(m_tcl.call({"ona_run_controller", "-dump_memfile", file, "-hard_ip", "PCSCH_0", "-offset", "0x4",
                             "-range", "2"}),
                 qPrintable(m_tcl.result()));
        QVERIFY(readAll(file).endsWith("@4\n00000000\n0000cafe\n"));
        QCOMPARE(m_tcl.steps({{u"ona_run_controller -load_memfile {%1} -hard_ip PCSCH_1; "
                               u"ona_read_controller -addr 0x8105"_s.arg(file),
                               "0000CAFE"}}),
                 QString());
        QVERIFY(m_tcl.call({"ona_run_controller", "-dump_memfile", m_demo->path("pll.mem"), "-hard_ip", "PLL_0"}));
        QCOMPARE(readAll(m_demo->path("pll.mem")).count('\n'), 2 + 64);
        // A word outside the block is refused, and the block keeps its words.
        writeAll(m_demo->path("big.mem"), "@3F 1 2\n");
        QVERIFY(!m_tcl.call({"ona_run_controller", "-load_memfile", m_demo->path("big.mem"), "-hard_ip", "PLL_0"}));
        QVERIFY(!m_tcl.call({"ona_run_controller", "-dump_memfile", file, "-hard_ip", "NOPE"}));
        QVERIFY(m_tcl.result().contains(QLatin1String("no hard IP instance named \"NOPE\"")));
        QVERIFY(!m_tcl.call({"ona_run_controller", "-dump_memfile", file, "-hard_ip", "PLL_0", "-width", "8"}));
        QVERIFY(m_tcl.result().contains(QLatin1String("unknown option \"-width\"")));
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
    void ibertMatrix() {
        const QStringList same{u"PRBS31"_s, u"PRBS23_18"_s, u"PRBS23_21"_s,  u"PRBS16"_s,      u"PRBS15"_s,
                               u"PRBS11"_s, u"PRBS7"_s,     u"Fixed Word"_s, u"DC Balanced"_s, u"Fixed Pattern"_s};
        QVERIFY(run("ona_set_controller -pcs_lane 1"));
        QVERIFY(run("ona_set_controller -hard_ip MPPHY_0 -tx_prbs_pat0 1101000011"));
        for (const QString loopback : {"Near-End Serial", "Parallel"}) {
            for (const QString& p : same) {
                for (int injections : {0, 1, 3}) {
                    QVERIFY(setUp(1, loopback, p, p));
                    QCOMPARE(count(), quint64(0));
                    for (int i = 0; i < injections; ++i)
                        QVERIFY(run("ona_run_controller -inject_error MPPHY_0"));
                    QCOMPARE(count(), quint64(injections));
                    QCOMPARE(count(), quint64(injections)); // stays once the bits have passed
                }
            }
            // Mismatched patterns: about every other bit is wrong, and it climbs.
            for (const auto& pair :
                 {qMakePair(u"PRBS31"_s, u"PRBS15"_s), qMakePair(u"PRBS7"_s, u"PRBS31"_s),
                  qMakePair(u"PRBS23_18"_s, u"PRBS23_21"_s), qMakePair(u"Fixed Pattern"_s, u"PRBS11"_s)}) {
                QVERIFY(setUp(1, loopback, pair.first, pair.second));
                const quint64 a = count();
                const quint64 b = count();
                QVERIFY2(a > quint64(Ibert::Lane::kBitsPerRead / 5) && b > a + Ibert::Lane::kBitsPerRead / 5,
                         qPrintable(pair.first + " -> " + pair.second));
            }
        }
        // Without loopback the receiver hears nothing: no lock, every bit is an
        // error; a silent line is never a pass.
        QVERIFY(setUp(1, "Disabled", "PRBS31", "PRBS31"));
        const quint64 silent = count();
        QVERIFY(silent >= quint64(Ibert::Lane::kBitsPerRead - 31));
        QVERIFY(count() >= silent + Ibert::Lane::kBitsPerRead - 31);
        // Inverting one end only is a mismatch; inverting both ends cancels.
        QVERIFY(run("ona_set_controller -hard_ip MPPHY_0 -tx_data_polarity Invert"));
        QVERIFY(run("ona_run_controller -write_ip MPPHY_0 -tx_data_polarity"));
        QVERIFY(setUp(1, "Near-End Serial", "PRBS7", "PRBS7") && count() > quint64(Ibert::Lane::kBitsPerRead / 5));
        QVERIFY(run("ona_set_controller -hard_ip MPPHY_0 -rx_data_polarity Invert"));
        QVERIFY(run("ona_run_controller -write_ip MPPHY_0 -rx_data_polarity"));
        QVERIFY(setUp(1, "Near-End Serial", "PRBS7", "PRBS7"));
        QCOMPARE(count(), quint64(0));
        // The checker off counts nothing.
        QVERIFY(setUp(1, "Near-End Serial", "PRBS7", "Disabled"));
        QCOMPARE(count(), quint64(0));
    }
    void ibertLanesAndStaging() {
        QVERIFY(setUp(0, "Near-End Serial", "PRBS31", "PRBS31") && setUp(2, "Near-End Serial", "PRBS31", "PRBS31"));
        const QString count = u"ona_run_controller -count_error "_s;
        QCOMPARE(m_tcl.steps({
                     // Inject on lane 2 only.
                     {"ona_run_controller -inject_error MPPHY_0; " + count + "MPPHY_0", "1"},
                     {"ona_set_controller -pcs_lane 0; " + count + "MPPHY_0", "0"},
                     // A staged pattern changes nothing until Restart applies it; the
                     // count is then what a read of the key gives.
                     {"ona_set_controller -hard_ip MPPHY_0 -rx_prbs_pattern \"PRBS15\"; " + count + "MPPHY_0", "0"},
                     {"ona_run_controller -restart_prbs MPPHY_0; expr {[" + count +
                          "MPPHY_0] > 0 && [ona_run_controller -read_ip MPPHY_0 -rx_prbs_errcount; _ip MPPHY_0 "
                          "rx_prbs_errcount] > 0}",
                      "1"},
                     // Each quad has its own lanes: the patterns are disabled on this one.
                     {"ona_run_controller -restart_prbs MPPCIE_1; " + count + "MPPCIE_1", "0"},
                     // Blocks without an IBERT, and unknown instances, say so.
                     {count + "PCSCH_0", "error: rx_prbs_errcount"},
                     {"ona_run_controller -inject_error NOPE", "error: NOPE"},
                     {"ona_run_controller -restart_prbs MPPHY_0 extra", "error: "},
                 }),
                 QString());
        QCOMPARE(ONCData::inst()->getHardIP(u"MPPHY_0"_s, u"rx_prbs_errcount"_s),
                 m_tcl.dictGet("ona_get hardip MPPHY_0", "rx_prbs_errcount"));
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

private:
    bool run(const QString& script) {
        const bool ok = m_tcl.eval(script);
        if (!ok)
            qWarning("%s -> %s", qPrintable(script), qPrintable(m_tcl.result()));
        return ok;
    }
    // Lane `lane` of MPPHY_0: loopback, patterns, restart.
    bool setUp(int lane, const QString& loopback, const QString& tx, const QString& rx) {
        return run(u"ona_set_controller -pcs_lane %1"_s.arg(lane)) &&
               run(u"ona_set_controller -hard_ip MPPHY_0 -loopback_mode \"%1\""_s.arg(loopback)) &&
               run(u"ona_run_controller -write_ip MPPHY_0 -loopback_mode"_s) &&
               run(u"ona_set_controller -hard_ip MPPHY_0 -tx_prbs_pattern \"%1\""_s.arg(tx)) &&
               run(u"ona_set_controller -hard_ip MPPHY_0 -rx_prbs_pattern \"%1\""_s.arg(rx)) &&
               run(u"ona_run_controller -restart_prbs MPPHY_0"_s);
    }
    quint64 count() {
        if (!run(u"ona_run_controller -count_error MPPHY_0"_s))
            return ~quint64(0);
        return m_tcl.result().toULongLong();
    }
};

QTEST_GUILESS_MAIN(TestHardIp)
#include "tst_hardip.moc"
