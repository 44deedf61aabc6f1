#pragma once

// The eye scan verbs, answered for the verbs that own their words:
//   ona_set_controller -hard_ip NAME -eye_quality high|normal|low
//   ona_set_controller -hard_ip NAME -eye_lane LANE
//   ona_run_controller -eye_monitor NAME ?-nowait?
//   ona_run_controller -eye_wait
//   ona_run_controller -eye_stop
//   ona_get eye NAME

#include "verbs.h"

#include <QString>

namespace EyeVerbs {

// Adds the eye's words to the option tables of the verbs above.
void registerVerbs(Tcl_Interp* interp);
int set(Tcl_Interp* ip, const QString& name, const QString& keyOption, const QString& value);
int run(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[]);
int get(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[]);

} // namespace EyeVerbs
