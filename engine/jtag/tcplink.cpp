#include "tcplink.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace {
QString sysError(int e) { return QString::fromLocal8Bit(std::strerror(e)); }
} // namespace

void TcpLink::close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool TcpLink::failed(const QString& text, QString* error) {
    *error = QStringLiteral("%1 at %2 %3").arg(m_what, m_peer, text);
    close();
    return false;
}

bool TcpLink::open(const QString& what, const QString& host, int port, int timeoutMs, QString* error) {
    close();
    m_what = what;
    m_timeoutMs = timeoutMs;
    m_peer = QStringLiteral("%1:%2").arg(host).arg(port);
    if (port <= 0 || port > 65535) {
        *error = QStringLiteral("%1: port %2 is not a TCP port (1..65535)").arg(what).arg(port);
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    const int rc = ::getaddrinfo(host.toLocal8Bit().constData(), QByteArray::number(port).constData(), &hints, &list);
    if (rc != 0) {
        *error = QStringLiteral("%1: %2: %3").arg(what, host, QString::fromLocal8Bit(gai_strerror(rc)));
        return false;
    }
    QString why = QStringLiteral("no address");
    for (addrinfo* a = list; a && m_fd < 0; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (fd < 0) {
            why = sysError(errno);
            continue;
        }
        if (::connect(fd, a->ai_addr, a->ai_addrlen) != 0 && errno != EINPROGRESS) {
            why = sysError(errno);
            ::close(fd);
            continue;
        }
        pollfd p{fd, POLLOUT, 0};
        int soError = 0;
        socklen_t len = sizeof soError;
        if (::poll(&p, 1, timeoutMs) != 1 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len) != 0 ||
            soError != 0) {
            why = soError ? sysError(soError) : QStringLiteral("no answer");
            ::close(fd);
            continue;
        }
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        m_fd = fd;
    }
    ::freeaddrinfo(list);
    if (m_fd < 0) {
        *error = QStringLiteral("%1: cannot connect to %2: %3").arg(what, m_peer, why);
        return false;
    }
    return true;
}

bool TcpLink::exchange(const QByteArray& data, const Take& take, QString* error) {
    if (m_fd < 0) {
        *error = QStringLiteral("%1: not connected").arg(m_what);
        return false;
    }
    qsizetype sent = 0;
    bool done = false;
    char buf[65536];
    while (!done) {
        pollfd p{m_fd, short(POLLIN | (sent < data.size() ? POLLOUT : 0)), 0};
        const int n = ::poll(&p, 1, m_timeoutMs);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return failed(QStringLiteral("stopped answering"), error);
        if (p.revents & POLLIN) {
            const ssize_t got = ::recv(m_fd, buf, sizeof buf, 0);
            if (got <= 0)
                return failed(QStringLiteral("closed the connection"), error);
            QString why = QStringLiteral("sent what was not asked for");
            if (!take || !take(buf, got, &done, &why))
                return failed(why, error);
        } else if (p.revents & (POLLERR | POLLHUP)) {
            return failed(QStringLiteral("closed the connection"), error);
        }
        if ((p.revents & POLLOUT) && sent < data.size()) {
            const ssize_t put = ::send(m_fd, data.constData() + sent, size_t(data.size() - sent), MSG_NOSIGNAL);
            if (put < 0 && errno != EAGAIN && errno != EINTR)
                return failed(sysError(errno), error);
            sent += qMax<ssize_t>(put, 0);
            done = done || (!take && sent == data.size());
        }
    }
    return true;
}
