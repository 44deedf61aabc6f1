#pragma once

// What the page reports about a span of the trace: its length in samples
// and in time, and for a signal its edges, frequency and duty cycle. Pure
// arithmetic over the store, read through its change summary and whole
// words, so a span of millions of samples costs what its changes cost.

#include <QString>
#include <QVector>

class TraceData;
class WaveSource;
class WaveformModel;

namespace vemo::toolona {

struct WaveMeasure {
    qint64 from = 0;        // the earlier end of the span
    qint64 to = 0;          // the later end
    qint64 samples = 0;     // to - from
    qint64 edges = 0;       // changes at samples in (from, to]
    qint64 highSamples = 0; // one-bit signal: samples in [from, to) at 1
    bool oneBit = false;
    int period = 0; // clock period per sample, 0 for none
    QString unit;   // "ns", "ps", or "fs" for a dump's tick
    // One-bit signal: the whole periods between the first and last like
    // edges inside the span (both rising or both falling), the samples they
    // cover and how many of those are high. No period: 0.
    qint64 periods = 0;
    qint64 periodSpan = 0;
    qint64 periodHigh = 0;
    // A dump's positions are ticks; its walk stops after kMaxEdges edges
    // (`cut`), the periods then read from the edges walked.
    bool ticks = false;
    bool cut = false;
    static constexpr qint64 kMaxEdges = 20000;

    // Seconds per sample, 0 without a clock period.
    double sampleSeconds() const;
    // Length of the span in seconds (0 without a clock period).
    double seconds() const { return double(samples) * sampleSeconds(); }
    // Periods per second of a one-bit signal, from its whole periods inside
    // the span; 0 without a clock period or a whole period.
    double frequency() const;
    // Share of the span a one-bit signal is high, 0..1 (-1 for a bus).
    double duty() const;
    // Share of its whole periods a one-bit signal is high, 0..1; -1 for a
    // bus or a span shorter than one period.
    double periodDuty() const;

    // One line for the status area.
    QString text(const QString& signal) const;

    static WaveMeasure measure(const TraceData& trace, const QVector<int>& channels, qint64 a, qint64 b, int period,
                               const QString& unit);
    // Any source: a capture as above, a dump by walking its changes.
    static WaveMeasure measure(const WaveSource& source, const QVector<int>& channels, qint64 a, qint64 b, int period,
                               const QString& unit);
    // The rows of `model`, on its clock; a dump's below a picosecond (no
    // clock of ns or ps) on its tick in femtoseconds.
    static WaveMeasure measure(const WaveformModel& model, const QVector<int>& channels, qint64 a, qint64 b);
    // The edges as the table shows them: "12", or "20000+" for a cut walk.
    QString edgesText() const;
    // A time of `ticks` of `tickFs` femtoseconds, exact, in the largest
    // unit it fills: "1.25 ns", "2.147483649 ms", "-40 ps".
    static QString tickTime(qint64 ticks, qint64 tickFs);
    // "8.68 us", "115.2 kHz": three significant digits and an SI prefix.
    static QString si(double value, const QString& unit);
};

} // namespace vemo::toolona
