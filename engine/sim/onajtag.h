#pragma once

// The cable. Without hardware the engine talks to its simulated device:
// one simulated USB port of each cable type and the three classic parallel
// port addresses answer.

#include "onaglobal.h"

#include <QObject>
#include <QStringList>
#include <QThread>

class ONA_EXPORT OnaJTAG : public QObject
{
    Q_OBJECT
public:
    explicit OnaJTAG(QObject* parent = nullptr);

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
};

// The acquisition thread lives in onathread.h.
#include "onathread.h"
