#pragma once

// One connection to the debug hub through OpenOCD, shared by the cores that
// use it: a capture on the acquisition thread and the LED polling of a
// controller take turns on the one chain under the session's lock.

#include "cablesettings.h"
#include "hubbus.h"
#include "openocdport.h"
#include "openocdserver.h"

#include <QMutex>
#include <functional>

class ONA_EXPORT JtagSession {
public:
    // The name the engine gives the TAP in front of the hub in the OpenOCD it starts.
    static constexpr const char* kTap = "ondrel.tap";
    // How long OpenOCD may take to find the chain and open its Tcl port.
    static constexpr int kStartMs = 20000;
    // How long one answer may take (a whole sample window at a slow TCK).
    static constexpr int kAnswerMs = 30000;

    // OpenOCD's command line for `cable` (without its Tcl port); empty with
    // the reason when a setting cannot be given to OpenOCD.
    static QStringList openocdArgs(const CableSettings& cable, QString* error);
    // Why a setting cannot reach OpenOCD; empty when all can.
    static QString settingsFault(const CableSettings& cable);

    explicit JtagSession(const CableSettings& cable);
    ~JtagSession() { close(); }

    // Runs `use` on the hub's bus under the lock, connecting first when
    // needed. A failure that lost the connection closes it (and ends the
    // OpenOCD the engine started), with OpenOCD's own words in the error;
    // the next use connects again.
    bool with(const std::function<bool(HubBus&, QString*)>& use, QString* error);
    void close();

private:
    bool connect(QString* error);
    bool checkIdcode(QString* error);
    QString openocdWords();

    QMutex m_mutex;
    const CableSettings m_cable;
    OpenocdServer m_server;
    OpenocdPort m_port;
    HubBus m_bus;
    bool m_open = false;
};
