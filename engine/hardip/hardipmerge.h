#pragma once

// The multi-protocol PHY merge information: which quads the implementation
// merged into one hierarchy and which lanes each uses. The implementation
// writes it as JSON beside the debug-logic file (see docs/formats.md); the
// tool's hard IP page reads it whenever a project opens.

#include "hardipdata.h"
#include "onaglobal.h"

#include <QHash>
#include <QString>

namespace HardIpMerge {

// The file beside the debug-logic file `onlPath`.
ONA_EXPORT QString fileFor(const QString& onlPath);

// Larger files are not read: the information is a few lines per quad.
constexpr qint64 kMaxFileBytes = 1 << 20;
constexpr int kMaxEntries = 1024;
constexpr int kMaxLaneParts = 64;

// Reads the merge JSON into `table` (entries keyed by member name; a later
// member replaces an earlier one of the same name). False with `warning`
// set when the text is empty or no JSON object. Members that are not
// objects, and fields of the wrong type, are skipped.
ONA_EXPORT bool parse(const QByteArray& text, QHash<QString, ZentaMPPMergeInfo>* table, QString* warning);

} // namespace HardIpMerge
