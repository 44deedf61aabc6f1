#pragma once

// The only way the engine reads and writes its files.
//
// Writers fill a temporary file beside the target and the helper flushes,
// syncs and renames it over the target, checking each step: on a full disk a
// writer that did not would replace a good file with an empty one and report
// success. Only a regular file (or a link to one) is ever replaced: a pipe or
// device at the path would otherwise become a file, or be written and "saved".
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

enum Links { FollowLinks, RefuseLinks };

// Replaces `path` with what `fill` writes, all or nothing. On failure the old
// file is untouched, no temporary file is left and *why says what went wrong
// ("is not a regular file (a pipe, socket or device)", "is a folder, not a
// file", ...). A link to a regular file stays a link and its file is
// replaced; RefuseLinks refuses any link (paths no user named). Temporaries
// a killed writer left beside the target are removed.
ONA_EXPORT bool writeAtomically(const QString& path, const Fill& fill, QString* why, Links links = FollowLinks);

// Reads the whole of `path` when it is a regular file of at most maxBytes.
// *why is a complete sentence fragment without the path: "is a folder, not
// a file", "is not a regular file (a pipe, socket or device)", "larger than
// ...", "cannot open: <reason>".
ONA_EXPORT bool readRegular(const QString& path, qint64 maxBytes, QByteArray* data, QString* why);

// writeAtomically of `data`; false with "<path>: cannot write: <why>".
ONA_EXPORT bool writeFile(const QString& path, const QByteArray& data, QString* error);

// Text from a file as an error message quotes it: at most `max` characters,
// NUL and other control characters written as \xNN, so a message never
// carries them (a NUL would cut it short, an escape sequence would reach
// the terminal).
ONA_EXPORT QString shown(const QString& text, int max = 80);

// Test seam for machines where no small file system can be mounted: while
// set, every atomic write fails at its flush as a full device would.
ONA_EXPORT void setSimulatedDeviceFull(bool full);

} // namespace SafeFile
