#pragma once

// Each subsystem registers its own ona_* verbs from its own verb file
// (verbs/projectverbs.cpp, verbs/triggerverbs.cpp, ...); Ona_Init
// (onapackage.cpp) calls every registerVerbs below. The items of "ona_get"
// are answered by the subsystem that owns them.

#include "verbs.h"

#include <QString>

#include <functional>

namespace ProjectVerbs {
void registerVerbs(Tcl_Interp* interp);
int getCores(Tcl_Interp* ip);
int getCore(Tcl_Interp* ip, const QString& name);
int getProject(Tcl_Interp* ip);
} // namespace ProjectVerbs

namespace TriggerVerbs {
void registerVerbs(Tcl_Interp* interp);
int getTU(Tcl_Interp* ip, const QString& name);
int getTE(Tcl_Interp* ip, const QString& name);
int getTrigOptn(Tcl_Interp* ip);
int getTokenSets(Tcl_Interp* ip);
} // namespace TriggerVerbs

namespace CaptureVerbs {
void registerVerbs(Tcl_Interp* interp);
int getCapture(Tcl_Interp* ip);
int getValue(Tcl_Interp* ip, const QString& name, Tcl_Obj* sampleObj);

// The words of a search for a value on a signal, in a capture or in the
// open waveform: -signal NAME -value V ?-radix R? ?-from P? ?-backward?,
// and the flag -waveform when `waveform`. `readFrom` reads the -from word
// as positions of the search go.
struct SignalFind {
    QString name, value, radix = QStringLiteral("Bin");
    qint64 from = -1;
    bool haveFrom = false, backward = false;
};
using ReadPosition = std::function<bool(const QString& word, qint64* at, QString* error)>;
// TCL_OK with *out filled; otherwise the fault or the usage is the result.
int readSignalFind(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[], bool waveform, const char* usageText,
                   const ReadPosition& readFrom, SignalFind* out);
} // namespace CaptureVerbs

class AnalyzerCore;
namespace ControllerVerbs {
void registerVerbs(Tcl_Interp* interp);
// Adds a controller core's records to its "ona_get core" dict.
void putCoreRecords(Verbs::Dict* dict, const AnalyzerCore& core);
} // namespace ControllerVerbs

namespace SerdesVerbs {
void registerVerbs(Tcl_Interp* interp);
} // namespace SerdesVerbs

namespace DecodeVerbs {
void registerVerbs(Tcl_Interp* interp);
// "ona_find -decoder ..." and "ona_export_project -annotations ...".
int findText(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[]);
int exportAnnotations(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[]);
} // namespace DecodeVerbs

namespace RtlGenVerbs {
void registerVerbs(Tcl_Interp* interp);
} // namespace RtlGenVerbs

namespace CompareVerbs {
void registerVerbs(Tcl_Interp* interp);
} // namespace CompareVerbs
