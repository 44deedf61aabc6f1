#include "trigger/onatudelegate.h"

#include "trigger/errorcell.h"

#include "kit/tclcommand.h"
#include "trigger/triggercommand.h"

#include "basgui/directcombobox.h"
#include "onadata.h"
#include "tokenmodel.h"
#include "triggerumodel.h"

#include <QApplication>
#include <QLineEdit>
#include <QPainter>
#include <QStandardItem>
#include <QStyle>

namespace vemo::toolona {

namespace {

bool startsWithEnum(const QString& radix) { return radix.startsWith(QLatin1String("ONL_")); }

// The trigger-unit model the cell belongs to (null for any other model).
const TriggerUModel* unitModel(const QModelIndex& index) { return qobject_cast<const TriggerUModel*>(index.model()); }

// The tokens of every set named `name` of the given kind, in child order.
QStringList tokensOf(const QString& name, const QString& kind) {
    QStringList out;
    TokenModel* tokens = OnaData::inst()->getTokenModel();
    if (!tokens)
        return out;
    const int sets = tokens->numTokenSet(kind);
    for (int i = 0; i < sets; ++i) {
        const QList<QStandardItem*> set = tokens->getTokenSet(i, kind);
        if (set.isEmpty() || !set.at(0) || set.at(0)->text() != name)
            continue;
        for (int j = 0; j < set.at(0)->rowCount(); ++j)
            if (QStandardItem* token = set.at(0)->child(j, 0))
                out << token->text();
    }
    return out;
}

} // namespace

OnaTUDelegate::OnaTUDelegate(ToolGateway* gateway, QObject* parent, const QStringList& items)
    : QStyledItemDelegate(parent), m_gateway(gateway), m_items(items) {}

OnaTUDelegate::RadixKind OnaTUDelegate::radixKind(const TriggerUModel* model, int row) {
    if (!model || model->indexOfRadixByRow(row) >= 0)
        return PlainRadix;
    const QString radix = model->valueOfRadixByRow(row);
    if (radix.startsWith(QLatin1String("ONL_INT")))
        return IntEnumRadix;
    if (startsWithEnum(radix))
        return EnumRadix;
    return UserRadix;
}

bool OnaTUDelegate::usesLineEdit(const QModelIndex& index) {
    const int column = index.column();
    if (column == TriggerUModel::ColName)
        return true;
    if (column != TriggerUModel::ColValue)
        return false;
    const RadixKind kind = radixKind(unitModel(index), index.row());
    return kind == PlainRadix || kind == IntEnumRadix;
}

QStringList OnaTUDelegate::listItems(const QModelIndex& index) const {
    const TriggerUModel* model = unitModel(index);
    if (!model)
        return {};
    const int row = index.row();
    const QString radix = model->valueOfRadixByRow(row);
    switch (index.column()) {
        case TriggerUModel::ColOperator:
            if (model->getSerialBit(row) >= 1)
                return OnaData::serial_list;
            if (startsWithEnum(radix))
                return {QStringLiteral("==")};
            return m_items;
        case TriggerUModel::ColRadix: {
            QStringList out = m_items;
            // Only token sets as wide as the unit can stand as its radix.
            const QString width = QString::number(model->getNumSignal(row));
            TokenModel* tokens = OnaData::inst()->getTokenModel();
            const int sets = tokens ? tokens->numTokenSet(QStringLiteral("user")) : 0;
            for (int i = 0; i < sets; ++i) {
                const QList<QStandardItem*> set = tokens->getTokenSet(i, QStringLiteral("user"));
                if (set.size() >= 2 && set.at(0) && set.at(1) && set.at(1)->text() == width)
                    out << set.at(0)->text();
            }
            return out;
        }
        case TriggerUModel::ColValue:
            return tokensOf(radix, startsWithEnum(radix) ? QStringLiteral("ENUM") : QStringLiteral("user"));
        default:
            return {};
    }
}

QWidget* OnaTUDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
    const int column = index.column();
    if (usesLineEdit(index)) {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* edit = qobject_cast<QLineEdit*>(editor); edit && column == TriggerUModel::ColName)
            restrictToTriggerName(edit);
        return editor;
    }
    auto* combo = new vemo::basgui::DirectComboBox(parent);
    const QStringList items = listItems(index);
    combo->addItems(items);
    const TriggerUModel* model = unitModel(index);
    if (column == TriggerUModel::ColOperator && items.size() == 1 && model &&
        startsWithEnum(model->valueOfRadixByRow(index.row())))
        combo->setItemData(0, model->valueOfRadixByRow(index.row()));
    connect(combo, QOverload<int>::of(&QComboBox::activated), this, &OnaTUDelegate::doCommitCB);
    return combo;
}

void OnaTUDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        combo->setCurrentIndex(
            combo->findText(index.data(Qt::DisplayRole).toString(), Qt::MatchExactly | Qt::MatchCaseSensitive));
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

QString OnaTUDelegate::commitCommand(const QModelIndex& index, const QString& text, QString* refusal) {
    const TriggerUModel* model = unitModel(index);
    const int column = index.column();
    const auto cell = [model, &index](int col) { return model ? model->text(index.row(), col) : QString(); };
    const QString name = cell(TriggerUModel::ColName);
    QString option;
    QString old;
    switch (column) {
        case TriggerUModel::ColName:
            old = name;
            break;
        case TriggerUModel::ColOperator:
            option = QStringLiteral("-operator");
            old = cell(TriggerUModel::ColOperator);
            break;
        case TriggerUModel::ColRadix:
            option = QStringLiteral("-radix");
            old = cell(TriggerUModel::ColRadix);
            break;
        case TriggerUModel::ColValue:
            option = QStringLiteral("-value");
            old = cell(TriggerUModel::ColValue);
            break;
        default:
            return {};
    }
    if (text.isEmpty() || name.isEmpty() || old == text)
        return {};
    if (column == TriggerUModel::ColName) {
        const QString problem = triggerNameProblem(text, QStringLiteral("trigger unit"));
        if (!problem.isEmpty()) {
            if (refusal)
                *refusal = problem;
            return {};
        }
        return tclCommand(QStringLiteral("ona_rename_tu %1 %2"), tclWord(name), tclWord(text));
    }
    return tclCommand(QStringLiteral("ona_set_tu -name %1 %2 \"%3\""), tclWord(name), option, tclQuoted(text));
}

void OnaTUDelegate::setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const {
    QString text;
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        // No current item (nothing matched and nothing picked): no change.
        if (combo->currentIndex() < 0)
            return;
        text = combo->currentText();
    } else {
        text = editorText(editor);
    }
    QString refusal;
    const QString cmd = commitCommand(index, text, &refusal);
    commitTriggerEdit(m_gateway, cmd, refusal);
}

void OnaTUDelegate::doCommitCB(int) {
    auto* combo = qobject_cast<QComboBox*>(sender());
    if (!combo)
        return;
    emit commitData(combo);
    emit closeEditor(combo);
}

void OnaTUDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const int column = index.column();
    const int row = index.row();
    const TriggerUModel* model = unitModel(index);
    const RadixKind kind = radixKind(model, row);
    const bool serial = model && model->getSerialBit(row) >= 1;
    // Cells edited with a line edit, serial units and the fixed radix of an
    // enumeration look like text; every other list cell looks like the
    // closed list it opens into.
    const bool plain = column < TriggerUModel::ColOperator || serial ||
                       (column == TriggerUModel::ColValue && (kind == PlainRadix || kind == IntEnumRadix)) ||
                       (column == TriggerUModel::ColRadix && model && startsWithEnum(model->valueOfRadixByRow(row)));
    QStyleOptionViewItem marked = option;
    if (column == TriggerUModel::ColValue && model && model->hasError(row))
        markErrorCell(painter, &marked);
    if (plain) {
        QStyledItemDelegate::paint(painter, marked, index);
        return;
    }
    QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    // The cell's own background first (selection, hover), then the box
    // inset by a pixel so the grid lines stay visible.
    QStyleOptionViewItem cell = marked;
    initStyleOption(&cell, index);
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &cell, painter, option.widget);
    QStyleOptionComboBox box;
    box.state = option.state;
    box.rect = option.rect.adjusted(1, 1, -1, -1);
    box.fontMetrics = option.fontMetrics;
    box.palette = marked.palette;
    box.direction = option.direction;
    box.currentText = index.data(Qt::DisplayRole).toString();
    box.editable = false;
    box.frame = true;
    style->drawComplexControl(QStyle::CC_ComboBox, &box, painter, option.widget);
    style->drawControl(QStyle::CE_ComboBoxLabel, &box, painter, option.widget);
}

QSize OnaTUDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    if (index.column() == TriggerUModel::ColOperator)
        size.rwidth() += 45;
    else if (index.column() == TriggerUModel::ColRadix)
        size.rwidth() += 15;
    return size;
}

} // namespace vemo::toolona
