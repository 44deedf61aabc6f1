#pragma once

// The waveform store of one capture: one bit per channel (a one-bit signal
// or one bit of a bus) per sample, packed in 64-bit words, with a change
// summary per channel: level 0 has a bit per data word holding a change,
// each level above a bit per word of the level below that is not 0, up to
// one word. "Next change after sample s" climbs and descends it, reading a
// word or two per level (five levels for 2^30 samples) however long the
// quiet stretch, and "is there a change in this span" reads a few summary
// words however many samples the span holds. The summary costs 1/64 of the
// samples and a little more. Immutable once finish() has run, so
// the GUI and exporters may share it freely.
//
// It is also a WaveSource (positions are samples, values only 0 and 1):
// the overrides forward to the functions below, which stay non-virtual
// and inline where they were for the readers that know the store.

#include "onaglobal.h"
#include "wavesource.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <vector>

class ONA_EXPORT TraceData final : public WaveSource {
public:
    // Changes inside one word of a channel's samples: bit i set when sample
    // (word*64 + i) differs from the sample before it; bits past `samples`
    // are clear.
    static inline quint64 changeMask(const quint64* w, qint64 word, qint64 samples) {
        const quint64 x = w[word];
        const quint64 before = word > 0 ? (w[word - 1] >> 63) : (x & 1u);
        quint64 c = x ^ ((x << 1) | before);
        const qint64 valid = samples - word * 64;
        if (valid < 64)
            c &= (quint64(1) << valid) - 1;
        return c;
    }

    // Bit j of a[i] moves to bit i of a[j] (a 64 x 64 bit matrix transposed
    // in place: six rounds of swapping ever smaller blocks). With the words
    // of up to 64 channels for one data word, a[s] then holds sample s of
    // every channel.
    static inline void transpose64(quint64* a) {
        quint64 m = 0x00000000FFFFFFFFull;
        for (int j = 32; j; j >>= 1, m ^= m << j)
            for (int k = 0; k < 64; k = ((k | j) + 1) & ~j) {
                const quint64 t = ((a[k] >> j) ^ a[k | j]) & m;
                a[k | j] ^= t;
                a[k] ^= t << j;
            }
    }

    // The most samples any capture holds, whatever made it: the waveform
    // model and the verbs count samples in int, with room to add to them.
    static constexpr qint64 kMaxSamples = qint64(1) << 30;

    // Throws std::bad_alloc when the samples do not fit in memory or are
    // more than kMaxSamples.
    TraceData(const QStringList& channelNames, qint64 samples);

    int numChannels() const { return m_names.size(); }
    qint64 numSamples() const { return m_samples; }
    const QStringList& channelNames() const { return m_names; }
    int channelOf(const QString& name) const { return m_names.indexOf(name); }

    // O(1); 0 outside the store.
    int bit(int channel, qint64 sample) const {
        if (channel < 0 || channel >= m_names.size() || sample < 0 || sample >= m_samples)
            return 0;
        return int((m_data[size_t(channel) * m_wordsPerChannel + size_t(sample >> 6)] >> (sample & 63)) & 1u);
    }
    // The bits of several channels at a sample, first channel leftmost.
    QString bits(const QVector<int>& channels, qint64 sample) const;

    // The first sample after `from` whose value differs from the sample
    // before it; -1 when there is none. Cost grows with the words that hold
    // changes, not with the samples skipped.
    qint64 nextChange(int channel, qint64 from) const;
    // The same for a bus: the first change of any of its channels.
    qint64 nextChange(const QVector<int>& channels, qint64 from) const;

    // Whether a sample in first..last (both included, clamped to the store)
    // differs from the sample before it. The summaries answer for the whole
    // words inside the span; a data word is read only at an end whose word
    // holds a change, so a span of 2^20 samples costs a few summary words
    // whatever it holds: the painters ask it once per pixel column.
    bool hasChange(int channel, qint64 first, qint64 last) const;
    bool hasChange(const QVector<int>& channels, qint64 first, qint64 last) const;

    // The last sample at or before `at` that differs from the sample before
    // it; -1 when there is none. Same cost as nextChange.
    qint64 prevChange(int channel, qint64 at) const;
    qint64 prevChange(const QVector<int>& channels, qint64 at) const;

    // The first sample at or after `from` (the last at or before it when
    // `backward`) where the channels read `pattern`: one character per
    // channel, first channel first, '0' or '1', anything else don't care.
    // -1 when none does, or when the pattern does not fit the channels.
    // Quiet stretches are skipped through the change summaries; only words
    // where one of the channels changes are read.
    qint64 findValue(const QVector<int>& channels, const QString& pattern, qint64 from, bool backward) const;

    // Writing (capture and sidecar only): the words of a channel, sample s
    // in bit s % 64 of word s / 64. finish() builds the summaries.
    quint64* channelWords(int channel) { return m_data.data() + size_t(channel) * m_wordsPerChannel; }
    const quint64* channelWords(int channel) const { return m_data.data() + size_t(channel) * m_wordsPerChannel; }
    qint64 wordsPerChannel() const { return qint64(m_wordsPerChannel); }
    // The first summary level of a channel once finish() has run (nullptr
    // before): bit w % 64 of word w / 64 is set when data word w holds a
    // change, i.e. a sample that differs from the one before it.
    const quint64* changeSummary(int channel) const {
        return m_summary.empty() ? nullptr : m_summary[0].data() + size_t(channel) * m_summaryWords[0];
    }
    void finish();
    // Keeps only the first `samples` (a capture that ended early).
    void truncate(qint64 samples);

    // Trigger frames: the first sample of each, its device time (samples
    // since the device started) and its trigger position (a store sample).
    QVector<qint64> frameStarts;
    QVector<qint64> frameTimes;
    QVector<qint64> triggerPositions;
    // The device time at which the run was armed, where the device reports
    // it (a core in RTL does); -1 when it does not.
    qint64 armTime = -1;
    qint64 getTimestamp(qint64 sample) const;

    // Bytes held for samples and summaries.
    qint64 storageBytes() const;

    // ---- WaveSource ----
    int channelCount() const override { return numChannels(); }
    QString channelName(int channel) const override { return m_names.value(channel); }
    qint64 firstPosition() const override { return 0; }
    qint64 lastPosition() const override { return m_samples - 1; }
    int codeAt(int channel, qint64 at) const override { return bit(channel, at); }
    QString bitsAt(const QVector<int>& channels, qint64 at) const override { return bits(channels, at); }
    qint64 changeAfter(int channel, qint64 from) const override { return nextChange(channel, from); }
    qint64 changeAfter(const QVector<int>& channels, qint64 from) const override { return nextChange(channels, from); }
    qint64 changeAtOrBefore(int channel, qint64 at) const override { return prevChange(channel, at); }
    qint64 changeAtOrBefore(const QVector<int>& channels, qint64 at) const override { return prevChange(channels, at); }
    bool changeWithin(int channel, qint64 first, qint64 last) const override { return hasChange(channel, first, last); }
    bool changeWithin(const QVector<int>& channels, qint64 first, qint64 last) const override {
        return hasChange(channels, first, last);
    }
    // findValue over the words; a capture never reads x or z.
    qint64 find(const QVector<int>& channels, const QByteArray& pattern, qint64 from, bool backward) const override;

private:
    // Level 0 marks data word `word` of the channel as holding a change (true
    // before finish(), when there is no summary to ask).
    bool marked(int channel, qint64 word) const {
        return m_summary.empty() ||
               ((m_summary[0][size_t(channel) * m_summaryWords[0] + size_t(word >> 6)] >> (word & 63)) & 1);
    }
    qint64 firstChangeInWord(int channel, qint64 word, int fromBit) const;
    qint64 nextSummaryWord(int channel, qint64 word) const; // first word >= word marked as changing
    qint64 lastChangeInWord(int channel, qint64 word, int toBit) const;
    qint64 prevSummaryWord(int channel, qint64 word) const; // last word <= word marked as changing

    QStringList m_names;
    qint64 m_samples;
    size_t m_wordsPerChannel;
    std::vector<quint64> m_data;
    // Level k holds m_summaryWords[k] words per channel, channel after channel.
    std::vector<std::vector<quint64>> m_summary;
    std::vector<size_t> m_summaryWords;
};
