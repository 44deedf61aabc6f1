#include "tracedata.h"

#include <algorithm>

namespace {
inline int ctz(quint64 v) { return __builtin_ctzll(v); }
}

TraceData::TraceData(const QStringList& channelNames, qint64 samples)
    : m_names(channelNames)
    , m_samples(qMax<qint64>(0, samples))
    , m_wordsPerChannel(size_t((m_samples + 63) / 64))
    , m_data(size_t(channelNames.size()) * m_wordsPerChannel, 0)
{
}

QString TraceData::bits(const QVector<int>& channels, qint64 sample) const
{
    QString s(channels.size(), QLatin1Char('0'));
    for (int i = 0; i < channels.size(); ++i)
        if (bit(channels.at(i), sample))
            s[i] = QLatin1Char('1');
    return s;
}

// Changes inside a word: bit i set when sample (word*64 + i) differs from
// the sample before it.
static inline quint64 changeMask(const quint64* w, qint64 word, qint64 samples)
{
    const quint64 x = w[word];
    const quint64 before = word > 0 ? (w[word - 1] >> 63) : (x & 1u);
    quint64 c = x ^ ((x << 1) | before);
    const qint64 valid = samples - word * 64;
    if (valid < 64)
        c &= (quint64(1) << valid) - 1;
    return c;
}

void TraceData::finish()
{
    m_l1Words = (m_wordsPerChannel + 63) / 64;
    m_l2Words = (m_l1Words + 63) / 64;
    m_l1.assign(size_t(m_names.size()) * m_l1Words, 0);
    m_l2.assign(size_t(m_names.size()) * m_l2Words, 0);
    for (int ch = 0; ch < m_names.size(); ++ch) {
        const quint64* w = channelWords(ch);
        quint64* l1 = m_l1.data() + size_t(ch) * m_l1Words;
        quint64* l2 = m_l2.data() + size_t(ch) * m_l2Words;
        for (size_t i = 0; i < m_wordsPerChannel; ++i)
            if (changeMask(w, qint64(i), m_samples))
                l1[i >> 6] |= quint64(1) << (i & 63);
        for (size_t j = 0; j < m_l1Words; ++j)
            if (l1[j])
                l2[j >> 6] |= quint64(1) << (j & 63);
    }
}

void TraceData::truncate(qint64 samples)
{
    if (samples >= m_samples || samples < 0)
        return;
    const size_t words = size_t((samples + 63) / 64);
    std::vector<quint64> data(size_t(m_names.size()) * words);
    for (int ch = 0; ch < m_names.size(); ++ch)
        std::copy_n(channelWords(ch), words, data.data() + size_t(ch) * words);
    m_data.swap(data);
    m_wordsPerChannel = words;
    m_samples = samples;
    if (samples % 64)
        for (int ch = 0; ch < m_names.size(); ++ch)
            channelWords(ch)[words - 1] &= (quint64(1) << (samples % 64)) - 1;
    while (!frameStarts.isEmpty() && frameStarts.last() >= samples) {
        frameStarts.removeLast();
        if (frameTimes.size() > frameStarts.size())
            frameTimes.removeLast();
    }
    triggerPositions.erase(std::remove_if(triggerPositions.begin(), triggerPositions.end(),
                                          [samples](qint64 p) { return p >= samples; }),
                           triggerPositions.end());
    // Summaries of the longer store would point past the data.
    if (!m_l1.empty())
        finish();
}

qint64 TraceData::firstChangeInWord(int channel, qint64 word, int fromBit) const
{
    quint64 c = changeMask(channelWords(channel), word, m_samples);
    if (fromBit > 0)
        c &= fromBit >= 64 ? 0 : ~((quint64(1) << fromBit) - 1);
    return c ? word * 64 + ctz(c) : -1;
}

qint64 TraceData::nextSummaryWord(int channel, qint64 word) const
{
    if (word < 0 || size_t(word) >= m_wordsPerChannel || m_l1.empty())
        return -1;
    const quint64* l1 = m_l1.data() + size_t(channel) * m_l1Words;
    const quint64* l2 = m_l2.data() + size_t(channel) * m_l2Words;
    size_t j = size_t(word) >> 6;
    quint64 m = l1[j] & (~quint64(0) << (word & 63));
    if (m)
        return qint64(j * 64 + size_t(ctz(m)));
    // Whole l1 words without change are skipped through the second level.
    size_t k = (j + 1);
    while (k < m_l1Words) {
        const size_t kw = k >> 6;
        quint64 m2 = l2[kw] & (~quint64(0) << (k & 63));
        if (!m2) {
            k = (kw + 1) * 64;
            continue;
        }
        const size_t l1i = kw * 64 + size_t(ctz(m2));
        return qint64(l1i * 64 + size_t(ctz(l1[l1i])));
    }
    return -1;
}

qint64 TraceData::nextChange(int channel, qint64 from) const
{
    if (channel < 0 || channel >= m_names.size())
        return -1;
    qint64 s = qMax<qint64>(from + 1, 1);
    if (s >= m_samples)
        return -1;
    const qint64 word = s >> 6;
    const qint64 here = firstChangeInWord(channel, word, int(s & 63));
    if (here >= 0)
        return here;
    const qint64 w = nextSummaryWord(channel, word + 1);
    return w < 0 ? -1 : firstChangeInWord(channel, w, 0);
}

qint64 TraceData::nextChange(const QVector<int>& channels, qint64 from) const
{
    qint64 best = -1;
    for (int ch : channels) {
        const qint64 c = nextChange(ch, from);
        if (c >= 0 && (best < 0 || c < best)) {
            best = c;
            if (best == from + 1)
                break;
        }
    }
    return best;
}

qint64 TraceData::getTimestamp(qint64 sample) const
{
    if (frameStarts.isEmpty() || frameTimes.size() != frameStarts.size())
        return sample;
    auto it = std::upper_bound(frameStarts.begin(), frameStarts.end(), sample);
    const int f = qMax(0, int(it - frameStarts.begin()) - 1);
    return frameTimes.at(f) + (sample - frameStarts.at(f));
}

qint64 TraceData::storageBytes() const
{
    return qint64((m_data.size() + m_l1.size() + m_l2.size()) * sizeof(quint64));
}
