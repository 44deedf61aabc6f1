#include "onajtag.h"

#include "onadata.h"

OnaJTAG::OnaJTAG(QObject* parent)
    : QObject(parent)
{
}

QStringList OnaJTAG::getUsbPorts() const
{
    const QStringList ports{QStringLiteral("EzUSB-0"), QStringLiteral("FTUSB-0")};
    if (OnaData::inst()->getCableType() == QLatin1String("USB2"))
        return {ports.at(1), ports.at(0)};
    return ports;
}

bool OnaJTAG::checkParPort(int address) const
{
    return address == 0x378 || address == 0x278 || address == 0x3BC;
}

void OnaJTAG::shutdownLA()
{
    // Ends the run at once: the thread checks its stop flag every few
    // thousand samples, so the wait is short. Nothing is uploaded.
    OnaData* d = OnaData::inst();
    d->stopCapture();
    d->waitCapture(-1);
}
