#pragma once

// A JTAG port over OpenOCD's remote_bitbang protocol, as a client: the
// simulated demo design (ondrel-demo-sim) serves its TAP pins that way. One
// ASCII byte per pin change, 'R' for a TDO read; a scan is sent in blocks
// and each block's answers read back before the next, so neither side's
// socket buffer can fill up and stall the other.

#include "jtagport.h"
#include "tcplink.h"

class ONA_EXPORT BitbangPort : public JtagPort {
public:
    ~BitbangPort() override;

    // Connects to host:port; waits at most `timeoutMs` for the connection
    // and for every answer after it.
    bool open(const QString& host, int port, int timeoutMs, QString* error);
    void close();
    bool isOpen() const { return m_link.isOpen(); }

    bool reset(QString* error) override;
    bool scan(bool ir, const QVector<quint32>& in, int bits, QVector<quint32>* out, QString* error) override;

    // TDO reads in flight before their answers are awaited (the benchmark
    // compares OpenOCD's own window with ours).
    void setWindow(int reads) { m_window = qBound(1, reads, kMaxWindow); }
    static constexpr int kMaxWindow = 5461; // 16 KiB of requests

private:
    void clock(bool tms, bool tdi, bool read);
    bool flush(QVector<quint32>* out, int* outBit, QString* error);

    TcpLink m_link;
    QByteArray m_send;
    int m_reads = 0; // 'R' requests in m_send
    int m_window = kMaxWindow;
};
