#include "token/tokendelegate.h"

#include "kit/tclcommand.h"
#include "kit/toolgateway.h"
#include "token/tokendialog.h"

#include <QLineEdit>

namespace vemo::toolona {

TokenDelegate::TokenDelegate(TokenDialog* dialog, ToolGateway* gateway, QObject* parent)
    : QStyledItemDelegate(parent), m_dialog(dialog), m_gateway(gateway) {}

QString TokenDelegate::commandFor(const QModelIndex& index, const QString& text, QString* errorText) {
    const QString current = index.data().toString();
    // Exact comparison: a change of letter case is a rename.
    if (!index.isValid() || text == current)
        return QString();
    const bool token = index.parent().isValid();
    const QString set = token ? index.parent().siblingAtColumn(0).data().toString()
                              : index.siblingAtColumn(0).data().toString();
    const QString name = index.siblingAtColumn(0).data().toString();
    const QString newText = tclQuoted(text);
    if (token && index.column() == 0) {
        *errorText = QStringLiteral("Error: Token name can not update sucessfully, check usage");
        return tclCommand(QStringLiteral("ona_set_token \"%1\" \"%2\" -name \"%3\""), tclQuoted(set), tclQuoted(name),
                          newText);
    }
    if (token && index.column() == 2) {
        *errorText = QStringLiteral("Error: Token value can not update sucessfully, check usage");
        return tclCommand(QStringLiteral("ona_set_token \"%1\" \"%2\" -value \"%3\""), tclQuoted(set),
                          tclQuoted(name), newText);
    }
    if (!token && index.column() == 0) {
        *errorText = QStringLiteral("Error: Token set name can not update sucessfully, check usage");
        return tclCommand(QStringLiteral("ona_set_tokenset \"%1\" -name \"%2\""), tclQuoted(set), newText);
    }
    if (!token && index.column() == 1) {
        *errorText = QStringLiteral("Error: Token set bits can not update sucessfully, check usage");
        return tclCommand(QStringLiteral("ona_set_tokenset \"%1\" -bits \"%2\""), tclQuoted(set), newText);
    }
    return QString();
}

void TokenDelegate::setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const {
    const auto* edit = qobject_cast<QLineEdit*>(editor);
    if (!edit)
        return;
    QString errorText;
    const QString cmd = commandFor(index, edit->text().trimmed(), &errorText);
    QString result;
    if (!cmd.isEmpty() && !(m_gateway && m_gateway->tclEval(cmd, &result))) {
        m_dialog->setEditError(errorText, result);
        return;
    }
    m_dialog->setEditError(QString());
}

} // namespace vemo::toolona
