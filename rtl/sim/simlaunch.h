#pragma once

// Starting the simulated demo (ondrel-demo-sim) and an OpenOCD in front of
// it, for the tests and benchmarks that reach the RTL cores over JTAG.

#include "openocdserver.h"
#include "rtlgen.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QStringList>


namespace SimLaunch {

// Starts `program` (the simulated demo) serving JTAG on a free port; the
// port, or 0 when it did not say within 30 s.
inline int startSim(QProcess* sim, const QString& program) {
    sim->start(program,
               {QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--time-limit"), QStringLiteral("600")});
    static const QRegularExpression re(QStringLiteral("127\\.0\\.0\\.1:(\\d+)"));
    QByteArray out;
    QDeadlineTimer deadline(30000);
    while (!deadline.hasExpired() && !re.match(QString::fromLatin1(out)).hasMatch()) {
        sim->waitForReadyRead(100);
        out += sim->readAllStandardOutput();
    }
    return re.match(QString::fromLatin1(out)).captured(1).toInt();
}

// OpenOCD's arguments for the simulated demo's remote_bitbang port, then `commands`.
inline QStringList openocdArgs(int port, const QStringList& commands) {
    QStringList args;
    for (const QString& c :
         QStringList{QStringLiteral("adapter driver remote_bitbang"), QStringLiteral("remote_bitbang host 127.0.0.1"),
                     QStringLiteral("remote_bitbang port %1").arg(port), QStringLiteral("transport select jtag"),
                     QStringLiteral("gdb_port disabled"), QStringLiteral("telnet_port disabled"),
                     QStringLiteral("jtag newtap demo tap -irlen 4 -expected-id 0x%1")
                         .arg(RtlGen::kIdcode, 8, 16, QLatin1Char('0'))} +
             commands)
        args << QStringLiteral("-c") << c;
    return args;
}

// A local TCP port nobody listens on just now.
inline int freePort() { return OpenocdServer::freePort(); }

} // namespace SimLaunch
