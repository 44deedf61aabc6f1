#pragma once

// Writes a ChangeStore back as IEEE 1364 VCD: its timescale, its scopes and
// variables in their order (one identifier per signal, so variables that
// shared one still do), and every change of every signal at its time, in
// time order. Read back, the file gives the same changes signal by signal.

#include "changestore.h"
#include "onaglobal.h"

#include <QString>

class QIODevice;

namespace VcdWriter {

// VCD identifier of the n-th signal: printable characters '!' to '~', the
// capture's export uses it too.
ONA_EXPORT QByteArray identifier(int n);

// Writes to `out`; false with *why when the device refuses a write.
ONA_EXPORT bool write(const ChangeStore& store, QIODevice* out, QString* why);

// write() into `path`, atomically (safefile.h); false with *error.
ONA_EXPORT bool writeFile(const ChangeStore& store, const QString& path, QString* error);

} // namespace VcdWriter
