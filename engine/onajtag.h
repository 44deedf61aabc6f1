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

signals:
    void updatePanel();
    void redrawPanel();
};

// The acquisition thread: runs captures and reports through these signals.
// The capture itself comes with the waveform store; until then the thread
// is never started.

class ONA_EXPORT OnaThread : public QThread
{
    Q_OBJECT
public:
    explicit OnaThread(QObject* parent = nullptr) : QThread(parent) {}

signals:
    void runThread();
    void doneThread(int traceDepth);
};
