#include "message/msgmanager.h"

#include <QFile>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QSet>

#include <cstdio>

namespace vemo::message {

namespace {

struct Entry {
    int type = MsgInfo;
    QString text;
};

struct Catalogue {
    QString prefix;
    QHash<QString, Entry> messages;
};

struct Registry {
    QMutex mutex;
    QHash<QString, Catalogue> categories;
    // Registered catalogue files per category, and those already read.
    QHash<QString, QStringList> registered;
    QSet<QString> read;
    msgManager::Sink sink = nullptr;
};

Registry& registry() {
    static Registry r;
    return r;
}

int typeFromName(const QString& name) {
    const QString n = name.trimmed().toLower();
    if (n == QLatin1String("info"))
        return MsgInfo;
    if (n == QLatin1String("warning"))
        return MsgWarning;
    if (n == QLatin1String("error"))
        return MsgError;
    return -1;
}

// Parses one catalogue document; fills category and catalogue or explains.
bool parseCatalogue(const QByteArray& data, const QString& source, QString& category, Catalogue& out, QString& error) {
    QJsonParseError perr;
    const QJsonDocument doc = QJsonDocument::fromJson(data, &perr);
    if (perr.error != QJsonParseError::NoError) {
        error = QStringLiteral("%1: not valid JSON at offset %2: %3")
                    .arg(source, QString::number(perr.offset), perr.errorString());
        return false;
    }
    if (!doc.isObject()) {
        error = QStringLiteral("%1: the catalogue must be a JSON object").arg(source);
        return false;
    }
    const QJsonObject root = doc.object();
    category = root.value(QLatin1String("category")).toString().trimmed();
    if (category.isEmpty()) {
        error = QStringLiteral("%1: \"category\" is missing or empty").arg(source);
        return false;
    }
    out.prefix = root.value(QLatin1String("prefix")).toString().trimmed();
    const QJsonValue messages = root.value(QLatin1String("messages"));
    if (!messages.isObject()) {
        error = QStringLiteral("%1: \"messages\" must be an object of id: {type, text}").arg(source);
        return false;
    }
    const QJsonObject m = messages.toObject();
    for (auto it = m.begin(); it != m.end(); ++it) {
        const QString id = it.key().trimmed();
        if (id.isEmpty()) {
            error = QStringLiteral("%1: a message has an empty id").arg(source);
            return false;
        }
        if (!it.value().isObject()) {
            error = QStringLiteral("%1: message %2 must be an object with type and text").arg(source, id);
            return false;
        }
        const QJsonObject e = it.value().toObject();
        const QJsonValue text = e.value(QLatin1String("text"));
        if (!text.isString()) {
            error = QStringLiteral("%1: message %2 has no text").arg(source, id);
            return false;
        }
        const int type = typeFromName(e.value(QLatin1String("type")).toString(QStringLiteral("info")));
        if (type < 0) {
            error = QStringLiteral("%1: message %2 has type \"%3\"; use info, warning or error")
                        .arg(source, id, e.value(QLatin1String("type")).toString());
            return false;
        }
        out.messages.insert(id, Entry{type, text.toString()});
    }
    return true;
}

void merge(Registry& r, const QString& category, const Catalogue& cat) {
    Catalogue& target = r.categories[category];
    if (!cat.prefix.isEmpty())
        target.prefix = cat.prefix;
    for (auto it = cat.messages.begin(); it != cat.messages.end(); ++it)
        target.messages.insert(it.key(), it.value());
}

// Reads one registered catalogue. Its entries fill what files loaded
// earlier with loadCatalogue left open. Called with the lock held.
void readRegistered(Registry& r, const QString& category, const QString& file) {
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "message catalogue: %s cannot be read\n", qPrintable(file));
        return;
    }
    QString parsedCategory, error;
    Catalogue cat;
    if (!parseCatalogue(f.readAll(), file, parsedCategory, cat, error)) {
        std::fprintf(stderr, "message catalogue: %s\n", qPrintable(error));
        return;
    }
    if (parsedCategory != category) {
        std::fprintf(stderr, "message catalogue: %s holds category \"%s\", registered as \"%s\"\n", qPrintable(file),
                     qPrintable(parsedCategory), qPrintable(category));
        return;
    }
    Catalogue& target = r.categories[category];
    if (target.prefix.isEmpty())
        target.prefix = cat.prefix;
    for (auto it = cat.messages.begin(); it != cat.messages.end(); ++it) {
        if (!target.messages.contains(it.key()))
            target.messages.insert(it.key(), it.value());
    }
}

// Reads the registered catalogues of a category, each once. Called with the
// lock held.
void ensureRegistered(Registry& r, const QString& category) {
    const auto files = r.registered.constFind(category);
    if (files == r.registered.constEnd())
        return;
    for (const QString& file : *files) {
        if (r.read.contains(file))
            continue;
        r.read.insert(file);
        readRegistered(r, category, file);
    }
}

bool lookup(const std::string& category, const std::string& id, Entry& entry, QString* prefix) {
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    const QString cat = QString::fromStdString(category);
    ensureRegistered(r, cat);
    const auto c = r.categories.constFind(cat);
    if (c == r.categories.constEnd())
        return false;
    if (prefix)
        *prefix = c->prefix;
    const auto e = c->messages.constFind(QString::fromStdString(id));
    if (e == c->messages.constEnd())
        return false;
    entry = *e;
    return true;
}

} // namespace

msgManager::msgManager(const std::string& category) : m_category(category) {}

bool msgManager::loadCatalogue(const QString& file, QString* error) {
    QFile f(file);
    QString err;
    if (!f.open(QIODevice::ReadOnly)) {
        if (error)
            *error = QStringLiteral("%1: cannot be read (%2)").arg(file, f.errorString());
        return false;
    }
    // Catalogues are small; a huge file is a mistake, not a catalogue.
    if (f.size() > 8 * 1024 * 1024) {
        if (error)
            *error = QStringLiteral("%1: too large for a message catalogue").arg(file);
        return false;
    }
    QString category;
    Catalogue cat;
    if (!parseCatalogue(f.readAll(), file, category, cat, err)) {
        if (error)
            *error = err;
        return false;
    }
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    merge(r, category, cat);
    return true;
}

void msgManager::registerCatalogue(const QString& category, const QString& file) {
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    QStringList& files = r.registered[category];
    if (!files.contains(file))
        files << file;
}

void msgManager::setSink(Sink sink) {
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    r.sink = sink;
}

QString msgManager::substitute(const QString& text, const QStringList& args) {
    QString out;
    out.reserve(text.size() + 16 * args.size());
    QList<bool> used(args.size(), false);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('%') && i + 1 < text.size() && text.at(i + 1).isDigit()) {
            // Up to two digits: %1 .. %99.
            qsizetype j = i + 1;
            int n = 0;
            while (j < text.size() && j < i + 3 && text.at(j).isDigit()) {
                n = n * 10 + text.at(j).digitValue();
                ++j;
            }
            if (n >= 1 && n <= args.size()) {
                out += args.at(n - 1);
                used[n - 1] = true;
                i = j - 1;
                continue;
            }
        }
        out += c;
    }
    QStringList extra;
    for (qsizetype k = 0; k < args.size(); ++k) {
        if (!used.at(k))
            extra << args.at(k);
    }
    if (!extra.isEmpty()) {
        if (!out.isEmpty())
            out += QLatin1Char(' ');
        out += extra.join(QLatin1Char(' '));
    }
    return out;
}

QString msgManager::typeName(int type) {
    switch (type) {
        case MsgError:
            return QStringLiteral("Error");
        case MsgWarning:
            return QStringLiteral("Warning");
        default:
            return QStringLiteral("Info");
    }
}

bool msgManager::hasMsg(const std::string& id) const {
    Entry e;
    return lookup(m_category, id, e, nullptr);
}

QString msgManager::displayId(const std::string& id) const {
    Entry e;
    QString prefix;
    lookup(m_category, id, e, &prefix);
    if (prefix.isEmpty())
        prefix = QString::fromStdString(m_category).toUpper();
    return prefix.isEmpty() ? QString::fromStdString(id) : prefix + QLatin1Char('-') + QString::fromStdString(id);
}

QString msgManager::retrieveMsgString(const std::string& id, const QStringList& args) const {
    Entry e;
    if (!lookup(m_category, id, e, nullptr)) {
        QString text = QStringLiteral("Unknown message %1 in category \"%2\"")
                           .arg(QString::fromStdString(id), QString::fromStdString(m_category));
        if (!args.isEmpty())
            text += QStringLiteral(" (arguments: %1)").arg(args.join(QStringLiteral(", ")));
        return text;
    }
    return substitute(e.text, args);
}

int msgManager::retrieveMsgType(const std::string& id) const {
    Entry e;
    return lookup(m_category, id, e, nullptr) ? e.type : int(MsgWarning);
}

void msgManager::post(const std::string& id, const QStringList& args) {
    const QString text = retrieveMsgString(id, args);
    const int type = retrieveMsgType(id);
    const QString shownId = displayId(id);
    Sink sink = nullptr;
    {
        Registry& r = registry();
        QMutexLocker lock(&r.mutex);
        sink = r.sink;
    }
    if (sink && sink(shownId, text, type))
        return;
    // No message window (batch mode, or before the window exists).
    const QByteArray line = QStringLiteral("[%1] %2: %3\n").arg(typeName(type), shownId, text).toLocal8Bit();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
    std::fflush(stderr);
}

} // namespace vemo::message
