#include "bitbangport.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace {

// Bytes of requests sent before their answers are read back: small enough
// that the answers never fill a socket buffer while we are still sending.
constexpr int kBlock = 16384;

QString sysError() { return QString::fromLocal8Bit(std::strerror(errno)); }

} // namespace

BitbangPort::~BitbangPort() { close(); }

void BitbangPort::close() {
    if (m_fd >= 0) {
        // 'Q' ends the session politely; the peer may be gone already.
        (void)::send(m_fd, "Q", 1, MSG_NOSIGNAL);
        ::close(m_fd);
    }
    m_fd = -1;
}

bool BitbangPort::open(const QString& host, int port, int timeoutMs, QString* error) {
    close();
    m_timeoutMs = timeoutMs;
    m_peer = QStringLiteral("%1:%2").arg(host).arg(port);
    if (port <= 0 || port > 65535) {
        *error = QStringLiteral("remote_bitbang: port %1 is not a TCP port (1..65535)").arg(port);
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    const int rc = ::getaddrinfo(host.toLocal8Bit().constData(), QByteArray::number(port).constData(), &hints, &list);
    if (rc != 0) {
        *error = QStringLiteral("remote_bitbang: %1: %2").arg(host, QString::fromLocal8Bit(gai_strerror(rc)));
        return false;
    }
    QString why = QStringLiteral("no address");
    for (addrinfo* a = list; a && m_fd < 0; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (fd < 0) {
            why = sysError();
            continue;
        }
        if (::connect(fd, a->ai_addr, a->ai_addrlen) != 0 && errno != EINPROGRESS) {
            why = sysError();
            ::close(fd);
            continue;
        }
        pollfd p{fd, POLLOUT, 0};
        int soError = 0;
        socklen_t len = sizeof soError;
        if (::poll(&p, 1, timeoutMs) != 1 || ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &len) != 0 ||
            soError != 0) {
            why = soError ? QString::fromLocal8Bit(std::strerror(soError)) : QStringLiteral("no answer");
            ::close(fd);
            continue;
        }
        const int one = 1;
        ::setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        m_fd = fd;
    }
    ::freeaddrinfo(list);
    if (m_fd < 0) {
        *error = QStringLiteral("remote_bitbang: cannot connect to %1: %2").arg(m_peer, why);
        return false;
    }
    return true;
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
    if (m_fd < 0) {
        *error = QStringLiteral("remote_bitbang: not connected");
        return false;
    }
    qsizetype sent = 0;
    int answered = 0;
    char buf[4096];
    while (sent < m_send.size() || answered < m_reads) {
        pollfd p{m_fd, short(POLLIN | (sent < m_send.size() ? POLLOUT : 0)), 0};
        const int n = ::poll(&p, 1, m_timeoutMs);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *error = QStringLiteral("remote_bitbang: %1 stopped answering").arg(m_peer);
            close();
            return false;
        }
        if (p.revents & POLLIN) {
            const ssize_t got = ::recv(m_fd, buf, sizeof buf, 0);
            if (got <= 0) {
                *error = QStringLiteral("remote_bitbang: %1 closed the connection").arg(m_peer);
                close();
                return false;
            }
            for (ssize_t i = 0; i < got; ++i) {
                if ((buf[i] != '0' && buf[i] != '1') || answered >= m_reads) {
                    *error = QStringLiteral("remote_bitbang: %1 answered %2, not a TDO bit")
                                 .arg(m_peer)
                                 .arg(int(quint8(buf[i])));
                    close();
                    return false;
                }
                if (out && buf[i] == '1')
                    (*out)[*outBit / 32] |= quint32(1) << (*outBit % 32);
                ++*outBit;
                ++answered;
            }
        } else if (p.revents & (POLLERR | POLLHUP)) {
            *error = QStringLiteral("remote_bitbang: %1 closed the connection").arg(m_peer);
            close();
            return false;
        }
        if (p.revents & POLLOUT) {
            const ssize_t put = ::send(m_fd, m_send.constData() + sent, size_t(m_send.size() - sent), MSG_NOSIGNAL);
            if (put < 0 && errno != EAGAIN && errno != EINTR) {
                *error = QStringLiteral("remote_bitbang: %1: %2").arg(m_peer, sysError());
                close();
                return false;
            }
            sent += qMax<ssize_t>(put, 0);
        }
    }
    m_send.clear();
    m_reads = 0;
    return true;
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
        if (m_send.size() >= kBlock && !flush(out, &outBit, error))
            return false;
    }
    clock(true, false, false);  // Update
    clock(false, false, false); // Run-Test/Idle
    return flush(out, &outBit, error);
}
