#pragma once

#include <QComboBox>
#include <QWheelEvent>

namespace vemo::toolona {

// A block setting's choice. The mouse wheel neither changes it nor scrolls
// the page: a page of many settings is scrolled over them all the time.
class ControlComboBox : public QComboBox {
    Q_OBJECT
public:
    using QComboBox::QComboBox;

protected:
    void wheelEvent(QWheelEvent* event) override { event->accept(); }
};

} // namespace vemo::toolona
