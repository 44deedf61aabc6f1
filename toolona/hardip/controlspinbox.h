#pragma once

#include <QSpinBox>
#include <QWheelEvent>

namespace vemo::toolona {

// A block setting's number. The mouse wheel neither changes it nor scrolls
// the page; typed digits are committed once (Enter or leaving the field),
// not per keystroke, since each commit stages the value in the engine.
//
// A number outside the range is not cut while it is typed (the digit that
// makes it too big is kept); when it is committed the box goes back to its
// value and says what it refused with `refused`.
class ControlSpinBox : public QSpinBox {
    Q_OBJECT
public:
    explicit ControlSpinBox(QWidget* parent = nullptr) : QSpinBox(parent) {
        setKeyboardTracking(false);
        connect(this, &QAbstractSpinBox::editingFinished, this, [this] {
            if (m_refused.isEmpty())
                return;
            const QString text = m_refused;
            m_refused.clear();
            emit refused(text);
        });
    }

signals:
    void refused(const QString& text);

protected:
    void wheelEvent(QWheelEvent* event) override { event->accept(); }
    QValidator::State validate(QString& input, int& pos) const override {
        const QValidator::State state = QSpinBox::validate(input, pos);
        if (state != QValidator::Invalid)
            return state;
        bool number = false;
        input.toLongLong(&number);
        return number ? QValidator::Intermediate : state;
    }
    void fixup(QString& input) const override {
        bool number = false;
        const qlonglong v = input.toLongLong(&number);
        if (number && (v < minimum() || v > maximum()))
            m_refused = input;
        QSpinBox::fixup(input);
    }

private:
    mutable QString m_refused;
};

} // namespace vemo::toolona
