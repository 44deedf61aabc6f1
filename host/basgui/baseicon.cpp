#include "basgui/baseicon.h"

#include "theme/themesetting.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

namespace vemo::basgui {

namespace {

const int kSizes[] = {16, 24, 32, 48};

QIcon load(const QString& variant, const QString& name) {
    QIcon icon;
    for (int size : kSizes) {
        const QString file = QStringLiteral(":/host/icons/%1/%2_%3.png").arg(variant, name, QString::number(size));
        if (QFile::exists(file))
            icon.addFile(file, QSize(size, size));
    }
    return icon;
}

} // namespace

QIcon BaseIcon::getIcon(const QString& name) {
    // Names are plain identifiers; anything else cannot name a file of ours.
    static const QRegularExpression valid(QStringLiteral("^[a-z0-9_]+$"));
    if (!valid.match(name).hasMatch())
        return QIcon();
    const bool dark = theme::ThemeSetting::isDark();
    QIcon icon = load(dark ? QStringLiteral("dark") : QStringLiteral("light"), name);
    if (icon.isNull())
        icon = load(dark ? QStringLiteral("light") : QStringLiteral("dark"), name);
    return icon;
}

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
