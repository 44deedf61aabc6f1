#include "controller/userregisteritemdelegate.h"

#include "controller/userregisterwidget.h"
#include "trigger/errorcell.h"

#include "onadata.h"
#include "registerradix.h"
#include "widgets/fitmark.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QTableView>

namespace vemo::toolona {

RegisterValueValidator::RegisterValueValidator(int width, int radix, QObject* parent)
    : QValidator(parent), m_width(width), m_radix(radix) {}

QValidator::State RegisterValueValidator::validate(QString& input, int&) const {
    if (input.isEmpty())
        return Acceptable; // clears the cell
    if (RegisterRadix::fits(input, m_width, m_radix))
        return Acceptable;
    const int base = m_radix == RegisterRadix::Bin   ? 2
                     : m_radix == RegisterRadix::Oct ? 8
                     : m_radix == RegisterRadix::Dec ? 10
                                                     : 16;
    for (const QChar c : input) {
        bool ok = false;
        QString(c).toInt(&ok, base);
        if (!ok)
            return Invalid;
    }
    return Intermediate;
}

QString RegisterValueValidator::unfit(const QString& text, int width, int radix) {
    if (text.isEmpty() || text == QLatin1String("Toggle") || RegisterRadix::fits(text, width, radix))
        return QString();
    const QString largest = RegisterRadix::convert(QString(width, QLatin1Char('1')), width, RegisterRadix::Bin, radix);
    return QObject::tr("%1 does not fit in %2 bits (the largest value is %3).").arg(text).arg(width).arg(largest);
}

UserRegisterItemDelegate::UserRegisterItemDelegate(QObject* parent) : QStyledItemDelegate(parent) {}

QRect UserRegisterItemDelegate::buttonRect(const QRect& cell, int column) {
    if ((column != UserRegisterWidget::RdColumn && column != UserRegisterWidget::WrColumn) || cell.width() < 16)
        return QRect();
    const int width = cell.width() < 58 ? cell.width() - 8 : 50;
    // A row grown for a wrapped value keeps a button of the usual height,
    // centred.
    const int height = qMin(kButtonHeight, qMax(1, cell.height() - 4));
    return QRect(cell.right() - width - 3, cell.top() + (cell.height() - height) / 2, width, height);
}

void UserRegisterItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                                     const QModelIndex& index) const {
    const QRect button = buttonRect(option.rect, index.column());
    if (button.isNull()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem text = option;
    initStyleOption(&text, index);
    const int width = index.siblingAtColumn(UserRegisterWidget::WidthColumn).data().toString().toInt();
    if (!RegisterValueValidator::unfit(index.data().toString(), width,
                                       index.data(UserRegisterWidget::RadixRole).toInt())
             .isEmpty())
        markErrorCell(painter, &text);
    text.rect.setRight(button.left() - 2);
    // The cell's frame from the style, the value drawn here: wrapped at any
    // digit, so a register of any width is shown whole (the row grows).
    const QString value = text.text;
    text.text.clear();
    QStyle* style = option.widget ? option.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &text, painter, option.widget);
    painter->save();
    painter->setFont(text.font);
    painter->setPen(
        text.palette.color(text.state & QStyle::State_Enabled ? QPalette::Active : QPalette::Disabled,
                           text.state & QStyle::State_Selected ? QPalette::HighlightedText : QPalette::Text));
    painter->drawText(valueRect(text.rect), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextWrapAnywhere, value);
    painter->restore();

    QStyleOptionButton b;
    b.rect = button;
    b.state = QStyle::State_Enabled | QStyle::State_Raised;
    b.text = option.fontMetrics.elidedText(index.column() == UserRegisterWidget::RdColumn ? tr("Rd") : tr("Wr"),
                                           Qt::ElideRight, button.width() - 4);
    b.fontMetrics = option.fontMetrics;
    style->drawControl(QStyle::CE_PushButton, &b, painter, option.widget);
}

QRect UserRegisterItemDelegate::valueRect(const QRect& textCell) {
    return textCell.adjusted(kTextMargin, kTextMargin / 2, -kTextMargin, -kTextMargin / 2);
}

QSize UserRegisterItemDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    const auto* table = qobject_cast<const QTableView*>(option.widget);
    if (!table || (index.column() != UserRegisterWidget::RdColumn && index.column() != UserRegisterWidget::WrColumn))
        return size;
    const QRect cell(0, 0, table->columnWidth(index.column()), size.height());
    const QRect button = buttonRect(cell, index.column());
    QRect text = cell;
    if (!button.isNull())
        text.setRight(button.left() - 2);
    const QRect room = valueRect(text);
    if (room.width() < 1)
        return size;
    QFont font = option.font;
    if (const QVariant f = index.data(Qt::FontRole); f.canConvert<QFont>())
        font = f.value<QFont>();
    const QRect needed = QFontMetrics(font).boundingRect(QRect(0, 0, room.width(), 1 << 20),
                                                         Qt::AlignLeft | Qt::TextWrapAnywhere, index.data().toString());
    size.setHeight(qMax(size.height(), needed.height() + kTextMargin));
    return size;
}

QWidget* UserRegisterItemDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem&,
                                                const QModelIndex& index) const {
    const QStringList& radices = OnaData::radix_list;
    if (index.column() == UserRegisterWidget::RadixColumn) {
        auto* combo = new QComboBox(parent);
        combo->addItems(radices);
        return combo;
    }
    if (index.column() != UserRegisterWidget::WrColumn)
        return nullptr;
    const int width = index.siblingAtColumn(UserRegisterWidget::WidthColumn).data().toString().toInt();
    const int radix = int(radices.indexOf(index.siblingAtColumn(UserRegisterWidget::RadixColumn).data().toString()));
    if (width < 1 || radix < 0 || radix >= RegisterRadix::Count)
        return nullptr;
    if (width == 1) {
        auto* combo = new QComboBox(parent);
        combo->addItems({QStringLiteral("Toggle"), QStringLiteral("1"), QStringLiteral("0")});
        return combo;
    }
    auto* edit = new QLineEdit(parent);
    edit->setValidator(new RegisterValueValidator(width, radix, edit));
    connect(edit, &QLineEdit::textChanged, edit, [edit, width, radix](const QString& text) {
        markUnfit(edit, RegisterValueValidator::unfit(text, width, radix));
    });
    return edit;
}

void UserRegisterItemDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    const QString text = index.data().toString();
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        const int at = combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
        if (at >= 0)
            combo->setCurrentIndex(at);
    } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        edit->setText(text);
    }
}

void UserRegisterItemDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                            const QModelIndex& index) const {
    if (auto* combo = qobject_cast<QComboBox*>(editor)) {
        if (!combo->currentText().isEmpty())
            model->setData(index, combo->currentText());
    } else if (auto* edit = qobject_cast<QLineEdit*>(editor)) {
        // What was typed is kept even when it does not fit (Wr then refuses
        // it, the cell is marked); it is written in the radix the row shows.
        const int width = index.siblingAtColumn(UserRegisterWidget::WidthColumn).data().toString().toInt();
        const int radix =
            int(OnaData::radix_list.indexOf(index.siblingAtColumn(UserRegisterWidget::RadixColumn).data().toString()));
        if (radix >= 0)
            model->setData(index, radix, UserRegisterWidget::RadixRole);
        model->setData(index, RegisterValueValidator::unfit(edit->text(), width, radix), Qt::ToolTipRole);
        model->setData(index, edit->text());
    }
}

void UserRegisterItemDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                                    const QModelIndex& index) const {
    QRect r = option.rect;
    const QRect button = buttonRect(option.rect, index.column());
    if (!button.isNull())
        r.setRight(button.left() - 2);
    editor->setGeometry(r);
}

bool UserRegisterItemDelegate::editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                                           const QModelIndex& index) {
    const QEvent::Type t = event->type();
    const bool mouse = t == QEvent::MouseButtonPress || t == QEvent::MouseButtonRelease ||
                       t == QEvent::MouseButtonDblClick || t == QEvent::MouseMove;
    if (mouse) {
        const auto* me = static_cast<QMouseEvent*>(event);
        const QRect button = buttonRect(option.rect, index.column());
        if (!button.isNull() && button.contains(me->position().toPoint())) {
            if (t == QEvent::MouseButtonPress && me->button() == Qt::LeftButton)
                emit btnClicked(index);
            return true;
        }
        if (t == QEvent::MouseButtonDblClick && me->button() == Qt::LeftButton &&
            index.column() == UserRegisterWidget::SignalsColumn) {
            emit itemDblClicked(index);
            return true;
        }
    }
    return QStyledItemDelegate::editorEvent(event, model, option, index);
}

} // namespace vemo::toolona
