#include "verbs.h"

#include "tcltext.h"

namespace Verbs {

QString text(Tcl_Obj* o) { return TclText::fromObj(o); }

Tcl_Obj* obj(const QString& s) { return TclText::newObj(s); }

Tcl_Obj* list(const QStringList& items) {
    Tcl_Obj* l = Tcl_NewListObj(0, nullptr);
    for (const QString& s : items)
        Tcl_ListObjAppendElement(nullptr, l, obj(s));
    return l;
}

Tcl_Obj* wideList(const QVector<qint64>& v) {
    Tcl_Obj* l = Tcl_NewListObj(0, nullptr);
    for (qint64 x : v)
        Tcl_ListObjAppendElement(nullptr, l, Tcl_NewWideIntObj(Tcl_WideInt(x)));
    return l;
}

QString clipped(const QString& message) {
    // Messages quote what they refuse; a megabyte of input must not come back
    // as a megabyte of error. The start names the verb and the end says why.
    constexpr int kKeep = 240;
    if (message.size() <= 3 * kKeep)
        return message;
    int head = kKeep, tail = message.size() - kKeep;
    if (message.at(head - 1).isHighSurrogate())
        --head;
    if (message.at(tail).isLowSurrogate())
        ++tail;
    return message.left(head) + QStringLiteral("…(%1 characters left out)…").arg(tail - head) + message.mid(tail);
}

int fail(Tcl_Interp* ip, const QString& message) {
    Tcl_SetObjResult(ip, obj(clipped(message)));
    return TCL_ERROR;
}

int done(Tcl_Interp* ip, const QString& result) {
    Tcl_SetObjResult(ip, obj(result));
    return TCL_OK;
}

int usage(Tcl_Interp* ip, const char* text) {
    return fail(ip, QStringLiteral("wrong # args: should be \"%1\"").arg(QLatin1String(text)));
}

bool optionPairs(int objc, Tcl_Obj* const objv[], int start, VerbOptions::Pairs* out, QString* error) {
    for (int i = start; i < objc; i += 2) {
        const QString option = text(objv[i]);
        if (!option.startsWith(QLatin1Char('-'))) {
            *error =
                QStringLiteral("%1: expected an option beginning with '-', found \"%2\"").arg(text(objv[0]), option);
            return false;
        }
        if (i + 1 >= objc) {
            *error = QStringLiteral("%1: option %2 needs a value").arg(text(objv[0]), option);
            return false;
        }
        out->append({option, text(objv[i + 1])});
    }
    return true;
}

VerbOptions::Pairs optionWords(int objc, Tcl_Obj* const objv[], int start, std::initializer_list<const char*> flags) {
    VerbOptions::Pairs out;
    for (int i = start; i < objc; ++i) {
        const QString option = text(objv[i]);
        const bool flag = std::any_of(flags.begin(), flags.end(), [&](const char* f) { return option == QLatin1String(f); });
        if (flag)
            out.append({option, QStringLiteral("1")});
        else if (i + 1 < objc)
            out.append({option, text(objv[++i])});
        else
            out.append({option, QString()});
    }
    return out;
}

bool takeName(VerbOptions::Pairs* options, QString* name, const QString& verb, QString* error) {
    for (int i = 0; i < options->size(); ++i)
        if (options->at(i).first == QLatin1String("-name")) {
            *name = options->takeAt(i).second;
            return true;
        }
    *error = QStringLiteral("%1: -name is required").arg(verb);
    return false;
}

void create(Tcl_Interp* interp, std::initializer_list<Command> commands) {
    for (const auto& c : commands)
        Tcl_CreateObjCommand(interp, c.name, c.proc, nullptr, nullptr);
}

} // namespace Verbs
