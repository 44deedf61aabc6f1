#include "controller/controlregisterwidget.h"

#include "kit/tclcommand.h"
#include "kit/toolgateway.h"
#include "widgets/busyprogressdialog.h"

#include "basgui/busycursor.h"
#include "basgui/dialogseam.h"
#include "onadata.h"

#include <QGroupBox>
#include <QPushButton>
#include <QStandardItemModel>

namespace vemo::toolona {

ControlRegisterWidget::ControlRegisterWidget(ToolGateway* gateway, QWidget* parent)
    : UserRegisterWidget(true, gateway, parent) {
    m_applyAll = groupBox()->findChild<QPushButton*>(QStringLiteral("applyAll"));
    m_load = groupBox()->findChild<QPushButton*>(QStringLiteral("load"));
    connect(m_applyAll, &QPushButton::clicked, this, &ControlRegisterWidget::onApplyAllBtnClicked);
    connect(m_load, &QPushButton::clicked, this, &ControlRegisterWidget::onLoadBtnClicked);
}

void ControlRegisterWidget::onApplyAllBtnClicked() {
    QStringList failures, written;
    {
        vemo::basgui::BusyCursor busy;
        for (int row = 0; row < model()->rowCount(); ++row) {
            const QString name = model()->item(row, NameColumn)->text();
            if (name.isEmpty() || model()->item(row, WrColumn)->text().isEmpty())
                continue;
            QString error;
            if (!writeRow(row, &error))
                failures << error;
            else
                written << name;
        }
    }
    if (gateway())
        gateway()->reportDone(written.isEmpty() ? tr("Apply All: no register has a value to write.")
                                                : tr("Apply All wrote %1.").arg(written.join(QStringLiteral(", "))));
    if (!failures.isEmpty())
        warn(tr("Some registers could not be written:\n%1").arg(failures.join(QLatin1Char('\n'))));
}

void ControlRegisterWidget::onLoadBtnClicked() {
    const QString path = vemo::basgui::Dialogs::provider()->getOpenFileName(
        this, tr("Load from File"), OnaData::inst()->getCurrentDirectory(), tr("%1 Files (*.txt)").arg(tableTitle()));
    if (path.isEmpty())
        return;
    QString error;
    bool ok;
    {
        BusyProgressDialog progress(tr("Loading from control register file..."));
        ok = run(tclCommand(QStringLiteral("ona_run_controller -load_control \"%1\""), tclQuoted(path)), &error);
    }
    // A refused file changed nothing on the device: the table, with what
    // the user typed, stays as it is.
    if (!ok) {
        warn(error);
        return;
    }
    if (gateway())
        gateway()->reportDone(tr("Control registers loaded from %1.").arg(path));
    readAll(true);
}

} // namespace vemo::toolona
