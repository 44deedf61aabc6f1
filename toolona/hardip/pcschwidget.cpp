#include "hardip/pcschwidget.h"

#include "basgui/dialogseam.h"
#include "eye/eomflow.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace vemo::toolona {

namespace {

HardIpControl combo(const QString& label, const char* key, const QStringList& items) {
    HardIpControl c;
    c.kind = HardIpControl::Combo;
    c.label = label;
    c.key = QLatin1String(key);
    c.items = items;
    c.command = QStringLiteral("ona_set_controller -hard_ip %1 -%3 \"%2\"").replace(QLatin1String("%3"), c.key);
    return c;
}

HardIpControl spin(const QString& label, const char* key) {
    HardIpControl c = combo(label, key, {});
    c.kind = HardIpControl::Spin;
    c.min = 0;
    c.max = 63;
    return c;
}

HardIpControl status(const QString& label, const char* key) {
    HardIpControl c;
    c.kind = HardIpControl::Status;
    c.label = label;
    c.key = QLatin1String(key);
    return c;
}

HardIpControl section(const QString& label) {
    HardIpControl c;
    c.kind = HardIpControl::Section;
    c.label = label;
    return c;
}

HardIpControl spacer() {
    HardIpControl c;
    c.kind = HardIpControl::Spacer;
    return c;
}

} // namespace

PCSCHWidget::PCSCHWidget(ToolGateway* gateway, QWidget* parent) : HardIpWidget(gateway, parent) {}

QList<HardIpControl> PCSCHWidget::table() {
    const QStringList onOff{QStringLiteral("on"), QStringLiteral("off")};
    const QStringList ohms{QStringLiteral("100 ohm"), QStringLiteral("150 ohm")};
    HardIpControl amplitude =
        combo(QObject::tr("Differential Amplitude"), "tx_differential_amplitude",
              {QStringLiteral("1000mV"), QStringLiteral("900mV"), QStringLiteral("800mV"), QStringLiteral("700mV"),
               QStringLiteral("600mV"), QStringLiteral("500mV"), QStringLiteral("400mV"), QStringLiteral("300mV"),
               QStringLiteral("200mV"), QStringLiteral("100mV"), QStringLiteral("0mV")});
    amplitude.visibleItems = 11;
    return {
        spacer(),
        section(QObject::tr("Transmit Settings")),
        amplitude,
        combo(QObject::tr("Output Termination"), "tx_output_termination", ohms),
        spin(QObject::tr("Tx Post-Cursor Ratio"), "tx_postcursor_ratio"),
        spin(QObject::tr("Tx Pre-Cursor Ratio"), "tx_precursor_ratio"),
        combo(QObject::tr("Invert Tx Data Polarity"), "tx_invert_polarity", onOff),
        status(QObject::tr("Tx PLL Loss of Lock Status"), "tx_pll_lol_status"),
        spacer(),
        section(QObject::tr("Receive Settings")),
        combo(QObject::tr("Input Termination"), "rx_input_termination", ohms),
        combo(QObject::tr("Rx EQ"), "rx_equalization",
              {QStringLiteral("RL2plus 8GT/s"), QStringLiteral("RL2plus 5GT/s"), QStringLiteral("RL2plus 2.5GT/s"),
               QStringLiteral("SS_LMS 8GT/s"), QStringLiteral("SS_LMS 5GT/s"), QStringLiteral("SS_LMS 2.5GT/s")}),
        combo(QObject::tr("Invert Rx Data Polarity"), "rx_invert_polarity", onOff),
        status(QObject::tr("CDR Loss of Lock Status"), "rx_cdr_lol_status"),
        status(QObject::tr("Data Loss of Lock Status"), "rx_data_lol_status"),
        spacer(),
        section(QObject::tr("Loopback Mode Settings")),
        combo(QObject::tr("Loopback Mode"), "loopback_mode",
              {QStringLiteral("Disabled"), QStringLiteral("PMA Near-End Serial Loopback"),
               QStringLiteral("PMA Far-End Parallel Loopback"), QStringLiteral("8B/10B PCS Near-End Parallel Loopback"),
               QStringLiteral("8B/10B PCS Far-End Parallel Loopback"), QStringLiteral("64B/66B PCS Loopback Path A"),
               QStringLiteral("64B/66B PCS Loopback Path B"), QStringLiteral("64B/66B PCS Loopback Path C")}),
        spacer(),
        section(QObject::tr("Serdes/PCS Reset")),
        combo(QObject::tr("MPCS Tx Reset"), "reset_tx_mpcs", onOff),
        combo(QObject::tr("MPCS Rx Reset"), "reset_rx_mpcs", onOff),
        combo(QObject::tr("PMA Tx Reset"), "reset_tx_pll", onOff),
        combo(QObject::tr("PMA Rx Reset"), "reset_rx_pll", onOff),
        combo(QObject::tr("PMA Tx HiZ"), "force_tx_driver", onOff),
        combo(QObject::tr("PMA Rx HiZ"), "force_rx_driver", onOff),
    };
}

void PCSCHWidget::createControls(int& row) {
    m_eom = new QPushButton(tr("Eye-Opening Monitor..."), addressGroup());
    grid()->addWidget(m_eom, hierarchyRow(), 5, 1, 3);
    setHierarchyWidth(376, 4);
    connect(m_eom, &QPushButton::clicked, this, &PCSCHWidget::onEomBtnClicked);
    addControls(table(), row);
    addApplyReload(row);
}

void PCSCHWidget::onEomBtnClicked() { EomFlow::runChannel(this, gateway()); }

void PCSCHWidget::loadEomCsvFile(const QString& path) {
    EomFlow::showCsvFile(this, path, tr("Error: Cannot read eom file."));
}

void PCSCHWidget::showRefusal(const HardIpControl& control, const QString& result) {
    // The engine refuses a cursor ratio sum above 63 without a text; any
    // other refusal says why itself.
    if (control.key == QLatin1String("tx_postcursor_ratio") || control.key == QLatin1String("tx_precursor_ratio")) {
        if (result.isEmpty()) {
            vemo::basgui::Dialogs::message(
                QMessageBox::Critical, this, tr("Ondrel Analyzer"),
                tr("ERROR: Sum of Tx Post-Cursor Ratio and Tx Pre-Cursor Ratio should be less than or equal to 63."),
                QMessageBox::Ok);
            return;
        }
    }
    HardIpWidget::showRefusal(control, result);
}

} // namespace vemo::toolona
