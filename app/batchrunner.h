#pragma once

#include <QString>
#include <QStringList>

// `ondrel --batch script.tcl [args]`: runs the script in an interpreter with
// every registered command package, with no window and no display. The
// script sees $argv0 (its own path), $argv and $argc as under tclsh; `puts`
// writes to stdout; `exit N` ends the program with N.
//
// Returns the exit code: 0 when the script ran through, 1 when it raised a
// Tcl error (its message and errorInfo are printed on stderr), 2 when the
// script could not be read.
int runBatch(const QString& script, const QStringList& args);
