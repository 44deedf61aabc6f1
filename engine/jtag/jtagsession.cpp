#include "jtagsession.h"

#include "onajtag.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QRegularExpression>
#include <QThread>

namespace {

QString hex32(quint32 v) { return QStringLiteral("0x%1").arg(v, 8, 16, QLatin1Char('0')); }

} // namespace

QString JtagSession::settingsFault(const CableSettings& c) {
    const QString fault = OnaJTAG::fieldFault(c);
    if (!fault.isEmpty() || !c.openocd.isEmpty())
        return fault; // the user's OpenOCD drives the adapter as it was told
    if (c.type == QLatin1String("REMOTE") && c.port < 1)
        return QStringLiteral(
                   "the simulation's remote_bitbang port must be from 1 to 65535, not %1 "
                   "(ona_set_project -cableport PORT)")
            .arg(c.port);
    if (c.type == QLatin1String("USB") && c.interfaceFile.isEmpty())
        return QStringLiteral("name the OpenOCD interface file of the USB cable (ona_set_project -interface FILE)");
    return QString();
}

QStringList JtagSession::openocdArgs(const CableSettings& c, QString* error) {
    const QString fault = settingsFault(c);
    if (!fault.isEmpty()) {
        *error = fault;
        return {};
    }
    QStringList cmds, args;
    if (c.type == QLatin1String("REMOTE")) {
        cmds << QStringLiteral("adapter driver remote_bitbang") << QStringLiteral("remote_bitbang host %1").arg(c.host)
             << QStringLiteral("remote_bitbang port %1").arg(c.port);
    } else if (c.type == QLatin1String("USB2")) {
        const QStringList f = c.ftdi.split(QLatin1Char(' '), Qt::SkipEmptyParts);
        cmds << QStringLiteral("adapter driver ftdi") << QStringLiteral("ftdi vid_pid %1 %2").arg(f.at(0), f.at(1))
             << QStringLiteral("ftdi channel %1").arg(f.at(2))
             << QStringLiteral("ftdi layout_init %1 %2").arg(f.at(3), f.at(4));
    } else if (c.type == QLatin1String("VORANTE")) {
        cmds << QStringLiteral("adapter driver parport") << QStringLiteral("parport port 0x%1").arg(c.port, 0, 16)
             << QStringLiteral("parport cable wiggler");
    } else {
        // Any adapter OpenOCD knows, as its own configuration file says.
        args << QStringLiteral("-f") << c.interfaceFile;
    }
    // The TCK low-pulse delay slows the clock: 10 MHz at 1, a thirtieth at 30.
    cmds << QStringLiteral("transport select jtag")
         << QStringLiteral("adapter speed %1").arg(10000 / qMax(1, c.tckDelay)) << QStringLiteral("bindto 127.0.0.1")
         << QStringLiteral("gdb_port disabled") << QStringLiteral("telnet_port disabled")
         << QStringLiteral("jtag newtap ondrel tap -irlen %1%2")
                .arg(c.irLength)
                .arg(c.idcode ? QStringLiteral(" -expected-id %1").arg(hex32(c.idcode)) : QString());
    for (const QString& cmd : cmds)
        args << QStringLiteral("-c") << cmd;
    return args;
}

JtagSession::JtagSession(const CableSettings& cable)
    : m_cable(cable), m_bus(&m_port, cable.userInstruction, cable.irLength) {}

void JtagSession::close() {
    QMutexLocker lock(&m_mutex);
    m_open = false;
    m_port.close();
    m_server.stop();
}

QString JtagSession::openocdWords() {
    if (m_cable.openocd.isEmpty() && !m_server.running()) {
        const QString words = m_server.errors();
        return words.isEmpty() ? m_server.exitText() : m_server.exitText() + QStringLiteral(": ") + words;
    }
    return QString();
}

bool JtagSession::connect(QString* error) {
    QString host = QStringLiteral("127.0.0.1"), tap = QString::fromLatin1(kTap);
    int port = 0;
    if (m_cable.openocd.isEmpty()) {
        const QStringList args = openocdArgs(m_cable, error);
        if (args.isEmpty() || !m_server.start(args, error))
            return false;
        port = m_server.tclPort();
        // OpenOCD opens its Tcl port once it has found the chain.
        QDeadlineTimer deadline(kStartMs);
        QString why;
        while (!m_port.open(host, port, tap, 2000, &why)) {
            if (!m_server.running()) {
                *error = QStringLiteral("OpenOCD did not start: %1").arg(openocdWords());
                return false;
            }
            if (deadline.hasExpired()) {
                m_server.stop();
                *error = QStringLiteral("OpenOCD did not answer within %1 s: %2").arg(kStartMs / 1000).arg(why);
                return false;
            }
            QThread::msleep(100);
        }
    } else {
        const int colon = m_cable.openocd.lastIndexOf(QLatin1Char(':'));
        host = m_cable.openocd.left(colon);
        if (host.startsWith(QLatin1Char('[')))
            host = host.mid(1, host.size() - 2);
        const QStringList rest = m_cable.openocd.mid(colon + 1).split(QLatin1Char(' '));
        port = rest.at(0).toInt();
        tap = rest.value(1);
        if (!m_port.open(host, port, tap, 5000, error))
            return false;
    }
    if (!checkIdcode(error) || !m_bus.open(error)) {
        m_port.close();
        m_server.stop();
        return false;
    }
    m_open = true;
    return true;
}

bool JtagSession::checkIdcode(QString* error) {
    quint32 id = 0;
    if (!m_port.idcode(&id, error))
        return false;
    if (id == 0 || id == 0xFFFFFFFFu) {
        // What TDO does while a pattern goes in tells a stuck line from a
        // TAP without an IDCODE.
        QVector<quint32> out;
        if (!m_port.scan(true, {m_cable.userInstruction}, m_cable.irLength, nullptr, error) ||
            !m_port.scan(false, {0x5A5A5A5Au, 0xA5A5A5A5u}, 64, &out, error))
            return false;
        const bool low = out.value(0) == 0 && out.value(1) == 0;
        if (low || (out.value(0) == 0xFFFFFFFFu && out.value(1) == 0xFFFFFFFFu)) {
            *error = QStringLiteral("TDO is stuck at %1: no device answers on the JTAG chain").arg(low ? 0 : 1);
            return false;
        }
    }
    if (m_cable.idcode && id != m_cable.idcode) {
        *error = QStringLiteral(
                     "the TAP on the JTAG chain has IDCODE %1, not the debug hub's %2: another device "
                     "or design answers")
                     .arg(hex32(id), hex32(m_cable.idcode));
        return false;
    }
    return true;
}

bool JtagSession::with(const std::function<bool(HubBus&, QString*)>& use, QString* error) {
    QMutexLocker lock(&m_mutex);
    if (!m_open && !connect(error))
        return false;
    if (use(m_bus, error))
        return true;
    if (!m_port.isOpen() || (m_cable.openocd.isEmpty() && !m_server.running())) {
        const QString words = openocdWords();
        if (!words.isEmpty())
            *error += QStringLiteral(" (%1)").arg(words);
        m_open = false;
        m_port.close();
        m_server.stop();
    }
    return false;
}
