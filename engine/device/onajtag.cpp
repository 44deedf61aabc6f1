#include "onajtag.h"

#include "deviceregistry.h"
#include "targetdevice.h"

OnaJTAG::OnaJTAG(QObject* parent) : QObject(parent) {}

TargetDevice* OnaJTAG::device() const { return DeviceRegistry::device(m_settings.device); }

QStringList OnaJTAG::getUsbPorts() const {
    const TargetDevice* target = device();
    return target ? target->usbPorts(m_settings) : QStringList();
}

bool OnaJTAG::checkParPort(int address) const {
    const TargetDevice* target = device();
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
