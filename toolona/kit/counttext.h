#pragma once

#include <QLocale>
#include <QString>

namespace vemo::toolona {

// "1 trigger", "2,048 samples": a count as the tool's reports give it,
// grouped the same way whatever the user's locale.
inline QString countText(qint64 n, const QString& one, const QString& many) {
    return QStringLiteral("%1 %2").arg(QLocale(QLocale::English).toString(n), n == 1 ? one : many);
}

} // namespace vemo::toolona
