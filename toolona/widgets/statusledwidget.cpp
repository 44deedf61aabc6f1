#include "widgets/statusledwidget.h"

#include "widgets/controllerimage.h"

#include <QPainter>

namespace vemo::toolona {

StatusLEDWidget::StatusLEDWidget(QWidget* parent) : QWidget(parent) {}

void StatusLEDWidget::setState(int state) {
    if (m_state == state)
        return;
    m_state = state;
    update();
}

void StatusLEDWidget::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QString name = m_state == 2   ? QStringLiteral("led_on")
                         : m_state == 1 ? QStringLiteral("led_red")
                                        : QStringLiteral("led_off");
    p.drawPixmap(10, 0, controllerImage(name).pixmap(16, 16));
}

} // namespace vemo::toolona
