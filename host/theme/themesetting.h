#pragma once

#include <QColor>
#include <QIcon>
#include <QPalette>
#include <QString>
#include <QStringList>
#include <QVariant>

class QApplication;

namespace vemo::theme {

// The host's look: a light or a dark theme and the named colours that go
// with it. The style comes from $ONDREL_THEME ("dark" or "light") when set,
// else from the host settings key "theme_style", else light.
//
// Keys for get():
//   "theme_style"          "dark" or "light" (QString)
//   every name of colourNames(), e.g. "itemview_text", "itemview_background",
//   "error_text", "grid", "cursor" (QColor)
// An unknown key gives an invalid QVariant.
class ThemeSetting {
public:
    static QVariant get(const QString& key);
    static bool isDark();
    static QString style();
    static QColor color(const QString& name);
    // The host's own icon `name` (a plain identifier) in the variant of the
    // current theme, falling back to the other variant; null when there is
    // none. Our own images: no icon-theme lookup, the same on every desktop.
    static QIcon icon(const QString& name);
    static QStringList colourNames();

    // The full application palette of the current theme.
    static QPalette palette();
    // Fusion style plus the palette of the current theme.
    static void applyTo(QApplication* app);

    // Stores "dark" or "light" in the host settings (anything else is
    // refused and returns false); $ONDREL_THEME still wins when set.
    static bool setStyle(const QString& style);
    // Forgets the cached choice so the next call reads the environment and
    // the settings again (after either changed outside setStyle).
    static void reload();
};

} // namespace vemo::theme
