#pragma once

// The server side of OpenOCD's remote_bitbang adapter on 127.0.0.1: one
// ASCII character per request. '0'-'7' set tck/tms/tdi (bits 2, 1, 0), 'R'
// asks for tdo (answered '0' or '1'), 'r'-'u' set trst/srst (bits 1, 0,
// 1 = asserted), 'B'/'b' blink, 'Q' ends the session. SWD requests are
// answered harmlessly ('c' reads 0) since the device has JTAG only.

#include <cstdint>
#include <string>

class BitbangPins {
public:
    virtual ~BitbangPins() = default;
    virtual void setJtag(bool tck, bool tms, bool tdi) = 0;
    virtual bool tdo() = 0;
    virtual void setResets(bool trst, bool srst) = 0;
};

class BitbangServer {
public:
    ~BitbangServer();
    // Listens on 127.0.0.1:port (0: a free port); false with *error set.
    bool listen(int port, std::string* error);
    int port() const { return m_port; }
    // Waits up to timeoutMs for the client; true once connected.
    bool accept(int timeoutMs, std::string* error);
    enum class Status { Idle, Served, Closed };
    // Serves what the client has sent, waiting up to timeoutMs for it.
    // Closed: the client quit, went away or broke the connection.
    Status serve(BitbangPins* pins, int timeoutMs);

private:
    int m_listen = -1;
    int m_client = -1;
    int m_port = 0;
};
