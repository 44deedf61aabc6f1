#pragma once

#include <QIcon>
#include <QString>
#include <QStringList>

namespace vemo::basgui {

// The host's icons by name, drawn for the current theme (light or dark).
// Names: "cut", "copy", "paste", "dock_view" (detach a docked view),
// "undock_view" (attach it again), "zoom_in", "zoom_out", "zoom_fit",
// "go_back", "go_forward", "go_home". An unknown name gives a null icon.
class BaseIcon {
public:
    static QIcon getIcon(const QString& name);
    static QStringList names();
};

} // namespace vemo::basgui
