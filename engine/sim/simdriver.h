#pragma once

// Drivers of the simulated device: each produces the value of one signal,
// sample by sample, from its "simulation" entry of the debug-logic file.
// A driver is deterministic: after reset() it always produces the same
// sequence, so a capture is reproducible and a test can predict it.

#include "bitwords.h"
#include "onaglobal.h"

#include <QJsonObject>
#include <QString>
#include <QVector>
#include <array>
#include <memory>

class ONA_EXPORT SimDriver {
public:
    virtual ~SimDriver() = default;

    // Builds the driver for a signal of `width` bits; an empty object gives a
    // signal that stays 0. Returns nullptr and explains why on a bad entry.
    static std::unique_ptr<SimDriver> create(const QJsonObject& driver, int width, QString* error);

    int width() const { return m_width; }
    int words() const { return int(m_value.size()); }
    // The value at the current sample, least significant word first; bits
    // above the width are 0.
    const quint64* value() const { return m_value.constData(); }
    bool bit(int i) const { return (m_value.at(i >> 6) >> (i & 63)) & 1u; }
    quint64 time() const { return m_time; }

    // Back to sample 0.
    void reset() {
        m_time = 0;
        doReset();
    }
    // To the next sample.
    void step() {
        ++m_time;
        doStep();
    }
    // Forward by n samples.
    void skip(quint64 n) {
        m_time += n;
        doSkip(n);
    }

    virtual std::unique_ptr<SimDriver> clone() const = 0;

protected:
    explicit SimDriver(int width);
    virtual void doReset() = 0;
    virtual void doStep() = 0;
    virtual void doSkip(quint64 n) {
        while (n--)
            doStep();
    }
    void maskTop();

    int m_width;
    quint64 m_time = 0;
    QVector<quint64> m_value;
};

// The taps (bit numbers counted from 1, 0 after the last) of the maximal-
// length Fibonacci LFSR of `width` bits, 2 to 64; none for other widths.
// The generated RTL uses the same ones, so both compute the same sequence.
ONA_EXPORT const std::array<quint8, 6>& lfsrTaps(int width);

// A serial line's levels and how many samples each lasts: per byte, idle
// high for `idle`, a start bit, eight data bits least significant first and
// a stop bit, each `bit` samples; a level of no samples is left out. The
// generated RTL plays the same sequence.
ONA_EXPORT void uartLevels(const QVector<quint8>& bytes, quint64 bit, quint64 idle, QVector<QVector<quint64>>* values,
                           QVector<quint64>* holds);
