#include "trigger/triggercommand.h"

#include "kit/toolgateway.h"

#include "triggerlang.h"

#include <QLineEdit>
#include <QMetaProperty>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

namespace vemo::toolona {

bool sendTriggerCommand(ToolGateway* gateway, const QString& cmd) { return sendCommand(gateway, cmd); }

void reportTriggerRefusal(ToolGateway* gateway, const QString& message) {
    if (gateway)
        gateway->reportRefusal(message);
}

QString editorText(const QWidget* editor) {
    const QByteArray property = editor->metaObject()->userProperty().name();
    return editor->property(property.isEmpty() ? "text" : property.constData()).toString();
}

void commitTriggerEdit(ToolGateway* gateway, const QString& cmd, const QString& refusal) {
    if (!refusal.isEmpty())
        reportTriggerRefusal(gateway, refusal);
    if (!cmd.isEmpty())
        sendTriggerCommand(gateway, cmd);
}

void restrictToTriggerName(QLineEdit* edit) {
    static const QRegularExpression name(
        QStringLiteral("[A-Za-z_][A-Za-z0-9_]{0,%1}").arg(TriggerLang::kMaxNameLength - 1));
    edit->setValidator(new QRegularExpressionValidator(name, edit));
    edit->setMaxLength(TriggerLang::kMaxNameLength);
    const QString hint = QObject::tr("Letters, digits and _, not starting with a digit");
    edit->setPlaceholderText(hint);
    edit->setToolTip(hint + QObject::tr("; THEN, AND, OR, XOR and NOT are reserved."));
}

QString triggerNameProblem(const QString& name, const QString& what) { return TriggerLang::checkName(name, what); }

} // namespace vemo::toolona
