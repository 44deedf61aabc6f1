#include "widgets/controllerimage.h"

#include "theme/themesetting.h"

namespace vemo::toolona {

QIcon controllerImage(const QString& name) {
    const bool dark = vemo::theme::ThemeSetting::isDark();
    const QString own =
        dark ? QStringLiteral(":/images/dark/%1.png").arg(name) : QStringLiteral(":/images/%1.png").arg(name);
    return QIcon::fromTheme(name, QIcon(own));
}

} // namespace vemo::toolona
