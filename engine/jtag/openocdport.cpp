#include "openocdport.h"

#include <QRegularExpression>

#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace {

constexpr char kEnd = 0x1a;
// An answer larger than this is not OpenOCD answering a scan.
constexpr qsizetype kMaxAnswer = 64 * 1024 * 1024;

} // namespace

OpenocdPort::~OpenocdPort() { close(); }

void OpenocdPort::close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

bool OpenocdPort::open(const QString& host, int port, const QString& tap, int timeoutMs, QString* error) {
    close();
    m_timeoutMs = timeoutMs;
    m_peer = QStringLiteral("%1:%2").arg(host).arg(port);
    static const QRegularExpression name(QStringLiteral("^[A-Za-z0-9_.]+$"));
    if (!name.match(tap).hasMatch()) {
        *error = QStringLiteral("OpenOCD: \"%1\" is no TAP name (letters, digits, \"_\" and \".\")").arg(tap);
        return false;
    }
    m_tap = tap;
    if (port <= 0 || port > 65535) {
        *error = QStringLiteral("OpenOCD: port %1 is not a TCP port (1..65535)").arg(port);
        return false;
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    const int rc = ::getaddrinfo(host.toLocal8Bit().constData(), QByteArray::number(port).constData(), &hints, &list);
    if (rc != 0) {
        *error = QStringLiteral("OpenOCD: %1: %2").arg(host, QString::fromLocal8Bit(gai_strerror(rc)));
        return false;
    }
    QString why = QStringLiteral("no address");
    for (addrinfo* a = list; a && m_fd < 0; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC | SOCK_NONBLOCK, a->ai_protocol);
        if (fd < 0)
            continue;
        if (::connect(fd, a->ai_addr, a->ai_addrlen) != 0 && errno != EINPROGRESS) {
            why = QString::fromLocal8Bit(std::strerror(errno));
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
        m_fd = fd;
    }
    ::freeaddrinfo(list);
    if (m_fd < 0) {
        *error = QStringLiteral("OpenOCD: cannot connect to %1: %2").arg(m_peer, why);
        return false;
    }
    QString taps;
    if (!command(QStringLiteral("jtag names"), &taps, error))
        return false;
    if (!taps.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts).contains(tap)) {
        *error = QStringLiteral("OpenOCD at %1 has no TAP \"%2\" on its chain (it has: %3)")
                     .arg(m_peer, tap, taps.isEmpty() ? QStringLiteral("none") : taps.simplified());
        close();
        return false;
    }
    return true;
}

bool OpenocdPort::command(const QString& tcl, QString* result, QString* error) {
    if (m_fd < 0) {
        *error = QStringLiteral("OpenOCD: not connected");
        return false;
    }
    // The RPC answer does not say whether the command failed: ask Tcl.
    const QByteArray request =
        QStringLiteral("if {[catch {%1} ona_v]} {set ona_v \"E$ona_v\"} else {set ona_v \"R$ona_v\"}")
            .arg(tcl)
            .toUtf8() +
        kEnd;
    qsizetype sent = 0;
    QByteArray answer;
    char buf[65536];
    for (;;) {
        pollfd p{m_fd, short(POLLIN | (sent < request.size() ? POLLOUT : 0)), 0};
        const int n = ::poll(&p, 1, m_timeoutMs);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            *error = QStringLiteral("OpenOCD at %1 stopped answering").arg(m_peer);
            close();
            return false;
        }
        if (p.revents & POLLIN) {
            const ssize_t got = ::recv(m_fd, buf, sizeof buf, 0);
            if (got <= 0) {
                *error = QStringLiteral("OpenOCD at %1 closed the connection").arg(m_peer);
                close();
                return false;
            }
            answer.append(buf, got);
            if (answer.endsWith(kEnd))
                break;
            if (answer.size() > kMaxAnswer) {
                *error = QStringLiteral("OpenOCD at %1 answered more than %2 MiB").arg(m_peer).arg(kMaxAnswer >> 20);
                close();
                return false;
            }
        } else if (p.revents & (POLLERR | POLLHUP)) {
            *error = QStringLiteral("OpenOCD at %1 closed the connection").arg(m_peer);
            close();
            return false;
        }
        if ((p.revents & POLLOUT) && sent < request.size()) {
            const ssize_t put = ::send(m_fd, request.constData() + sent, size_t(request.size() - sent), MSG_NOSIGNAL);
            if (put < 0 && errno != EAGAIN && errno != EINTR) {
                *error = QStringLiteral("OpenOCD at %1: %2").arg(m_peer, QString::fromLocal8Bit(std::strerror(errno)));
                close();
                return false;
            }
            sent += qMax<ssize_t>(put, 0);
        }
    }
    answer.chop(1);
    const QString text = QString::fromUtf8(answer);
    if (!text.startsWith(QLatin1Char('R'))) {
        *error = QStringLiteral("OpenOCD: %1").arg(text.mid(1).trimmed());
        return false;
    }
    *result = text.mid(1);
    return true;
}

bool OpenocdPort::reset(QString* error) {
    QString r;
    return command(QStringLiteral("pathmove RESET IDLE"), &r, error);
}

bool OpenocdPort::scan(bool ir, const QVector<quint32>& in, int bits, QVector<quint32>* out, QString* error) {
    if (bits <= 0 || in.size() * 32 < bits) {
        *error = QStringLiteral("OpenOCD: a scan of %1 bits with %2 words").arg(bits).arg(in.size());
        return false;
    }
    QString cmd = QStringLiteral("%1 %2").arg(ir ? QStringLiteral("irscan") : QStringLiteral("drscan"), m_tap);
    const int fields = (bits + 31) / 32;
    cmd.reserve(cmd.size() + fields * 15);
    for (int f = 0; f < fields; ++f) {
        const int n = qMin(32, bits - 32 * f);
        const quint32 v = n == 32 ? in.at(f) : in.at(f) & ((quint32(1) << n) - 1);
        // irscan takes one value; its width is the TAP's.
        if (ir)
            cmd += QStringLiteral(" 0x%1").arg(v, 0, 16);
        else
            cmd += QStringLiteral(" %1 0x%2").arg(n).arg(v, 0, 16);
    }
    if (ir && fields > 1) {
        *error = QStringLiteral("OpenOCD: an instruction of %1 bits").arg(bits);
        return false;
    }
    QString result;
    if (!command(cmd, &result, error))
        return false;
    if (!out)
        return true;
    const QStringList words = result.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    if (words.size() != fields) {
        *error = QStringLiteral("OpenOCD answered %1 fields for a scan of %2").arg(words.size()).arg(fields);
        return false;
    }
    out->resize(fields);
    for (int f = 0; f < fields; ++f) {
        bool ok = false;
        (*out)[f] = words.at(f).toUInt(&ok, 16);
        if (!ok) {
            *error = QStringLiteral("OpenOCD answered \"%1\" for a scan field").arg(words.at(f).left(40));
            return false;
        }
    }
    return true;
}
