#pragma once

// The cable the project names, as kept in the analyzer file: the kind of
// target behind it (DeviceRegistry) and, for a target reached over JTAG,
// how OpenOCD drives the adapter and finds the debug hub on the chain.

#include <QString>
#include <QtGlobal>
#include <tuple>

// The IDCODE of the TAP in front of the debug hub in a generated design.
constexpr quint32 kHubIdcode = 0x10DEA001u;

struct CableSettings {
    // USB (an adapter OpenOCD knows, by its interface file), USB2 (an FTDI
    // cable), VORANTE (a parallel-port cable) or REMOTE (a simulation's
    // remote_bitbang server).
    QString type = QStringLiteral("USB");
    // USB port number, parallel-port address or remote_bitbang TCP port.
    int port = 0;
    int tckDelay = 1;
    QString device; // the kind of target; empty: the first registered

    QString host = QStringLiteral("127.0.0.1"); // REMOTE: the server's host
    QString interfaceFile;                      // USB: OpenOCD interface configuration file
    // USB2: vendor and product id, channel and the MPSSE pins' initial data
    // and direction (an FT2232H cable with JTAG on channel A by default).
    QString ftdi = QStringLiteral("0x0403 0x6010 0 0x0008 0x000b");
    // host:port of the Tcl server of an OpenOCD the user runs; empty: the
    // engine starts its own.
    QString openocd;
    // The TAP the hub is behind: IR length, the user instruction that
    // selects the hub, the IDCODE expected (0: not checked).
    int irLength = 4;
    quint32 userInstruction = 0x2;
    quint32 idcode = kHubIdcode;

    auto fields() const {
        return std::tie(type, port, tckDelay, device, host, interfaceFile, ftdi, openocd, irLength, userInstruction,
                        idcode);
    }
};

inline bool operator==(const CableSettings& a, const CableSettings& b) { return a.fields() == b.fields(); }
inline bool operator!=(const CableSettings& a, const CableSettings& b) { return !(a == b); }
