#include "shell/openocddialog.h"

#include "onajtag.h"

#include "basgui/lineeditwithbrowse.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>

namespace vemo::toolona {

OpenocdDialog::OpenocdDialog(const CableSettings& settings, QWidget* parent) : QDialog(parent), m_settings(settings) {
    setObjectName(QStringLiteral("OpenocdDialog"));
    setWindowTitle(tr("OpenOCD Settings"));
    setModal(true);

    auto* form = new QFormLayout;
    m_ftdi = new QLineEdit(settings.ftdi, this);
    m_ftdi->setToolTip(
        tr("For the CBL-U2B (FTDI) cable: vendor id, product id, channel (0-3), and the initial "
           "data and direction of the MPSSE pins"));
    form->addRow(tr("FTDI cable:"), m_ftdi);
    m_interface = new vemo::basgui::LineEditWithBrowse(this);
    m_interface->setText(settings.interfaceFile);
    m_interface->lineEdit()->setPlaceholderText(tr("OpenOCD interface configuration file"));
    m_interface->setToolTip(
        tr("For the CBL-U2A cable: any adapter OpenOCD knows, by its interface file "
           "(for example /usr/share/openocd/scripts/interface/jlink.cfg)"));
    form->addRow(tr("Interface file:"), m_interface);
    m_openocd = new QLineEdit(settings.openocd, this);
    m_openocd->setPlaceholderText(tr("empty: start OpenOCD"));
    m_openocd->setToolTip(
        tr("HOST:PORT of the Tcl server of an OpenOCD you run yourself, optionally followed by "
           "the name of its TAP; empty to let the tool start OpenOCD"));
    form->addRow(tr("Running OpenOCD:"), m_openocd);
    m_tap = new QLineEdit(OnaJTAG::tapText(settings), this);
    m_tap->setToolTip(
        tr("The TAP in front of the debug hub: IR length, the user instruction that selects the "
           "hub, and the IDCODE expected (0: not checked)"));
    form->addRow(tr("TAP:"), m_tap);

    m_error = new QLabel(this);
    m_error->setWordWrap(true);
    m_error->setStyleSheet(QStringLiteral("color: red"));
    m_error->hide();

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &OpenocdDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &OpenocdDialog::reject);

    auto* top = new QVBoxLayout(this);
    top->addLayout(form);
    top->addWidget(m_error);
    top->addWidget(buttons);
    setMinimumWidth(460);
}

void OpenocdDialog::accept() {
    // Checked as the engine checks them, so a mistake is corrected here
    // rather than refused half-way through the cable manager's commands.
    CableSettings c = m_settings;
    c.ftdi = m_ftdi->text().simplified();
    c.interfaceFile = m_interface->text();
    c.openocd = m_openocd->text().trimmed();
    QString fault;
    if (!OnaJTAG::parseTap(m_tap->text(), &c))
        fault = tr("The TAP must be IRLENGTH USERINSTRUCTION IDCODE (numbers), not \"%1\".").arg(m_tap->text());
    else
        fault = OnaJTAG::fieldFault(c);
    if (!fault.isEmpty()) {
        fault[0] = fault.at(0).toUpper();
        m_error->setText(fault);
        m_error->show();
        return;
    }
    m_settings = c;
    QDialog::accept();
}

} // namespace vemo::toolona
