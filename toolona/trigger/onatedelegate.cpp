#include "trigger/onatedelegate.h"

#include "kit/tclcommand.h"
#include "trigger/triggercommand.h"

#include "theme/themesetting.h"
#include "trigger/errorcell.h"
#include "triggeremodel.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QStyle>

namespace vemo::toolona {

namespace {

// The text of another column of the cell's row, read from the cell's own
// model (empty for a cell outside a trigger-expression model).
QString rowText(const QModelIndex& index, int column) {
    const auto* model = qobject_cast<const TriggerEModel*>(index.model());
    return model ? model->text(index.row(), column) : QString();
}

} // namespace

OnaTEDelegate::OnaTEDelegate(ToolGateway* gateway, QObject* parent) : QStyledItemDelegate(parent), m_gateway(gateway) {}

void OnaTEDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QStyleOptionViewItem marked = option;
    const auto* model = qobject_cast<const TriggerEModel*>(index.model());
    if (index.column() == TriggerEModel::ColExpression && model && model->hasError(index.row()))
        markErrorCell(painter, &marked);
    QStyledItemDelegate::paint(painter, marked, index);
    if (index.column() != TriggerEModel::ColName || !index.data(Qt::CheckStateRole).isValid() ||
        !vemo::theme::ThemeSetting::isDark())
        return;
    // The dark palette draws an unchecked box in the table's own base
    // colour: outline it so an off expression still shows its box.
    QStyleOptionViewItem viewOpt(option);
    initStyleOption(&viewOpt, index);
    QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    const QRect box = style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &viewOpt, option.widget);
    painter->save();
    painter->setPen(vemo::theme::ThemeSetting::color(QStringLiteral("disabled_text")));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(box.adjusted(0, 0, -1, -1));
    painter->restore();
}

QWidget* OnaTEDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
    QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
    if (auto* edit = qobject_cast<QLineEdit*>(editor); edit && index.column() == TriggerEModel::ColName)
        restrictToTriggerName(edit);
    return editor;
}

QString OnaTEDelegate::commitCommand(const QModelIndex& index, const QString& text, QString* refusal) {
    const int column = index.column();
    const QString name = rowText(index, TriggerEModel::ColName);
    if (name.isEmpty() || text.isEmpty())
        return {};
    if (column == TriggerEModel::ColName) {
        if (name == text)
            return {};
        const QString problem = triggerNameProblem(text, QStringLiteral("trigger expression"));
        if (!problem.isEmpty()) {
            if (refusal)
                *refusal = problem;
            return {};
        }
        return tclCommand(QStringLiteral("ona_rename_te %1 %2"), tclWord(name), tclWord(text));
    }
    if (column == TriggerEModel::ColExpression) {
        if (rowText(index, TriggerEModel::ColExpression) == text)
            return {};
        return tclCommand(QStringLiteral("ona_set_te -name %1 %2 \"%3\""), tclWord(name), QStringLiteral("-expression"),
                          tclQuoted(text));
    }
    return {};
}

void OnaTEDelegate::setModelData(QWidget* editor, QAbstractItemModel*, const QModelIndex& index) const {
    QString refusal;
    const QString cmd = commitCommand(index, editorText(editor), &refusal);
    commitTriggerEdit(m_gateway, cmd, refusal);
}

bool OnaTEDelegate::editorEvent(QEvent* event, QAbstractItemModel*, const QStyleOptionViewItem& option,
                                const QModelIndex& index) {
    if (index.column() != TriggerEModel::ColName)
        return false;
    const Qt::ItemFlags flags = index.flags();
    if (!(flags & Qt::ItemIsUserCheckable) || !(flags & Qt::ItemIsEnabled) || !(option.state & QStyle::State_Enabled))
        return false;
    const QVariant state = index.data(Qt::CheckStateRole);
    if (!state.isValid())
        return false;

    switch (event->type()) {
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick: {
            QStyleOptionViewItem viewOpt(option);
            initStyleOption(&viewOpt, index);
            const QWidget* widget = option.widget;
            QStyle* style = widget ? widget->style() : QApplication::style();
            const QRect box = style->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &viewOpt, widget);
            auto* mouse = static_cast<QMouseEvent*>(event);
            if (mouse->button() != Qt::LeftButton || !box.contains(mouse->position().toPoint()))
                return false;
            // A double click on the box is the second click of a toggle already
            // made: swallow it so it neither toggles back nor opens the editor.
            if (event->type() == QEvent::MouseButtonDblClick)
                return true;
            break;
        }
        case QEvent::KeyPress: {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key != Qt::Key_Space && key != Qt::Key_Select)
                return false;
            break;
        }
        default:
            return false;
    }

    const bool checked = static_cast<Qt::CheckState>(state.toInt()) == Qt::Checked;
    const QString name = rowText(index, TriggerEModel::ColName);
    if (!name.isEmpty())
        sendTriggerCommand(m_gateway, tclCommand(QStringLiteral("ona_set_te -name %1 -enable %2"), tclWord(name),
                                                 checked ? QStringLiteral("off") : QStringLiteral("on")));
    return true;
}

} // namespace vemo::toolona
