#pragma once

// Text between Qt and Tcl, for every library that talks to an interpreter.
//
// Tcl keeps strings in its own modified UTF-8: NUL is the two bytes C0 80 and
// a character beyond U+FFFF is a pair of encoded surrogates. Reading that
// with QString::fromUtf8 turns both into U+FFFD, so an emoji or a NUL in a
// command's argument would silently become another character. These
// conversions go through Tcl's own UTF-8 encoding instead.

#include <tcl.h>
#include <QByteArray>
#include <QString>

namespace TclText {

inline Tcl_Encoding utf8Encoding() {
    // Held for the life of the process; Tcl keeps the table loaded anyway.
    static Tcl_Encoding enc = Tcl_GetEncoding(nullptr, "utf-8");
    return enc;
}

// `text` in Tcl's internal form, for Tcl_NewStringObj or Tcl_EvalEx.
inline QByteArray toTcl(const QString& text) {
    const QByteArray utf8 = text.toUtf8();
    Tcl_DString ds;
    Tcl_ExternalToUtfDString(utf8Encoding(), utf8.constData(), int(utf8.size()), &ds);
    QByteArray out(Tcl_DStringValue(&ds), Tcl_DStringLength(&ds));
    Tcl_DStringFree(&ds);
    return out;
}

// Tcl's internal form (length -1: up to the terminating NUL) as a QString.
inline QString fromTcl(const char* text, int length = -1) {
    if (!text)
        return {};
    Tcl_DString ds;
    Tcl_UtfToExternalDString(utf8Encoding(), text, length, &ds);
    QString out = QString::fromUtf8(Tcl_DStringValue(&ds), Tcl_DStringLength(&ds));
    Tcl_DStringFree(&ds);
    return out;
}

inline QString fromObj(Tcl_Obj* obj) {
    int length = 0;
    const char* s = Tcl_GetStringFromObj(obj, &length);
    return fromTcl(s, length);
}

inline Tcl_Obj* newObj(const QString& text) {
    const QByteArray t = toTcl(text);
    return Tcl_NewStringObj(t.constData(), int(t.size()));
}

} // namespace TclText
