#pragma once

// The user register options of ona_run_controller: -read_control,
// -read_status, -write_control NAME -data VALUE, -toggle_control, and the
// register files -dump_control, -load_control, -dump_status.

#include <tcl.h>
#include <QString>
#include <QStringList>

namespace RegisterVerbs {

// The register options (objv[1] of ona_run_controller).
const QStringList& options();
// Runs the register option; objv[0] is the verb, objv[1] the option.
int run(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[]);

} // namespace RegisterVerbs
