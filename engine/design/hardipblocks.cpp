#include "hardipblocks.h"

#include <algorithm>

namespace {

QStringList numbers(int count) {
    QStringList out;
    for (int i = 0; i < count; ++i)
        out << QString::number(i);
    return out;
}

HardIpKey key(const char* name, HardIpKey::Kind kind, const QString& initial, bool perLane = false) {
    HardIpKey k;
    k.name = QLatin1String(name);
    k.kind = kind;
    k.initial = initial;
    k.perLane = perLane;
    return k;
}

HardIpKey choice(const char* name, const QStringList& items, bool perLane = false) {
    HardIpKey k = key(name, HardIpKey::Choice, items.first(), perLane);
    k.items = items;
    return k;
}

HardIpKey range(const char* name, int min, int max, int initial = 0) {
    HardIpKey k = key(name, HardIpKey::Range, QString::number(initial));
    k.min = min;
    k.max = max;
    return k;
}

HardIpKey status(const char* name, const QString& initial, bool perLane = false) {
    return key(name, HardIpKey::Status, initial, perLane);
}

const QStringList onOff{QStringLiteral("on"), QStringLiteral("off")};
const QStringList disabledEnabled{QStringLiteral("Disabled"), QStringLiteral("Enabled")};

HardIpBlock pcs() {
    HardIpBlock b;
    b.kind = QStringLiteral("pcs");
    HardIpKey off = choice("tx_invert_polarity", onOff);
    off.initial = QStringLiteral("off");
    const auto offChoice = [&](const char* name) {
        HardIpKey k = choice(name, onOff);
        k.initial = QStringLiteral("off");
        return k;
    };
    b.keys = {
        choice("tx_differential_amplitude",
               {QStringLiteral("1000mV"), QStringLiteral("900mV"), QStringLiteral("800mV"), QStringLiteral("700mV"),
                QStringLiteral("600mV"), QStringLiteral("500mV"), QStringLiteral("400mV"), QStringLiteral("300mV"),
                QStringLiteral("200mV"), QStringLiteral("100mV"), QStringLiteral("0mV")}),
        choice("tx_output_termination", {QStringLiteral("100 ohm"), QStringLiteral("150 ohm")}),
        range("tx_postcursor_ratio", 0, 63),
        range("tx_precursor_ratio", 0, 63),
        off,
        status("tx_pll_lol_status", QStringLiteral("Locked")),
        choice("rx_input_termination", {QStringLiteral("100 ohm"), QStringLiteral("150 ohm")}),
        choice("rx_equalization",
               {QStringLiteral("RL2plus 8GT/s"), QStringLiteral("RL2plus 5GT/s"), QStringLiteral("RL2plus 2.5GT/s"),
                QStringLiteral("SS_LMS 8GT/s"), QStringLiteral("SS_LMS 5GT/s"), QStringLiteral("SS_LMS 2.5GT/s")}),
        offChoice("rx_invert_polarity"),
        status("rx_cdr_lol_status", QStringLiteral("Loss of Lock")),
        status("rx_data_lol_status", QStringLiteral("Loss of Lock")),
        choice(
            "loopback_mode",
            {QStringLiteral("Disabled"), QStringLiteral("PMA Near-End Serial Loopback"),
             QStringLiteral("PMA Far-End Parallel Loopback"), QStringLiteral("8B/10B PCS Near-End Parallel Loopback"),
             QStringLiteral("8B/10B PCS Far-End Parallel Loopback"), QStringLiteral("64B/66B PCS Loopback Path A"),
             QStringLiteral("64B/66B PCS Loopback Path B"), QStringLiteral("64B/66B PCS Loopback Path C")}),
        offChoice("reset_tx_mpcs"),
        offChoice("reset_rx_mpcs"),
        offChoice("reset_tx_pll"),
        offChoice("reset_rx_pll"),
        offChoice("force_tx_driver"),
        offChoice("force_rx_driver"),
    };
    return b;
}

HardIpBlock pcie() {
    HardIpBlock b;
    b.kind = QStringLiteral("pcie");
    b.keys = {status("data_linkup_status", QStringLiteral("1")), status("physical_linkup_status", QStringLiteral("1")),
              status("pcie_link_speed", QStringLiteral("5.0 GT/s")), status("ltssm_main_state", QStringLiteral("L0")),
              status("ltssm_sub_state", QStringLiteral("Idle"))};
    for (const char* flag :
         {"nullified_tlp_received", "tlp_phy_error", "malformed_tlp", "tlp_ecrc_mismatch", "tlp_seq_mismatch",
          "tlp_lcrc_mismatch", "nak_received", "rx_fifo_overflow", "replay_timer_timeout", "replay_num_rollover",
          "bad_dllp_error", "bad_tlp_error", "receiver_error"})
        b.keys << status(flag, QStringLiteral("0"));
    b.keys << choice("swing_control", {QStringLiteral("full"), QStringLiteral("reduced")})
           << status("power_management_status", QStringLiteral("L0"));
    return b;
}

HardIpBlock i2c() {
    HardIpBlock b;
    b.kind = QStringLiteral("i2c");
    b.keys = {choice("generic_call_response", disabledEnabled),
              choice("sda_input_delay", disabledEnabled),
              choice("sda_output_delay", disabledEnabled),
              choice("fifo_mode_select", {QStringLiteral("Register Mode"), QStringLiteral("FIFO Mode")}),
              choice("fifo_clock_stretching", {QStringLiteral("Enabled"), QStringLiteral("Disabled")}),
              range("fifo_almost_full_value", 0, 31),
              choice("fifo_sleep_clock", disabledEnabled),
              choice("slave_address_match_wakeup", disabledEnabled),
              choice("fifo_almost_full_wakeup", disabledEnabled),
              choice("master_read_complete_wakeup", disabledEnabled)};
    return b;
}

HardIpBlock dphy() {
    HardIpBlock b;
    b.kind = QStringLiteral("dphy");
    b.keys = {choice("high_speed_select", {QStringLiteral("1.5 Gbps and below"), QStringLiteral("2.5 Gbps")}),
              choice("bypass_pll_clock", {QStringLiteral("Enabled"), QStringLiteral("Disabled")}),
              range("pll_cn_counter", 0, 31), range("pll_cm_counter", 0, 255), range("pll_co_counter", 0, 7)};
    return b;
}

HardIpBlock cdr() {
    HardIpBlock b;
    b.kind = QStringLiteral("cdr");
    b.keys = {choice("cdr_loss_of_lock", {QStringLiteral("Lock=+/-1000ppm x2 Unlock=+/-1500ppm x2"),
                                          QStringLiteral("Lock=+/-2000ppm x2 Unlock=+/-2500ppm x2"),
                                          QStringLiteral("Lock=+/-4000ppm Unlock=+/-7000ppm"),
                                          QStringLiteral("Lock=+/-300ppm Unlock=+/-450ppm")}),
              choice("loopback_control", {QStringLiteral("Disabled"), QStringLiteral("Bit Clock to IO"),
                                          QStringLiteral("Serial Data to IO")}),
              status("dco_frequency_acquisition_error", QStringLiteral("0")),
              status("dco_frequency_acquisition_done", QStringLiteral("1")),
              status("dco_calibration_done", QStringLiteral("1"))};
    return b;
}

HardIpBlock mpphy() {
    HardIpBlock b;
    b.kind = QStringLiteral("mpphy");
    b.lanes = 4;
    const QStringList prbs{QStringLiteral("Disabled"),    QStringLiteral("PRBS31"),       QStringLiteral("PRBS23_18"),
                           QStringLiteral("PRBS23_21"),   QStringLiteral("PRBS16"),       QStringLiteral("PRBS15"),
                           QStringLiteral("PRBS11"),      QStringLiteral("PRBS7"),        QStringLiteral("Fixed Word"),
                           QStringLiteral("DC Balanced"), QStringLiteral("Fixed Pattern")};
    const QStringList widths{QStringLiteral("8-bit"),  QStringLiteral("10-bit"), QStringLiteral("16-bit"),
                             QStringLiteral("20-bit"), QStringLiteral("32-bit"), QStringLiteral("40-bit")};
    const QStringList ohms{QStringLiteral("54-ohm"), QStringLiteral("52-ohm"), QStringLiteral("50-ohm"),
                           QStringLiteral("48-ohm"), QStringLiteral("46-ohm"), QStringLiteral("44-ohm"),
                           QStringLiteral("42-ohm"), QStringLiteral("40-ohm")};
    const QStringList offOn{QStringLiteral("Off"), QStringLiteral("On")};
    HardIpKey pat0;
    pat0.name = QStringLiteral("tx_prbs_pat0");
    pat0.kind = HardIpKey::Bits;
    pat0.initial = QStringLiteral("0000000000");
    pat0.perLane = true;
    b.keys = {choice("loopback_mode",
                     {QStringLiteral("Disabled"), QStringLiteral("Near-End Serial"), QStringLiteral("Parallel")}, true),
              choice("tx_prbs_pattern", prbs, true),
              choice("rx_prbs_pattern", prbs, true),
              pat0,
              status("rx_prbs_errcount", QStringLiteral("0"), true),
              status("pll_lock_status", QStringLiteral("Locked"), true),
              choice("tx_data_polarity", {QStringLiteral("Non-invert"), QStringLiteral("Invert")}, true),
              choice("tx_data_width", widths, true),
              choice("tx_data_enable", offOn, true),
              choice("tx_equal_pre", numbers(28), true),
              choice("tx_equal_main", numbers(25), true),
              choice("tx_equal_post", numbers(36), true),
              choice("tx_termination", ohms, true),
              choice("tx_amp_enable", offOn, true),
              choice("tx_amp_iboost", numbers(16), true),
              choice("tx_amp_vboost", numbers(8), true),
              status("cdr_lock_status", QStringLiteral("Locked"), true),
              status("rx_signal_status", QStringLiteral("Valid"), true),
              choice("rx_signal_threshold",
                     {QStringLiteral("60mVpp"), QStringLiteral("80mVpp"), QStringLiteral("100mVpp"),
                      QStringLiteral("120mVpp"), QStringLiteral("140mVpp"), QStringLiteral("160mVpp"),
                      QStringLiteral("180mVpp")},
                     true),
              choice("rx_data_polarity", {QStringLiteral("Non-Invert"), QStringLiteral("Invert")}, true),
              choice("rx_data_width", widths, true),
              choice("rx_equal_afe", numbers(8), true),
              choice("rx_equal_atten", numbers(8), true),
              choice("rx_equal_pole", numbers(4), true),
              choice("rx_equal_boost", numbers(32), true),
              choice("rx_equal_vga1", numbers(8), true),
              choice("rx_equal_vga2", numbers(8), true),
              choice("rx_termination", ohms, true),
              choice("rx_term_acdc", {QStringLiteral("DC"), QStringLiteral("AC")}, true)};
    return b;
}

HardIpBlock pll() {
    HardIpBlock b;
    b.kind = QStringLiteral("pll");
    return b;
}

} // namespace

const HardIpKey* HardIpBlock::key(const QString& name) const {
    for (const HardIpKey& k : keys)
        if (k.name == name)
            return &k;
    return nullptr;
}

namespace HardIpBlocks {

const HardIpBlock* forInstance(const QString& type, const QString& name) {
    static const HardIpBlock blocks[] = {pcs(), pcie(), i2c(), dphy(), cdr(), mpphy(), pll()};
    const auto kind = [&](const char* k) -> const HardIpBlock* {
        for (const HardIpBlock& b : blocks)
            if (b.kind == QLatin1String(k))
                return &b;
        return nullptr;
    };
    if (type == QLatin1String("dphy"))
        return kind("dphy");
    if (type == QLatin1String("cdr"))
        return kind("cdr");
    if (type == QLatin1String("i2c"))
        return kind("i2c");
    if (name.startsWith(QLatin1String("PCIELL")))
        return kind("pcie");
    if (name.startsWith(QLatin1String("PCSCH")))
        return kind("pcs");
    if (name.startsWith(QLatin1String("MPPHY")) || name.startsWith(QLatin1String("MPPCIE")))
        return kind("mpphy");
    if (type == QLatin1String("pll"))
        return kind("pll");
    return nullptr;
}

bool check(const HardIpKey& key, const QString& value, QString* canonical, QString* error) {
    switch (key.kind) {
        case HardIpKey::Status:
            *error = QStringLiteral("-%1 is a status the device reports; it cannot be set").arg(key.name);
            return false;
        case HardIpKey::Choice:
            for (const QString& item : key.items)
                if (item.compare(value, Qt::CaseInsensitive) == 0) {
                    *canonical = item;
                    return true;
                }
            *error = QStringLiteral("-%1 takes one of \"%2\", not \"%3\"")
                         .arg(key.name, key.items.join(QStringLiteral("\", \"")), value);
            return false;
        case HardIpKey::Range: {
            bool ok = false;
            const QString t = value.trimmed();
            const qlonglong v = t.toLongLong(&ok, 10);
            if (!ok || t.startsWith(QLatin1Char('+')) || v < key.min || v > key.max) {
                *error = QStringLiteral("-%1 takes a whole number from %2 to %3, not \"%4\"")
                             .arg(key.name)
                             .arg(key.min)
                             .arg(key.max)
                             .arg(value);
                return false;
            }
            *canonical = QString::number(v);
            return true;
        }
        case HardIpKey::Bits: {
            const bool bits = (value.size() == 8 || value.size() == 10) &&
                              std::all_of(value.begin(), value.end(),
                                          [](QChar c) { return c == QLatin1Char('0') || c == QLatin1Char('1'); });
            if (!bits) {
                *error = QStringLiteral("-%1 takes 8 or 10 binary digits, not \"%2\"").arg(key.name, value);
                return false;
            }
            *canonical = value;
            return true;
        }
    }
    return false;
}

} // namespace HardIpBlocks

HardIpValues HardIpBlocks::initialValues(const HardIpBlock* block) {
    HardIpValues v;
    if (block)
        for (const HardIpKey& k : block->keys)
            if (k.kind != HardIpKey::Status)
                v.insert(k.name, k.initial);
    return v;
}

int HardIpBlocks::laneCount(const HardIpBlock* block) { return block ? qMax(1, block->lanes) : 1; }
