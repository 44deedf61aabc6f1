#pragma once

// The debug hub's bus over a JTAG port: the cores' 32-bit registers, read
// and written in framed DR scans through the hub's user instruction (the
// layout is in docs/debug-cores.md). Every scan is checked: the hub word
// comes first, each header is echoed and each written word comes back, so
// a broken chain or a missing hub is an error, never a wrong value.

#include "jtagport.h"

struct CoreWrite {
    quint16 address = 0;
    quint32 value = 0;
};

class ONA_EXPORT HubBus {
public:
    static constexpr int kMaxCores = 64;
    // Words one read scan carries at the most (the sample window's size).
    static constexpr int kMaxBurst = 0x8000;

    explicit HubBus(JtagPort* port, quint32 userInstruction = 0x2, int irBits = 4)
        : m_port(port), m_user(userInstruction), m_irBits(irBits) {}

    // Resets the TAP, selects the user instruction and checks the hub word;
    // cores() is then the number of cores the hub serves.
    bool open(QString* error);
    int cores() const { return m_cores; }

    // `count` words from `address` on (incrementing) of core `core`.
    bool read(int core, quint16 address, int count, QVector<quint32>* out, QString* error);
    // The writes in order, in one scan; runs of consecutive addresses share
    // a header.
    bool write(int core, const QVector<CoreWrite>& writes, QString* error);

private:
    bool scan(const QVector<quint32>& frames, QVector<quint32>* out, QString* error);
    bool checkCore(int core, QString* error) const;

    JtagPort* m_port;
    quint32 m_user;
    int m_irBits;
    int m_cores = -1;
};
