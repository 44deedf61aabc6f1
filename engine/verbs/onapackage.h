#pragma once

// The Tcl package "ona": the analyzer command language. Ona_Init creates
// every ona_* command in `interp` and provides the package "ona" 1.0. It
// may be called for several interpreters; all of them drive the one
// OnaData::inst().

#include "onaglobal.h"

#include <tcl.h>

extern "C" ONA_EXPORT int Ona_Init(Tcl_Interp* interp);
