#pragma once

// A JTAG port through OpenOCD's Tcl RPC server: each command a line of Tcl
// ended by the byte 0x1a, each answer ended the same way. OpenOCD drives
// the adapter (FTDI, parallel port, remote_bitbang...) and the scans are
// its `irscan` and `drscan` on one TAP, in fields of 32 bits at most (the
// width OpenOCD promises for every adapter).

#include "jtagport.h"
#include "tcplink.h"

class ONA_EXPORT OpenocdPort : public JtagPort {
public:
    // Connects to OpenOCD's Tcl port and checks that `tap` (as OpenOCD
    // names it: "chip.tap") is on its chain; an empty `tap` takes the only
    // TAP of the chain.
    bool open(const QString& host, int port, const QString& tap, int timeoutMs, QString* error);
    void close() { m_link.close(); }
    bool isOpen() const { return m_link.isOpen(); }
    QString tap() const { return m_tap; }

    // One Tcl command; false with OpenOCD's own message when it failed.
    bool command(const QString& tcl, QString* result, QString* error);

    bool reset(QString* error) override;
    bool scan(bool ir, const QVector<quint32>& in, int bits, QVector<quint32>* out, QString* error) override;
    // What OpenOCD read when it examined the chain: a data scan before any
    // instruction scan trips OpenOCD's own bookkeeping of the TAP.
    bool idcode(quint32* id, QString* error) override;

private:
    TcpLink m_link;
    QString m_tap;
};
