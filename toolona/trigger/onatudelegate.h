#pragma once

#include <QStringList>
#include <QStyledItemDelegate>

class TriggerUModel;

namespace vemo::toolona {

class ToolGateway;

// Editors of the trigger-unit table. A commit never writes the model: it
// becomes one ona_rename_tu / ona_set_tu command, and the table shows the
// engine's model as the engine left it.
//
// Columns: 0 name (line edit), 2 operator, 3 radix (lists), 4 value (line
// edit for a numeric radix or an integer enumeration, else the tokens of
// the row's token set). Row facts come from the model of the index the
// delegate is given (the table's TriggerUModel); commands go through the
// gateway.
class OnaTUDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    // How a row's value is written, from its radix text.
    enum RadixKind { PlainRadix, IntEnumRadix, EnumRadix, UserRadix };

    OnaTUDelegate(ToolGateway* gateway, QObject* parent, const QStringList& items);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;

    static RadixKind radixKind(const TriggerUModel* model, int row);
    // The entries a list editor of the cell offers.
    QStringList listItems(const QModelIndex& index) const;
    // True when the cell is edited with a line edit rather than a list.
    static bool usesLineEdit(const QModelIndex& index);
    // The command a commit of `text` into the cell sends; empty when
    // nothing is to be sent. *refusal explains a name the engine would
    // refuse (then nothing is sent either).
    static QString commitCommand(const QModelIndex& index, const QString& text, QString* refusal = nullptr);

public slots:
    void doCommitCB(int);

private:
    ToolGateway* m_gateway;
    QStringList m_items;
};

} // namespace vemo::toolona
