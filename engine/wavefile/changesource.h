#pragma once

// A simulator's dump (a ChangeStore) seen as a WaveSource: positions are
// the file's ticks, from 0 to its last time. A one-bit variable is one
// channel, named as the variable; a vector of width w is w channels
// "name[msb]" .. "name[lsb]" by its declared range ([w-1:0] without one),
// as a capture names the bits of a bus. Real variables are no channels:
// realVars() lists them.
//
// Every query goes through the store's block index and walks only the
// changes between its ends (a variable may change without the bit asked
// for changing; the walk passes those too), so a 1 ps dump over a
// millisecond answers in the steps its changes take, not its ticks.
//
// A question that spans much of the dump (the painter's, zoomed out: one
// per pixel column and row) is answered from a summary instead: for each
// bit of a variable up to 64 bits wide, whether each of 65536 equal
// stretches of the dump holds a change of it. A variable's summary is made
// by one walk over its changes when first asked such a question, so a
// zoomed-out repaint costs its pixels, not the changes under them.

#include "changestore.h"
#include "onaglobal.h"
#include "wavesource.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

class ONA_EXPORT ChangeSource final : public WaveSource {
public:
    // The most channels a source holds: a dump declaring more bits than
    // this keeps its first variables, and omittedVars() lists the rest.
    static constexpr qint64 kMaxChannels = qint64(1) << 22;

    explicit ChangeSource(std::shared_ptr<const ChangeStore> store);

    const ChangeStore& store() const { return *m_store; }
    // The variable a channel reads, and its bit there (0: least significant).
    int varOf(int channel) const { return m_channels.at(channel).var; }
    int bitOf(int channel) const { return m_channels.at(channel).code; }
    const QVector<int>& realVars() const { return m_reals; }
    const QVector<int>& omittedVars() const { return m_omitted; }
    // A real variable's value at a tick (0 before its first change), and
    // as the dump wrote it ("3.3", "-1.5e-06"). Not a real variable: 0, "".
    double realAt(int var, qint64 at) const;
    QString realText(int var, qint64 at) const;
    // The least and greatest finite value a real variable takes in the
    // dump (walked once, when the source is made); false when it has none.
    bool realRange(int var, double* lo, double* hi) const;
    // The least and greatest finite value over ticks a..b, from the value
    // at a and at most kSpanChanges changes after it; false when none is
    // finite (NaN and infinities are left out).
    static constexpr qint64 kSpanChanges = 256;
    bool realSpan(int var, qint64 a, qint64 b, double* lo, double* hi) const;
    // The look-ups into the store's index so far (each walks at most a
    // block or so of changes): what a query cost, for tests and benchmarks.
    qint64 steps() const { return m_steps.load(std::memory_order_relaxed); }

    int channelCount() const override { return m_channels.size(); }
    QString channelName(int channel) const override;
    qint64 firstPosition() const override { return 0; }
    qint64 lastPosition() const override { return qMax<qint64>(m_store->endTime, 0); }
    int codeAt(int channel, qint64 at) const override;
    QString bitsAt(const QVector<int>& channels, qint64 at) const override;
    qint64 changeAfter(int channel, qint64 from) const override;
    qint64 changeAfter(const QVector<int>& channels, qint64 from) const override;
    qint64 changeAtOrBefore(int channel, qint64 at) const override;
    qint64 changeAtOrBefore(const QVector<int>& channels, qint64 at) const override;
    bool changeWithin(int channel, qint64 first, qint64 last) const override;
    bool changeWithin(const QVector<int>& channels, qint64 first, qint64 last) const override;

private:
    struct Channel {
        int var = -1;
        int signal = -1;
        int code = 0;  // index in the value, least significant first
        int index = 0; // the bit's index in the declared range
    };
    // The channels' codes grouped by signal, each signal once.
    struct Group {
        int signal;
        QVector<int> codes;
    };
    bool valid(int channel) const { return channel >= 0 && channel < m_channels.size(); }
    // False when a channel is not one of this source's.
    bool groups(const QVector<int>& channels, QVector<Group>* out) const;
    ChangeStore::Change valueAt(int signal, qint64 at) const;
    // The first change of the codes in (from, limit]; the last in 1..at.
    qint64 nextIn(const Group& g, qint64 from, qint64 limit) const;
    qint64 prevIn(const Group& g, qint64 at) const;

    // One flag per bit and stretch of 2^shift ticks: a change of the bit
    // (a time whose last value differs from the one before) falls in it.
    struct Summary {
        int shift = 0;
        std::vector<std::vector<quint64>> flags; // [code][stretch / 64]
    };
    static constexpr int kSummaryStretches = 1 << 16;
    static constexpr int kSummaryWidth = 64;
    // All summaries together stay below this; past it, questions walk.
    static constexpr qint64 kSummaryBytes = qint64(64) << 20;
    // The signal's summary, made on the first call; null for a real, a
    // variable wider than kSummaryWidth, or once kSummaryBytes are used.
    const Summary* summaryOf(int signal) const;
    // Whether the codes change at a time in first..last (first > 0): 1 yes,
    // 0 no, -1 the summary cannot tell (a change in an end's stretch).
    int summaryAnswer(const Group& g, qint64 first, qint64 last) const;

    std::shared_ptr<const ChangeStore> m_store;
    QVector<Channel> m_channels;
    QVector<int> m_reals, m_omitted;
    struct Range {
        double lo, hi;
    };
    QHash<int, Range> m_realRanges; // real variable -> its finite range
    bool isReal(int var) const { return var >= 0 && var < m_store->numVars() && m_store->kind(m_store->var(var).signal) == ChangeStore::Real; }
    mutable std::atomic<qint64> m_steps{0};
    mutable std::mutex m_summaryLock;
    mutable std::vector<std::unique_ptr<Summary>> m_summaries; // by signal, once made
    mutable qint64 m_summaryUsed = 0;
};
