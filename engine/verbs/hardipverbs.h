#pragma once

// The hard IP verbs: "ona_set_controller" (staging keys, the lane of
// per-lane keys), the hard IP options of "ona_run_controller" (-write_ip,
// -read_ip, memory files with -hard_ip), the block address spaces under
// "ona_read_controller"/"ona_write_controller", and "ona_get hardip".

#include "verbs.h"

#include <QString>

namespace HardIpVerbs {

void registerVerbs(Tcl_Interp* interp);

// The hard IP options of "ona_run_controller" (registerVerbs adds them).
int run(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[]);

// Word access by absolute address: false when no block of the current core
// holds `address` (the user memory answers then); otherwise the verb's
// answer is in `code`.
bool readWord(Tcl_Interp* ip, quint64 address, int* code);
bool writeWord(Tcl_Interp* ip, quint64 address, quint64 data, int* code);

// "ona_get hardip NAME ?-staged?".
int get(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[]);

} // namespace HardIpVerbs
