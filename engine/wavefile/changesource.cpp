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

} // namespace

ChangeSource::ChangeSource(std::shared_ptr<const ChangeStore> store) : m_store(std::move(store)) {
    static const QRegularExpression range(QStringLiteral("^\\[(-?[0-9]{1,9}):(-?[0-9]{1,9})\\]$"));
    const ChangeStore& s = *m_store;
    for (int v = 0; v < s.numVars(); ++v) {
        const ChangeStore::Var& var = s.var(v);
        if (s.kind(var.signal) == ChangeStore::Real) {
            m_reals.append(v);
            // Its scale for a graph: one walk over its changes.
            double lo = 0, hi = 0;
            bool any = false;
            for (ChangeStore::Cursor c(s, var.signal); !c.atEnd(); c.next()) {
                const double x = c.real();
                if (!std::isfinite(x))
                    continue;
                lo = any ? qMin(lo, x) : x;
                hi = any ? qMax(hi, x) : x;
                any = true;
            }
            if (any)
                m_realRanges.insert(v, {lo, hi});
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
    for (const Group& g : gs)
        if (nextIn(g, from, last) >= 0)
            return true;
    return false;
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
    bool any = false;
    auto take = [&](double x) {
        if (!std::isfinite(x))
            return;
        *lo = any ? qMin(*lo, x) : x;
        *hi = any ? qMax(*hi, x) : x;
        any = true;
    };
    take(valueAt(signal, a).real);
    QVector<ChangeStore::Change> batch;
    m_steps.fetch_add(1, std::memory_order_relaxed);
    if (b > a && !m_store->changes(signal, a + 1, b, kSpanChanges, &batch))
        take(valueAt(signal, b).real); // more than a column shows: its ends and the first changes
    for (const ChangeStore::Change& c : batch)
        take(c.real);
    return any;
}
