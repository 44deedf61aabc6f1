#include "trigger/triggercommand.h"

#include "shell/onagui.h"

#include "triggerlang.h"

#include <QLineEdit>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QStatusBar>

namespace vemo::toolona {

bool sendTriggerCommand(const QString& cmd) {
    OnaGUI* gui = OnaGUI::instance();
    if (!gui)
        return false;
    QString result;
    if (gui->tclEval(cmd, &result))
        return true;
    reportTriggerRefusal(result.isEmpty() ? QObject::tr("The engine refused: %1").arg(cmd) : result);
    return false;
}

void reportTriggerRefusal(const QString& message) {
    OnaGUI* gui = OnaGUI::instance();
    if (!gui)
        return;
    gui->statusBar()->showMessage(message, 15000);
    gui->messageOut("9992", message.toStdString());
}

void restrictToTriggerName(QLineEdit* edit) {
    static const QRegularExpression name(QStringLiteral("[A-Za-z_][A-Za-z0-9_]{0,%1}")
                                             .arg(TriggerLang::kMaxNameLength - 1));
    edit->setValidator(new QRegularExpressionValidator(name, edit));
    edit->setMaxLength(TriggerLang::kMaxNameLength);
    const QString hint = QObject::tr("Letters, digits and _, not starting with a digit");
    edit->setPlaceholderText(hint);
    edit->setToolTip(hint + QObject::tr("; THEN, AND, OR, XOR and NOT are reserved."));
}

QString triggerNameProblem(const QString& name, const QString& what) {
    return TriggerLang::checkName(name, what);
}

}  // namespace vemo::toolona
