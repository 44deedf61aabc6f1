#pragma once

// The simulated target: what the engine talks to without hardware. One
// simulated USB port of each cable type and the three classic parallel-port
// addresses answer; analyzer cores, controller cores and hard IP blocks are
// simulated from the design file.

#include "onaglobal.h"
#include "targetdevice.h"

class ONA_EXPORT SimDevice : public TargetDevice {
public:
    // The kind's name in the device registry.
    static const QString& kindName();
    // Registers the simulated kind (the engine's top does, at start).
    static void registerKind();

    QStringList usbPorts(const CableSettings& cable) const override;
    bool parallelPortAnswers(int address) const override;
    QString cableFault(const CableSettings& cable) const override;
    bool checkSignalSource(const QJsonObject& entry, int width, QString* error) const override;
    std::unique_ptr<AnalyzerDevice> openAnalyzer(const AnalyzerLoad& load, QString* error) override;
    std::shared_ptr<ControllerDevice> openController(const ControllerRecords& records, QString* error) override;
    std::unique_ptr<HardIpDevice> openHardIp(const HardIpData& data, const HardIpBlock* block, QString* error) override;
    std::unique_ptr<SerdesDevice> openSerdes(const SerdesLayout& layout, QString* error) override;
};
