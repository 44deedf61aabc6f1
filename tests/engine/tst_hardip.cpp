// The hard IP blocks of the demo's controller core through the real verbs:
// records read from the debug-logic file, staging with key and range checks,
// write and read against the simulated blocks, the PCS channel's cursor
// rule and loss of lock, per-lane keys, and the blocks' address spaces.

#include "enginetest.h"
#include "hardipdevice.h"
#include "oncdata.h"

#include <QtTest>

class TestHardIp : public DemoSession {
    Q_OBJECT
private slots:
    void init();
    void recordsFromTheProject();
    void stageWriteRead();
    void cursorSumIsRefusedWithoutText();
    void lossOfLockClearsAfterReset();
    void perLaneKeys();
    void addressSpaces();

private:
    bool set(const QString& name, const QString& key, const QString& value) {
        return m_tcl.call({"ona_set_controller", "-hard_ip", name, "-" + key, value});
    }
    QString got(const QString& name, const QString& key, bool staged = false) {
        return m_tcl.dictGet(QStringLiteral("ona_get hardip %1%2").arg(name, staged ? " -staged" : ""), key);
    }
};

void TestHardIp::init() { QVERIFY2(openDemo("board_ctrl"), qPrintable(m_tcl.result())); }

void TestHardIp::recordsFromTheProject() {
    QCOMPARE(m_tcl.dictGet("ona_get core board_ctrl", "hardip"),
             QStringLiteral("PCSCH_0 pcs PCSCH_1 pcs PLL_0 pll PCIELL_0 pcie I2C_0 i2c DPHY_0 dphy CDR_0 cdr "
                            "MPPHY_0 mpphy MPPCIE_0 mpphy MPPCIE_1 mpphy"));
    const auto core = OnaData::inst()->getCorePtr(OnaData::inst()->getCoreId(QStringLiteral("board_ctrl")));
    const HardIpData& pcs = core->getHardIpData().first();
    QCOMPARE(pcs.getHierarchy(), QStringLiteral("top/serdes_quad0/pcs_ch0"));
    QCOMPARE(pcs.getStartAddress(), QStringLiteral("0x8000"));
    QCOMPARE(pcs.depth(), 256);
    QVERIFY(pcs.isEnabled());

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

void TestHardIp::stageWriteRead() {
    // Staging answers with the value staged; the device is untouched.
    QVERIFY(set("PCSCH_0", "tx_differential_amplitude", "0mV"));
    QCOMPARE(m_tcl.result(), QStringLiteral("0mV"));
    QVERIFY(set("PCSCH_0", "loopback_mode", "pma near-end serial loopback"));
    QCOMPARE(m_tcl.result(), QStringLiteral("PMA Near-End Serial Loopback"));
    QVERIFY(set("PCSCH_0", "tx_postcursor_ratio", "07"));
    QCOMPARE(m_tcl.result(), QStringLiteral("7"));
    QCOMPARE(got("PCSCH_0", "tx_differential_amplitude", true), QStringLiteral("0mV"));
    QCOMPARE(got("PCSCH_0", "tx_differential_amplitude"), QStringLiteral("1000mV"));

    // Written, the device has it; only a read shows it.
    QVERIFY(m_tcl.eval("ona_run_controller -write_ip PCSCH_0"));
    QCOMPARE(ONCData::inst()->getHardIP("PCSCH_0", "tx_differential_amplitude"), QStringLiteral("1000mV"));
    QVERIFY(m_tcl.eval("ona_run_controller -read_ip PCSCH_0"));
    QCOMPARE(ONCData::inst()->getHardIP("PCSCH_0", "tx_differential_amplitude"), QStringLiteral("0mV"));
    QCOMPARE(got("PCSCH_0", "loopback_mode"), QStringLiteral("PMA Near-End Serial Loopback"));
    QCOMPARE(got("PCSCH_0", "tx_postcursor_ratio"), QStringLiteral("7"));
    // The other channel is a block of its own.
    QVERIFY(m_tcl.eval("ona_run_controller -read_ip PCSCH_1"));
    QCOMPARE(got("PCSCH_1", "tx_differential_amplitude"), QStringLiteral("1000mV"));
    QCOMPARE(ONCData::inst()->getHardIP("PCSCH_0", "no_such_key"), QString());
    QCOMPARE(ONCData::inst()->getHardIP("NOPE", "loopback_mode"), QString());

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
    QCOMPARE(got("PCSCH_0", "tx_differential_amplitude", true), QStringLiteral("0mV"));
    QCOMPARE(got("PCSCH_0", "tx_precursor_ratio", true), QStringLiteral("0"));
    // The staged dict has no status keys; the read one has them all.
    QVERIFY(m_tcl.eval("dict exists [ona_get hardip PCSCH_0 -staged] rx_cdr_lol_status"));
    QCOMPARE(m_tcl.result(), QStringLiteral("0"));
    QVERIFY(m_tcl.eval("dict size [ona_get hardip PCSCH_0]"));
    QCOMPARE(m_tcl.result(), QStringLiteral("18"));

    // A read makes the staged values what the block holds.
    QVERIFY(set("PCSCH_0", "tx_output_termination", "150 ohm"));
    QVERIFY(m_tcl.eval("ona_run_controller -read_ip PCSCH_0"));
    QCOMPARE(got("PCSCH_0", "tx_output_termination", true), QStringLiteral("100 ohm"));

    // An analyzer core has no hard IP.
    QVERIFY(m_tcl.eval("ona_set_core -name uart_la"));
    QVERIFY(!set("PCSCH_0", "loopback_mode", "Disabled"));
    QVERIFY(m_tcl.result().contains(QLatin1String("is not a controller core")));
    QCOMPARE(ONCData::inst()->getHardIP("PCSCH_0", "loopback_mode"), QString());
    // Back on the controller core, staged and device values were kept.
    QVERIFY(m_tcl.eval("ona_set_core -name board_ctrl"));
    QCOMPARE(got("PCSCH_0", "tx_differential_amplitude"), QStringLiteral("0mV"));
}

void TestHardIp::cursorSumIsRefusedWithoutText() {
    QVERIFY(set("PCSCH_0", "tx_postcursor_ratio", "40"));
    QVERIFY(!set("PCSCH_0", "tx_precursor_ratio", "30"));
    QCOMPARE(m_tcl.result(), QString());
    QCOMPARE(got("PCSCH_0", "tx_precursor_ratio", true), QStringLiteral("0"));
    QVERIFY(set("PCSCH_0", "tx_precursor_ratio", "23")); // 63 exactly
    QVERIFY(!set("PCSCH_0", "tx_postcursor_ratio", "41"));
    QCOMPARE(m_tcl.result(), QString());
    QVERIFY(set("PCSCH_0", "tx_postcursor_ratio", "0"));
    QVERIFY(set("PCSCH_0", "tx_precursor_ratio", "63"));
    // Each channel checks its own pair.
    QVERIFY(set("PCSCH_1", "tx_postcursor_ratio", "63"));
}

void TestHardIp::lossOfLockClearsAfterReset() {
    // The simulated channel came up before its far end: the receiver has
    // lost lock, the transmit PLL is locked.
    QCOMPARE(got("PCSCH_0", "rx_cdr_lol_status"), QStringLiteral("Loss of Lock"));
    QCOMPARE(got("PCSCH_0", "rx_data_lol_status"), QStringLiteral("Loss of Lock"));
    QCOMPARE(got("PCSCH_0", "tx_pll_lol_status"), QStringLiteral("Locked"));
    const auto writeRead = [this] {
        QVERIFY(m_tcl.eval("ona_run_controller -write_ip PCSCH_0"));
        QVERIFY(m_tcl.eval("ona_run_controller -read_ip PCSCH_0"));
    };
    // Held in reset, still without lock; released, locked.
    QVERIFY(set("PCSCH_0", "reset_rx_pll", "on"));
    QVERIFY(set("PCSCH_0", "reset_tx_pll", "on"));
    writeRead();
    QCOMPARE(got("PCSCH_0", "rx_cdr_lol_status"), QStringLiteral("Loss of Lock"));
    QCOMPARE(got("PCSCH_0", "tx_pll_lol_status"), QStringLiteral("Loss of Lock"));
    QVERIFY(set("PCSCH_0", "reset_rx_pll", "off"));
    QVERIFY(set("PCSCH_0", "reset_tx_pll", "off"));
    writeRead();
    QCOMPARE(got("PCSCH_0", "rx_cdr_lol_status"), QStringLiteral("Locked"));
    QCOMPARE(got("PCSCH_0", "tx_pll_lol_status"), QStringLiteral("Locked"));
    // Data lock needs its PCS reset as well.
    QCOMPARE(got("PCSCH_0", "rx_data_lol_status"), QStringLiteral("Loss of Lock"));
    QVERIFY(set("PCSCH_0", "reset_rx_mpcs", "on"));
    writeRead();
    QVERIFY(set("PCSCH_0", "reset_rx_mpcs", "off"));
    writeRead();
    QCOMPARE(got("PCSCH_0", "rx_data_lol_status"), QStringLiteral("Locked"));
    // A receiver in high impedance, or retuned, loses lock again.
    QVERIFY(set("PCSCH_0", "force_rx_driver", "on"));
    writeRead();
    QCOMPARE(got("PCSCH_0", "rx_cdr_lol_status"), QStringLiteral("Loss of Lock"));
    QVERIFY(set("PCSCH_0", "force_rx_driver", "off"));
    QVERIFY(set("PCSCH_0", "rx_equalization", "SS_LMS 5GT/s"));
    writeRead();
    QCOMPARE(got("PCSCH_0", "rx_cdr_lol_status"), QStringLiteral("Loss of Lock"));
    // The other channel never went through a reset.
    QVERIFY(m_tcl.eval("ona_run_controller -read_ip PCSCH_1"));
    QCOMPARE(got("PCSCH_1", "rx_cdr_lol_status"), QStringLiteral("Loss of Lock"));
}

void TestHardIp::perLaneKeys() {
    QVERIFY(m_tcl.eval("ona_set_controller -pcs_lane 2"));
    QVERIFY(set("MPPHY_0", "tx_data_width", "16-bit"));
    QVERIFY(m_tcl.eval("ona_run_controller -write_ip MPPHY_0 -tx_data_width"));
    QVERIFY(m_tcl.eval("ona_run_controller -read_ip MPPHY_0 -tx_data_width"));
    QCOMPARE(ONCData::inst()->getHardIP("MPPHY_0", "tx_data_width"), QStringLiteral("16-bit"));
    // Lane 0 and the other quad were not touched.
    QVERIFY(m_tcl.eval("ona_set_controller -pcs_lane 0"));
    QCOMPARE(ONCData::inst()->getHardIP("MPPHY_0", "tx_data_width"), QStringLiteral("8-bit"));
    QVERIFY(m_tcl.eval("ona_run_controller -read_ip MPPHY_0"));
    QCOMPARE(ONCData::inst()->getHardIP("MPPHY_0", "tx_data_width"), QStringLiteral("8-bit"));
    QCOMPARE(got("MPPCIE_0", "tx_data_width"), QStringLiteral("8-bit"));
    // One key written leaves the other staged keys staged.
    QVERIFY(set("MPPHY_0", "rx_term_acdc", "AC"));
    QVERIFY(set("MPPHY_0", "tx_equal_pre", "27"));
    QVERIFY(m_tcl.eval("ona_run_controller -write_ip MPPHY_0 -rx_term_acdc"));
    QVERIFY(m_tcl.eval("ona_run_controller -read_ip MPPHY_0"));
    QCOMPARE(got("MPPHY_0", "rx_term_acdc"), QStringLiteral("AC"));
    QCOMPARE(got("MPPHY_0", "tx_equal_pre"), QStringLiteral("0"));
    QVERIFY(!set("MPPHY_0", "tx_equal_pre", "28"));
    QVERIFY(set("MPPHY_0", "tx_prbs_pat0", "0101010101"));
    QVERIFY(!set("MPPHY_0", "tx_prbs_pat0", "010101010"));
    QVERIFY(!m_tcl.eval("ona_set_controller -pcs_lane 4"));
    QVERIFY(m_tcl.result().contains(QLatin1String("0 to 3")));
    // A single-lane block ignores the lane.
    QVERIFY(m_tcl.eval("ona_set_controller -pcs_lane 3"));
    QVERIFY(set("PCSCH_0", "tx_invert_polarity", "on"));
    QVERIFY(m_tcl.eval("ona_set_controller -pcs_lane 0"));
    QCOMPARE(got("PCSCH_0", "tx_invert_polarity", true), QStringLiteral("on"));
}

void TestHardIp::addressSpaces() {
    // Absolute addresses reach the block that holds them, and only it.
    QVERIFY(m_tcl.eval("ona_write_controller -addr 0x8005 -data 0xCAFE"));
    QVERIFY(m_tcl.eval("ona_read_controller -addr 0x8005"));
    QCOMPARE(m_tcl.result(), QStringLiteral("0000CAFE"));
    QVERIFY(m_tcl.eval("ona_read_controller -addr 0x8105"));
    QCOMPARE(m_tcl.result(), QStringLiteral("00000000"));
    QVERIFY(m_tcl.eval("ona_read_controller -addr 0x5"));
    QCOMPARE(m_tcl.result(), QStringLiteral("00000000"));
    QVERIFY(!m_tcl.eval("ona_write_controller -addr 0x9040 -data 0x1"));
    QVERIFY(!m_tcl.eval("ona_write_controller -addr 0x8005 -data 0x100000000"));
    QVERIFY2(m_tcl.result().contains(QLatin1String("PCSCH_0")), qPrintable(m_tcl.result()));

    // Dumped from one channel, loaded into the other, at the block's own
    // word offsets. The user memory's width and depth do not apply.
    ONCData::inst()->setMemDepth(1024);
    ONCData::inst()->setMemWidth(32);
    const QString file = m_demo->path(QStringLiteral("pcs [0] $x.mem"));
    QVERIFY2(m_tcl.call(
                 {"ona_run_controller", "-dump_memfile", file, "-hard_ip", "PCSCH_0", "-offset", "0x4", "-range", "2"}),
             qPrintable(m_tcl.result()));
    QVERIFY(readAll(file).endsWith("@4\n00000000\n0000cafe\n"));
    QVERIFY2(m_tcl.call({"ona_run_controller", "-load_memfile", file, "-hard_ip", "PCSCH_1"}),
             qPrintable(m_tcl.result()));
    QVERIFY(m_tcl.eval("ona_read_controller -addr 0x8105"));
    QCOMPARE(m_tcl.result(), QStringLiteral("0000CAFE"));
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

QTEST_GUILESS_MAIN(TestHardIp)
#include "tst_hardip.moc"
