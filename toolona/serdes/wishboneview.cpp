#include "serdes/wishboneview.h"

#include "serdes/serdeswidgets.h"
#include "widgets/targetnotice.h"

#include "kit/tclcommand.h"
#include "widgets/fitmark.h"

#include "basgui/dialogseam.h"
#include "onadata.h"
#include "pcsdata.h"

#include <QCheckBox>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

namespace vemo::toolona {

WishboneView::WishboneView(QWidget* parent) : QFrame(parent) {
    auto* layout = new QVBoxLayout(this);
    m_notice = new TargetNotice(this);
    layout->addWidget(m_notice);
    auto* box = new QGroupBox(tr("DCU Registers R/W"), this);
    layout->addWidget(box);
    const auto showFault = [this, box] { m_notice->setFault(PCSData::inst()->deviceFault(), box); };
    connect(PCSData::inst(), &PCSData::deviceChanged, this, showFault);
    showFault();
    auto* grid = new QGridLayout(box);
    const QRegularExpression hex(QStringLiteral("[0-9a-fA-F]*"));

    grid->addWidget(new QLabel(tr("Serdes core base address"), box), 0, 0);
    m_base = new QLineEdit(box);
    m_base->setEnabled(false);
    grid->addWidget(m_base, 0, 1);
    grid->addWidget(new QLabel(tr("Address"), box), 0, 2);
    m_address = new QLineEdit(box);
    m_address->setValidator(new QRegularExpressionValidator(hex, m_address));
    grid->addWidget(m_address, 0, 3);

    grid->addWidget(new QLabel(tr("Data"), box), 1, 0);
    m_data = new QLineEdit(box);
    m_data->setValidator(new QRegularExpressionValidator(hex, m_data));
    grid->addWidget(m_data, 1, 1, 1, 3);
    // A 32-bit address and a data byte: wider text stays as typed, marked,
    // and is refused by Write and Read rather than cut.
    connect(m_address, &QLineEdit::textChanged, this,
            [this](const QString& t) { markUnfit(m_address, hexUnfit(t, 32, tr("Address"))); });
    connect(m_data, &QLineEdit::textChanged, this,
            [this](const QString& t) { markUnfit(m_data, hexUnfit(t, 8, tr("Data"))); });

    m_write = gridButton(grid, 2, 0, tr("Write"), this, &WishboneView::doWrite);
    m_read = gridButton(grid, 2, 1, tr("Read"), this, &WishboneView::doRead);
    m_continuous = new QCheckBox(tr("Continuous"), box);
    grid->addWidget(m_continuous, 2, 2);
    m_load = gridButton(grid, 2, 3, tr("Load..."), this, &WishboneView::doLoad);
    m_stop = new QPushButton(tr("Stop"), box);
    m_stop->setToolTip(tr("Stop the running script file"));
    m_stop->setEnabled(false);
    grid->addWidget(m_stop, 2, 4, Qt::AlignLeft);
    grid->setRowStretch(3, 10);
    grid->setColumnStretch(4, 10);

    connect(m_continuous, &QCheckBox::toggled, this, &WishboneView::doContinuousRead);
    // A script runs with the window answering between its time slices; Stop
    // is the way out of a long one.
    connect(PCSData::inst(), &PCSData::scriptRunning, this, [this](bool running) {
        m_stop->setEnabled(running);
        m_load->setEnabled(!running);
    });
    connect(m_stop, &QPushButton::clicked, this, [this] { emit tclPCS(QStringLiteral("ona_run_pcs -stop")); });
    PCSData* pcs = PCSData::inst();
    connect(pcs, &PCSData::pcsDirty, this, &WishboneView::doSettingChanged);
    connect(pcs, &PCSData::pcsRead, this, &WishboneView::doSettingRead);
}

bool WishboneView::filled(QLineEdit* edit, const QString& what) {
    QString why = edit->text().isEmpty() ? tr("Type the %1 in hexadecimal first.").arg(what) : unfitReason(edit);
    if (why.isEmpty())
        return true;
    basgui::Dialogs::message(QMessageBox::Warning, this, QStringLiteral("Ondrel Analyzer"), why);
    edit->setFocus();
    return false;
}

void WishboneView::doWrite() {
    if (!filled(m_address, tr("register address")) || !filled(m_data, tr("data byte")))
        return;
    emit tclPCS(tclCommand(
        QStringLiteral("ona_open_pcs\n  ona_pcs write -byte \"%1\" -addr \"%2\" -data \"%3\"\n  ona_pcs close"),
        QStringLiteral("1"), tclQuoted(m_address->text()), tclQuoted(m_data->text())));
    // Written: from now on reads may show the device's byte again.
    m_data->setModified(false);
}

void WishboneView::doRead() {
    if (!filled(m_address, tr("register address")))
        return;
    m_data->setModified(false);
    emit tclPCS(tclCommand(QStringLiteral("ona_open_pcs\n  ona_pcs read -byte \"%1\" -addr \"%2\"\n  ona_pcs close"),
                           QStringLiteral("1"), tclQuoted(m_address->text())));
}

void WishboneView::doContinuousRead(bool on) {
    emit tclPCS(tclCommand(QStringLiteral("ona_set_pcs -control cont_read -option %1"),
                           on ? QStringLiteral("on") : QStringLiteral("off")));
}

void WishboneView::doLoad() {
    const QString file = basgui::Dialogs::provider()->getOpenFileName(
        nullptr, tr("Load SERDES File"), OnaData::inst()->getCurrentDirectory(), tr("Tcl File (*.tcl)"));
    if (!file.isEmpty())
        emit tclPCS(
            tclCommand(QStringLiteral("ona_run_pcs -file \"%1\""), tclQuoted(QFileInfo(file).absoluteFilePath())));
}

void WishboneView::doSettingChanged(QString key) { Q_UNUSED(key); }

void WishboneView::doSettingRead(QString key) {
    if (key != QLatin1String("read_data"))
        return;
    // While continuous reads arrive, a byte being typed stays until written.
    if (m_continuous->isChecked() && m_data->isModified())
        return;
    QString value = PCSData::inst()->getWBData();
    int pos = 0;
    // The field only ever shows what could be typed into it.
    if (value.isEmpty() || value.size() > 2 || m_data->validator()->validate(value, pos) != QValidator::Acceptable)
        return;
    m_data->setText(value);
}

} // namespace vemo::toolona
