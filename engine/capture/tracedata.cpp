#include "tracedata.h"

#include <algorithm>
#include <new>

namespace {
inline int ctz(quint64 v) { return __builtin_ctzll(v); }
inline int highest(quint64 v) { return 63 - __builtin_clzll(v); }
} // namespace

namespace {

qint64 checkedSamples(qint64 samples) {
    if (samples > TraceData::kMaxSamples)
        throw std::bad_alloc();
    return qMax<qint64>(0, samples);
}

} // namespace

TraceData::TraceData(const QStringList& channelNames, qint64 samples)
    : m_names(channelNames)
    , m_samples(checkedSamples(samples))
    , m_wordsPerChannel(size_t((m_samples + 63) / 64))
    , m_data(size_t(channelNames.size()) * m_wordsPerChannel, 0) {}

QString TraceData::bits(const QVector<int>& channels, qint64 sample) const {
    QString s(channels.size(), QLatin1Char('0'));
    for (int i = 0; i < channels.size(); ++i)
        if (bit(channels.at(i), sample))
            s[i] = QLatin1Char('1');
    return s;
}

void TraceData::finish() {
    m_summary.clear();
    m_summaryWords.clear();
    const size_t channels = size_t(m_names.size());
    size_t below = m_wordsPerChannel; // words of the level being summarised
    do {
        const size_t words = (below + 63) / 64;
        m_summary.emplace_back(channels * words, 0);
        m_summaryWords.push_back(words);
        below = words;
    } while (below > 1);
    for (size_t ch = 0; ch < channels; ++ch) {
        const quint64* w = channelWords(int(ch));
        quint64* l0 = m_summary[0].data() + ch * m_summaryWords[0];
        for (size_t i = 0; i < m_wordsPerChannel; ++i)
            if (changeMask(w, qint64(i), m_samples))
                l0[i >> 6] |= quint64(1) << (i & 63);
        for (size_t k = 1; k < m_summary.size(); ++k) {
            const quint64* lower = m_summary[k - 1].data() + ch * m_summaryWords[k - 1];
            quint64* upper = m_summary[k].data() + ch * m_summaryWords[k];
            for (size_t j = 0; j < m_summaryWords[k - 1]; ++j)
                if (lower[j])
                    upper[j >> 6] |= quint64(1) << (j & 63);
        }
    }
}

void TraceData::truncate(qint64 samples) {
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
    triggerPositions.erase(
        std::remove_if(triggerPositions.begin(), triggerPositions.end(), [samples](qint64 p) { return p >= samples; }),
        triggerPositions.end());
    // Summaries of the longer store would point past the data.
    if (!m_summary.empty())
        finish();
}

qint64 TraceData::firstChangeInWord(int channel, qint64 word, int fromBit) const {
    // A word the summary calls quiet is not read: deep stores miss the cache
    // on nearly every data word, while the summary stays in it.
    if (!marked(channel, word))
        return -1;
    quint64 c = changeMask(channelWords(channel), word, m_samples);
    if (fromBit > 0)
        c &= fromBit >= 64 ? 0 : ~((quint64(1) << fromBit) - 1);
    return c ? word * 64 + ctz(c) : -1;
}

qint64 TraceData::nextSummaryWord(int channel, qint64 word) const {
    if (word < 0 || size_t(word) >= m_wordsPerChannel || m_summary.empty())
        return -1;
    // Climb while the rest of the current summary word is empty: the next
    // word of a level is the next bit of the level above.
    size_t level = 0, at = size_t(word);
    for (;;) {
        if (level == m_summary.size())
            return -1;
        const size_t j = at >> 6;
        if (j >= m_summaryWords[level])
            return -1;
        const quint64 m = m_summary[level][size_t(channel) * m_summaryWords[level] + j] & (~quint64(0) << (at & 63));
        if (m) {
            at = j * 64 + size_t(ctz(m));
            break;
        }
        at = j + 1;
        ++level;
    }
    // Descend along the first set bits to the data word.
    while (level > 0) {
        --level;
        at = at * 64 + size_t(ctz(m_summary[level][size_t(channel) * m_summaryWords[level] + at]));
    }
    return qint64(at);
}

qint64 TraceData::nextChange(int channel, qint64 from) const {
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

qint64 TraceData::nextChange(const QVector<int>& channels, qint64 from) const {
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

bool TraceData::hasChange(int channel, qint64 first, qint64 last) const {
    if (channel < 0 || channel >= m_names.size())
        return false;
    first = qMax<qint64>(first, 1);
    last = qMin(last, m_samples - 1);
    if (first > last)
        return false;
    const qint64 wa = first >> 6, wb = last >> 6;
    if (wa == wb) {
        const qint64 c = firstChangeInWord(channel, wa, int(first & 63));
        return c >= 0 && c <= last;
    }
    // The whole words between the ends, from the summaries alone (word by
    // word before finish() has built them).
    if (wb - wa > 1) {
        if (!m_summary.empty()) {
            const qint64 w = nextSummaryWord(channel, wa + 1);
            if (w >= 0 && w < wb)
                return true;
        } else {
            for (qint64 w = wa + 1; w < wb; ++w)
                if (firstChangeInWord(channel, w, 0) >= 0)
                    return true;
        }
    }
    if (firstChangeInWord(channel, wa, int(first & 63)) >= 0)
        return true;
    const qint64 c = firstChangeInWord(channel, wb, 0);
    return c >= 0 && c <= last;
}

bool TraceData::hasChange(const QVector<int>& channels, qint64 first, qint64 last) const {
    for (int ch : channels)
        if (hasChange(ch, first, last))
            return true;
    return false;
}

qint64 TraceData::lastChangeInWord(int channel, qint64 word, int toBit) const {
    if (!marked(channel, word))
        return -1;
    quint64 c = changeMask(channelWords(channel), word, m_samples);
    if (toBit < 63)
        c &= (quint64(2) << toBit) - 1;
    return c ? word * 64 + highest(c) : -1;
}

qint64 TraceData::prevSummaryWord(int channel, qint64 word) const {
    if (word < 0 || m_summary.empty())
        return -1;
    size_t level = 0, at = size_t(qMin<qint64>(word, qint64(m_wordsPerChannel) - 1));
    // Climb while the summary word holds nothing at or before `at`.
    for (;;) {
        if (level == m_summary.size())
            return -1;
        const size_t j = at >> 6;
        const int bit = int(at & 63);
        quint64 m = m_summary[level][size_t(channel) * m_summaryWords[level] + j];
        if (bit < 63)
            m &= (quint64(2) << bit) - 1;
        if (m) {
            at = j * 64 + size_t(highest(m));
            break;
        }
        if (j == 0)
            return -1;
        at = j - 1;
        ++level;
    }
    while (level > 0) {
        --level;
        at = at * 64 + size_t(highest(m_summary[level][size_t(channel) * m_summaryWords[level] + at]));
    }
    return qint64(at);
}

qint64 TraceData::prevChange(int channel, qint64 at) const {
    if (channel < 0 || channel >= m_names.size() || m_samples == 0)
        return -1;
    const qint64 s = qMin(at, m_samples - 1);
    if (s < 1)
        return -1;
    const qint64 word = s >> 6;
    const qint64 here = lastChangeInWord(channel, word, int(s & 63));
    if (here >= 0)
        return here;
    const qint64 w = prevSummaryWord(channel, word - 1);
    return w < 0 ? -1 : lastChangeInWord(channel, w, 63);
}

qint64 TraceData::prevChange(const QVector<int>& channels, qint64 at) const {
    qint64 best = -1;
    for (int ch : channels)
        best = qMax(best, prevChange(ch, at));
    return best;
}

qint64 TraceData::findValue(const QVector<int>& channels, const QString& pattern, qint64 from, bool backward) const {
    if (m_samples == 0 || pattern.size() != channels.size())
        return -1;
    for (int ch : channels)
        if (ch < 0 || ch >= m_names.size())
            return -1;
    if (backward ? from < 0 : from >= m_samples)
        return -1;
    from = qBound<qint64>(0, from, m_samples - 1);
    // Matches of all 64 samples of a word at once: each cared-for channel
    // keeps the samples where it has the wanted bit.
    auto matches = [&](qint64 word) {
        quint64 m = ~quint64(0);
        for (int i = 0; i < channels.size() && m; ++i) {
            const QChar c = pattern.at(i);
            if (c == QLatin1Char('1'))
                m &= channelWords(channels.at(i))[word];
            else if (c == QLatin1Char('0'))
                m &= ~channelWords(channels.at(i))[word];
        }
        const qint64 valid = m_samples - word * 64;
        if (valid < 64)
            m &= (quint64(1) << valid) - 1;
        return m;
    };
    qint64 word = from >> 6;
    if (!backward) {
        quint64 m = matches(word) & (~quint64(0) << (from & 63));
        for (;;) {
            if (m)
                return word * 64 + ctz(m);
            // Words without a change of any channel repeat the last sample
            // of this one, which did not match: go on at the next change.
            qint64 next = -1;
            for (int ch : channels) {
                const qint64 w = nextSummaryWord(ch, word + 1);
                if (w >= 0 && (next < 0 || w < next))
                    next = w;
                if (next == word + 1)
                    break;
            }
            if (next < 0)
                return -1;
            word = next;
            m = matches(word);
        }
    }
    const int bit = int(from & 63);
    quint64 m = matches(word) & (bit < 63 ? (quint64(2) << bit) - 1 : ~quint64(0));
    for (;;) {
        if (m)
            return word * 64 + highest(m);
        if (word == 0)
            return -1;
        // Words without a change of any channel repeat the last sample of
        // the word before them (or sample 0): when that value matches, the
        // last sample before this word is the answer.
        qint64 prev = -1;
        for (int ch : channels) {
            prev = qMax(prev, prevSummaryWord(ch, word - 1));
            if (prev == word - 1)
                break;
        }
        if (prev < word - 1) {
            const qint64 held = prev < 0 ? 0 : prev * 64 + 63;
            if (matches(held >> 6) & (quint64(1) << (held & 63)))
                return word * 64 - 1;
            if (prev < 0)
                return -1;
        }
        word = prev;
        m = matches(word);
    }
}

qint64 TraceData::find(const QVector<int>& channels, const QByteArray& pattern, qint64 from, bool backward) const {
    if (!fits(channels, pattern) || pattern.contains('x') || pattern.contains('z'))
        return -1;
    return findValue(channels, QString::fromLatin1(pattern), from, backward);
}

qint64 TraceData::getTimestamp(qint64 sample) const {
    if (frameStarts.isEmpty() || frameTimes.size() != frameStarts.size())
        return sample;
    auto it = std::upper_bound(frameStarts.begin(), frameStarts.end(), sample);
    const int f = qMax(0, int(it - frameStarts.begin()) - 1);
    return frameTimes.at(f) + (sample - frameStarts.at(f));
}

qint64 TraceData::storageBytes() const {
    size_t words = m_data.size();
    for (const auto& level : m_summary)
        words += level.size();
    return qint64(words * sizeof(quint64));
}
