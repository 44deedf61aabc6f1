#include "hardip/blockpanels.h"

namespace vemo::toolona {

namespace {

HardIpControl control(HardIpControl::Kind kind, const QString& label, const char* key) {
    HardIpControl c;
    c.kind = kind;
    c.label = label;
    c.key = QLatin1String(key);
    return c;
}

// A choice staged in double quotes.
HardIpControl combo(const QString& label, const char* key, const QStringList& items, bool fixed = false) {
    HardIpControl c = control(HardIpControl::Combo, label, key);
    c.items = items;
    c.command = QStringLiteral("ona_set_controller -hard_ip %1 -") + c.key + QStringLiteral(" \"%2\"");
    c.fixedSize = fixed;
    return c;
}

// A whole number staged bare when editing finishes.
HardIpControl number(const QString& label, const char* key, int max, bool fixed = false) {
    HardIpControl c = control(HardIpControl::Number, label, key);
    c.max = max;
    c.command = QStringLiteral("ona_set_controller -hard_ip %1 -") + c.key + QStringLiteral(" %2");
    c.fixedSize = fixed;
    return c;
}

HardIpControl status(const QString& label, const char* key) { return control(HardIpControl::Status, label, key); }

HardIpControl lamp(const QString& label, const char* key, int on) {
    HardIpControl c = control(HardIpControl::Lamp, label, key);
    c.lampOn = on;
    return c;
}

HardIpControl section(const QString& label) { return control(HardIpControl::Section, label, ""); }
HardIpControl spacer() { return control(HardIpControl::Spacer, QString(), ""); }

const QStringList disabledEnabled{QStringLiteral("Disabled"), QStringLiteral("Enabled")};
const QStringList enabledDisabled{QStringLiteral("Enabled"), QStringLiteral("Disabled")};

} // namespace

QList<HardIpControl> PCIELLWidget::table() {
    return {spacer(),
            section(tr("Current Link Status")),
            status(tr("Data Link Layer Link Up Status"), "data_linkup_status"),
            status(tr("Physical Link Layer Link Up Status"), "physical_linkup_status"),
            status(tr("Link Speed"), "pcie_link_speed"),
            spacer(),
            section(tr("LTSSM State Machine State")),
            status(tr("Main State"), "ltssm_main_state"),
            status(tr("Sub-State"), "ltssm_sub_state"),
            spacer(),
            section(tr("Data Link Layer Status")),
            status(tr("Nullified TLP Received"), "nullified_tlp_received"),
            status(tr("TLP PHY Error"), "tlp_phy_error"),
            status(tr("Malformed TLP"), "malformed_tlp"),
            status(tr("TLP ECRC Mismatch"), "tlp_ecrc_mismatch"),
            status(tr("TLP Sequence Number Mismatch"), "tlp_seq_mismatch"),
            status(tr("TLP LCRC Mismatch"), "tlp_lcrc_mismatch"),
            status(tr("NAK Received"), "nak_received"),
            status(tr("Rx Deskew FIFO Overflow Error"), "rx_fifo_overflow"),
            status(tr("Replay Timer Timeout Error"), "replay_timer_timeout"),
            status(tr("Replay Num Rollover Error"), "replay_num_rollover"),
            status(tr("Bad DLLP Error"), "bad_dllp_error"),
            status(tr("Bad TLP Error"), "bad_tlp_error"),
            status(tr("Receiver Error"), "receiver_error"),
            spacer(),
            section(tr("Other Control")),
            combo(tr("Swing Control"), "swing_control", {QStringLiteral("full"), QStringLiteral("reduced")}),
            status(tr("Power Management State Machine"), "power_management_status")};
}

void PCIELLWidget::createControls(int& row) {
    addControls(table(), row);
    addApplyReload(row);
}

QList<HardIpControl> I2CFIFOWidget::table() {
    return {spacer(),
            combo(tr("Generic Call Response:"), "generic_call_response", disabledEnabled),
            combo(tr("SDA Input Delay:"), "sda_input_delay", disabledEnabled),
            combo(tr("SDA Output Delay:"), "sda_output_delay", disabledEnabled),
            combo(tr("FIFO Mode Select:"), "fifo_mode_select",
                  {QStringLiteral("Register Mode"), QStringLiteral("FIFO Mode")}),
            combo(tr("FIFO Clock Stretching:"), "fifo_clock_stretching", enabledDisabled),
            number(tr("FIFO Almost Full Value (max 31):"), "fifo_almost_full_value", 31),
            combo(tr("FIFO Sleep Clock:"), "fifo_sleep_clock", disabledEnabled),
            combo(tr("Slave Address Match Wakeup:"), "slave_address_match_wakeup", disabledEnabled),
            combo(tr("FIFO Almost Full Wakeup:"), "fifo_almost_full_wakeup", disabledEnabled),
            combo(tr("Master Read Complete Wakeup:"), "master_read_complete_wakeup", disabledEnabled)};
}

void I2CFIFOWidget::createControls(int& row) {
    addControls(table(), row);
    addApplyReload(row, true);
}

QList<HardIpControl> DPHYWidget::table() {
    return {spacer(),
            combo(tr("High Speed Select:"), "high_speed_select",
                  {QStringLiteral("1.5 Gbps and below"), QStringLiteral("2.5 Gbps")}, true),
            combo(tr("Bypass PLL Clock:"), "bypass_pll_clock", enabledDisabled, true),
            number(tr("PLL CN Counter (max 31):"), "pll_cn_counter", 31, true),
            number(tr("PLL CM Counter (max 255):"), "pll_cm_counter", 255, true),
            number(tr("PLL CO Counter (max 7):"), "pll_co_counter", 7, true)};
}

void DPHYWidget::createControls(int& row) {
    addControls(table(), row);
    addApplyReload(row, true);
}

QList<HardIpControl> SGMIICDRWidget::table() {
    HardIpControl lossOfLock = combo(tr("CDR Loss of Lock:"), "cdr_loss_of_lock",
                                     {QStringLiteral("Lock=+/-1000ppm x2 Unlock=+/-1500ppm x2"),
                                      QStringLiteral("Lock=+/-2000ppm x2 Unlock=+/-2500ppm x2"),
                                      QStringLiteral("Lock=+/-4000ppm Unlock=+/-7000ppm"),
                                      QStringLiteral("Lock=+/-300ppm Unlock=+/-450ppm")},
                                     true);
    // Across the range field's column too, and narrower than its longest
    // item, so that the labels keep their width in the panel's 726 pixels.
    lossOfLock.columnSpan = 4;
    lossOfLock.contentsLength = 24;
    return {spacer(),
            lossOfLock,
            combo(tr("Loopback Control:"), "loopback_control",
                  {QStringLiteral("Disabled"), QStringLiteral("Bit Clock to IO"), QStringLiteral("Serial Data to IO")},
                  true),
            lamp(tr("DCO Frequency Acquisition Error:"), "dco_frequency_acquisition_error", 1),
            lamp(tr("DCO Frequency Acquisition Done:"), "dco_frequency_acquisition_done", 2),
            lamp(tr("DCO Calibration Done:"), "dco_calibration_done", 2)};
}

void SGMIICDRWidget::createControls(int& row) {
    addControls(table(), row);
    addApplyReload(row, true);
}

} // namespace vemo::toolona
