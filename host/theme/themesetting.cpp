#include "theme/themesetting.h"

#include <QPainter>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>

#include "settings/baseusrsettings.h"

#include <QApplication>
#include <QFile>
#include <QHash>
#include <QIconEngine>
#include <QMutex>
#include <QRegularExpression>
#include <QWidget>

namespace vemo::theme {

namespace {

const char* const kStyleKey = "theme_style";

struct NamedColour {
    const char* name;
    const char* light;
    const char* dark;
};

// One table so that both themes always define the same names.
const NamedColour kColours[] = {
    {"window", "#efefef", "#2b2d31"},
    {"window_text", "#1f1f1f", "#e3e3e3"},
    {"itemview_text", "#1f1f1f", "#e6e6e6"},
    {"itemview_background", "#ffffff", "#1e1f22"},
    {"itemview_alternate", "#f4f6f9", "#26282c"},
    {"itemview_selection", "#cce4f7", "#1f4f7a"},
    {"itemview_hover", "#e0f4ff", "#2d3c4d"},
    {"disabled_text", "#9a9a9a", "#6e7177"},
    {"grid", "#d4d4d4", "#3c3f45"},
    {"cursor", "#0a64c8", "#4fc3f7"},
    {"marker", "#c2185b", "#f48fb1"},
    {"trigger", "#d32f2f", "#ff5c5c"},
    {"waveform", "#00796b", "#5ee08a"},
    {"waveform_background", "#ffffff", "#141518"},
    {"ruler_text", "#1f1f1f", "#d8d8d8"},
    {"ruler_background", "#f0f0f0", "#2b2d31"},
    {"info_text", "#1f1f1f", "#e6e6e6"},
    {"warning_text", "#9a5800", "#ffb74d"},
    {"error_text", "#c62828", "#ff6b6b"},
    {"success_text", "#2e7d32", "#81c784"},
    {"link", "#0b57d0", "#8ab4f8"},
    {"icon", "#3c4043", "#d0d3d8"},
    {"icon_accent", "#1a73e8", "#6cb0ff"},
};

struct Cache {
    QMutex mutex;
    bool known = false;
    bool dark = false;
};

Cache& cache() {
    static Cache c;
    return c;
}

bool readDark() {
    const QString env = qEnvironmentVariable("ONDREL_THEME").trimmed().toLower();
    if (env == QLatin1String("dark"))
        return true;
    if (env == QLatin1String("light"))
        return false;
    basgui::BaseUsrSettings settings(QStringLiteral("host"));
    return settings.value(kStyleKey).toString().trimmed().toLower() == QLatin1String("dark");
}

} // namespace

bool ThemeSetting::isDark() {
    Cache& c = cache();
    QMutexLocker lock(&c.mutex);
    if (!c.known) {
        c.dark = readDark();
        c.known = true;
    }
    return c.dark;
}

QString ThemeSetting::style() { return isDark() ? QStringLiteral("dark") : QStringLiteral("light"); }

void ThemeSetting::reload() {
    Cache& c = cache();
    QMutexLocker lock(&c.mutex);
    c.known = false;
}

bool ThemeSetting::setStyle(const QString& style) {
    const QString s = style.trimmed().toLower();
    if (s != QLatin1String("dark") && s != QLatin1String("light"))
        return false;
    basgui::BaseUsrSettings settings(QStringLiteral("host"));
    settings.setValue(kStyleKey, s);
    settings.sync();
    reload();
    return true;
}

QStringList ThemeSetting::colourNames() {
    QStringList names;
    for (const NamedColour& c : kColours)
        names << QLatin1String(c.name);
    return names;
}

QColor ThemeSetting::color(const QString& name) {
    const bool dark = isDark();
    for (const NamedColour& c : kColours) {
        if (name == QLatin1String(c.name))
            return QColor(QLatin1String(dark ? c.dark : c.light));
    }
    return QColor();
}

QVariant ThemeSetting::get(const QString& key) {
    if (key == QLatin1String(kStyleKey))
        return style();
    const QColor c = color(key);
    return c.isValid() ? QVariant(c) : QVariant();
}

QPalette ThemeSetting::palette() {
    if (!isDark()) {
        // Derived from one button colour like Fusion's own light palette,
        // with the item-view colours of the table.
        QPalette p(QColor(QStringLiteral("#efefef")), QColor(QStringLiteral("#efefef")));
        p.setColor(QPalette::Base, color(QStringLiteral("itemview_background")));
        p.setColor(QPalette::AlternateBase, color(QStringLiteral("itemview_alternate")));
        p.setColor(QPalette::Text, color(QStringLiteral("itemview_text")));
        p.setColor(QPalette::WindowText, color(QStringLiteral("window_text")));
        p.setColor(QPalette::ButtonText, color(QStringLiteral("window_text")));
        p.setColor(QPalette::Link, color(QStringLiteral("link")));
        p.setColor(QPalette::Highlight, QColor(QStringLiteral("#2a7bd4")));
        p.setColor(QPalette::HighlightedText, Qt::white);
        p.setColor(QPalette::ToolTipBase, QColor(QStringLiteral("#ffffe1")));
        p.setColor(QPalette::ToolTipText, Qt::black);
        p.setColor(QPalette::PlaceholderText, color(QStringLiteral("disabled_text")));
        // The setColor calls above covered every group; greyed text again.
        const QColor disabled = color(QStringLiteral("disabled_text"));
        for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
            p.setColor(QPalette::Disabled, role, disabled);
        return p;
    }

    const QColor window(QStringLiteral("#2b2d31"));
    const QColor base(QStringLiteral("#1e1f22"));
    const QColor button(QStringLiteral("#35373c"));
    const QColor text(QStringLiteral("#e3e3e3"));
    const QColor disabled(QStringLiteral("#6e7177"));
    const QColor highlight(QStringLiteral("#2f6fb3"));

    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, color(QStringLiteral("itemview_alternate")));
    p.setColor(QPalette::ToolTipBase, QColor(QStringLiteral("#3a3d43")));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, disabled);
    p.setColor(QPalette::Text, color(QStringLiteral("itemview_text")));
    p.setColor(QPalette::Button, button);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, QColor(QStringLiteral("#ff6b6b")));
    p.setColor(QPalette::Link, color(QStringLiteral("link")));
    p.setColor(QPalette::LinkVisited, QColor(QStringLiteral("#c58af9")));
    p.setColor(QPalette::Highlight, highlight);
    p.setColor(QPalette::HighlightedText, Qt::white);
    p.setColor(QPalette::Light, QColor(QStringLiteral("#4a4d54")));
    p.setColor(QPalette::Midlight, QColor(QStringLiteral("#3d4046")));
    p.setColor(QPalette::Mid, QColor(QStringLiteral("#2a2c30")));
    p.setColor(QPalette::Dark, QColor(QStringLiteral("#18191b")));
    p.setColor(QPalette::Shadow, QColor(QStringLiteral("#0c0c0d")));

    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText,
                                     QPalette::HighlightedText, QPalette::PlaceholderText})
        p.setColor(QPalette::Disabled, role, disabled);
    p.setColor(QPalette::Disabled, QPalette::Base, window);
    p.setColor(QPalette::Disabled, QPalette::Button, QColor(QStringLiteral("#2f3135")));
    p.setColor(QPalette::Disabled, QPalette::Highlight, QColor(QStringLiteral("#3d4046")));
    p.setColor(QPalette::Inactive, QPalette::Highlight, QColor(QStringLiteral("#2a4a6b")));
    return p;
}

namespace {

// Fusion outlines check boxes with a darker shade of the window colour,
// which vanishes on a dark palette (an unchecked box in a table is then
// invisible). Draw a visible frame around the indicator on dark themes.
class ThemeStyle : public QProxyStyle {
public:
    ThemeStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override {
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        if ((element == PE_IndicatorCheckBox || element == PE_IndicatorItemViewItemCheck) && ThemeSetting::isDark()) {
            painter->save();
            painter->setRenderHint(QPainter::Antialiasing, false);
            painter->setBrush(Qt::NoBrush);
            painter->setPen(ThemeSetting::get(QStringLiteral("disabled_text")).value<QColor>());
            painter->drawRect(option->rect.adjusted(0, 0, -1, -1));
            painter->restore();
        }
    }
};

} // namespace

void ThemeSetting::applyTo(QApplication* app) {
    if (!app)
        return;
    QApplication::setStyle(new ThemeStyle);
    QApplication::setPalette(palette());
    // A widget with a style sheet keeps the palette it was polished with:
    // polished again, it takes the new one (the sheet's own colours stay).
    for (QWidget* w : QApplication::allWidgets())
        if (!w->styleSheet().isEmpty())
            w->setStyleSheet(w->styleSheet());
}

} // namespace vemo::theme

namespace vemo::theme {

namespace {

// An icon that keeps its files and decodes one only when a size of it is
// first drawn: every action of the window carries an icon in four sizes,
// most are never drawn before the window shows (menus, hidden pages), and
// decoding them all was a share of the start-up.
class FileIconEngine : public QIconEngine {
public:
    explicit FileIconEngine(QList<QPair<QString, int>> files) : m_files(std::move(files)) {}

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override {
        const qreal scale = painter->device() ? painter->device()->devicePixelRatio() : 1.0;
        iconFor(rect.size() * scale).paint(painter, rect, Qt::AlignCenter, mode, state);
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return iconFor(size).actualSize(size, mode, state);
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override {
        return iconFor(size).pixmap(size, mode, state);
    }
    QPixmap scaledPixmap(const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale) override {
        return iconFor(size * scale).pixmap(size, scale, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override {
        QList<QSize> sizes;
        for (const auto& file : std::as_const(m_files))
            sizes.append(QSize(file.second, file.second));
        return sizes;
    }
    bool isNull() override { return m_files.isEmpty(); }
    QString key() const override { return QStringLiteral("ondrel-file"); }
    QIconEngine* clone() const override { return new FileIconEngine(*this); }

private:
    // The icon holding the file that draws `size` best (the smallest at
    // least as large, else the largest), decoded once.
    const QIcon& iconFor(const QSize& size) {
        const int want = qMax(size.width(), size.height());
        int best = int(m_files.size()) - 1;
        for (int i = 0; i < m_files.size(); ++i) {
            if (m_files.at(i).second >= want) {
                best = i;
                break;
            }
        }
        if (!(m_loaded & (1u << best))) {
            m_loaded |= 1u << best;
            const int side = m_files.at(best).second;
            m_icon.addFile(m_files.at(best).first, QSize(side, side));
        }
        return m_icon;
    }

    QList<QPair<QString, int>> m_files; // ascending sizes
    QIcon m_icon;
    unsigned m_loaded = 0; // bit i: file i is in m_icon
};

QIcon loadIcon(const QString& variant, const QString& name) {
    QList<QPair<QString, int>> files;
    for (int size : {16, 24, 32, 48}) {
        const QString file = QStringLiteral(":/host/icons/%1/%2_%3.png").arg(variant, name, QString::number(size));
        if (QFile::exists(file))
            files.append({file, size});
    }
    return files.isEmpty() ? QIcon() : QIcon(new FileIconEngine(std::move(files)));
}

} // namespace

QIcon ThemeSetting::icon(const QString& name) {
    // Names are plain identifiers; anything else cannot name a file of ours.
    static const QRegularExpression valid(QStringLiteral("^[a-z0-9_]+$"));
    if (!valid.match(name).hasMatch())
        return QIcon();
    const bool dark = isDark();
    QIcon result = loadIcon(dark ? QStringLiteral("dark") : QStringLiteral("light"), name);
    if (result.isNull())
        result = loadIcon(dark ? QStringLiteral("light") : QStringLiteral("dark"), name);
    return result;
}

} // namespace vemo::theme
