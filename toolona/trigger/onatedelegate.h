#pragma once

#include <QStyledItemDelegate>

namespace vemo::toolona {

class ToolGateway;

// Editors of the trigger-expression table: column 0 renames (and its check
// box enables or disables the expression), column 1 edits the expression.
// Every change is one ona_rename_te / ona_set_te command; the model is
// never written here. Row facts come from the model of the index the
// delegate is given; commands go through the gateway.
class OnaTEDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    OnaTEDelegate(ToolGateway* gateway, QObject* parent = nullptr);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

    // The command a commit of `text` into the cell sends; empty when nothing
    // is to be sent (*refusal then may say why).
    static QString commitCommand(const QModelIndex& index, const QString& text, QString* refusal = nullptr);

    // The check box of column 0: a toggle becomes an enable command.
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;

private:
    ToolGateway* m_gateway;
};

} // namespace vemo::toolona
