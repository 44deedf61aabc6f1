#pragma once

// What the page reports about a span of the trace: its length in samples
// and in time, and for a signal its edges, frequency and duty cycle. Pure
// arithmetic over the store, read through its change summary and whole
// words, so a span of millions of samples costs what its changes cost.

#include <QString>
#include <QVector>

class TraceData;

namespace vemo::toolona {

struct WaveMeasure {
    qint64 from = 0;        // the earlier end of the span
    qint64 to = 0;          // the later end
    qint64 samples = 0;     // to - from
    qint64 edges = 0;       // changes at samples in (from, to]
    qint64 highSamples = 0; // one-bit signal: samples in [from, to) at 1
    bool oneBit = false;
    int period = 0; // clock period per sample, 0 for none
    QString unit;   // "ns" or "ps"

    // Seconds per sample, 0 without a clock period.
    double sampleSeconds() const;
    // Length of the span in seconds (0 without a clock period).
    double seconds() const { return double(samples) * sampleSeconds(); }
    // Full periods per second of a one-bit signal: half its edges over the
    // span; 0 when there is no clock period or no edge. The text shows it
    // from two edges on.
    double frequency() const;
    // Share of the span a one-bit signal is high, 0..1 (-1 for a bus).
    double duty() const;

    // One line for the status area.
    QString text(const QString& signal) const;

    static WaveMeasure measure(const TraceData& trace, const QVector<int>& channels, qint64 a, qint64 b, int period,
                               const QString& unit);
    // "8.68 us", "115.2 kHz": three significant digits and an SI prefix.
    static QString si(double value, const QString& unit);
};

} // namespace vemo::toolona
