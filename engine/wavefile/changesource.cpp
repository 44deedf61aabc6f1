#include "changesource.h"

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

// Changes asked of the store at once on a forward walk: about a block.
constexpr qint64 kBatch = ChangeStore::kBlock;

// The chosen codes of a value's text (most significant first).
QByteArray pick(const QByteArray& bits, const QVector<int>& codes) {
    QByteArray out(codes.size(), 'x');
    for (int i = 0; i < codes.size(); ++i)
        out[i] = bits.at(bits.size() - 1 - codes.at(i));
    return out;
}

int codeOf(char c) { return c == '1' ? 1 : c == 'x' ? 2 : c == 'z' ? 3 : 0; }

// The least and greatest finite value taken: NaN and infinities have no
// place on a graph's scale.
struct FiniteRange {
    double lo = 0, hi = 0;
    bool any = false;
    void take(double x) {
        if (!std::isfinite(x))
            return;
        lo = any ? qMin(lo, x) : x;
        hi = any ? qMax(hi, x) : x;
        any = true;
    }
};

} // namespace

ChangeSource::ChangeSource(std::shared_ptr<const ChangeStore> store) : m_store(std::move(store)) {
    static const QRegularExpression range(QStringLiteral("^\\[(-?[0-9]{1,9}):(-?[0-9]{1,9})\\]$"));
    const ChangeStore& s = *m_store;
    for (int v = 0; v < s.numVars(); ++v) {
        const ChangeStore::Var& var = s.var(v);
        if (s.kind(var.signal) == ChangeStore::Real) {
            m_reals.append(v);
            // Its scale for a graph: one walk over its changes.
            FiniteRange r;
            for (ChangeStore::Cursor c(s, var.signal); !c.atEnd(); c.next())
                r.take(c.real());
            if (r.any)
                m_realRanges.insert(v, {r.lo, r.hi});
            continue;
        }
        const int w = s.width(var.signal);
        if (m_channels.size() + qint64(w) > kMaxChannels) {
            m_omitted.append(v);
            continue;
        }
        if (w == 1) {
            m_channels.append({v, var.signal, 0, 0});
            continue;
        }
        // The declared range gives each bit its index; none, or one of
        // another width: [w-1:0].
        const auto m = range.match(var.range);
        qint64 msb = m.hasMatch() ? m.captured(1).toLongLong() : w - 1;
        const qint64 lsb = m.hasMatch() ? m.captured(2).toLongLong() : 0;
        int step = lsb > msb ? 1 : -1;
        if (qAbs(msb - lsb) + 1 != w) {
            msb = w - 1;
            step = -1;
        }
        for (int k = 0; k < w; ++k)
            m_channels.append({v, var.signal, w - 1 - k, int(msb + k * step)});
    }
}

QString ChangeSource::channelName(int channel) const {
    if (!valid(channel))
        return QString();
    const Channel& c = m_channels.at(channel);
    const QString& name = m_store->var(c.var).name;
    return m_store->width(c.signal) == 1 ? name : QStringLiteral("%1[%2]").arg(name).arg(c.index);
}

ChangeStore::Change ChangeSource::valueAt(int signal, qint64 at) const {
    m_steps.fetch_add(1, std::memory_order_relaxed);
    return m_store->valueAt(signal, at);
}

int ChangeSource::codeAt(int channel, qint64 at) const {
    if (!valid(channel) || at < firstPosition() || at > lastPosition())
        return 0;
    const Channel& c = m_channels.at(channel);
    const QByteArray bits = valueAt(c.signal, at).bits;
    return codeOf(bits.at(bits.size() - 1 - c.code));
}

QString ChangeSource::bitsAt(const QVector<int>& channels, qint64 at) const {
    QString out(channels.size(), QLatin1Char('0'));
    if (at < firstPosition() || at > lastPosition())
        return out;
    int signal = -1;
    QByteArray bits;
    for (int i = 0; i < channels.size(); ++i) {
        if (!valid(channels.at(i)))
            continue;
        const Channel& c = m_channels.at(channels.at(i));
        if (c.signal != signal) { // a bus's bits read its variable once
            signal = c.signal;
            bits = valueAt(signal, at).bits;
        }
        out[i] = QLatin1Char(bits.at(bits.size() - 1 - c.code));
    }
    return out;
}

bool ChangeSource::groups(const QVector<int>& channels, QVector<Group>* out) const {
    out->clear();
    for (int ch : channels) {
        if (!valid(ch))
            return false;
        const Channel& c = m_channels.at(ch);
        auto it = std::find_if(out->begin(), out->end(), [&](const Group& g) { return g.signal == c.signal; });
        if (it == out->end())
            out->append(Group{c.signal, {c.code}});
        else
            it->codes.append(c.code);
    }
    return true;
}

qint64 ChangeSource::nextIn(const Group& g, qint64 from, qint64 limit) const {
    from = qMax(from, firstPosition());
    limit = qMin(limit, lastPosition());
    if (from >= limit)
        return -1;
    QByteArray before = pick(valueAt(g.signal, from).bits, g.codes);
    // A batch of changes at a time; several at one time leave the last one's
    // value, so a time is judged only once all of its changes are in.
    QVector<ChangeStore::Change> batch;
    for (qint64 t = from; t < limit;) {
        batch.clear();
        m_steps.fetch_add(1, std::memory_order_relaxed);
        const bool whole = m_store->changes(g.signal, t + 1, limit, kBatch, &batch);
        int n = batch.size();
        if (!whole)
            while (n > 0 && batch.at(n - 1).time == batch.last().time)
                --n;
        if (n == 0) {
            if (batch.isEmpty())
                return -1;
            // A whole batch at one time: its value is the last change's.
            const qint64 at = batch.first().time;
            const QByteArray now = pick(valueAt(g.signal, at).bits, g.codes);
            if (now != before)
                return at;
            t = at;
            continue;
        }
        for (int i = 0; i < n; ++i) {
            if (i + 1 < n && batch.at(i + 1).time == batch.at(i).time)
                continue;
            const QByteArray now = pick(batch.at(i).bits, g.codes);
            if (now != before)
                return batch.at(i).time;
        }
        if (whole)
            return -1;
        t = batch.at(n - 1).time;
    }
    return -1;
}

qint64 ChangeSource::prevIn(const Group& g, qint64 at) const {
    at = qMin(at, lastPosition());
    if (at <= firstPosition())
        return -1;
    // From the change that holds at `at` back, one change a step.
    ChangeStore::Change held = valueAt(g.signal, at);
    const QByteArray value = pick(held.bits, g.codes);
    while (held.time > firstPosition()) {
        const qint64 t = held.time;
        held = valueAt(g.signal, t - 1);
        if (pick(held.bits, g.codes) != value)
            return t;
    }
    return -1;
}

qint64 ChangeSource::changeAfter(int channel, qint64 from) const { return changeAfter(QVector<int>{channel}, from); }

qint64 ChangeSource::changeAfter(const QVector<int>& channels, qint64 from) const {
    QVector<Group> gs;
    if (!groups(channels, &gs))
        return -1;
    qint64 best = -1;
    for (const Group& g : gs) {
        // A later variable need not look past the change found so far.
        const qint64 c = nextIn(g, from, best < 0 ? std::numeric_limits<qint64>::max() : best - 1);
        if (c >= 0)
            best = c;
    }
    return best;
}

qint64 ChangeSource::changeAtOrBefore(int channel, qint64 at) const {
    return changeAtOrBefore(QVector<int>{channel}, at);
}

qint64 ChangeSource::changeAtOrBefore(const QVector<int>& channels, qint64 at) const {
    QVector<Group> gs;
    if (!groups(channels, &gs))
        return -1;
    qint64 best = -1;
    for (const Group& g : gs)
        best = qMax(best, prevIn(g, at));
    return best;
}

bool ChangeSource::changeWithin(int channel, qint64 first, qint64 last) const {
    return changeWithin(QVector<int>{channel}, first, last);
}

bool ChangeSource::changeWithin(const QVector<int>& channels, qint64 first, qint64 last) const {
    QVector<Group> gs;
    if (!groups(channels, &gs) || first > last)
        return false;
    const qint64 from = qMax(first, firstPosition() + 1) - 1;
    for (const Group& g : gs) {
        const int known = summaryAnswer(g, from + 1, qMin(last, lastPosition()));
        if (known == 1 || (known < 0 && nextIn(g, from, last) >= 0))
            return true;
    }
    return false;
}

const ChangeSource::Summary* ChangeSource::summaryOf(int signal) const {
    const int width = m_store->width(signal);
    if (m_store->kind(signal) == ChangeStore::Real || width > kSummaryWidth)
        return nullptr;
    std::lock_guard<std::mutex> lock(m_summaryLock);
    if (m_summaries.empty())
        m_summaries.resize(size_t(m_store->numSignals()));
    std::unique_ptr<Summary>& made = m_summaries[size_t(signal)];
    if (made)
        return made.get();
    auto s = std::make_unique<Summary>();
    while ((lastPosition() >> s->shift) >= kSummaryStretches)
        ++s->shift;
    const size_t words = size_t((lastPosition() >> s->shift) / 64 + 1);
    const qint64 bytes = qint64(words) * 8 * width;
    if (m_summaryUsed + bytes > kSummaryBytes)
        return nullptr;
    m_summaryUsed += bytes;
    s->flags.assign(size_t(width), std::vector<quint64>(words, 0));
    // Values are x until the first change; a time is judged by its last
    // change, so changes that end where they began within one time are none.
    std::vector<quint8> before(size_t(width), 2), now = before;
    qint64 at = -1;
    const auto judge = [&] {
        if (at > 0)
            for (size_t i = 0; i < size_t(width); ++i)
                if (now[i] != before[i]) {
                    const qint64 k = at >> s->shift;
                    s->flags[i][size_t(k >> 6)] |= quint64(1) << (k & 63);
                }
        before = now;
    };
    for (ChangeStore::Cursor c(*m_store, signal); !c.atEnd(); c.next()) {
        if (c.time() != at) {
            judge();
            at = c.time();
        }
        now = c.codes();
    }
    judge();
    made = std::move(s);
    return made.get();
}

int ChangeSource::summaryAnswer(const Group& g, qint64 first, qint64 last) const {
    // A narrow question walks a few changes; a summary would cost more.
    if (first > last || last - first < (lastPosition() >> 12))
        return -1;
    const Summary* s = summaryOf(g.signal);
    if (!s)
        return -1;
    const qint64 a = first >> s->shift, b = last >> s->shift;
    bool ends = false;
    for (const int code : g.codes) {
        const std::vector<quint64>& f = s->flags[size_t(code)];
        const auto flag = [&](qint64 k) { return (f[size_t(k >> 6)] >> (k & 63)) & 1; };
        ends = ends || flag(a) || flag(b);
        // The stretches wholly inside, a word at a time.
        for (qint64 k = a + 1; k < b;) {
            const qint64 wordEnd = qMin((k | 63) + 1, b);
            const quint64 bits = f[size_t(k >> 6)] >> (k & 63);
            const quint64 mask = wordEnd - k >= 64 ? ~quint64(0) : (quint64(1) << (wordEnd - k)) - 1;
            if (bits & mask)
                return 1;
            k = wordEnd;
        }
    }
    return ends ? -1 : 0;
}

double ChangeSource::realAt(int var, qint64 at) const {
    return isReal(var) ? valueAt(m_store->var(var).signal, at).real : 0.0;
}

QString ChangeSource::realText(int var, qint64 at) const {
    // The shortest text that reads back as the same double: what a
    // simulator writes ("3.3", not 3.2999999999999998).
    return isReal(var) ? QString::number(realAt(var, at), 'g', QLocale::FloatingPointShortest) : QString();
}

bool ChangeSource::realRange(int var, double* lo, double* hi) const {
    const auto it = m_realRanges.constFind(var);
    if (it == m_realRanges.constEnd())
        return false;
    *lo = it->lo;
    *hi = it->hi;
    return true;
}

bool ChangeSource::realSpan(int var, qint64 a, qint64 b, double* lo, double* hi) const {
    if (!isReal(var) || a > b)
        return false;
    const int signal = m_store->var(var).signal;
    FiniteRange r;
    r.take(valueAt(signal, a).real);
    QVector<ChangeStore::Change> batch;
    m_steps.fetch_add(1, std::memory_order_relaxed);
    if (b > a && !m_store->changes(signal, a + 1, b, kSpanChanges, &batch))
        r.take(valueAt(signal, b).real); // more than a column shows: its ends and the first changes
    for (const ChangeStore::Change& c : batch)
        r.take(c.real);
    if (r.any) {
        *lo = r.lo;
        *hi = r.hi;
    }
    return r.any;
}
