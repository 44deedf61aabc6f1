#include "hardip/blockpanels.h"

#include "hardipblocks.h"

namespace vemo::toolona {

namespace {

QString tr(const char* text) { return BlockPanel::tr(text); }

HardIpControl control(HardIpControl::Kind kind, const QString& label, const char* key) {
    HardIpControl c;
    c.kind = kind;
    c.label = label;
    c.key = QLatin1String(key);
    return c;
}

// A choice staged in double quotes.
HardIpControl combo(const QString& label, const char* key, bool fixed = false) {
    HardIpControl c = control(HardIpControl::Combo, label, key);
    c.command = QStringLiteral("ona_set_controller -hard_ip %1 -") + c.key + QStringLiteral(" \"%2\"");
    c.fixedSize = fixed;
    return c;
}

// A whole number staged bare when editing finishes.
HardIpControl number(const QString& label, const char* key, bool fixed = false) {
    HardIpControl c = control(HardIpControl::Number, label, key);
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

QList<HardIpControl> pcieControls() {
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
            combo(tr("Swing Control"), "swing_control"),
            status(tr("Power Management State Machine"), "power_management_status")};
}

QList<HardIpControl> i2cControls() {
    return {spacer(),
            combo(tr("Generic Call Response:"), "generic_call_response"),
            combo(tr("SDA Input Delay:"), "sda_input_delay"),
            combo(tr("SDA Output Delay:"), "sda_output_delay"),
            combo(tr("FIFO Mode Select:"), "fifo_mode_select"),
            combo(tr("FIFO Clock Stretching:"), "fifo_clock_stretching"),
            number(tr("FIFO Almost Full Value (max 31):"), "fifo_almost_full_value"),
            combo(tr("FIFO Sleep Clock:"), "fifo_sleep_clock"),
            combo(tr("Slave Address Match Wakeup:"), "slave_address_match_wakeup"),
            combo(tr("FIFO Almost Full Wakeup:"), "fifo_almost_full_wakeup"),
            combo(tr("Master Read Complete Wakeup:"), "master_read_complete_wakeup")};
}

QList<HardIpControl> dphyControls() {
    return {spacer(),
            combo(tr("High Speed Select:"), "high_speed_select", true),
            combo(tr("Bypass PLL Clock:"), "bypass_pll_clock", true),
            number(tr("PLL CN Counter (max 31):"), "pll_cn_counter", true),
            number(tr("PLL CM Counter (max 255):"), "pll_cm_counter", true),
            number(tr("PLL CO Counter (max 7):"), "pll_co_counter", true)};
}

QList<HardIpControl> cdrControls() {
    HardIpControl lossOfLock = combo(tr("CDR Loss of Lock:"), "cdr_loss_of_lock", true);
    // Across the range field's column too, and narrower than its longest
    // item, so that the labels keep their width in the panel's 726 pixels.
    lossOfLock.columnSpan = 4;
    lossOfLock.contentsLength = 24;
    return {spacer(),
            lossOfLock,
            combo(tr("Loopback Control:"), "loopback_control", true),
            lamp(tr("DCO Frequency Acquisition Error:"), "dco_frequency_acquisition_error", 1),
            lamp(tr("DCO Frequency Acquisition Done:"), "dco_frequency_acquisition_done", 2),
            lamp(tr("DCO Calibration Done:"), "dco_calibration_done", 2)};
}

// The PCIe link layer shows the device's status at once; the others their
// defaults until Reload.
const BlockPanelRow kRows[] = {
    {QStringLiteral("pcie"), pcieControls, false, false},
    {QStringLiteral("i2c"), i2cControls, true, true},
    {QStringLiteral("dphy"), dphyControls, true, true},
    {QStringLiteral("cdr"), cdrControls, true, true},
};

} // namespace

BlockPanel::BlockPanel(const BlockPanelRow& row, ToolGateway* gateway, QWidget* parent)
    : HardIpWidget(gateway, parent), m_row(row) {}

const BlockPanelRow* BlockPanel::rowFor(const QString& kind) {
    for (const BlockPanelRow& row : kRows)
        if (row.kind == kind)
            return &row;
    return nullptr;
}

QList<HardIpControl> BlockPanel::table() const {
    QList<HardIpControl> controls = m_row.controls();
    const HardIpBlock* block = HardIpBlocks::forInstance(data().getType(), name());
    for (HardIpControl& c : controls) {
        const HardIpKey* key = block && !c.key.isEmpty() ? block->key(c.key) : nullptr;
        if (!key)
            continue;
        if (c.kind == HardIpControl::Combo)
            c.items = key->items;
        else if (c.kind == HardIpControl::Number) {
            c.min = key->min;
            c.max = key->max;
        }
    }
    return controls;
}

void BlockPanel::createControls(int& row) {
    addControls(table(), row);
    addApplyReload(row, m_row.applyOnLastRow);
}

void BlockPanel::updateFromEngine() {
    if (!m_row.defaultsUntilReload)
        HardIpWidget::updateFromEngine();
}

void BlockPanel::reloadControls() {
    if (m_row.defaultsUntilReload)
        loadControls(false);
    else
        HardIpWidget::reloadControls();
}

} // namespace vemo::toolona
