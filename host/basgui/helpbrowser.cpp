#include "basgui/helpbrowser.h"

#include "basgui/basehelp.h"
#include "basgui/baseicon.h"

#include <QAction>
#include <QDesktopServices>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QShortcut>
#include <QStyle>
#include <QTextDocument>
#include <QToolBar>
#include <QVBoxLayout>

namespace vemo::basgui {

namespace {

const char* const kScheme = "help";

// Pages stay plain HTML; this gives them one look in both themes (colours
// come from the palette, so nothing here is light- or dark-specific).
const char* const kStyleSheet =
    "h1 { font-size: x-large; font-weight: 600; margin-bottom: 6px; }"
    "h2 { font-size: large; font-weight: 600; margin-top: 14px; margin-bottom: 4px; }"
    "h3 { font-weight: 600; margin-top: 10px; margin-bottom: 2px; }"
    "p, li { line-height: 130%; }"
    "code, kbd { font-family: monospace; }"
    "th { text-align: left; padding: 3px 10px 3px 0px; }"
    "td { padding: 3px 10px 3px 0px; vertical-align: top; }"
    ".note { font-style: italic; }";

// A page larger than this is not a help page.
constexpr qint64 kMaxPageSize = 8 * 1024 * 1024;

} // namespace

HelpTextBrowser::HelpTextBrowser(QWidget* parent) : QTextBrowser(parent) {
    // Links are followed here, so that page links go through the help
    // folders and web links to the desktop's browser.
    setOpenLinks(false);
    setOpenExternalLinks(false);
    document()->setDefaultStyleSheet(QString::fromLatin1(kStyleSheet));
    document()->setDocumentMargin(14);
    connect(this, &QTextBrowser::anchorClicked, this, &HelpTextBrowser::followLink);
}

QUrl HelpTextBrowser::topicUrl(const QString& topic) {
    QUrl url;
    url.setScheme(QString::fromLatin1(kScheme));
    url.setPath(QLatin1Char('/') + topic + QStringLiteral(".html"));
    return url;
}

QString HelpTextBrowser::topicOf(const QUrl& url) {
    if (url.scheme() != QLatin1String(kScheme))
        return QString();
    QString path = url.path();
    if (path.startsWith(QLatin1Char('/')))
        path.remove(0, 1);
    if (!path.endsWith(QLatin1String(".html")))
        return QString();
    path.chop(5);
    return path;
}

QString HelpTextBrowser::missingPage(const QString& topic) {
    const QString shown = topic.isEmpty() ? tr("(none)") : topic.toHtmlEscaped();
    QString where;
    for (const QString& dir : BaseHelp::searchPaths())
        where += QStringLiteral("<li><code>%1</code></li>").arg(dir.toHtmlEscaped());
    return QStringLiteral(
               "<html><head><title>%1</title></head><body>"
               "<h1>%1</h1>"
               "<p>%2</p>"
               "<p>%3</p>"
               "<p class=\"note\">%4</p><ul>%5</ul>"
               "</body></html>")
        .arg(tr("Help topic not found"), tr("There is no help page for the topic \"%1\".").arg(shown),
             tr("Use the Home button to go to the main help page, or Back to return to the previous page."),
             tr("Help pages are looked up in:"), where);
}

QVariant HelpTextBrowser::loadResource(int type, const QUrl& name) {
    if (name.scheme() != QLatin1String(kScheme))
        return QTextBrowser::loadResource(type, name);

    QString rel = name.path();
    if (rel.startsWith(QLatin1Char('/')))
        rel.remove(0, 1);

    if (type == QTextDocument::HtmlResource) {
        const QString topic = topicOf(name);
        const QString file = BaseHelp::isValidTopic(topic) ? BaseHelp::locate(rel) : QString();
        QFile f(file);
        if (file.isEmpty() || f.size() > kMaxPageSize || !f.open(QIODevice::ReadOnly))
            return missingPage(topic);
        return QString::fromUtf8(f.readAll());
    }

    // Images and style sheets that pages refer to.
    const QString file = BaseHelp::locate(rel);
    QFile f(file);
    if (file.isEmpty() || f.size() > kMaxPageSize || !f.open(QIODevice::ReadOnly))
        return QVariant();
    return f.readAll();
}

void HelpTextBrowser::followLink(const QUrl& link) {
    if (link.isRelative() && link.path().isEmpty() && link.hasFragment()) {
        scrollToAnchor(link.fragment());
        return;
    }
    const QUrl target = source().resolved(link);
    if (target.scheme() == QLatin1String(kScheme)) {
        setSource(target);
        return;
    }
    // Web and mail links belong to the desktop; local files are not opened
    // from help pages.
    if (target.scheme() == QLatin1String("http") || target.scheme() == QLatin1String("https") ||
        target.scheme() == QLatin1String("mailto"))
        QDesktopServices::openUrl(target);
}

void HelpBrowser::keyPressEvent(QKeyEvent* event) {
    // Escape closes the help window, as it closes a dialog.
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    QWidget::keyPressEvent(event);
}

HelpBrowser::HelpBrowser(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("HelpBrowser"));
    resize(780, 620);

    m_text = new HelpTextBrowser(this);
    m_text->setFrameShape(QFrame::NoFrame);

    auto* bar = new QToolBar(this);
    bar->setIconSize(QSize(20, 20));
    bar->setToolButtonStyle(Qt::ToolButtonIconOnly);

    m_back = bar->addAction(BaseIcon::getIcon(QStringLiteral("go_back")), tr("Back"));
    m_back->setShortcut(QKeySequence::Back);
    m_back->setToolTip(tr("Back (%1)").arg(QKeySequence(QKeySequence::Back).toString(QKeySequence::NativeText)));
    m_back->setEnabled(false);
    m_forward = bar->addAction(BaseIcon::getIcon(QStringLiteral("go_forward")), tr("Forward"));
    m_forward->setShortcut(QKeySequence::Forward);
    m_forward->setToolTip(
        tr("Forward (%1)").arg(QKeySequence(QKeySequence::Forward).toString(QKeySequence::NativeText)));
    m_forward->setEnabled(false);
    m_home = bar->addAction(BaseIcon::getIcon(QStringLiteral("go_home")), tr("Home"));
    m_home->setToolTip(tr("Main help page"));

    auto* spacer = new QWidget(bar);
    spacer->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    bar->addWidget(spacer);
    m_find = new QLineEdit(bar);
    m_find->setPlaceholderText(tr("Find in page"));
    m_find->setClearButtonEnabled(true);
    m_find->setMaximumWidth(220);
    bar->addWidget(m_find);

    connect(m_back, &QAction::triggered, m_text, &QTextBrowser::backward);
    connect(m_forward, &QAction::triggered, m_text, &QTextBrowser::forward);
    connect(m_home, &QAction::triggered, this, [this] { showTopic(m_homeTopic); });
    connect(m_text, &QTextBrowser::backwardAvailable, m_back, &QAction::setEnabled);
    connect(m_text, &QTextBrowser::forwardAvailable, m_forward, &QAction::setEnabled);
    connect(m_text, &QTextBrowser::sourceChanged, this, &HelpBrowser::updateTitle);
    connect(m_find, &QLineEdit::returnPressed, this, [this] { find(false); });

    auto* findShortcut = new QShortcut(QKeySequence::Find, this);
    connect(findShortcut, &QShortcut::activated, this, [this] {
        m_find->setFocus();
        m_find->selectAll();
    });
    auto* findNext = new QShortcut(QKeySequence::FindNext, this);
    connect(findNext, &QShortcut::activated, this, [this] { find(false); });
    auto* findPrevious = new QShortcut(QKeySequence::FindPrevious, this);
    connect(findPrevious, &QShortcut::activated, this, [this] { find(true); });
    auto* closeShortcut = new QShortcut(QKeySequence::Close, this);
    connect(closeShortcut, &QShortcut::activated, this, &QWidget::close);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(bar);
    layout->addWidget(m_text, 1);
    updateTitle();
}

void HelpBrowser::setHomeTopic(const QString& topic) { m_homeTopic = topic; }

void HelpBrowser::showTopic(const QString& topic) {
    const QUrl url = HelpTextBrowser::topicUrl(topic);
    if (m_text->source() == url)
        m_text->reload();
    else
        m_text->setSource(url, QTextDocument::HtmlResource);
}

QString HelpBrowser::currentTopic() const { return HelpTextBrowser::topicOf(m_text->source()); }

void HelpBrowser::updateTitle() {
    const QString page = m_text->documentTitle();
    setWindowTitle(page.isEmpty() ? tr("Help") : tr("Help - %1").arg(page));
}

void HelpBrowser::find(bool backward) {
    const QString text = m_find->text();
    if (text.isEmpty())
        return;
    QTextDocument::FindFlags flags;
    if (backward)
        flags |= QTextDocument::FindBackward;
    if (!m_text->find(text, flags)) {
        // Wrap around once.
        QTextCursor c = m_text->textCursor();
        c.movePosition(backward ? QTextCursor::End : QTextCursor::Start);
        m_text->setTextCursor(c);
        m_text->find(text, flags);
    }
}

} // namespace vemo::basgui
