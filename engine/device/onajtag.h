#pragma once

// The cable: its settings, which name the kind of target behind it
// (DeviceRegistry), and what the ports of that target answer.

#include "onaglobal.h"

#include <QObject>
#include <QStringList>
#include <QThread>
#include <functional>

// The cable the project names, as kept in the analyzer file.
struct CableSettings {
    QString type = QStringLiteral("USB"); // USB, USB2 or VORANTE (parallel port)
    int port = 0;                         // USB port number or parallel-port address
    int tckDelay = 1;
    QString device; // the kind of target (DeviceRegistry); empty: the first registered
};

class TargetDevice;

class ONA_EXPORT OnaJTAG : public QObject {
    Q_OBJECT
public:
    explicit OnaJTAG(QObject* parent = nullptr);

    // The project's cable settings; the project session keeps them here.
    const CableSettings& settings() const { return m_settings; }
    void setSettings(const CableSettings& settings) { m_settings = settings; }
    // What shutdownLA does to end a running capture (stop it and wait).
    void setShutdownHandler(std::function<void()> handler) { m_shutdown = std::move(handler); }
    // The target the settings choose; null when no such kind is registered.
    TargetDevice* device() const;

    // Port names "EzUSB-n" (first USB cable) and "FTUSB-n" (FTDI cable);
    // the ports of the currently chosen cable type come first.
    QStringList getUsbPorts() const;
    // True when a parallel-port cable answers at `address`.
    bool checkParPort(int address) const;
    // Ends a running capture at once, without uploading.
    void shutdownLA();
    // Empty when the project's cable (type and port) is connected, else the
    // "ERROR: ..." text a run on it fails with.
    QString cableFault() const;

signals:
    void updatePanel();
    void redrawPanel();

private:
    CableSettings m_settings;
    std::function<void()> m_shutdown;
};
