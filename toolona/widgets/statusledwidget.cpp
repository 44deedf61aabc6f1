#include "widgets/statusledwidget.h"

#include "widgets/controllerimage.h"

#include <QPainter>

namespace vemo::toolona {

StatusLEDWidget::StatusLEDWidget(QWidget* parent) : QLabel(parent) {}

StatusLEDWidget::StatusLEDWidget(Look look, QWidget* parent) : QLabel(parent), m_look(look) {
    if (look == Disc) {
        m_state = Green;
        setFrameStyle(QFrame::Panel | QFrame::Raised);
        setLineWidth(3);
        setMidLineWidth(3);
        // A lamp, not a bar: it keeps its size however wide its column grows.
        setFixedSize(22, 22);
    }
}

StatusLEDWidget::StatusLEDWidget(const QString& name, QWidget* parent) : QLabel(parent), m_name(name) {
    setToolTip(name);
}

void StatusLEDWidget::setState(int state) {
    if (m_state == state)
        return;
    m_state = state;
    update();
}

Qt::GlobalColor StatusLEDWidget::color() const {
    return m_state == Red ? Qt::red : m_state == Green ? Qt::green : Qt::gray;
}

void StatusLEDWidget::setColor(Qt::GlobalColor color) {
    setState(color == Qt::red ? Red : color == Qt::green ? Green : Off);
}

QSize StatusLEDWidget::sizeHint() const {
    if (m_look == Disc)
        return {22, 22};
    return m_name.isEmpty() ? QSize(28, 16) : QSize(96, 40);
}

QSize StatusLEDWidget::minimumSizeHint() const {
    // An LED keeps room for its name; the others lay out like any widget.
    return m_name.isEmpty() ? QWidget::minimumSizeHint() : sizeHint();
}

void StatusLEDWidget::paintEvent(QPaintEvent* event) {
    if (m_look == Disc) {
        QLabel::paintEvent(event);
        QPainter p(this);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor fill(color());
        p.setPen(fill);
        p.setBrush(fill);
        p.drawEllipse(0, 0, 12, 12);
        return;
    }
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QString image = m_state == Green ? QStringLiteral("led_on")
                          : m_state == Red ? QStringLiteral("led_red")
                                           : QStringLiteral("led_off");
    // An LED's lamp stands centred above its name.
    p.drawPixmap(m_name.isEmpty() ? 10 : 40, 0, controllerImage(image).pixmap(16, 16));
    if (!m_name.isEmpty())
        p.drawText(QRect(0, 25, 96, 15), Qt::AlignCenter, m_name);
}

} // namespace vemo::toolona
