#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <string>
#include <type_traits>
#include <utility>

namespace vemo::message {

// Message severities, as posted to the message window and returned by
// retrieveMsgType.
enum MsgType { MsgInfo = 0, MsgWarning = 1, MsgError = 2 };

// Text of one message argument. Strings are taken as UTF-8.
inline QString toMsgArg(const QString& v) { return v; }
inline QString toMsgArg(const char* v) { return v ? QString::fromUtf8(v) : QString(); }
inline QString toMsgArg(const std::string& v) { return QString::fromStdString(v); }
inline QString toMsgArg(const QByteArray& v) { return QString::fromUtf8(v); }
inline QString toMsgArg(QChar v) { return QString(v); }
inline QString toMsgArg(char v) { return QString(QChar::fromLatin1(v)); }
inline QString toMsgArg(bool v) { return v ? QStringLiteral("true") : QStringLiteral("false"); }
template <typename T, typename = std::enable_if_t<std::is_arithmetic_v<T>>>
QString toMsgArg(T v) {
    return QString::number(v);
}

// Posts catalogue messages of one category ("analyzer", ...). A catalogue
// is a JSON file: {"category": c, "prefix": p, "messages": {id: {"type":
// "info"|"warning"|"error", "text": t}}} whose texts use %1, %2, ... for
// the arguments. The host ships no catalogue of its own: a tool registers
// its catalogues (usually resources of its own library) with
// registerCatalogue, and each is read the first time its category is
// used; loadCatalogue adds or overrides messages from further files at
// once.
//
// Posted messages go to the delivery sink (the message window installs
// itself as the sink) when it takes them, else to stderr, one line each.
class msgManager {
public:
    explicit msgManager(const std::string& category);

    template <typename... Args>
    void postMsg(const std::string& id, Args&&... args) {
        post(id, QStringList{toMsgArg(std::forward<Args>(args))...});
    }
    void post(const std::string& id, const QStringList& args);

    // The message text with %1.. replaced by args in one pass (an argument
    // that itself contains "%1" stays as it is). Arguments the text has no
    // place for are appended, so nothing the caller passed gets lost. An
    // unknown id gives an "unknown message" text naming category and id.
    QString retrieveMsgString(const std::string& id, const QStringList& args = {}) const;
    // MsgInfo, MsgWarning or MsgError; MsgWarning for an unknown id.
    int retrieveMsgType(const std::string& id) const;
    bool hasMsg(const std::string& id) const;
    // The id as shown to the user: "<prefix>-<id>", e.g. "ONA-0001".
    QString displayId(const std::string& id) const;
    std::string category() const { return m_category; }

    // Merges a catalogue file into the registry. A file with any bad entry
    // is rejected as a whole: returns false and explains in *error.
    static bool loadCatalogue(const QString& file, QString* error = nullptr);
    // Names the catalogue file of `category`, read when the category is
    // first used; messages already loaded with loadCatalogue win over its
    // entries. Registering the same file again does nothing.
    static void registerCatalogue(const QString& category, const QString& file);

    // Where posted messages go: true when the sink took the message. Null
    // (the default) sends everything to stderr.
    using Sink = bool (*)(const QString& shownId, const QString& text, int type);
    static void setSink(Sink sink);
    static QString substitute(const QString& text, const QStringList& args);
    static QString typeName(int type);

private:
    std::string m_category;
};

} // namespace vemo::message
