#include "controller/virtualswitchitem.h"

#include "widgets/controllerimage.h"

#include <QPainter>

namespace vemo::toolona {

VirtualSwitchItem::VirtualSwitchItem(const QString& name, QWidget* parent) : QAbstractButton(parent), m_name(name) {
    setCheckable(true);
    setToolTip(name);
}

void VirtualSwitchItem::paintEvent(QPaintEvent*) {
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    p.drawPixmap(
        37, 0,
        controllerImage(isChecked() ? QStringLiteral("switch_on") : QStringLiteral("switch_off")).pixmap(24, 42));
    if (!m_name.isEmpty())
        p.drawText(QRect(0, 42, 96, 15), Qt::AlignCenter, m_name);
}

bool VirtualSwitchItem::hitButton(const QPoint& pos) const {
    return pos.x() >= 37 && pos.x() <= 61 && pos.y() >= 0 && pos.y() <= 42;
}

} // namespace vemo::toolona
