#include "serdes/serdeswidgets.h"

#include <QPainter>
#include <QPolygon>

namespace vemo::toolona {

ResetButton::ResetButton(QWidget* parent) : QLabel(parent) {
    setFrameStyle(QFrame::Panel | QFrame::Raised);
    setLineWidth(3);
    setMidLineWidth(3);
    setFixedSize(40, 24);
    setCursor(Qt::PointingHandCursor);
}

void ResetButton::setState(bool on) {
    if (on == m_state)
        return;
    m_state = on;
    setFrameStyle(QFrame::Panel | (on ? QFrame::Sunken : QFrame::Raised));
    update();
}

void ResetButton::mousePressEvent(QMouseEvent* event) {
    Q_UNUSED(event);
    setState(!m_state);
    repaint();
    emit clicked();
}

void ResetButton::paintEvent(QPaintEvent* event) {
    Q_UNUSED(event);
    const int w = width(), h = height();
    QPainter p(this);
    p.setPen(Qt::darkGray);
    p.setBrush(QBrush(Qt::darkGray, Qt::SolidPattern));
    QPolygon bevel;
    if (m_state)
        bevel << QPoint(0, 0) << QPoint(0, h - 3) << QPoint(3, h - 6) << QPoint(3, 3) << QPoint(w - 6, 3)
              << QPoint(w - 3, 0);
    else
        bevel << QPoint(3, h - 6) << QPoint(0, h - 3) << QPoint(w - 3, h - 3) << QPoint(w - 3, 0) << QPoint(w - 6, 3)
              << QPoint(w - 6, h - 6);
    p.drawPolygon(bevel);
    p.fillRect(QRect(3, 3, w - 9, h - 9), m_state ? Qt::red : Qt::green);
}

} // namespace vemo::toolona
