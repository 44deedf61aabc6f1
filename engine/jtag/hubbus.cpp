#include "hubbus.h"

namespace {

constexpr quint32 kHubMagic = 0x0A4B;
constexpr int kMaxCount = 255; // data frames a header can count

quint32 header(int core, quint16 address, bool write, int count) {
    return quint32(address) | quint32(core) << 16 | (write ? 1u << 22 : 0u) | 1u << 23 |
           quint32(count > kMaxCount ? 0 : count) << 24;
}

QString hex(quint32 v) { return QStringLiteral("0x%1").arg(v, 8, 16, QLatin1Char('0')); }

} // namespace

bool HubBus::open(QString* error) {
    m_cores = -1;
    if (!m_port->reset(error) || !m_port->scan(true, {m_user}, m_irBits, nullptr, error))
        return false;
    QVector<quint32> out;
    // One idle frame: the hub shifts its word out first.
    if (!m_port->scan(false, {0}, 32, &out, error))
        return false;
    const quint32 word = out.value(0);
    if (word >> 16 != kHubMagic || ((word >> 8) & 0xFF) != 1) {
        *error = QStringLiteral("no debug hub answers on the JTAG chain (its first word reads %1)").arg(hex(word));
        return false;
    }
    m_cores = int(word & 0xFF);
    return true;
}

bool HubBus::checkCore(int core, QString* error) const {
    if (m_cores < 0) {
        *error = QStringLiteral("the debug hub was not opened");
        return false;
    }
    if (core < 0 || core >= m_cores) {
        *error = QStringLiteral("the debug hub serves %1 cores; there is no core %2").arg(m_cores).arg(core);
        return false;
    }
    return true;
}

bool HubBus::scan(const QVector<quint32>& frames, QVector<quint32>* out, QString* error) {
    if (!m_port->scan(false, frames, int(frames.size()) * 32, out, error))
        return false;
    if (out->value(0) >> 16 != kHubMagic) {
        *error = QStringLiteral("the debug hub left the JTAG chain (a scan began with %1)").arg(hex(out->value(0)));
        return false;
    }
    return true;
}

bool HubBus::read(int core, quint16 address, int count, QVector<quint32>* out, QString* error) {
    if (!checkCore(core, error))
        return false;
    if (count < 1 || count > kMaxBurst || int(address) + count > 0x10000) {
        *error = QStringLiteral("a read of %1 words from %2 leaves the bus").arg(count).arg(hex(address));
        return false;
    }
    // Header, the reads, one more frame to shift the last word out.
    QVector<quint32> frames(count + 2, 0);
    frames[0] = header(core, address, false, count);
    QVector<quint32> got;
    if (!scan(frames, &got, error))
        return false;
    if (got.at(1) != frames.at(0)) {
        *error = QStringLiteral("the debug hub echoed %1 for the header %2").arg(hex(got.at(1)), hex(frames.at(0)));
        return false;
    }
    *out = got.mid(2, count);
    return true;
}

bool HubBus::write(int core, const QVector<CoreWrite>& writes, QString* error) {
    if (!checkCore(core, error))
        return false;
    if (writes.isEmpty())
        return true;
    QVector<quint32> frames;
    for (int i = 0; i < writes.size();) {
        int n = 1;
        while (i + n < writes.size() && n < kMaxCount &&
               writes.at(i + n).address == quint16(writes.at(i).address + n) && writes.at(i + n).address != 0)
            ++n;
        frames.append(header(core, writes.at(i).address, true, n));
        for (int k = 0; k < n; ++k)
            frames.append(writes.at(i + k).value);
        i += n;
    }
    frames.append(0); // shifts out the echo of the last frame
    QVector<quint32> got;
    if (!scan(frames, &got, error))
        return false;
    // Each frame comes back one frame later: headers and written words alike.
    for (int f = 0; f + 1 < frames.size(); ++f)
        if (got.at(f + 1) != frames.at(f)) {
            *error = QStringLiteral("the debug hub echoed %1 for %2 (frame %3 of a write)")
                         .arg(hex(got.at(f + 1)), hex(frames.at(f)))
                         .arg(f);
            return false;
        }
    return true;
}
