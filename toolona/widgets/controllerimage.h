#pragma once

#include <QIcon>
#include <QString>

namespace vemo::toolona {

// The LED and switch images ("led_on", "led_off", "led_red", "switch_on",
// "switch_off"): the icon theme's when it has them, else the tool's own in
// the light or dark variant of the host theme.
QIcon controllerImage(const QString& name);

} // namespace vemo::toolona
