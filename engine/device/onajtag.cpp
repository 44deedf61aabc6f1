#include "onajtag.h"

#include "deviceregistry.h"
#include "targetdevice.h"

#include <QRegularExpression>

OnaJTAG::OnaJTAG(QObject* parent) : QObject(parent) {}

TargetDevice* OnaJTAG::device() const {
    TargetDevice* target = DeviceRegistry::device(m_settings.device);
    if (target)
        target->setCable(m_settings);
    return target;
}

void OnaJTAG::setSettings(const CableSettings& settings) {
    if (settings == m_settings)
        return;
    if (TargetDevice* old = DeviceRegistry::existing(m_settings.device))
        old->release();
    m_settings = settings;
}

QStringList OnaJTAG::getUsbPorts() const { return getUsbPorts(m_settings.device); }

bool OnaJTAG::checkParPort(int address) const { return checkParPort(address, m_settings.device); }

QStringList OnaJTAG::getUsbPorts(const QString& kind) const {
    const TargetDevice* target = DeviceRegistry::device(kind);
    CableSettings settings = m_settings;
    settings.device = kind;
    return target ? target->usbPorts(settings) : QStringList();
}

bool OnaJTAG::checkParPort(int address, const QString& kind) const {
    const TargetDevice* target = DeviceRegistry::device(kind);
    return target && target->parallelPortAnswers(address);
}

QString OnaJTAG::cableFault() const {
    const TargetDevice* target = device();
    if (!target)
        return QStringLiteral("ERROR: no target of kind \"%1\" is known").arg(m_settings.device);
    return target->cableFault(m_settings);
}

void OnaJTAG::shutdownLA() {
    // Ends the run at once: the thread checks its stop flag every few
    // thousand samples, so the wait is short. Nothing is uploaded.
    if (m_shutdown)
        m_shutdown();
}

QString OnaJTAG::fieldFault(const CableSettings& c) {
    // Each setting ends up in OpenOCD's Tcl: only plain words go there.
    static const QRegularExpression host(QStringLiteral("^[A-Za-z0-9._:-]{1,253}$"));
    static const QRegularExpression number(QStringLiteral("^(0[xX][0-9A-Fa-f]{1,8}|[0-9]{1,10})$"));
    static const QRegularExpression server(
        QStringLiteral("^([A-Za-z0-9._-]{1,253}|\\[[0-9A-Fa-f:.]+\\]):([0-9]{1,5})( [A-Za-z0-9_.]{1,64})?$"));
    static const QRegularExpression unsafe(QStringLiteral("[{}\\[\\]$\\\\\"\\n\\r\\t;]"));
    if (!host.match(c.host).hasMatch())
        return QStringLiteral("the simulation's host must be a name or address, not \"%1\"").arg(c.host);
    const QStringList f = c.ftdi.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    const auto isNumber = [](const QString& w) { return number.match(w).hasMatch(); };
    if (f.size() != 5 || !std::all_of(f.begin(), f.end(), isNumber))
        return QStringLiteral("the FTDI cable must be given as VID PID CHANNEL DATA DIRECTION (numbers), not \"%1\"")
            .arg(c.ftdi);
    if (f.at(2).toUInt(nullptr, 0) > 3)
        return QStringLiteral("the FTDI channel must be from 0 to 3, not %1").arg(f.at(2));
    if (!c.openocd.isEmpty()) {
        const auto m = server.match(c.openocd);
        if (!m.hasMatch() || m.captured(2).toInt() < 1 || m.captured(2).toInt() > 65535)
            return QStringLiteral(
                       "the OpenOCD to use must be HOST:PORT (its Tcl port), optionally followed by a TAP name, not "
                       "\"%1\"")
                .arg(c.openocd);
    }
    if (unsafe.match(c.interfaceFile).hasMatch())
        return QStringLiteral(
                   "the interface file name \"%1\" holds a character OpenOCD's Tcl would read as syntax: rename the "
                   "file")
            .arg(c.interfaceFile);
    if (c.irLength < 2 || c.irLength > 32)
        return QStringLiteral("the TAP's IR length must be from 2 to 32, not %1").arg(c.irLength);
    if (c.irLength < 32 && c.userInstruction >> c.irLength)
        return QStringLiteral("the user instruction 0x%1 does not fit an IR of %2 bits")
            .arg(c.userInstruction, 0, 16)
            .arg(c.irLength);
    return QString();
}

QString OnaJTAG::tapText(const CableSettings& c) {
    return QStringLiteral("%1 0x%2 0x%3")
        .arg(c.irLength)
        .arg(c.userInstruction, 0, 16)
        .arg(c.idcode, 8, 16, QLatin1Char('0'));
}

bool OnaJTAG::parseTap(const QString& text, CableSettings* c) {
    const QStringList w = text.simplified().split(QLatin1Char(' '));
    if (w.size() != 3)
        return false;
    bool ok[3] = {};
    const uint ir = w.at(0).toUInt(&ok[0], 0);
    const uint user = w.at(1).toUInt(&ok[1], 0);
    const uint id = w.at(2).toUInt(&ok[2], 0);
    if (!ok[0] || !ok[1] || !ok[2] || ir > 32)
        return false;
    c->irLength = int(ir);
    c->userInstruction = user;
    c->idcode = id;
    return true;
}
