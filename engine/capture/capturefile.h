#pragma once

// The capture sidecar: the last capture of every analyzer core, kept beside
// the analyzer file ("NAME.ona.cap") so that reopening a project shows it
// again. Binary, versioned, CRC-32 checked, written atomically; the layout
// is in docs/formats.md. A damaged file is refused as a whole.

#include "onaglobal.h"
#include "tracedata.h"

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <memory>
#include <vector>

class QIODevice;

namespace CaptureFile {

struct Entry {
    QString core;
    QList<QPair<QString, int>> signalWidths;
    std::shared_ptr<const TraceData> trace;
};

constexpr quint32 kVersion = 1;

ONA_EXPORT bool write(const QString& path, const std::vector<Entry>& entries, QString* error);
// The bytes write() puts in the file.
ONA_EXPORT QByteArray serialize(const std::vector<Entry>& entries);
// Reads a whole sidecar; any fault (size, magic, version, checksum, counts)
// refuses the file with a reason.
ONA_EXPORT bool read(const QString& path, std::vector<Entry>* entries, QString* error);
ONA_EXPORT bool parse(const QByteArray& data, std::vector<Entry>* entries, QString* error);

ONA_EXPORT quint32 crc32(const char* data, qint64 size, quint32 crc = 0);

} // namespace CaptureFile
