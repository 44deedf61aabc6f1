#pragma once

// The option words a verb hands on to the subsystems that answer them. Each
// subsystem adds its rows when the package loads (its registerVerbs), and
// the verb looks its word up once instead of asking every subsystem in turn.

#include "verbs.h"

#include <QList>
#include <QString>
#include <QStringList>

struct OptionRow {
    using Run = int (*)(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[]);
    using Claims = bool (*)(int objc, Tcl_Obj* const objv[]);

    QString word;
    Run run = nullptr;
    // Set where two subsystems share a word: this row answers only the
    // commands it claims, before the row that has no claim.
    Claims claims = nullptr;
    // Words after the option the verb checks before it runs the row (-1: the
    // row checks them itself), and whether it needs an open project.
    int args = -1;
    bool needsProject = false;
    // The row answers injected failures itself (after its own first step).
    bool ownPrologue = false;
};

class OptionTable {
public:
    // Adds rows; a row already there (same word and handler) is kept once,
    // so a package loaded into several interpreters adds nothing twice.
    void add(const OptionRow& row);
    void add(const QStringList& words, OptionRow::Run run, OptionRow::Claims claims = nullptr);
    // The row of the word objv[at], or null when no subsystem answers it.
    const OptionRow* find(int objc, Tcl_Obj* const objv[], int at = 1) const;

private:
    QList<OptionRow> m_rows;
};

namespace OptionTables {

// "ona_run_controller -OPTION ...".
OptionTable& runController();
// The keys of "ona_set_controller -hard_ip NAME -KEY VALUE" that a
// subsystem other than the hard IP blocks answers.
OptionTable& hardIpKeys();
// "ona_get ITEM ...".
OptionTable& get();

} // namespace OptionTables
