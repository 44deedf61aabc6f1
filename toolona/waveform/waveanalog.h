#pragma once

// A bus's value as a number over time, for the analog view: the leading
// (at most 62) bits of the bus, read unsigned or as two's complement, with
// the least and greatest value of every 64 samples and of every 64 times
// as many above that. The least and greatest value of any span then costs
// a few words per level and two partial words, however long the span, so
// the view draws a column of a million samples as fast as one of ten.

#include <QVector>
#include <memory>
#include <vector>

class TraceData;

namespace vemo::toolona {

class AnalogTrace {
public:
    static constexpr int kMaxBits = 62;

    AnalogTrace(std::shared_ptr<const TraceData> trace, const QVector<int>& channels, bool isSigned);

    bool isSigned() const { return m_signed; }
    int usedBits() const { return int(m_used.size()); }
    // The value at a sample inside the store.
    qint64 value(qint64 sample) const;
    // The least and greatest value over samples a..b (a <= b, inside the store).
    void range(qint64 a, qint64 b, qint64* lo, qint64* hi) const;
    // The scale: the least and greatest value of the whole capture (so a
    // 12-bit sample in a 16-bit bus fills the row, and panning keeps it).
    qint64 lowest() const;
    qint64 highest() const;

    bool matches(const std::shared_ptr<const TraceData>& trace, const QVector<int>& channels, bool isSigned) const {
        return !m_owner.expired() && m_owner.lock() == trace && m_channels == channels && m_signed == isSigned;
    }
    bool expired() const { return m_owner.expired(); }
    // The analog trace of a bus, built on first use and kept for the next
    // paints while its store lives (a few of them; never keeping a store).
    static std::shared_ptr<const AnalogTrace> of(const std::shared_ptr<const TraceData>& trace,
                                                 const QVector<int>& channels, bool isSigned);

private:
    qint64 fromBits(quint64 raw) const;
    void scanWord(qint64 word, int from, int to, qint64* lo, qint64* hi) const;

    std::weak_ptr<const TraceData> m_owner;
    const TraceData* m_trace; // valid while m_owner lives: callers hold the store
    QVector<int> m_channels;
    std::vector<const quint64*> m_used; // words of the channels read, leading first
    bool m_signed;
    // Level k: the least and greatest value of each run of 64^(k+1) samples.
    std::vector<std::vector<qint64>> m_min, m_max;
};

} // namespace vemo::toolona
