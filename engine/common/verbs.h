#pragma once

// Small helpers every subsystem's verb file shares: Tcl values, results,
// usage errors, "-option value" pairs and result dictionaries.

#include "onaglobal.h"
#include "verboptions.h"

#include <tcl.h>
#include <QStringList>
#include <QVector>
#include <optional>

namespace Verbs {

#define ONA_CMD(fn) int fn(ClientData, Tcl_Interp* ip, int objc, Tcl_Obj* const objv[])

QString text(Tcl_Obj* o);
Tcl_Obj* obj(const QString& s);
inline Tcl_Obj* obj(int v) { return Tcl_NewIntObj(v); }
inline Tcl_Obj* obj(bool v) { return Tcl_NewIntObj(v ? 1 : 0); }
Tcl_Obj* list(const QStringList& items);
Tcl_Obj* wideList(const QVector<qint64>& v);

// A message cut in the middle to a few hundred characters when longer.
QString clipped(const QString& message);
int fail(Tcl_Interp* ip, const QString& message);
int done(Tcl_Interp* ip, const QString& result = QString());
int usage(Tcl_Interp* ip, const char* text);
// The end of a verb whose work returned `ok`: done, or failed with `error`.
inline int finish(Tcl_Interp* ip, bool ok, const QString& error) { return ok ? done(ip) : fail(ip, error); }

// A verb without arguments: its usage when given some, else the outcome of
// `work(QString* error)`.
template <typename Work>
int bareVerb(Tcl_Interp* ip, int objc, const char* usageText, Work work) {
    if (objc != 1)
        return usage(ip, usageText);
    QString error;
    return finish(ip, work(&error), error);
}

// Reads "-option value" pairs from objv[start..].
bool optionPairs(int objc, Tcl_Obj* const objv[], int start, VerbOptions::Pairs* out, QString* error);
// Reads "-option value" pairs from objv[start..] and matches them against
// `table` (VerbOptions::match); nothing, and the fault, when a pair is cut.
template <typename Key>
std::optional<VerbOptions::List<Key>> matchedOptions(int objc, Tcl_Obj* const objv[], int start,
                                                     std::initializer_list<std::pair<const char*, Key>> table,
                                                     Key unknown, const QString& verb, QString* error) {
    VerbOptions::Pairs pairs;
    if (!optionPairs(objc, objv, start, &pairs, error))
        return std::nullopt;
    return VerbOptions::match(pairs, table, unknown, verb);
}
// The words of a verb whose options mix "-option value" pairs with bare
// flags (`flags`, read as the value "1"), in the order given; a trailing
// option without its value comes out with a null value, so that the verb
// still reports the first fault in that order.
VerbOptions::Pairs optionWords(int objc, Tcl_Obj* const objv[], int start, std::initializer_list<const char*> flags);
// optionWords matched against `table`, up to the first option without its
// value: *cut says whether one was (the verb shows its usage once the
// options before it have been read, so faults still come in their order).
template <typename Key>
VerbOptions::List<Key> matchedWords(int objc, Tcl_Obj* const objv[], int start,
                                    std::initializer_list<const char*> flags,
                                    std::initializer_list<std::pair<const char*, Key>> table, Key unknown,
                                    const QString& verb, bool* cut) {
    VerbOptions::Pairs words = optionWords(objc, objv, start, flags);
    *cut = false;
    for (int i = 0; i < words.size(); ++i)
        if (words.at(i).second.isNull()) {
            words.resize(i);
            *cut = true;
            break;
        }
    return VerbOptions::match(words, table, unknown, verb);
}
// Takes "-name NAME" out of the pairs.
bool takeName(VerbOptions::Pairs* options, QString* name, const QString& verb, QString* error);

struct Command {
    const char* name;
    Tcl_ObjCmdProc* proc;
};
void create(Tcl_Interp* interp, std::initializer_list<Command> commands);

class Dict {
public:
    Dict() : m_obj(Tcl_NewDictObj()) {}
    Dict& put(const char* key, Tcl_Obj* value) {
        Tcl_DictObjPut(nullptr, m_obj, Tcl_NewStringObj(key, -1), value);
        return *this;
    }
    Dict& put(const QString& key, Tcl_Obj* value) {
        Tcl_DictObjPut(nullptr, m_obj, obj(key), value);
        return *this;
    }
    Tcl_Obj* get() const { return m_obj; }

private:
    Tcl_Obj* m_obj;
};

} // namespace Verbs
