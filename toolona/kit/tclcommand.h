#pragma once

#include <QString>

namespace vemo::toolona {

// Text that goes inside the double quotes of a command format: backslash,
// double quote, dollar and brackets are escaped so that Tcl hands the engine
// exactly this text and never substitutes or runs anything in it.
QString tclQuoted(const QString& text);

// True when the text can stand unquoted as one Tcl word and means itself:
// letters, digits and _ . : - / only, not empty.
bool isTclPlainWord(const QString& text);

// Text for an unquoted position: a plain word unchanged, anything else in
// escaped double quotes, so that it stays one word with its literal value.
QString tclWord(const QString& text);

// Fills a command format's %1, %2, ... in one pass (chained arg() calls would
// substitute a %1 that a value itself contains).
template <typename... Args>
QString tclCommand(const QString& format, const Args&... args) {
    return format.arg(args...);
}

} // namespace vemo::toolona
