#include "kit/tclcommand.h"

#include "tcl/cgtclcmdproxy.h"

namespace vemo::toolona {

QString tclQuoted(const QString& text) {
    // One escaping rule for the whole process: the host's.
    return CGTclCmdProxy::escapeForQuotes(text);
}

bool isTclPlainWord(const QString& text) {
    if (text.isEmpty())
        return false;
    for (QChar c : text) {
        const bool ok =
            (c >= QLatin1Char('a') && c <= QLatin1Char('z')) || (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) ||
            (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('_') || c == QLatin1Char('.') ||
            c == QLatin1Char(':') || c == QLatin1Char('-') || c == QLatin1Char('/');
        if (!ok)
            return false;
    }
    return true;
}

QString tclWord(const QString& text) {
    if (isTclPlainWord(text))
        return text;
    return QLatin1Char('"') + tclQuoted(text) + QLatin1Char('"');
}

} // namespace vemo::toolona
