#pragma once

// The target reached over JTAG through OpenOCD: the debug hub and its cores
// on a board (an FTDI, parallel-port or any cable OpenOCD drives) or in a
// simulation (remote_bitbang). The engine starts OpenOCD itself on a free
// local port, or talks to one the user runs; the connection is made on
// first use, from the thread that uses it, and kept until the cable
// settings change or the project closes.

#include "cablesettings.h"
#include "targetdevice.h"

#include <QMutex>
#include <memory>

class JtagSession;

class ONA_EXPORT JtagTarget : public TargetDevice {
public:
    static const QString& kindName(); // "jtag"
    static void registerKind();

    // OpenOCD's command line for `cable` (without its Tcl port); empty with
    // the reason when a setting cannot be given to OpenOCD.
    static QStringList openocdArgs(const CableSettings& cable, QString* error);

    JtagTarget();
    ~JtagTarget() override;

    void setCable(const CableSettings& cable) override;
    void release() override;

    QStringList usbPorts(const CableSettings& cable) const override;
    bool parallelPortAnswers(int address) const override;
    QString cableFault(const CableSettings& cable) const override;
    bool checkSignalSource(const QJsonObject& entry, int width, QString* error) const override;

    std::unique_ptr<AnalyzerDevice> openAnalyzer(const AnalyzerLoad& load, QString* error) override;
    std::shared_ptr<ControllerDevice> openController(const ControllerRecords& records, QString* error) override;
    std::unique_ptr<HardIpDevice> openHardIp(const HardIpData& data, const HardIpBlock* block, QString* error) override;
    std::unique_ptr<SerdesDevice> openSerdes(const SerdesLayout& layout, QString* error) override;

private:
    std::shared_ptr<JtagSession> session();

    QMutex m_mutex;
    CableSettings m_cable;
    std::shared_ptr<JtagSession> m_session;
};
