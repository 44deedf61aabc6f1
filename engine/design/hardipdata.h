#pragma once

// The hard IP records of a controller core, as the debug-logic file (.onl,
// "controller"."hard_ip") describes them: one per hardened block instance
// that the debug logic reaches. See docs/formats.md.

#include "onaglobal.h"

#include <QJsonValue>
#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>

// How a multi-protocol PHY instance shares its quad with others.
struct ONA_EXPORT ZentaMPPMergeInfo {
    QString type;
    bool merged = false;
    QString quad;
    QSet<QString> lanes;
};

class ONA_EXPORT HardIpData {
public:
    const QString& getType() const { return type; }
    // The instance name: it picks the block's panel and is the plain Tcl
    // word every hard IP command names the instance by.
    const QString& getName() const { return name; }
    const QString& getHierarchy() const { return hierarchy; }
    // The address texts as written in the file ("0x" or not).
    const QString& getStartAddress() const { return startAddress; }
    const QString& getEndAddress() const { return endAddress; }
    bool isEnabled() const { return enabled; }
    // Number of 32-bit words of the block's address space.
    int depth() const { return int(end - start + 1); }

    QString type;
    QString name;
    QString hierarchy;
    QString startAddress;
    QString endAddress;
    quint32 start = 0;
    quint32 end = 0;
    bool enabled = true;
    // Multi-protocol PHY bookkeeping, filled by the tool's hard IP page.
    ZentaMPPMergeInfo mergeInfo;
    QString quad;
    QStringList lanes;
};

namespace HardIpFile {

constexpr int kMaxInstances = 256;
constexpr int kMaxWords = 1 << 16; // per block address space

// Reads the "hard_ip" array at `path` (for error texts). Instance names must
// be plain words (letters, digits, "_"; no Tcl-special characters) because
// commands carry them unquoted; address spaces may not overlap each other
// or `userMemory` (start, end; end < start when the core has none).
ONA_EXPORT bool parse(const QJsonValue& value, const QString& path, quint32 userStart, quint32 userEnd,
                      bool hasUserMemory, QList<HardIpData>* out, QString* error);

} // namespace HardIpFile
