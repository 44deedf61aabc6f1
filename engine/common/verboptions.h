#pragma once

// The "-word value" options of a verb. The verb matches each word once,
// against its own table, and hands the work a list of keys; the work never
// compares option words. A word the verb does not know stays in its place
// (key Unknown, the refusal text as value), so that a command with several
// faults still reports the first one in the order given.

#include <QList>
#include <QPair>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <climits>
#include <initializer_list>
#include <utility>

namespace VerbOptions {

using Pairs = QList<QPair<QString, QString>>; // option word, value

template <typename Key>
struct Option {
    Key key;
    QString value;
};

template <typename Key>
using List = QList<Option<Key>>;

inline QString unknownOption(const QString& option, const QString& verb, const QString& allowed) {
    return QStringLiteral("%1: unknown option \"%2\": expected %3").arg(verb, option, allowed);
}

// Matches every word against `table`; words not in it become `unknown`
// with unknownOption(...) as their value, naming the table's words
// ("-a, -b or -c") so that the list can never disagree with the table.
template <typename Key>
List<Key> match(const Pairs& pairs, std::initializer_list<std::pair<const char*, Key>> table, Key unknown,
                const QString& verb) {
    QStringList words;
    for (const auto& t : table)
        words.append(QLatin1String(t.first));
    const QString last = words.isEmpty() ? QString() : words.takeLast();
    const QString allowed = words.isEmpty() ? last : words.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
    List<Key> out;
    for (const auto& p : pairs) {
        Option<Key> o{unknown, unknownOption(p.first, verb, allowed)};
        for (const auto& t : table)
            if (p.first == QLatin1String(t.first)) {
                o = {t.second, p.second};
                break;
            }
        out.append(o);
    }
    return out;
}

inline bool parseInt(const QString& text, int* value) {
    static const QRegularExpression re(QStringLiteral("^-?[0-9]{1,10}$"));
    if (!re.match(text).hasMatch())
        return false;
    bool ok = false;
    const qlonglong v = text.toLongLong(&ok);
    if (!ok || v < INT_MIN || v > INT_MAX)
        return false;
    *value = int(v);
    return true;
}

inline bool parseSwitch(const QString& text, bool* on) {
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("on") || t == QLatin1String("1") || t == QLatin1String("true") ||
        t == QLatin1String("yes")) {
        *on = true;
        return true;
    }
    if (t == QLatin1String("off") || t == QLatin1String("0") || t == QLatin1String("false") ||
        t == QLatin1String("no")) {
        *on = false;
        return true;
    }
    return false;
}

} // namespace VerbOptions
