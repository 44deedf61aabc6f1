#pragma once

// What the engine knows of each kind of hard IP block: its keys, whether a
// key is a setting (with its choices or range) or a status the device
// reports, and whether it exists once per lane. The block of an instance is
// chosen the way the tool picks its panel (by type, then by name prefix), so
// a panel and the engine always agree on the keys.

#include "onaglobal.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

using HardIpValues = QHash<QString, QString>;

struct ONA_EXPORT HardIpKey {
    enum Kind { Choice, Range, Bits, Status };
    QString name;
    Kind kind = Choice;
    QStringList items; // Choice: the allowed texts, first = reset value
    int min = 0;       // Range: inclusive bounds
    int max = 0;
    QString initial; // the value after power-up (Status: as reported)
    bool perLane = false;
};

struct ONA_EXPORT HardIpBlock {
    QString kind; // "pcs", "pcie", "i2c", "dphy", "cdr", "mpphy", "pll"
    int lanes = 1;
    QList<HardIpKey> keys;
    const HardIpKey* key(const QString& name) const;
};

namespace HardIpBlocks {

// The block of an instance, or null for a type the engine has no keys for
// (its address space still works).
ONA_EXPORT const HardIpBlock* forInstance(const QString& type, const QString& name);

// Checks `value` for `key`; on success `canonical` is the text stored (a
// choice in its listed spelling, a number without leading zeros).
ONA_EXPORT bool check(const HardIpKey& key, const QString& value, QString* canonical, QString* error);

// The settings of a block as it comes up (its keys' initial values, no
// statuses), and its lanes (1 for a block that is not per lane).
ONA_EXPORT HardIpValues initialValues(const HardIpBlock* block);
ONA_EXPORT int laneCount(const HardIpBlock* block);

// PCS channel: the two cursor ratios together may not exceed this.
constexpr int kMaxCursorSum = 63;

} // namespace HardIpBlocks
