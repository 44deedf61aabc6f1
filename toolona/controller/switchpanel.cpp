#include "controller/switchpanel.h"

#include "controller/controllervalue.h"
#include "controller/virtualswitchitem.h"
#include "kit/tclcommand.h"
#include "kit/toolgateway.h"
#include "widgets/hexvaluelineedit.h"

#include "basgui/busycursor.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSpacerItem>
#include <QVBoxLayout>

namespace vemo::toolona {

namespace cv = controllervalue;

SwitchPanel::SwitchPanel(ToolGateway* gateway, QWidget* parent)
    : VirtualIOPanel(gateway, tr("Virtual Switch"), tr("Data:"), parent) {
    m_dataEdit = new HexValueLineEdit(m_group);
    m_dataEdit->setObjectName(QStringLiteral("switchData"));
    m_dataEdit->setText(QStringLiteral("0"));
    m_grid->addWidget(m_dataEdit, 1, 1);
    m_direct = addHeaderControl(new QCheckBox(tr("Direct Mode"), m_group), 5);
    m_reset = addHeaderControl(new QPushButton(tr("Reset"), m_group), 6);
    m_apply = addHeaderControl(new QPushButton(tr("Apply"), m_group), 7);
    addItemArea(8);

    connect(m_reset, &QPushButton::clicked, this, &SwitchPanel::handleResetButtonClicked);
    connect(m_apply, &QPushButton::clicked, this, &SwitchPanel::handleApplyButtonClicked);
    connect(m_direct, &QCheckBox::toggled, this, &SwitchPanel::toggleDirectMode);
    connect(m_dataEdit, &QLineEdit::textEdited, this, &SwitchPanel::handleDataModified);
    hide();
}

void SwitchPanel::setData(const VirtualSwitchData& data) {
    m_data = data;
    fillItems(m_data, tr("Virtual Switch (%1)"),
              tr("Showing the first %1 of %2 switches: the switch value is 32 bits wide."), &m_items);
    for (VirtualSwitchItem* item : m_items)
        connect(item, &VirtualSwitchItem::clicked, this, &SwitchPanel::handleSwitchButtonClicked);
    m_dataEdit->fitDigits((int(m_items.size()) + 3) / 4);
    // A value wider than the switches stays as typed, marked, and Apply
    // refuses it (handleDataModified): it is never cut to other switches.
    handleDataModified();
    setVisible(!m_items.isEmpty());
}

QSize SwitchPanel::sizeHint() const { return {835, (int(m_items.size()) / 8) * 70 + 160}; }

QString SwitchPanel::switchValue() const {
    quint32 v = 0;
    for (int i = 0; i < m_items.size(); ++i)
        if (m_items.at(i)->isChecked())
            v |= quint32(1) << i;
    return QString::number(v, 16);
}

void SwitchPanel::setTypedFits(bool fits) {
    m_typedFits = fits;
    m_dataEdit->setStyleSheet(fits ? QStringLiteral("font-size : 12px")
                                   : QStringLiteral("font-size : 12px; color: #d03030"));
    m_dataEdit->setToolTip(fits ? QString()
                                : tr("More than the %1 switches hold: at most 0x%2")
                                      .arg(m_items.size())
                                      .arg(QString::number(cv::mask(int(m_items.size())), 16)));
}

void SwitchPanel::setSwitchValue(const QString& value, bool updateText) {
    bool ok = false;
    const quint32 v = cv::parse(value, &ok);
    if (updateText) {
        // The field holds digits only and no more than the switches need.
        QString digits = cv::withoutPrefix(value);
        if (!ok || digits.size() > qMax(1, (int(m_items.size()) + 3) / 4))
            digits = QString::number(v & cv::mask(int(m_items.size())), 16);
        const QSignalBlocker block(m_dataEdit);
        m_dataEdit->setText(digits);
        setTypedFits(true);
    }
    for (int i = 0; i < m_items.size(); ++i) {
        const QSignalBlocker block(m_items.at(i));
        m_items.at(i)->setChecked((v >> i) & 1u);
    }
    update();
}

void SwitchPanel::handleResetButtonClicked() {
    vemo::basgui::BusyCursor busy;
    QString result;
    if (m_gateway && m_gateway->tclEval(QStringLiteral("ona_run_controller -read_switch"), &result) &&
        !result.contains(QLatin1String("ERROR")))
        setSwitchValue(result, true);
}

bool SwitchPanel::writeSwitches() {
    vemo::basgui::BusyCursor busy;
    return sendCommand(m_gateway, tclCommand(QStringLiteral("ona_run_controller -write_switch 0x%1"), switchValue()));
}

void SwitchPanel::handleApplyButtonClicked() {
    // A typed value the switches cannot hold is not written as something else.
    if (!m_typedFits) {
        if (m_gateway)
            m_gateway->reportRefusal(m_dataEdit->toolTip());
        return;
    }
    if (writeSwitches() && m_gateway)
        m_gateway->reportDone(tr("Virtual switches: Apply wrote 0x%1 to the device.").arg(switchValue()));
}

void SwitchPanel::handleSwitchButtonClicked() {
    m_dataEdit->setText(switchValue());
    setTypedFits(true);
    if (m_direct->isChecked())
        writeSwitches();
}

void SwitchPanel::toggleDirectMode(bool checked) {
    m_reset->setEnabled(!checked);
    m_apply->setEnabled(!checked);
    m_dataEdit->setEnabled(!checked);
}

void SwitchPanel::handleDataModified() {
    const QString text = m_dataEdit->text();
    bool ok = false;
    const quint32 v = cv::parse(text.isEmpty() ? QStringLiteral("0") : text, &ok);
    const bool fits = ok && (v & ~cv::mask(int(m_items.size()))) == 0;
    setTypedFits(fits);
    if (fits)
        setSwitchValue(QStringLiteral("0x") + (text.isEmpty() ? QStringLiteral("0") : text), false);
}

} // namespace vemo::toolona
