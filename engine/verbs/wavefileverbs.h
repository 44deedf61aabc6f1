#pragma once

// The verbs of a simulator's waveform (a VCD file), apart from the project:
//   ona_open_waveform FILE ?-partial?
//   ona_close_waveform
//   ona_get waveform ?-var NAME ?-from T? ?-to T? | -var NAME -at T?
//   ona_find -waveform -signal NAME -value V ?-radix Bin|Hex|Dec? ?-from T? ?-backward?
//   ona_export_project -vcd FILE -waveform

#include "verbs.h"

#include <initializer_list>

namespace WaveFileVerbs {

void registerVerbs(Tcl_Interp* interp);
// Whether a command's options (after objv[0]) include `flag`, not counting
// the values of the options in `valued`.
bool hasFlag(int objc, Tcl_Obj* const objv[], const char* flag, std::initializer_list<const char*> valued);
// ona_find and ona_export_project hand a command naming -waveform here.
int find(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[]);
int exportVcd(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[]);

} // namespace WaveFileVerbs
