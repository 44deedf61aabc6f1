#include "shell/cabledialog.h"
#include "shell/openocddialog.h"

#include "kit/tclcommand.h"
#include "kit/toolgateway.h"

#include "onadata.h"
#include "onajtag.h"

#include "basgui/busycursor.h"
#include "basgui/dialogseam.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

namespace vemo::toolona {

namespace {

constexpr int kWidth = 400;
constexpr int kHeight = 180;
constexpr int kErrorHeight = 200;
constexpr int kParallelIndex = 2;
constexpr int kSimulationIndex = 3;
// The engine's names of the targets, in the order of the target selector.
const QString kTargets[] = {QStringLiteral("simulated"), QStringLiteral("jtag")};
// The parallel ports offered by name, in the order of their buttons; the
// button after them takes any other address.
constexpr int kKnownPorts[] = {0x378, 0x278, 0x3BC};
constexpr int kOtherPort = int(std::size(kKnownPorts));

QString portText(int port) { return QString::number(port, 16).toUpper(); }
// The engine takes port numbers and addresses up to this.
constexpr int kMaxPort = 0xFFFF;

const QString kUsbTypes[] = {QStringLiteral("CBL-U2A"), QStringLiteral("CBL-U2B (FTDI)")};

// The number after the dash of "EzUSB-n" / "FTUSB-n"; -1 for anything else.
int usbPortNumber(const QString& text) {
    static const QRegularExpression re(QStringLiteral("^(?:EzUSB|FTUSB)-(\\d{1,5})$"));
    const QRegularExpressionMatch m = re.match(text);
    if (!m.hasMatch())
        return -1;
    const int port = m.captured(1).toInt();
    return port <= kMaxPort ? port : -1;
}

// A whole hexadecimal address within the engine's range; -1 otherwise.
int parallelAddress(const QString& text) {
    static const QRegularExpression re(QStringLiteral("^[A-Fa-f0-9]+$"));
    if (!re.match(text).hasMatch())
        return -1;
    bool ok = false;
    const uint value = text.toUInt(&ok, 16);
    return ok && value <= uint(kMaxPort) ? int(value) : -1;
}

} // namespace

CableDialog::CableDialog(ToolGateway* gateway, OnaJTAG* jtag, QWidget* parent)
    : QDialog(parent), m_gateway(gateway), m_jtag(jtag) {
    setObjectName(QStringLiteral("CableDialog"));
    setWindowTitle(tr("Cable Connection Manager"));
    setModal(true);

    auto* grid = new QGridLayout;
    grid->addWidget(new QLabel(tr("Cable Type:"), this), 0, 0);
    m_type = new QComboBox(this);
    m_type->addItems(
        {kUsbTypes[0], kUsbTypes[1], QStringLiteral("CBL-P3C (Parallel)"), tr("Simulation (remote_bitbang)")});
    grid->addWidget(m_type, 0, 1, 1, 6);

    m_portLabel = new QLabel(tr("USB Port:"), this);
    grid->addWidget(m_portLabel, 1, 0);
    m_usbPort = new QComboBox(this);
    grid->addWidget(m_usbPort, 1, 1, 1, 6);
    m_parGroup = new QButtonGroup(this);
    m_parGroup->setExclusive(true);
    for (int i = 0; i <= kOtherPort; ++i) {
        auto* button =
            new QRadioButton(QStringLiteral("0x") + (i < kOtherPort ? portText(kKnownPorts[i]) : QString()), this);
        m_parGroup->addButton(button, i);
        m_parButtons << button;
        grid->addWidget(button, 1, 1 + i);
    }
    m_address = new QLineEdit(this);
    m_address->setMaxLength(4);
    grid->addWidget(m_address, 1, 5);
    // The simulation's server: host and TCP port.
    m_host = new QLineEdit(this);
    m_host->setMaxLength(253);
    m_host->setToolTip(tr("Host of the simulation's remote_bitbang server"));
    grid->addWidget(m_host, 1, 1, 1, 4);
    m_serverPort = new QSpinBox(this);
    m_serverPort->setRange(1, kMaxPort);
    m_serverPort->setToolTip(tr("TCP port of the simulation's remote_bitbang server"));
    grid->addWidget(m_serverPort, 1, 5, 1, 2);
    grid->addWidget(new QLabel(tr("Target:"), this), 2, 0);
    m_target = new QComboBox(this);
    m_target->addItems({tr("Simulated device"), tr("Debug cores over JTAG (OpenOCD)")});
    m_target->setToolTip(
        tr("The simulated device answers without a cable; the debug cores in your design are "
           "reached through OpenOCD with the cable above"));
    // The longest entry would otherwise squeeze the labels in the fixed width.
    m_target->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    m_target->setMinimumContentsLength(12);
    grid->addWidget(m_target, 2, 1, 1, 4);
    m_openocdButton = new QPushButton(tr("OpenOCD..."), this);
    m_openocdButton->setToolTip(tr("How OpenOCD drives the cable and finds the debug hub"));
    grid->addWidget(m_openocdButton, 2, 5, 1, 2);

    auto* tckRow = new QHBoxLayout;
    tckRow->addWidget(new QLabel(tr("TCK Low Pulse Width Delay (upto 30x):"), this));
    m_tck = new QSpinBox(this);
    m_tck->setRange(1, 30);
    tckRow->addWidget(m_tck);
    m_tlr = new QCheckBox(tr("Avoid TLR State"), this);
    m_tlr->hide();
    tckRow->addWidget(m_tlr);
    tckRow->addStretch(1);

    m_error = new QLabel(this);
    m_error->setTextFormat(Qt::RichText);
    m_error->setWordWrap(true);
    m_error->hide();

    m_ok = new QPushButton(tr("&OK"), this);
    m_ok->setEnabled(false);
    m_ok->setDefault(true);
    m_cancel = new QPushButton(tr("&Cancel"), this);
    m_detect = new QPushButton(tr("&Detect"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_detect);

    auto* top = new QVBoxLayout(this);
    top->addLayout(grid);
    top->addLayout(tckRow);
    top->addWidget(m_error);
    top->addStretch(1);
    top->addLayout(buttons);
    setFixedSize(kWidth, kHeight);

    // The engine's current choice; the change signals connect once it is
    // shown, so that filling the controls changes nothing.
    OnaData* data = OnaData::inst();
    const QString type = data->getCableType();
    m_type->setCurrentIndex(type == QLatin1String("USB")      ? 0
                            : type == QLatin1String("USB2")   ? 1
                            : type == QLatin1String("REMOTE") ? kSimulationIndex
                                                              : kParallelIndex);
    const CableSettings cable = m_jtag ? m_jtag->settings() : CableSettings();
    m_pending = cable;
    m_target->setCurrentIndex(cable.device == kTargets[1] ? 1 : 0);
    m_openedTarget = m_target->currentIndex();
    m_host->setText(cable.host);
    m_serverPort->setValue(type == QLatin1String("REMOTE") ? qMax(1, cable.port) : 5555);
    doShowType(m_type->currentIndex());
    m_detect->setText(isParallelLayout() ? tr("Check") : tr("&Detect"));
    if (type == QLatin1String("REMOTE")) {
        // The server is in its own fields.
    } else if (type != QLatin1String("VORANTE")) {
        m_usbPort->addItem((type == QLatin1String("USB") ? QStringLiteral("EzUSB-%1") : QStringLiteral("FTUSB-%1"))
                               .arg(data->getCablePort()));
    } else {
        const int port = data->getCablePort();
        const int known =
            int(std::find(std::begin(kKnownPorts), std::end(kKnownPorts), port) - std::begin(kKnownPorts));
        m_parButtons.at(known)->setChecked(true);
        if (known == kOtherPort)
            m_address->setText(QString::number(port, 16));
    }
    m_tck->setValue(data->getTCKDelay());

    connect(m_type, &QComboBox::activated, this, &CableDialog::doShowType);
    connect(m_usbPort, &QComboBox::currentIndexChanged, this, &CableDialog::doPortChanged);
    connect(m_tck, &QSpinBox::valueChanged, this, &CableDialog::onValidateTCK);
    connect(m_tlr, &QCheckBox::toggled, this, &CableDialog::onValidateTLR);
    connect(m_ok, &QPushButton::clicked, this, &CableDialog::onOK);
    connect(m_cancel, &QPushButton::clicked, this, &CableDialog::onCancel);
    connect(m_detect, &QPushButton::clicked, this, &CableDialog::doDetectCable);
    connect(m_openocdButton, &QPushButton::clicked, this, &CableDialog::doEditOpenocd);
    connect(m_target, &QComboBox::currentIndexChanged, this,
            [this](int index) { m_openocdButton->setEnabled(index == 1); });
    m_openocdButton->setEnabled(m_target->currentIndex() == 1);
}

bool CableDialog::isParallelLayout() const { return m_type->currentIndex() == kParallelIndex; }

bool CableDialog::isSimulationLayout() const { return m_type->currentIndex() == kSimulationIndex; }

QString CableDialog::parallelAddressText() const {
    const int id = m_parGroup->checkedId();
    return id >= 0 && id < kOtherPort ? portText(kKnownPorts[id]) : m_address->text();
}

int CableDialog::chosenPort() const {
    if (isSimulationLayout())
        return m_host->text().trimmed().isEmpty() ? -1 : m_serverPort->value();
    if (isParallelLayout())
        return parallelAddress(parallelAddressText());
    return usbPortNumber(m_usbPort->currentText());
}

void CableDialog::onValidateTCK(int value) {
    // A new delay may be accepted without detecting again, but never while
    // there is no port to send with it.
    if (value >= 1 && value <= 10 && chosenPort() >= 0)
        m_ok->setEnabled(true);
}

void CableDialog::onValidateTLR(bool avoid) {
    m_type->setEnabled(!avoid);
    m_usbPort->setEnabled(!avoid);
    m_detect->setEnabled(!avoid);
    if (avoid)
        m_type->setCurrentIndex(0);
    m_ok->setEnabled(avoid && chosenPort() >= 0);
}

void CableDialog::onOK() {
    // Checked again here: a port that is not valid never reaches the engine.
    const int port = chosenPort();
    if (port < 0) {
        doErrDevice(isParallelLayout() ? tr("Parallel port error: address 0x%1 is invalid or cable not connected!")
                                             .arg(parallelAddressText().toHtmlEscaped())
                                       : tr("Missing USB port: please connect cable and detect again!"));
        return;
    }
    QString keyword;
    if (isSimulationLayout())
        keyword = QStringLiteral("REMOTE");
    else if (m_type->currentText().startsWith(QLatin1String("CBL-P3C (Parallel)")))
        keyword = QStringLiteral("VORANTE");
    else if (m_usbPort->currentText().startsWith(QLatin1String("FTUSB")))
        keyword = QStringLiteral("USB2");
    else
        keyword = QStringLiteral("USB");
    if (!m_gateway)
        return;
    QStringList commands{
        tclCommand(QStringLiteral("ona_set_project -cabletype %1"), keyword),
        tclCommand(QStringLiteral("ona_set_project -cableport %1"), QString::number(port)),
        tclCommand(QStringLiteral("ona_set_project -tckdelay %1"), QString::number(qMax(1, m_tck->value()))),
    };
    // A simulation is only reached over JTAG.
    const CableSettings cable = m_jtag ? m_jtag->settings() : CableSettings();
    const QString target = kTargets[isSimulationLayout() ? 1 : m_target->currentIndex()];
    if (isSimulationLayout() && m_host->text().trimmed() != cable.host)
        commands << tclCommand(QStringLiteral("ona_set_project -cablehost %1"), tclWord(m_host->text().trimmed()));
    // Only a change of target is sent: a project on a kind of its own keeps it.
    const QString current = cable.device.isEmpty() ? kTargets[0] : cable.device;
    if (target != current && (isSimulationLayout() || m_target->currentIndex() != m_openedTarget))
        commands << tclCommand(QStringLiteral("ona_set_project -target %1"), target);
    if (target == kTargets[1]) {
        // OpenOCD's settings, each only when it changed.
        const auto changed = [&](const QString& option, const QString& now, const QString& before) {
            if (now != before)
                commands << tclCommand(QStringLiteral("ona_set_project -%1 %2"), option, tclWord(now));
        };
        changed(QStringLiteral("ftdi"), m_pending.ftdi, cable.ftdi);
        changed(QStringLiteral("interface"), m_pending.interfaceFile, cable.interfaceFile);
        changed(QStringLiteral("openocd"), m_pending.openocd, cable.openocd);
        changed(QStringLiteral("tap"), OnaJTAG::tapText(m_pending), OnaJTAG::tapText(cable));
    }
    for (const QString& command : commands) {
        QString result;
        if (!m_gateway->tclEval(command, &result)) {
            // What the engine took so far is already marked by its own
            // change signal; the dialog stays open for a correction.
            doErrDevice(result.isEmpty() ? tr("The engine refused \"%1\".").arg(command).toHtmlEscaped()
                                         : result.toHtmlEscaped());
            return;
        }
    }
    m_gateway->markModified();
    accept();
}

void CableDialog::onCancel() { reject(); }

void CableDialog::doEditOpenocd() {
    OpenocdDialog dialog(m_pending, this);
    if (vemo::basgui::Dialogs::provider()->execDialog(&dialog) != QDialog::Accepted)
        return;
    m_pending = dialog.settings();
    // New settings are a reason to accept without detecting again, as long
    // as there is a port to send.
    if (chosenPort() >= 0)
        m_ok->setEnabled(true);
}

void CableDialog::doShowType(int index) {
    const bool parallel = index == kParallelIndex;
    const bool simulation = index == kSimulationIndex;
    m_portLabel->setText(parallel ? tr("Parallel Port:") : simulation ? tr("Server:") : tr("USB Port:"));
    m_detect->setText(parallel ? tr("Check") : tr("Detect"));
    m_usbPort->setVisible(!parallel && !simulation);
    m_host->setVisible(simulation);
    m_serverPort->setVisible(simulation);
    if (simulation)
        m_target->setCurrentIndex(1);
    m_target->setEnabled(!simulation);
    for (QRadioButton* button : std::as_const(m_parButtons))
        button->setVisible(parallel);
    m_address->setVisible(parallel);
    // Switching to the parallel cable offers the usual address rather than
    // none at all.
    if (parallel && m_parGroup->checkedId() < 0)
        m_parButtons.at(0)->setChecked(true);
    hideError();
}

void CableDialog::doPortChanged(int index) {
    if (index == -1)
        return;
    m_type->setCurrentIndex(m_usbPort->itemText(index).startsWith(QLatin1String("FTUSB")) ? 1 : 0);
}

void CableDialog::doDetectCable() {
    vemo::basgui::BusyCursor wait(Qt::WaitCursor);
    m_usbPort->clear();
    const QString type = m_type->currentText();
    if (isSimulationLayout()) {
        // The server serves one client: it is reached when a run starts,
        // not probed here. Only the fields are checked.
        if (m_host->text().trimmed().isEmpty()) {
            doErrDevice(tr("Missing server: please enter the simulation's host and port!"));
            return;
        }
    } else if (type == kUsbTypes[0] || type == kUsbTypes[1]) {
        const QStringList ports = m_jtag ? m_jtag->getUsbPorts(kTargets[m_target->currentIndex()]) : QStringList();
        if (ports.isEmpty()) {
            doErrDevice(tr("Missing USB port: please connect cable and detect again!"));
            return;
        }
        m_usbPort->addItems(ports);
        m_type->setCurrentIndex(ports.constFirst().startsWith(QLatin1String("FTUSB")) ? 1 : 0);
    } else if (type == QLatin1String("CBL-P3C (Parallel)")) {
        if (m_parGroup->checkedId() == 3 && m_address->text().isEmpty()) {
            doErrDevice(tr("Missing Parallel port: please enter correct address and check again!"));
            return;
        }
        const QString address = parallelAddressText();
        const int value = parallelAddress(address);
        if (value < 0 || !m_jtag || !m_jtag->checkParPort(value, kTargets[m_target->currentIndex()])) {
            doErrDevice(tr("Parallel port error: address 0x%1 is invalid or cable not connected!")
                            .arg(address.toHtmlEscaped()));
            m_address->clear();
            return;
        }
    }
    hideError();
    m_ok->setEnabled(true);
}

void CableDialog::doErrDevice(QString message) {
    m_error->setText(QStringLiteral("<font color=\"red\">%1</font>").arg(message));
    m_error->show();
    m_ok->setEnabled(false);
    setFixedSize(kWidth, kErrorHeight);
    repaint();
}

void CableDialog::hideError() {
    m_error->hide();
    setFixedSize(kWidth, kHeight);
}

} // namespace vemo::toolona
