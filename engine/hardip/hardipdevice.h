#pragma once

// The hard IP blocks of one controller core as the engine talks to them.
// Per instance the engine keeps three key maps (per lane for per-lane
// keys): the staged values ("ona_set_controller -hard_ip"), the registers of
// the block on the target (changed only by "-write_ip"), and the values last
// read from the block ("-read_ip"), which ONCData::getHardIP answers from.
// Status keys are computed by the simulated block from its registers, so
// they follow what was written (a PCS channel's loss of lock clears after
// its reset, for instance).
//
// Each block also has an address space of 32-bit words from its start to
// its end address, reached by absolute address and by $readmemh files.
//
// GUI thread only (the Tcl verbs).

#include "hardipblocks.h"
#include "hardipdata.h"
#include "onaglobal.h"
#include "targetdevice.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QVector>
#include <memory>

class TargetDevice;

struct ONA_EXPORT HardIpInstance {
    HardIpData data;
    const HardIpBlock* block = nullptr;   // null: address space only
    QVector<HardIpValues> staged;         // per lane
    QVector<HardIpValues> readBack;       // per lane
    std::unique_ptr<HardIpDevice> device; // null when the target refused it
    QString fault;                        // why it refused
    int lanes() const { return int(staged.size()); }
};

class ONA_EXPORT HardIpSet {
public:
    // The blocks of `records` on `target`.
    HardIpSet(const QList<HardIpData>& records, TargetDevice& target);

    // Why the target gave no device for an instance (the first such
    // reason); empty when every instance has its device.
    QString deviceFault() const;
    HardIpInstance* instance(const QString& name);
    const HardIpInstance* instance(const QString& name) const;
    // The instance whose address space holds `address`, or null.
    HardIpInstance* instanceAt(quint64 address);
    const QList<std::shared_ptr<HardIpInstance>>& instances() const { return m_list; }

    // The lane that per-lane keys address ("ona_set_controller -pcs_lane").
    int lane() const { return m_lane; }
    void setLane(int lane) { m_lane = lane; }

    // Stages one key. `empty` is set for a refusal that the tool expects
    // without a message (the PCS channel's cursor sum); `stored` is the
    // canonical value staged.
    bool stage(const QString& name, const QString& key, const QString& value, QString* stored, bool* empty,
               QString* error);
    // Staged -> device registers: every setting of every lane, or only `key`
    // (of the current lane when per-lane).
    bool write(const QString& name, const QString& key, QString* error);
    // Device -> read values, which become the staged values too: every key
    // of every lane, or only `key`.
    bool read(const QString& name, const QString& key, QString* error);
    // The value last read for a key (current lane for per-lane keys); empty
    // when there is none.
    QString value(const QString& name, const QString& key) const;
    enum IbertAction { Restart, Inject, Count };
    // The IBERT of the current lane. Restart first writes the lane's staged
    // patterns and PAT0 to the device; Count makes the count the value read
    // for "rx_prbs_errcount".
    bool ibert(const QString& name, IbertAction action, QString* error);
    // Every key of the instance for the current lane, read or staged.
    HardIpValues values(const QString& name, bool staged) const;

private:
    // What a verb acts on: the instance, its key (null for none) and lane.
    struct Target {
        HardIpInstance* inst = nullptr;
        const HardIpKey* key = nullptr;
        int lane = 0;
    };
    bool find(const QString& name, const QString& key, Target* t, QString* error);

    QList<std::shared_ptr<HardIpInstance>> m_list;
    int m_lane = 0;
};
