#pragma once

// A JTAG chain as the engine drives it: whole IR and DR scans, each from
// Run-Test/Idle back to Run-Test/Idle. Bits go least significant first: bit
// i of a scan is bit i % 32 of word i / 32, the first bit shifted. Ports are
// blocking and belong to one thread at a time (the acquisition thread while
// a capture runs).

#include "onaglobal.h"

#include <QString>
#include <QVector>

class ONA_EXPORT JtagPort {
public:
    virtual ~JtagPort() = default;
    // Test-Logic-Reset, then Run-Test/Idle.
    virtual bool reset(QString* error) = 0;
    // Shifts `bits` bits of `in` through the instruction (ir) or data
    // register; `out` gets what TDO returned (may be null).
    virtual bool scan(bool ir, const QVector<quint32>& in, int bits, QVector<quint32>* out, QString* error) = 0;
    // The TAP's IDCODE: right after a reset its data register holds it.
    virtual bool idcode(quint32* id, QString* error) {
        QVector<quint32> out;
        if (!reset(error) || !scan(false, {0}, 32, &out, error))
            return false;
        *id = out.value(0);
        return true;
    }
};
