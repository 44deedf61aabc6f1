#pragma once

// A blocking TCP connection with a time limit on every wait, for the JTAG
// ports that talk to a server on the network (remote_bitbang, OpenOCD).

#include "onaglobal.h"

#include <QByteArray>
#include <QString>
#include <functional>

class ONA_EXPORT TcpLink {
public:
    TcpLink() = default;
    ~TcpLink() { close(); }
    TcpLink(const TcpLink&) = delete;
    TcpLink& operator=(const TcpLink&) = delete;

    // `what` names the server in messages ("OpenOCD", "remote_bitbang").
    bool open(const QString& what, const QString& host, int port, int timeoutMs, QString* error);
    void close();
    bool isOpen() const { return m_fd >= 0; }
    QString peer() const { return m_peer; }

    // Sends `data` while handing what arrives to `take`, which answers true
    // once it has all it waits for (or false with *error set when what came
    // is wrong). A wait longer than the time limit, a closed connection or a
    // refusal of `take` closes the link. Without `take` nothing is awaited.
    using Take = std::function<bool(const char* data, qsizetype size, bool* done, QString* error)>;
    bool exchange(const QByteArray& data, const Take& take, QString* error);

private:
    bool failed(const QString& text, QString* error);

    int m_fd = -1;
    int m_timeoutMs = 5000;
    QString m_what, m_peer;
};
