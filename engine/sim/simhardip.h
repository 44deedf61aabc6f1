#pragma once

// The simulated hard IP blocks: registers per lane, the status a PCS
// channel derives from its resets, the lanes' bit-error testers and each
// block's address space (a SimController memory of 32-bit words).

#include "hardipblocks.h"
#include "hardipdata.h"
#include "ibert.h"
#include "targetdevice.h"

#include <QVector>
#include <memory>

class SimController;

// The simulated hardware of one block instance.
class SimHardIp : public HardIpDevice {
public:
    SimHardIp(const HardIpData& data, const HardIpBlock* block);
    ~SimHardIp();

    // A register write; the value was checked against its key.
    void write(const HardIpKey& key, int lane, const QString& value) override;
    // What the block reports for a key now (settings: the register).
    QString read(const HardIpKey& key, int lane) const override;

    // The lane's bit-error tester (multi-protocol PHY quads): restart with
    // the lane's registers, flip one transmitted bit, or let one read's
    // worth of bits pass and give the error count.
    void ibertRestart(int lane) override;
    void ibertInject(int lane) override;
    quint64 ibertCount(int lane) override;

    MemorySpace& memory() override;
    const MemorySpace& memory() const override;

private:
    const HardIpBlock* m_block;
    QVector<HardIpValues> m_registers; // per lane
    std::unique_ptr<SimController> m_memory;
    QVector<Ibert::Lane> m_ibert; // per lane
    Ibert::LanePath path(int lane) const;
    // PCS channel: a loss of lock that stays until the matching reset is
    // asserted (the simulated link came up before its far end).
    bool m_txPllLost = false;
    bool m_cdrLost = true;
    bool m_dataLost = true;
};
