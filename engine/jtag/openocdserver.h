#pragma once

// OpenOCD as a child of the engine: started with the adapter commands the
// cable settings give and a Tcl port of its own on the loopback interface,
// its output in a private log file (OpenOCD logs every answer, so a pipe
// nobody reads would stall it), stopped when the project lets go of it, and
// also when this process ends without stopping it (a crash, a kill).

#include "onaglobal.h"

#include <sys/types.h>
#include <QString>
#include <QStringList>
#include <QTemporaryFile>

class ONA_EXPORT OpenocdServer {
public:
    OpenocdServer() = default;
    ~OpenocdServer() { stop(); }
    OpenocdServer(const OpenocdServer&) = delete;
    OpenocdServer& operator=(const OpenocdServer&) = delete;

    // The OpenOCD to start: $ONDREL_OPENOCD, else "openocd" on the PATH;
    // empty when there is none.
    static QString program();
    // A loopback TCP port nobody listens on just now; 0 when none is found.
    static int freePort();

    // Starts OpenOCD with `args` (its own command line: -f FILE, -c CMD...)
    // followed by its Tcl port; false with the reason when it cannot start.
    bool start(const QStringList& args, QString* error);
    int tclPort() const { return m_port; }
    // False once OpenOCD has ended (it is then reaped).
    bool running();
    // Ends it: SIGTERM, then SIGKILL after two seconds.
    void stop();
    // OpenOCD's own error lines so far (the last few), or its last line
    // when it wrote no error; empty when it wrote nothing.
    QString errors() const;
    QString exitText() const { return m_exit; }

private:
    void closeGuard();

    pid_t m_pid = -1; // the shell that watches OpenOCD
    int m_guard = -1; // the write end of its pipe
    int m_port = 0;
    QString m_exit;
    QTemporaryFile m_log;
};
