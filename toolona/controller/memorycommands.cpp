#include "controller/memorycommands.h"

#include "kit/tclcommand.h"
#include "kit/toolgateway.h"
#include "widgets/busyprogressdialog.h"

#include "basgui/busycursor.h"
#include "basgui/dialogseam.h"

#include <QCoreApplication>
#include <QMessageBox>

namespace vemo::toolona::memorycommands {

namespace {
QString onBlock(const QString& hardIp) { return hardIp.isEmpty() ? QString() : QStringLiteral(" -hard_ip ") + hardIp; }
} // namespace

QString dump(const QString& path, QString offset, const QString& range, const QString& hardIp) {
    if (!offset.isEmpty() && !offset.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        offset.prepend(QStringLiteral("0x"));
    QString command = tclCommand(QStringLiteral("ona_run_controller -dump_memfile \"%1\""), tclQuoted(path));
    command += onBlock(hardIp);
    if (!offset.isEmpty())
        command += QStringLiteral(" -offset ") + offset;
    if (!range.isEmpty())
        command += QStringLiteral(" -range ") + range;
    return command;
}

QString load(const QString& path, const QString& hardIp) {
    return tclCommand(QStringLiteral("ona_run_controller -load_memfile \"%1\""), tclQuoted(path)) + onBlock(hardIp);
}

void warn(QWidget* parent, const QString& text) {
    vemo::basgui::Dialogs::message(QMessageBox::Warning, parent,
                                   QCoreApplication::translate("vemo::toolona::memorycommands", "Warning"), text,
                                   QMessageBox::Ok);
}

bool runLong(ToolGateway* gateway, QWidget* parent, const QString& label, const QString& command) {
    QString result;
    bool ok;
    {
        BusyProgressDialog progress(label);
        vemo::basgui::BusyCursor busy;
        ok = gateway && gateway->tclEval(command, &result);
    }
    if (!ok)
        warn(parent, result.isEmpty() ? QCoreApplication::translate("vemo::toolona::memorycommands",
                                                                     "The command failed: %1")
                                             .arg(command)
                                       : result);
    return ok;
}

} // namespace vemo::toolona::memorycommands
