#include "widgets/fitmark.h"

#include "theme/themesetting.h"

#include <QLineEdit>
#include <QObject>
#include <QVariant>

namespace vemo::toolona {

namespace {
constexpr char kReason[] = "unfitReason";
constexpr char kOwnStyle[] = "unfitOwnStyle";
} // namespace

void markUnfit(QLineEdit* edit, const QString& reason) {
    if (!edit || reason == unfitReason(edit))
        return;
    // The field's own style sheet (a font size, say) stays under the mark.
    if (!edit->property(kOwnStyle).isValid())
        edit->setProperty(kOwnStyle, edit->styleSheet());
    const QString own = edit->property(kOwnStyle).toString();
    edit->setProperty(kReason, reason);
    edit->setToolTip(reason);
    if (reason.isEmpty()) {
        edit->setStyleSheet(own);
        return;
    }
    const QString error = vemo::theme::ThemeSetting::color(QStringLiteral("error_text")).name();
    edit->setStyleSheet(own.isEmpty() ? QStringLiteral("color: %1").arg(error)
                                      : QStringLiteral("%1; color: %2").arg(own, error));
}

QString unfitReason(const QWidget* edit) { return edit ? edit->property(kReason).toString() : QString(); }

QString hexUnfit(const QString& text, int bits, const QString& what) {
    qsizetype first = 0;
    while (first < text.size() && text.at(first) == QLatin1Char('0'))
        ++first;
    const QString digits = text.mid(first);
    bool wide = digits.size() > (bits + 3) / 4;
    if (!wide && !digits.isEmpty() && digits.size() == (bits + 3) / 4 && bits % 4) {
        // The top digit holds only the bits left over.
        const int top = QString(digits.at(0)).toInt(nullptr, 16);
        wide = top >= (1 << (bits % 4));
    }
    if (!wide)
        return QString();
    return QObject::tr("%1 0x%2 does not fit in %3 bits; nothing is sent until it does.").arg(what, text).arg(bits);
}

} // namespace vemo::toolona
