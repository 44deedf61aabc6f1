#include "simcompare.h"

#include "changestore.h"
#include "tracedata.h"

#include <QHash>
#include <QRegularExpression>
#include <QSet>
#include <algorithm>
#include <limits>

namespace SimCompare {

namespace {

constexpr qint64 kNone = std::numeric_limits<qint64>::max();
// Spans held over all signals: -limit times the pairs.
constexpr qint64 kMaxSpans = 1000000;

// "name[3]" split into its name and index.
bool splitBit(const QString& name, QString* base, qint64* index) {
    static const QRegularExpression re(QStringLiteral("^(.+)\\[(-?[0-9]{1,9})\\]$"));
    const auto m = re.match(name);
    if (!m.hasMatch())
        return false;
    *base = m.captured(1);
    *index = m.captured(2).toLongLong();
    return true;
}

QString lastComponent(const QString& name) { return name.mid(name.lastIndexOf(QLatin1Char('.')) + 1); }

// A simulation variable, or one bit of it.
struct SimRef {
    int signal = -1;
    int bit = -1; // the position in the value's text (most significant first); -1: all of it
    int width = 0;
    QString name; // the variable's full name, with the bit when one
};

class SimNames {
public:
    explicit SimNames(const ChangeStore& s) : m_s(s) {
        for (int v = 0; v < s.numVars(); ++v)
            m_byLast[lastComponent(s.var(v).name)].append(v);
    }

    // The variable `name` stands for; false with the reason.
    bool resolve(const QString& name, SimRef* ref, QString* error) const {
        int v = -1;
        if (!findVar(name, &v, error))
            return false;
        if (v >= 0)
            return refOf(v, 0, false, ref, error);
        QString base;
        qint64 index = 0;
        if (splitBit(name, &base, &index)) {
            if (!findVar(base, &v, error))
                return false;
            if (v >= 0)
                return refOf(v, index, true, ref, error);
        }
        *error = QStringLiteral("the simulation has no variable \"%1\"").arg(name);
        return false;
    }

private:
    // v = -1 when no variable has the name; false when several signals do.
    bool findVar(const QString& name, int* v, QString* error) const {
        *v = m_s.varNamed(name);
        if (*v >= 0)
            return true;
        const QVector<int> same = m_byLast.value(name);
        for (int o : same)
            if (m_s.var(o).signal != m_s.var(same.first()).signal) {
                *error = QStringLiteral("\"%1\" names several variables (%2, %3): give its full name")
                             .arg(name, m_s.var(same.first()).name, m_s.var(o).name);
                return false;
            }
        *v = same.isEmpty() ? -1 : same.first();
        return true;
    }

    // The whole variable v, or its bit `index` when `bitOf`.
    bool refOf(int v, qint64 index, bool bitOf, SimRef* ref, QString* error) const {
        const ChangeStore::Var& var = m_s.var(v);
        if (m_s.kind(var.signal) == ChangeStore::Real) {
            *error = QStringLiteral("\"%1\" is a real variable: only bits compare with a capture").arg(var.name);
            return false;
        }
        ref->signal = var.signal;
        ref->name = var.name;
        ref->width = m_s.width(var.signal);
        ref->bit = -1;
        if (!bitOf)
            return true;
        // The declared range [msb:lsb] gives the bit its place; none: [width-1:0].
        static const QRegularExpression range(QStringLiteral("^\\[(-?[0-9]{1,9}):(-?[0-9]{1,9})\\]$"));
        const auto m = range.match(var.range);
        const qint64 msb = m.hasMatch() ? m.captured(1).toLongLong() : ref->width - 1;
        const qint64 lsb = m.hasMatch() ? m.captured(2).toLongLong() : 0;
        if (index < qMin(msb, lsb) || index > qMax(msb, lsb) || qAbs(msb - lsb) + 1 != ref->width) {
            *error = QStringLiteral("\"%1\" has no bit %2 (it is %3)")
                         .arg(var.name)
                         .arg(index)
                         .arg(m.hasMatch() ? var.name + var.range : QStringLiteral("%1 bits wide").arg(ref->width));
            return false;
        }
        ref->bit = int(qAbs(index - msb));
        ref->width = 1;
        ref->name = QStringLiteral("%1[%2]").arg(var.name).arg(index);
        return true;
    }

    const ChangeStore& m_s;
    QHash<QString, QVector<int>> m_byLast;
};

// Simulation samples: each rising edge of a clock, or every `period` ticks.
class Sampler {
public:
    bool setClock(const ChangeStore& s, const SimRef& clock, QString* error) {
        if (clock.width != 1) {
            *error = QStringLiteral("the clock \"%1\" is %2 bits wide: name one bit").arg(clock.name).arg(clock.width);
            return false;
        }
        const size_t code = size_t(s.width(clock.signal) - 1 - qMax(0, clock.bit));
        int before = 2; // x before the first change
        for (ChangeStore::Cursor c(s, clock.signal); !c.atEnd(); c.next()) {
            const int now = c.codes()[code] & 3;
            // A change to 1 from anything else; two at one time are one edge.
            if (now == 1 && before != 1 && (m_edges.empty() || m_edges.back() != c.time())) {
                if (qint64(m_edges.size()) >= kMaxEdges) {
                    *error = QStringLiteral("the clock \"%1\" rises more than %2 times: compare with -period")
                                 .arg(clock.name)
                                 .arg(kMaxEdges);
                    return false;
                }
                m_edges.push_back(c.time());
            }
            before = now;
        }
        if (m_edges.empty()) {
            *error = QStringLiteral("the clock \"%1\" never rises").arg(clock.name);
            return false;
        }
        return true;
    }
    void setPeriod(qint64 period, qint64 endTime) {
        m_period = period;
        m_count = qMax<qint64>(endTime, 0) / period + 1;
    }
    qint64 count() const { return m_period ? m_count : qint64(m_edges.size()); }
    // The time whose value sample j takes.
    qint64 timeSeen(qint64 j) const { return m_period ? j * m_period : m_edges[size_t(j)] - 1; }
    // The time sample j names (the edge, or the tick).
    qint64 timeOf(qint64 j) const { return m_period ? j * m_period : m_edges[size_t(j)]; }
    // The first sample that sees a change at t.
    qint64 sampleSeeing(qint64 t) const {
        if (m_period)
            return t / m_period + (t % m_period ? 1 : 0);
        return qint64(std::upper_bound(m_edges.begin(), m_edges.end(), t) - m_edges.begin());
    }

private:
    qint64 m_period = 0, m_count = 0;
    std::vector<qint64> m_edges;
};

struct Pair {
    QString capName;
    QVector<int> channels;
    SimRef sim;
};

QString simValue(const ChangeStore& s, const Sampler& at, const SimRef& ref, qint64 j) {
    const QByteArray bits = s.valueAt(ref.signal, at.timeSeen(j)).bits;
    return QString::fromLatin1(ref.bit < 0 ? bits : bits.mid(ref.bit, 1));
}

// The first simulation sample after j at which the variable may read
// otherwise; kNone when it never changes again.
qint64 nextSimSample(const ChangeStore& s, const Sampler& at, const SimRef& ref, qint64 j) {
    const qint64 t = s.nextChange(ref.signal, at.timeSeen(j));
    if (t < 0)
        return kNone;
    const qint64 next = at.sampleSeeing(t);
    return next < at.count() ? next : kNone;
}

bool resolvePairs(const ChangeStore& sim, const TraceData& trace, const QVector<Mapping>& map, QVector<Pair>* out,
                  QStringList* unpaired, QString* error) {
    const QVector<CaptureSignal> caps = captureSignals(trace);
    const SimNames names(sim);
    if (!map.isEmpty()) {
        QHash<QString, int> byName; // the first signal of each name: a bus before a channel
        for (int i = int(caps.size()) - 1; i >= 0; --i)
            byName.insert(caps.at(i).name, i);
        QSet<QString> seen;
        for (const Mapping& m : map) {
            const auto at = byName.constFind(m.capName);
            const CaptureSignal* cap = at == byName.constEnd() ? nullptr : &caps.at(*at);
            if (!cap) {
                *error = QStringLiteral("the capture has no signal \"%1\"").arg(m.capName);
                return false;
            }
            if (seen.contains(m.capName)) {
                *error = QStringLiteral("the capture's \"%1\" is mapped twice").arg(m.capName);
                return false;
            }
            seen.insert(m.capName);
            Pair p{cap->name, cap->channels, {}};
            if (!names.resolve(m.simName, &p.sim, error))
                return false;
            if (p.sim.width != cap->channels.size()) {
                *error = QStringLiteral("\"%1\" is %2 bits wide, the capture's \"%3\" %4")
                             .arg(p.sim.name)
                             .arg(p.sim.width)
                             .arg(cap->name)
                             .arg(cap->channels.size());
                return false;
            }
            out->append(p);
        }
        return true;
    }
    // By name: a bus whole where a variable of its width has its name, else
    // bit by bit; what stays unpaired is named, a bus whole when none of it paired.
    QSet<int> covered;
    for (const CaptureSignal& cap : caps) {
        bool free = true;
        for (int c : cap.channels)
            free = free && !covered.contains(c);
        if (!free)
            continue;
        Pair p{cap.name, cap.channels, {}};
        QString why;
        if (names.resolve(cap.name, &p.sim, &why) && p.sim.width == cap.channels.size()) {
            out->append(p);
            for (int c : cap.channels)
                covered.insert(c);
        }
    }
    for (const CaptureSignal& cap : caps) {
        bool none = true;
        for (int c : cap.channels)
            none = none && !covered.contains(c);
        if (none) {
            unpaired->append(cap.name);
            for (int c : cap.channels)
                covered.insert(c); // a bus named once, not again bit by bit
        }
    }
    if (out->isEmpty()) {
        *error = QStringLiteral("no capture signal has a variable of its name and width in the simulation: give -map");
        return false;
    }
    return true;
}

} // namespace

QVector<CaptureSignal> captureSignals(const TraceData& trace) {
    QVector<CaptureSignal> buses, bits;
    QHash<QString, int> busIndex;
    QHash<int, qint64> bitIndex;
    for (int c = 0; c < trace.numChannels(); ++c) {
        const QString& name = trace.channelNames().at(c);
        bits.append({name, {c}});
        QString base;
        qint64 index = 0;
        if (!splitBit(name, &base, &index))
            continue;
        bitIndex.insert(c, index);
        auto it = busIndex.constFind(base);
        if (it == busIndex.constEnd()) {
            it = busIndex.insert(base, buses.size());
            buses.append({base, {}});
        }
        buses[*it].channels.append(c);
    }
    for (CaptureSignal& b : buses)
        std::stable_sort(b.channels.begin(), b.channels.end(),
                         [&](int x, int y) { return bitIndex.value(x) > bitIndex.value(y); });
    return buses + bits;
}

bool pairs(const ChangeStore& sim, const TraceData& trace, const QVector<Mapping>& map, QVector<Mapping>* out,
           QStringList* unpaired, QString* error) {
    QVector<Pair> found;
    QStringList left;
    if (!resolvePairs(sim, trace, map, &found, &left, error))
        return false;
    out->clear();
    for (const Pair& p : found)
        out->append({p.sim.name, p.capName});
    *unpaired = left;
    return true;
}

bool compare(const ChangeStore& sim, const TraceData& trace, const Options& o, Result* result, QString* error) {
    if (o.limit < 1 || o.limit > kMaxLimit) {
        *error = QStringLiteral("-limit takes 1 to %1 spans a signal, not %2").arg(kMaxLimit).arg(o.limit);
        return false;
    }
    if (o.clock.isEmpty() == (o.period <= 0)) {
        *error = o.clock.isEmpty() ? QStringLiteral("give -clock or -period (ticks, 1 or more)")
                                   : QStringLiteral("give one of -clock or -period");
        return false;
    }
    if (o.haveOffset && qAbs(o.offset) > kMaxOffset) {
        *error = QStringLiteral("-offset %1 is beyond any waveform (at most %2 either way)").arg(o.offset).arg(kMaxOffset);
        return false;
    }
    if (trace.numSamples() < 1) {
        *error = QStringLiteral("the capture holds no samples");
        return false;
    }
    QVector<Pair> ps;
    Result r;
    if (!resolvePairs(sim, trace, o.map, &ps, &r.unpaired, error))
        return false;
    if (qint64(ps.size()) * o.limit > kMaxSpans) {
        *error = QStringLiteral("-limit %1 for %2 signals lists up to %3 spans; at most %4")
                     .arg(o.limit)
                     .arg(ps.size())
                     .arg(qint64(ps.size()) * o.limit)
                     .arg(kMaxSpans);
        return false;
    }
    Sampler at;
    if (!o.clock.isEmpty()) {
        SimRef clock;
        if (!SimNames(sim).resolve(o.clock, &clock, error) || !at.setClock(sim, clock, error))
            return false;
    } else {
        at.setPeriod(o.period, sim.endTime);
    }
    // Later frames are not contiguous in time with the first: the first is compared.
    r.first = 0;
    r.last = trace.frameStarts.size() > 1 ? qBound<qint64>(0, trace.frameStarts.at(1) - 1, trace.numSamples() - 1)
                                          : trace.numSamples() - 1;
    if (o.haveOffset) {
        r.offset = o.offset;
    } else {
        const qint64 trig = trace.triggerPositions.isEmpty() ? -1 : trace.triggerPositions.first();
        if (trig < r.first || trig > r.last) {
            *error = QStringLiteral("the capture has no trigger position to align: give -offset");
            return false;
        }
        QStringList want;
        for (const Pair& p : ps)
            want << trace.bits(p.channels, trig);
        // The first sample where every pair reads the capture's trigger
        // values; a sample that misses moves on to the next change of the
        // variable that missed, so the search costs changes.
        qint64 j = 0;
        for (int k = 0; k < ps.size() && j != kNone;) {
            if (simValue(sim, at, ps[k].sim, j) == want[k]) {
                ++k;
                continue;
            }
            j = nextSimSample(sim, at, ps[k].sim, j);
            k = 0;
        }
        if (j == kNone) {
            QStringList reads;
            for (int k = 0; k < ps.size(); ++k)
                reads << QStringLiteral("%1=%2").arg(ps[k].capName, want[k]);
            *error = QStringLiteral("no simulation sample reads what the capture reads at its trigger sample %1 (%2): "
                                    "give -offset")
                         .arg(trig)
                         .arg(reads.join(QLatin1Char(' ')));
            return false;
        }
        r.aligned = true;
        r.triggerSample = trig;
        r.simSample = j;
        r.simTime = at.timeOf(j);
        r.offset = j - trig;
    }
    r.first = qMax(r.first, -r.offset);
    r.last = qMin(r.last, at.count() - 1 - r.offset);
    if (r.first > r.last) {
        *error = QStringLiteral("with offset %1 no capture sample meets one of the simulation's %2 samples")
                     .arg(r.offset)
                     .arg(at.count());
        return false;
    }
    for (const Pair& p : ps) {
        PairResult pr;
        pr.capName = p.capName;
        pr.simName = p.sim.name;
        qint64 lastEnd = -2;
        QString lastCap, lastSim;
        // From change to change of either side; each stretch reads one
        // value on both.
        for (qint64 i = r.first; i <= r.last;) {
            const QString cap = trace.bits(p.channels, i);
            const QString simv = simValue(sim, at, p.sim, i + r.offset);
            const qint64 nc = trace.nextChange(p.channels, i);
            const qint64 ns = nextSimSample(sim, at, p.sim, i + r.offset);
            const qint64 end = qMin(qMin(nc < 0 ? kNone : nc, ns == kNone ? kNone : ns - r.offset), r.last + 1) - 1;
            if (cap != simv) {
                if (lastEnd == i - 1 && cap == lastCap && simv == lastSim) {
                    if (!pr.spans.isEmpty() && pr.spans.last().end == lastEnd)
                        pr.spans.last().end = end;
                } else {
                    ++pr.count;
                    if (pr.spans.size() < o.limit)
                        pr.spans.append({i, end, cap, simv});
                }
                lastEnd = end;
                lastCap = cap;
                lastSim = simv;
            }
            i = end + 1;
        }
        r.pairs.append(pr);
    }
    *result = r;
    return true;
}

} // namespace SimCompare
