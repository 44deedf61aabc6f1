#include "simhardip.h"

#include "simcontroller.h"

namespace {

const QString kOn = QStringLiteral("on");
const QString kLocked = QStringLiteral("Locked");
const QString kLost = QStringLiteral("Loss of Lock");

using HardIpBlocks::initialValues;
using HardIpBlocks::laneCount;

} // namespace

SimHardIp::SimHardIp(const HardIpData& data, const HardIpBlock* block)
    : m_block(block)
    , m_registers(laneCount(block), initialValues(block))
    , m_memory(std::make_unique<SimController>(0, 0, data.start, data.depth(), 32))
    , m_ibert(laneCount(block)) {}

SimHardIp::~SimHardIp() = default;

Ibert::LanePath SimHardIp::path(int lane) const {
    const HardIpValues& regs = m_registers.at(lane);
    Ibert::LanePath p;
    p.loopback = regs.value(QStringLiteral("loopback_mode"), QStringLiteral("Disabled")) != QLatin1String("Disabled");
    p.txInvert = regs.value(QStringLiteral("tx_data_polarity")) == QLatin1String("Invert");
    p.rxInvert = regs.value(QStringLiteral("rx_data_polarity")) == QLatin1String("Invert");
    return p;
}

void SimHardIp::ibertRestart(int lane) {
    const HardIpValues& regs = m_registers.at(lane);
    m_ibert[lane].restart(Ibert::patternFromText(regs.value(QStringLiteral("tx_prbs_pattern"))),
                          Ibert::patternFromText(regs.value(QStringLiteral("rx_prbs_pattern"))),
                          regs.value(QStringLiteral("tx_prbs_pat0")), path(lane));
}

void SimHardIp::ibertInject(int lane) { m_ibert[lane].injectError(); }

quint64 SimHardIp::ibertCount(int lane) {
    m_ibert[lane].run(Ibert::Lane::kBitsPerRead, path(lane));
    return m_ibert[lane].errors();
}

void SimHardIp::write(const HardIpKey& key, int lane, const QString& value) {
    HardIpValues& regs = m_registers[qBound(0, lane, int(m_registers.size()) - 1)];
    const QString before = regs.value(key.name);
    regs.insert(key.name, value);
    if (m_block->kind != QLatin1String("pcs"))
        return;
    // Asserting a reset restarts what it resets: its loss of lock is gone
    // once the reset is released. Retuning the receiver loses the lock.
    if (value == kOn) {
        if (key.name == QLatin1String("reset_tx_pll"))
            m_txPllLost = false;
        else if (key.name == QLatin1String("reset_rx_pll"))
            m_cdrLost = false;
        else if (key.name == QLatin1String("reset_rx_mpcs"))
            m_dataLost = false;
    }
    if (before != value &&
        (key.name == QLatin1String("rx_equalization") || key.name == QLatin1String("rx_input_termination")))
        m_cdrLost = m_dataLost = true;
}

QString SimHardIp::read(const HardIpKey& key, int lane) const {
    const HardIpValues& regs = m_registers.at(qBound(0, lane, int(m_registers.size()) - 1));
    if (key.kind != HardIpKey::Status)
        return regs.value(key.name);
    if (key.name == QLatin1String("rx_prbs_errcount"))
        return QString::number(m_ibert.at(qBound(0, lane, int(m_ibert.size()) - 1)).errors());
    if (m_block->kind != QLatin1String("pcs"))
        return key.initial;
    const bool txLost = m_txPllLost || regs.value(QStringLiteral("reset_tx_pll")) == kOn;
    const bool cdrLost = m_cdrLost || regs.value(QStringLiteral("reset_rx_pll")) == kOn;
    // A receiver held in high impedance has nothing to lock to.
    const bool noSignal = regs.value(QStringLiteral("force_rx_driver")) == kOn;
    if (key.name == QLatin1String("tx_pll_lol_status"))
        return txLost ? kLost : kLocked;
    if (key.name == QLatin1String("rx_cdr_lol_status"))
        return cdrLost || noSignal ? kLost : kLocked;
    if (key.name == QLatin1String("rx_data_lol_status"))
        return cdrLost || noSignal || m_dataLost || regs.value(QStringLiteral("reset_rx_mpcs")) == kOn ? kLost
                                                                                                       : kLocked;
    return key.initial;
}

MemorySpace& SimHardIp::memory() { return *m_memory; }
const MemorySpace& SimHardIp::memory() const { return *m_memory; }
