#pragma once

// The RTL generator: from a debug-logic file, the Verilog design that puts
// its debug cores on silicon or into a simulator. It writes
//   <name>_top.v           the TAP, the hub and one core per file entry
//   <name>_<core>_stim.v   per core, the design the core watches: its
//                          signals driven as the engine's simulated device
//                          drives them (sample n == clock cycle n after
//                          reset); for a controller its LEDs, memory and
//                          status registers
//   <name>_sim.h           what the Verilator harness (rtl/sim) needs to
//                          know of the top: clocks and probed values
// where <name> is the file's base name. The file is read through the
// engine's own reader and refused where it refuses.

#include "cablesettings.h"
#include "onaglobal.h"

#include <QByteArray>
#include <QJsonObject>
#include <QMap>
#include <QString>
#include <QStringList>

namespace RtlGen {

// Milliseconds of the simulated device in clocks of the generated design
// (the top's CLOCKS_PER_MS default): status counters and the LED counter.
constexpr int kClocksPerMs = 100;
// The TAP's IDCODE in a generated top.
constexpr quint32 kIdcode = kHubIdcode;

// The files of the design made from `data` (the text of the debug-logic
// file `fileName`), file name -> contents. Nothing is written.
ONA_EXPORT bool render(const QByteArray& data, const QString& fileName, QMap<QString, QByteArray>* files,
                       QString* error);

// Reads `onlPath` and writes the design into `dir` (created when missing).
// Refuses a `dir` that is no folder or is a link, and a file of the design
// that exists as anything but a regular file; everything is checked before
// the first file is written. `written` gets the paths written.
ONA_EXPORT bool generate(const QString& onlPath, const QString& dir, QStringList* written, QString* error);

// Whether `name` may stand as a Verilog identifier: letters, digits and
// "_", not starting with a digit, not a Verilog or SystemVerilog keyword.
ONA_EXPORT bool isIdentifier(const QString& name);

} // namespace RtlGen
