#pragma once

#include <QStyledItemDelegate>
#include <QValidator>

namespace vemo::toolona {

// Accepts exactly the values 0 .. 2^width - 1 written in one radix (index
// into the engine's radix list). Digits of the radix that make a value too
// wide are Intermediate, never Invalid: the editor keeps what was typed
// (marked) instead of dropping the keystroke that made it too wide.
class RegisterValueValidator : public QValidator {
    Q_OBJECT
public:
    RegisterValueValidator(int width, int radix, QObject* parent);
    State validate(QString& input, int& pos) const override;
    // Why `text` cannot be written to a register of `width` bits in `radix`;
    // empty when it can (or is empty).
    static QString unfit(const QString& text, int width, int radix);

private:
    int m_width;
    int m_radix;
};

// The cells of a register table: an "Rd" button at the right end of the
// read value and a "Wr" button at the right end of the value to write; the
// radix and write-value editors; a double click on the signals column.
class UserRegisterItemDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit UserRegisterItemDelegate(QObject* parent);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;

    // Where a value cell's button sits in `cell`; empty for other columns and
    // for cells too narrow for one.
    static QRect buttonRect(const QRect& cell, int column);
    // Where a value's text goes in the part of the cell left of its button.
    static QRect valueRect(const QRect& textCell);
    // A value cell is as high as its value wrapped to the column's width.
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

signals:
    void btnClicked(QModelIndex index);
    void itemDblClicked(QModelIndex index);

protected:
    static constexpr int kTextMargin = 4;
    static constexpr int kButtonHeight = 24;
    bool editorEvent(QEvent* event, QAbstractItemModel* model, const QStyleOptionViewItem& option,
                     const QModelIndex& index) override;
};

} // namespace vemo::toolona
