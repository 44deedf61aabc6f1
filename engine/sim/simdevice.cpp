#include "simdevice.h"

#include "controllerrecords.h"
#include "deviceregistry.h"
#include "onajtag.h"
#include "simanalyzer.h"
#include "simcontroller.h"
#include "simdriver.h"
#include "simhardip.h"
#include "simserdes.h"

const QString& SimDevice::kindName() {
    static const QString name = QStringLiteral("simulated");
    return name;
}

void SimDevice::registerKind() {
    DeviceRegistry::add(kindName(), [] { return std::make_unique<SimDevice>(); });
}

QStringList SimDevice::usbPorts(const CableSettings& cable) const {
    const QStringList ports{QStringLiteral("EzUSB-0"), QStringLiteral("FTUSB-0")};
    if (cable.type == QLatin1String("USB2"))
        return {ports.at(1), ports.at(0)};
    return ports;
}

bool SimDevice::parallelPortAnswers(int address) const {
    return address == 0x378 || address == 0x278 || address == 0x3BC;
}

QString SimDevice::cableFault(const CableSettings& cable) const {
    const QString type = cable.type;
    const int port = cable.port;
    if (type == QLatin1String("REMOTE"))
        return QStringLiteral(
            "ERROR: a simulation serving remote_bitbang is reached through OpenOCD, not by the simulated device: "
            "choose the target over JTAG (ona_set_project -target jtag)");
    if (type == QLatin1String("VORANTE")) {
        if (parallelPortAnswers(port))
            return QString();
        return QStringLiteral(
                   "ERROR: no parallel-port cable answers at address 0x%1; "
                   "choose the cable in the Cable Connection Manager")
            .arg(port, 0, 16);
    }
    const QString name = QStringLiteral("%1-%2")
                             .arg(type == QLatin1String("USB2") ? QStringLiteral("FTUSB") : QStringLiteral("EzUSB"))
                             .arg(port);
    const QStringList ports = usbPorts(cable);
    if (ports.contains(name))
        return QString();
    return QStringLiteral(
               "ERROR: cable %1 is not connected (connected: %2); "
               "choose the cable in the Cable Connection Manager")
        .arg(name, ports.join(QStringLiteral(", ")));
}

bool SimDevice::checkSignalSource(const QJsonObject& entry, int width, QString* error) const {
    return SimDriver::create(entry, width, error) != nullptr;
}

std::unique_ptr<AnalyzerDevice> SimDevice::openAnalyzer(const AnalyzerLoad& load, QString* error) {
    return openSimAnalyzer(load, error);
}

std::shared_ptr<ControllerDevice> SimDevice::openController(const ControllerRecords& records, QString*) {
    const UserRegisterData& mem = records.memory;
    const bool memOn = mem.defined && mem.enabled;
    auto dev = std::make_shared<SimController>(records.leds.defined ? int(records.leds.names.size()) : 0,
                                               records.switches.defined ? int(records.switches.names.size()) : 0,
                                               mem.start, memOn ? mem.depth : 0, memOn ? mem.width : 0);
    dev->setRegisters(records.control, records.status);
    return dev;
}

std::unique_ptr<HardIpDevice> SimDevice::openHardIp(const HardIpData& data, const HardIpBlock* block, QString*) {
    return std::make_unique<SimHardIp>(data, block);
}

std::unique_ptr<SerdesDevice> SimDevice::openSerdes(const SerdesLayout& layout, QString*) {
    return std::make_unique<SimSerdes>(layout);
}
