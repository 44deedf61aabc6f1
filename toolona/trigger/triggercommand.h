#pragma once

#include <QString>

class QLineEdit;
class QWidget;

namespace vemo::toolona {

class ToolGateway;

// Sends one trigger-setup command through the gateway. When the engine
// refuses it, its message goes to the status bar and the message window,
// so a refused edit never passes silently. False when refused or when
// there is no gateway.
bool sendTriggerCommand(ToolGateway* gateway, const QString& cmd);

// Shows a refusal the page decided itself (e.g. a name the engine would
// not take) the same way as an engine refusal.
void reportTriggerRefusal(ToolGateway* gateway, const QString& message);

// The text a delegate's editor holds: its user property (a line edit's
// text), else its "text" property.
QString editorText(const QWidget* editor);

// Ends a table edit: the page's own refusal (when set) is reported, then
// the command (when set) is sent.
void commitTriggerEdit(ToolGateway* gateway, const QString& cmd, const QString& refusal);

// Trigger-unit and trigger-expression names: letters, digits and '_', not
// starting with a digit, at most 128 characters. The line edit gets a
// validator for that and says so in its tool tip and placeholder.
void restrictToTriggerName(QLineEdit* edit);

// Empty when `name` can be a trigger unit/expression name, else why not
// (`what`: "trigger unit" or "trigger expression").
QString triggerNameProblem(const QString& name, const QString& what);

} // namespace vemo::toolona
