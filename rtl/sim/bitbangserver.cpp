#include "bitbangserver.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
#include <cerrno>
#include <cstring>

namespace {

std::string sysError(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

// Writes all of `data`, riding over interruptions.
bool sendAll(int fd, const char* data, size_t n) {
    while (n > 0) {
        const ssize_t k = ::send(fd, data, n, MSG_NOSIGNAL);
        if (k < 0 && errno == EINTR)
            continue;
        if (k <= 0)
            return false;
        data += k;
        n -= size_t(k);
    }
    return true;
}

} // namespace

BitbangServer::~BitbangServer() {
    if (m_client >= 0)
        ::close(m_client);
    if (m_listen >= 0)
        ::close(m_listen);
}

bool BitbangServer::listen(int port, std::string* error) {
    m_listen = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_listen < 0) {
        *error = sysError("socket");
        return false;
    }
    const int on = 1;
    ::setsockopt(m_listen, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(uint16_t(port));
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::bind(m_listen, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0) {
        *error = sysError("bind 127.0.0.1");
        return false;
    }
    if (::listen(m_listen, 1) != 0) {
        *error = sysError("listen");
        return false;
    }
    socklen_t len = sizeof a;
    ::getsockname(m_listen, reinterpret_cast<sockaddr*>(&a), &len);
    m_port = ntohs(a.sin_port);
    return true;
}

bool BitbangServer::accept(int timeoutMs, std::string* error) {
    pollfd p{m_listen, POLLIN, 0};
    const int r = ::poll(&p, 1, timeoutMs);
    if (r < 0 && errno != EINTR) {
        *error = sysError("poll");
        return false;
    }
    if (r <= 0)
        return false;
    m_client = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
    if (m_client < 0) {
        *error = sysError("accept");
        return false;
    }
    // Every 'R' is a round trip: answer at once.
    const int on = 1;
    ::setsockopt(m_client, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return true;
}

BitbangServer::Status BitbangServer::serve(BitbangPins* pins, int timeoutMs) {
    pollfd p{m_client, POLLIN, 0};
    const int r = ::poll(&p, 1, timeoutMs);
    if (r == 0 || (r < 0 && errno == EINTR))
        return Status::Idle;
    if (r < 0)
        return Status::Closed;
    char in[4096];
    const ssize_t n = ::recv(m_client, in, sizeof in, 0);
    if (n < 0 && (errno == EINTR || errno == EAGAIN))
        return Status::Idle;
    if (n <= 0)
        return Status::Closed;
    std::string out;
    bool quit = false;
    for (ssize_t i = 0; i < n && !quit; ++i) {
        const char c = in[i];
        if (c >= '0' && c <= '7') {
            const int v = c - '0';
            pins->setJtag(v & 4, v & 2, v & 1);
        } else if (c == 'R') {
            out += pins->tdo() ? '1' : '0';
        } else if (c >= 'r' && c <= 'u') {
            const int v = c - 'r';
            pins->setResets(v & 2, v & 1);
        } else if (c == 'c') {
            out += '0'; // SWDIO: there is none
        } else if (c == 'Q') {
            quit = true;
        }
        // 'B'/'b' (blink), SWD drive and write requests, sleeps and line
        // breaks change nothing here.
    }
    if (!out.empty() && !sendAll(m_client, out.data(), out.size()))
        return Status::Closed;
    return quit ? Status::Closed : Status::Served;
}
