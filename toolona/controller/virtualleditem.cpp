#include "controller/virtualleditem.h"

#include "widgets/controllerimage.h"

#include <QPainter>

namespace vemo::toolona {

VirtualLEDItem::VirtualLEDItem(const QString& name, QWidget* parent) : QWidget(parent), m_name(name) {
    setToolTip(name);
}

void VirtualLEDItem::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.drawPixmap(40, 0, controllerImage(m_on ? QStringLiteral("led_on") : QStringLiteral("led_off")).pixmap(16, 16));
    if (!m_name.isEmpty())
        p.drawText(QRect(0, 25, 96, 15), Qt::AlignCenter, m_name);
}

} // namespace vemo::toolona
