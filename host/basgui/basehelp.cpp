#include "basgui/basehelp.h"

#include "basgui/helpbrowser.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QPointer>
#include <QRegularExpression>

namespace vemo::basgui {

namespace {

struct Paths {
    QMutex mutex;
    QStringList added;
};

Paths& paths() {
    static Paths p;
    return p;
}

QPointer<HelpBrowser>& browserPtr() {
    static QPointer<HelpBrowser> p;
    return p;
}

// The What's-This file is small; a huge one is a mistake, not help.
constexpr qint64 kMaxWhatsThisSize = 4 * 1024 * 1024;

QJsonObject readWhatsThis(const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxWhatsThisSize)
        return QJsonObject();
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll());
    return doc.isObject() ? doc.object() : QJsonObject();
}

} // namespace

BaseHelp::BaseHelp(const QString& toolName, QObject* parent) : QObject(parent), m_toolName(toolName) {}

void BaseHelp::addSearchPath(const QString& dir) {
    if (dir.isEmpty())
        return;
    const QString clean = QDir::cleanPath(dir);
    Paths& p = paths();
    QMutexLocker lock(&p.mutex);
    if (!p.added.contains(clean))
        p.added << clean;
}

QStringList BaseHelp::searchPaths() {
    QStringList list{QStringLiteral(":/help")};
    const QString env = qEnvironmentVariable("ONDREL_HELP_DIR");
    if (!env.isEmpty())
        list << QDir::cleanPath(env);
    {
        Paths& p = paths();
        QMutexLocker lock(&p.mutex);
        list << p.added;
    }
#ifdef ONDREL_DOCS_DIR
    list << QDir::cleanPath(QStringLiteral(ONDREL_DOCS_DIR "/help"));
#endif
    list.removeDuplicates();
    return list;
}

bool BaseHelp::isValidTopic(const QString& topic) {
    static const QRegularExpression valid(QStringLiteral("^[A-Za-z0-9_][A-Za-z0-9_.\\-]*$"));
    return valid.match(topic).hasMatch() && !topic.contains(QLatin1String(".."));
}

QString BaseHelp::locate(const QString& relativePath) {
    const QString rel = QDir::cleanPath(relativePath);
    // Stay inside the help folders.
    if (rel.isEmpty() || rel.startsWith(QLatin1Char('/')) || rel.startsWith(QLatin1String("..")) ||
        rel.contains(QLatin1Char(':')) || rel.contains(QLatin1Char('\\')))
        return QString();
    for (const QString& dir : searchPaths()) {
        const QString file = dir + QLatin1Char('/') + rel;
        if (QFileInfo(file).isFile())
            return file;
    }
    return QString();
}

QString BaseHelp::helpFile(const QString& topic) const {
    if (!isValidTopic(topic))
        return QString();
    return locate(topic + QStringLiteral(".html"));
}

QString BaseHelp::getWhatsThisText(const QString& topic, const QString& entry) const {
    if (topic.isEmpty())
        return QString();
    const QString key = entry.isEmpty() ? topic : entry;
    for (const QString& dir : searchPaths()) {
        const QJsonObject all = readWhatsThis(dir + QStringLiteral("/whatsthis.json"));
        const QJsonValue t = all.value(topic);
        if (t.isObject()) {
            const QJsonValue v = t.toObject().value(key);
            if (v.isString() && !v.toString().isEmpty())
                return v.toString();
        } else if (t.isString() && entry.isEmpty() && !t.toString().isEmpty()) {
            return t.toString();
        }
    }
    return QString();
}

HelpBrowser* BaseHelp::browser() { return browserPtr(); }

void BaseHelp::openHelpUrl(const QString& topic) { show(topic.isEmpty() ? m_toolName : topic, nullptr); }

void BaseHelp::openViewHelpUrl(const QString& topic) { show(topic.isEmpty() ? m_toolName : topic, nullptr); }

void BaseHelp::openDialogHelpUrl(const QString& topic) {
    show(topic.isEmpty() ? m_toolName : topic, QApplication::activeModalWidget());
}

void BaseHelp::show(const QString& topic, QWidget* modalOwner) {
    QPointer<HelpBrowser>& b = browserPtr();
    if (!b)
        b = new HelpBrowser();
    b->setHomeTopic(m_toolName);

    // A modal dialog blocks every window but its own children: the help of
    // a dialog must be one of them to be usable. Otherwise the window stands
    // alone, so that it outlives whatever asked for it.
    QWidget* wanted = modalOwner;
    if (b->parentWidget() != wanted) {
        const QByteArray geometry = b->saveGeometry();
        const bool wasShown = b->isVisible();
        b->setParent(wanted, Qt::Window);
        if (wasShown)
            b->restoreGeometry(geometry);
    }
    b->setAttribute(Qt::WA_DeleteOnClose, false);
    b->showTopic(topic);
    b->show();
    b->raise();
    b->activateWindow();
}

} // namespace vemo::basgui
