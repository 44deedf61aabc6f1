#pragma once

// The cable: its settings, which name the kind of target behind it
// (DeviceRegistry), and what the ports of that target answer.

#include "cablesettings.h"
#include "onaglobal.h"

#include <QObject>
#include <QStringList>
#include <QThread>
#include <functional>

class TargetDevice;

class ONA_EXPORT OnaJTAG : public QObject {
    Q_OBJECT
public:
    explicit OnaJTAG(QObject* parent = nullptr);

    // The project's cable settings; the project session keeps them here.
    const CableSettings& settings() const { return m_settings; }
    // New settings let go of what the target held for the old ones (a
    // connection, an OpenOCD it started).
    void setSettings(const CableSettings& settings);
    // What shutdownLA does to end a running capture (stop it and wait).
    void setShutdownHandler(std::function<void()> handler) { m_shutdown = std::move(handler); }
    // Why a setting could not be given to OpenOCD as it stands (a host, an
    // FTDI description, a server address or a file name that is no plain
    // word); empty when each can.
    static QString fieldFault(const CableSettings& cable);
    // The TAP as "IRLENGTH USERINSTRUCTION IDCODE" (hexadecimal 0x numbers).
    static QString tapText(const CableSettings& cable);
    static bool parseTap(const QString& text, CableSettings* cable);

    // The target the settings choose; null when no such kind is registered.
    TargetDevice* device() const;

    // Port names "EzUSB-n" (first USB cable) and "FTUSB-n" (FTDI cable);
    // the ports of the currently chosen cable type come first.
    QStringList getUsbPorts() const;
    // True when a parallel-port cable answers at `address`.
    bool checkParPort(int address) const;
    // The same, asked of the target of kind `kind` (empty: the first kind)
    // with these settings otherwise: a dialog detects for the target it offers.
    QStringList getUsbPorts(const QString& kind) const;
    bool checkParPort(int address, const QString& kind) const;
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
