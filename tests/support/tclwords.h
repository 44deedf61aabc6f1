#pragma once

// The words Tcl makes of a command string, for tests of quoting: it runs in
// `interp` (a fresh interpreter when none is given) where every command not
// defined returns its arguments, so nothing the words hold can run.

#include <tcl.h>

#include <QStringList>

inline QStringList tclWords(const QString& command, Tcl_Interp* interp = nullptr) {
    Tcl_Interp* ip = interp ? interp : Tcl_CreateInterp();
    Tcl_Eval(ip, "proc unknown {name args} {return $args}");
    const QByteArray utf8 = command.toUtf8();
    QStringList words;
    if (Tcl_EvalEx(ip, utf8.constData(), int(utf8.size()), 0) == TCL_OK) {
        int n = 0;
        Tcl_Obj** objs = nullptr;
        Tcl_ListObjGetElements(ip, Tcl_GetObjResult(ip), &n, &objs);
        for (int i = 0; i < n; ++i)
            words << QString::fromUtf8(Tcl_GetString(objs[i]));
    } else {
        words << QStringLiteral("<error> ") + QString::fromUtf8(Tcl_GetStringResult(ip));
    }
    if (!interp)
        Tcl_DeleteInterp(ip);
    return words;
}
