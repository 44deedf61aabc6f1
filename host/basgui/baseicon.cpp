#include "basgui/baseicon.h"

#include "theme/themesetting.h"

#include <QDir>

namespace vemo::basgui {

QIcon BaseIcon::getIcon(const QString& name) { return theme::ThemeSetting::icon(name); }

QStringList BaseIcon::names() {
    QStringList list;
    const QStringList files = QDir(QStringLiteral(":/host/icons/light")).entryList({QStringLiteral("*_16.png")});
    for (QString f : files) {
        f.chop(int(qstrlen("_16.png")));
        list << f;
    }
    return list;
}

} // namespace vemo::basgui
