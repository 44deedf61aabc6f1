#pragma once

// The only way the engine reads and writes its files.
//
// Writers fill a QSaveFile and the helper flushes and commits it, checking
// both: QSaveFile::commit() does not report a failed write of its last
// buffered bytes, so on a full disk a writer that only commits would replace
// a good file with an empty one and report success.
//
// Readers open regular files only, without blocking: a FIFO named like a
// project would otherwise hang the engine in open() until a writer appears.

#include "onaglobal.h"

#include <QByteArray>
#include <QString>
#include <functional>

class QIODevice;

namespace SafeFile {

// Fills the device; false with *why set when the contents cannot be made.
using Fill = std::function<bool(QIODevice* out, QString* why)>;

// Replaces `path` with what `fill` writes, all or nothing. On failure the old
// file is untouched, no temporary file is left and *why says what went wrong.
ONA_EXPORT bool writeAtomically(const QString& path, const Fill& fill, QString* why);

// Reads the whole of `path` when it is a regular file of at most maxBytes.
// *why is a complete sentence fragment without the path: "is a folder, not
// a file", "is not a regular file (a pipe, socket or device)", "larger than
// ...", "cannot open: <reason>".
ONA_EXPORT bool readRegular(const QString& path, qint64 maxBytes, QByteArray* data, QString* why);

// writeAtomically of `data`; false with "<path>: cannot write: <why>".
ONA_EXPORT bool writeFile(const QString& path, const QByteArray& data, QString* error);

// Test seam for machines where no small file system can be mounted: while
// set, every atomic write fails at its flush as a full device would.
ONA_EXPORT void setSimulatedDeviceFull(bool full);

} // namespace SafeFile
