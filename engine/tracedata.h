#pragma once

// The waveform store of one capture: one bit per channel (a one-bit signal
// or one bit of a bus) per sample, packed in 64-bit words, with a two-level
// change summary per channel so that "next change after sample s" skips
// quiet stretches without reading them. Immutable once finish() has run, so
// the GUI and exporters may share it freely.

#include "onaglobal.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <vector>

class ONA_EXPORT TraceData
{
public:
    // Throws std::bad_alloc when the samples do not fit in memory.
    TraceData(const QStringList& channelNames, qint64 samples);

    int numChannels() const { return m_names.size(); }
    qint64 numSamples() const { return m_samples; }
    const QStringList& channelNames() const { return m_names; }
    int channelOf(const QString& name) const { return m_names.indexOf(name); }

    // O(1); 0 outside the store.
    int bit(int channel, qint64 sample) const
    {
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

    // Writing (capture and sidecar only): the words of a channel, sample s
    // in bit s % 64 of word s / 64. finish() builds the summaries.
    quint64* channelWords(int channel) { return m_data.data() + size_t(channel) * m_wordsPerChannel; }
    const quint64* channelWords(int channel) const { return m_data.data() + size_t(channel) * m_wordsPerChannel; }
    qint64 wordsPerChannel() const { return qint64(m_wordsPerChannel); }
    // The first summary level of a channel once finish() has run (nullptr
    // before): bit w % 64 of word w / 64 is set when data word w holds a
    // change, i.e. a sample that differs from the one before it.
    const quint64* changeSummary(int channel) const
    {
        return m_l1.empty() ? nullptr : m_l1.data() + size_t(channel) * m_l1Words;
    }
    void finish();
    // Keeps only the first `samples` (a capture that ended early).
    void truncate(qint64 samples);

    // Trigger frames: the first sample of each, its device time (samples
    // since the device started) and its trigger position (a store sample).
    QVector<qint64> frameStarts;
    QVector<qint64> frameTimes;
    QVector<qint64> triggerPositions;
    qint64 getTimestamp(qint64 sample) const;

    // Bytes held for samples and summaries.
    qint64 storageBytes() const;

private:
    bool hasChangeIn(int channel, qint64 word) const;
    qint64 firstChangeInWord(int channel, qint64 word, int fromBit) const;
    qint64 nextSummaryWord(int channel, qint64 word) const;   // first word >= word marked as changing

    QStringList m_names;
    qint64 m_samples;
    size_t m_wordsPerChannel;
    std::vector<quint64> m_data;
    size_t m_l1Words = 0, m_l2Words = 0;
    std::vector<quint64> m_l1;   // per channel: bit per data word holding a change
    std::vector<quint64> m_l2;   // per channel: bit per l1 word that is not 0
};
