#pragma once

#include <QStyledItemDelegate>

namespace vemo::toolona {

class TokenDialog;
class ToolGateway;

// Commits of the token tree's cells: a rename or a new width or value is one
// ona_set_token / ona_set_tokenset command; the model is never written here.
// A refusal puts the cell's error text into the dialog's title, the next
// edit clears it.
class TokenDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    TokenDelegate(TokenDialog* dialog, ToolGateway* gateway, QObject* parent = nullptr);

    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

    // The command a commit of `text` into the cell sends and the error text
    // of the cell; an empty command when nothing changes.
    static QString commandFor(const QModelIndex& index, const QString& text, QString* errorText);

private:
    TokenDialog* m_dialog;
    ToolGateway* m_gateway;
};

} // namespace vemo::toolona
