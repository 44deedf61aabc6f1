#include "onajtag.h"

OnaJTAG::OnaJTAG(QObject* parent) : QObject(parent) {}

QStringList OnaJTAG::getUsbPorts() const {
    const QStringList ports{QStringLiteral("EzUSB-0"), QStringLiteral("FTUSB-0")};
    if (m_settings.type == QLatin1String("USB2"))
        return {ports.at(1), ports.at(0)};
    return ports;
}

bool OnaJTAG::checkParPort(int address) const { return address == 0x378 || address == 0x278 || address == 0x3BC; }

QString OnaJTAG::cableFault() const {
    const QString type = m_settings.type;
    const int port = m_settings.port;
    if (type == QLatin1String("VORANTE")) {
        if (checkParPort(port))
            return QString();
        return QStringLiteral(
                   "ERROR: no parallel-port cable answers at address 0x%1; "
                   "choose the cable in the Cable Connection Manager")
            .arg(port, 0, 16);
    }
    const QString name = QStringLiteral("%1-%2")
                             .arg(type == QLatin1String("USB2") ? QStringLiteral("FTUSB") : QStringLiteral("EzUSB"))
                             .arg(port);
    const QStringList ports = getUsbPorts();
    if (ports.contains(name))
        return QString();
    return QStringLiteral(
               "ERROR: cable %1 is not connected (connected: %2); "
               "choose the cable in the Cable Connection Manager")
        .arg(name, ports.join(QStringLiteral(", ")));
}

void OnaJTAG::shutdownLA() {
    // Ends the run at once: the thread checks its stop flag every few
    // thousand samples, so the wait is short. Nothing is uploaded.
    if (m_shutdown)
        m_shutdown();
}
