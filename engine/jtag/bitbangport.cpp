#include "bitbangport.h"

BitbangPort::~BitbangPort() { close(); }

void BitbangPort::close() {
    if (m_link.isOpen()) {
        // 'Q' ends the session politely; the peer may be gone already.
        QString ignored;
        m_link.exchange(QByteArrayLiteral("Q"), nullptr, &ignored);
    }
    m_link.close();
}

bool BitbangPort::open(const QString& host, int port, int timeoutMs, QString* error) {
    close();
    return m_link.open(QStringLiteral("remote_bitbang"), host, port, timeoutMs, error);
}

void BitbangPort::clock(bool tms, bool tdi, bool read) {
    // TDO changes on the falling edge: read it while TCK is low, before the
    // rising edge shifts the next bit.
    const char pins = char((tms ? 2 : 0) | (tdi ? 1 : 0));
    m_send += char('0' + pins);
    if (read) {
        m_send += 'R';
        ++m_reads;
    }
    m_send += char('4' + pins);
}

bool BitbangPort::flush(QVector<quint32>* out, int* outBit, QString* error) {
    int answered = 0;
    const int reads = m_reads;
    const auto take = [&](const char* data, qsizetype size, bool* done, QString* why) {
        for (qsizetype i = 0; i < size; ++i) {
            if ((data[i] != '0' && data[i] != '1') || answered >= reads) {
                *why = QStringLiteral("answered %1, not a TDO bit").arg(int(quint8(data[i])));
                return false;
            }
            if (out && data[i] == '1')
                (*out)[*outBit / 32] |= quint32(1) << (*outBit % 32);
            ++*outBit;
            ++answered;
        }
        *done = answered == reads;
        return true;
    };
    const bool ok = m_link.exchange(m_send, reads > 0 ? TcpLink::Take(take) : TcpLink::Take(), error);
    m_send.clear();
    m_reads = 0;
    return ok;
}

bool BitbangPort::reset(QString* error) {
    for (int i = 0; i < 5; ++i)
        clock(true, false, false);
    clock(false, false, false); // Run-Test/Idle
    int bit = 0;
    return flush(nullptr, &bit, error);
}

bool BitbangPort::scan(bool ir, const QVector<quint32>& in, int bits, QVector<quint32>* out, QString* error) {
    if (bits <= 0 || in.size() * 32 < bits) {
        *error = QStringLiteral("remote_bitbang: a scan of %1 bits with %2 words").arg(bits).arg(in.size());
        return false;
    }
    if (out)
        out->fill(0, (bits + 31) / 32);
    // Run-Test/Idle -> Select-DR (-> Select-IR) -> Capture -> Shift.
    clock(true, false, false);
    if (ir)
        clock(true, false, false);
    clock(false, false, false);
    clock(false, false, false);
    int outBit = 0;
    for (int i = 0; i < bits; ++i) {
        // The last bit leaves Shift for Exit1.
        clock(i == bits - 1, (in.at(i / 32) >> (i % 32)) & 1u, true);
        // Few enough requests in flight that the answers never fill a socket
        // buffer while we are still sending.
        if (m_reads >= m_window && !flush(out, &outBit, error))
            return false;
    }
    clock(true, false, false);  // Update
    clock(false, false, false); // Run-Test/Idle
    return flush(out, &outBit, error);
}
