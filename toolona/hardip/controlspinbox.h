#pragma once

#include <QSpinBox>
#include <QWheelEvent>

namespace vemo::toolona {

// A block setting's number. The mouse wheel neither changes it nor scrolls
// the page; typed digits are committed once (Enter or leaving the field),
// not per keystroke, since each commit stages the value in the engine.
class ControlSpinBox : public QSpinBox {
    Q_OBJECT
public:
    explicit ControlSpinBox(QWidget* parent = nullptr) : QSpinBox(parent) { setKeyboardTracking(false); }

protected:
    void wheelEvent(QWheelEvent* event) override { event->accept(); }
};

} // namespace vemo::toolona
