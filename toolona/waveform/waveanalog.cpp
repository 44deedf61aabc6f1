#include "waveform/waveanalog.h"

#include "tracedata.h"

#include <algorithm>
#include <limits>

namespace vemo::toolona {

AnalogTrace::AnalogTrace(std::shared_ptr<const TraceData> trace, const QVector<int>& channels, bool isSigned)
    : m_owner(trace), m_trace(trace.get()), m_channels(channels), m_signed(isSigned) {
    if (!m_trace)
        return;
    for (int ch : channels) {
        if (ch < 0 || ch >= m_trace->numChannels()) {
            m_used.clear();
            return;
        }
        if (int(m_used.size()) < kMaxBits)
            m_used.push_back(m_trace->channelWords(ch));
    }
    const qint64 words = (m_trace->numSamples() + 63) / 64;
    if (m_used.empty() || words == 0)
        return;
    std::vector<qint64> lo(static_cast<size_t>(words)), hi(static_cast<size_t>(words));
    for (qint64 w = 0; w < words; ++w) {
        const int last = int(qMin<qint64>(63, m_trace->numSamples() - 1 - w * 64));
        lo[size_t(w)] = std::numeric_limits<qint64>::max();
        hi[size_t(w)] = std::numeric_limits<qint64>::min();
        scanWord(w, 0, last, &lo[size_t(w)], &hi[size_t(w)]);
    }
    m_min.push_back(std::move(lo));
    m_max.push_back(std::move(hi));
    while (m_min.back().size() > 1) {
        const std::vector<qint64>& bl = m_min.back();
        const std::vector<qint64>& bh = m_max.back();
        std::vector<qint64> l((bl.size() + 63) / 64), h(l.size());
        for (size_t i = 0; i < l.size(); ++i) {
            const size_t from = i * 64, to = qMin(bl.size(), from + 64);
            l[i] = *std::min_element(bl.begin() + qsizetype(from), bl.begin() + qsizetype(to));
            h[i] = *std::max_element(bh.begin() + qsizetype(from), bh.begin() + qsizetype(to));
        }
        m_min.push_back(std::move(l));
        m_max.push_back(std::move(h));
    }
}

qint64 AnalogTrace::fromBits(quint64 raw) const {
    const int n = usedBits();
    if (m_signed && n > 0 && ((raw >> (n - 1)) & 1))
        return qint64(raw) - (qint64(1) << n);
    return qint64(raw);
}

qint64 AnalogTrace::value(qint64 s) const {
    quint64 raw = 0;
    const qint64 word = s >> 6;
    const int bit = int(s & 63);
    for (const quint64* w : m_used)
        raw = (raw << 1) | ((w[word] >> bit) & 1);
    return fromBits(raw);
}

void AnalogTrace::scanWord(qint64 word, int from, int to, qint64* lo, qint64* hi) const {
    // The channels' words are bit planes of the 64 samples' values, leading
    // bit first: the greatest value keeps, plane by plane, the samples with
    // a 1 where any has one (a 0 in the sign plane), the least those with a
    // 0. A few operations a plane instead of 64 values taken apart.
    quint64 most = (to >= 63 ? ~quint64(0) : (quint64(2) << to) - 1) & (~quint64(0) << from);
    quint64 least = most, mostRaw = 0, leastRaw = 0;
    const int n = usedBits();
    for (int i = 0; i < n; ++i) {
        const bool sign = m_signed && i == 0;
        const quint64 plane = m_used[size_t(i)][word];
        const quint64 bit = quint64(1) << (n - 1 - i);
        const quint64 up = sign ? ~plane : plane; // the samples whose bit makes them greater
        if (const quint64 t = most & up) {
            most = t;
            mostRaw |= sign ? 0 : bit;
        } else {
            mostRaw |= sign ? bit : 0;
        }
        if (const quint64 t = least & ~up) {
            least = t;
            leastRaw |= sign ? bit : 0;
        } else {
            leastRaw |= sign ? 0 : bit;
        }
    }
    *lo = qMin(*lo, fromBits(leastRaw));
    *hi = qMax(*hi, fromBits(mostRaw));
}

void AnalogTrace::range(qint64 a, qint64 b, qint64* lo, qint64* hi) const {
    *lo = std::numeric_limits<qint64>::max();
    *hi = std::numeric_limits<qint64>::min();
    if (m_used.empty() || m_min.empty() || a > b)
        return;
    const qint64 wa = a >> 6, wb = b >> 6;
    if (wa == wb) {
        scanWord(wa, int(a & 63), int(b & 63), lo, hi);
        return;
    }
    scanWord(wa, int(a & 63), 63, lo, hi);
    scanWord(wb, 0, int(b & 63), lo, hi);
    // The whole words between, level by level: the ragged ends of a level
    // one by one, the aligned middle from the level above.
    qint64 i = wa + 1, j = wb - 1;
    for (size_t level = 0; level < m_min.size() && i <= j; ++level) {
        const std::vector<qint64>& l = m_min[level];
        const std::vector<qint64>& h = m_max[level];
        const bool top = level + 1 == m_min.size();
        while (i <= j && (top || i % 64 != 0)) {
            *lo = qMin(*lo, l[size_t(i)]);
            *hi = qMax(*hi, h[size_t(i)]);
            ++i;
        }
        while (j >= i && (j + 1) % 64 != 0) {
            *lo = qMin(*lo, l[size_t(j)]);
            *hi = qMax(*hi, h[size_t(j)]);
            --j;
        }
        i /= 64;
        j = (j + 1) / 64 - 1;
    }
}

qint64 AnalogTrace::lowest() const { return m_min.empty() ? 0 : m_min.back().front(); }

qint64 AnalogTrace::highest() const { return m_max.empty() ? 0 : m_max.back().front(); }

std::shared_ptr<const AnalogTrace> AnalogTrace::of(const std::shared_ptr<const TraceData>& trace,
                                                   const QVector<int>& channels, bool isSigned) {
    // The buses drawn last; a store that is gone takes its entries along.
    static std::vector<std::shared_ptr<const AnalogTrace>> cache;
    cache.erase(std::remove_if(cache.begin(), cache.end(), [](const auto& a) { return a->expired(); }), cache.end());
    for (auto it = cache.begin(); it != cache.end(); ++it)
        if ((*it)->matches(trace, channels, isSigned)) {
            auto found = *it;
            cache.erase(it);
            cache.push_back(found);
            return found;
        }
    auto made = std::make_shared<const AnalogTrace>(trace, channels, isSigned);
    cache.push_back(made);
    constexpr size_t kKept = 16;
    if (cache.size() > kKept)
        cache.erase(cache.begin());
    return made;
}

} // namespace vemo::toolona
