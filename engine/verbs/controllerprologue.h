#pragma once

// What every controller, register and hard IP verb does first: the command
// text, a failure a test injected (ONCData::injectFailure) and the current
// controller core's device or hard IP blocks.

#include "verbs.h"

#include <QString>
#include <memory>

class ControllerDevice;
class HardIpSet;
class MemorySpace;

namespace ControllerPrologue {

// The words of the command joined by blanks.
QString commandText(int objc, Tcl_Obj* const objv[]);
// Answers the command with an injected failure, naming `verb` in the
// refusal; true when it did (its answer in `code`).
bool injected(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[], const QString& verb, int* code);
bool injected(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[], int* code);

// The current controller core's device or hard IP blocks; null with a
// refusal "verb: ..." when no project is open or the core is no controller.
std::shared_ptr<ControllerDevice> device(const QString& verb, QString* error);
std::shared_ptr<HardIpSet> hardIp(const QString& verb, QString* error);

// A memory file command of `verb`: objv[2] the file, then "-offset HEX"
// and "-range N" (and "-hard_ip NAME" when `hardIp` is asked for).
struct MemFile {
    QString path;
    qint64 offset = 0;
    qint64 range = -1; // to the end
};
bool memFileOptions(const QString& verb, int objc, Tcl_Obj* const objv[], MemFile* file, QString* hardIp,
                    QString* error);
// Dumps or loads the file on `memory` with words of `width` bits (0: the memory's).
int runMemFile(Tcl_Interp* ip, const QString& verb, MemorySpace& memory, bool dump, const MemFile& file, int width);

} // namespace ControllerPrologue
