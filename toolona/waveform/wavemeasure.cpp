#include "waveform/wavemeasure.h"

#include "tracedata.h"
#include "waveformmodel.h"
#include "wavesource.h"

#include <cmath>
#include <limits>

namespace vemo::toolona {

double WaveMeasure::sampleSeconds() const {
    if (period <= 0)
        return 0.0;
    return period * (unit == QLatin1String("ps") ? 1e-12 : unit == QLatin1String("fs") ? 1e-15 : 1e-9);
}

double WaveMeasure::frequency() const {
    const double s = double(periodSpan) * sampleSeconds();
    return s > 0.0 && periods > 0 ? double(periods) / s : 0.0;
}

double WaveMeasure::periodDuty() const {
    if (!oneBit || periods < 1 || periodSpan <= 0)
        return -1.0;
    return double(periodHigh) / double(periodSpan);
}

double WaveMeasure::duty() const {
    if (!oneBit)
        return -1.0;
    return samples > 0 ? double(highSamples) / double(samples) : 0.0;
}

QString WaveMeasure::si(double value, const QString& unit) {
    static const struct {
        double scale;
        const char* prefix;
    } prefixes[] = {{1e9, "G"}, {1e6, "M"}, {1e3, "k"}, {1.0, ""}, {1e-3, "m"}, {1e-6, "u"}, {1e-9, "n"}, {1e-12, "p"}};
    if (value == 0.0 || !std::isfinite(value))
        return QStringLiteral("0 %1").arg(unit);
    for (const auto& p : prefixes)
        if (std::fabs(value) >= p.scale * 0.9995)
            return QStringLiteral("%1 %2%3").arg(QString::number(value / p.scale, 'g', 4), QLatin1String(p.prefix),
                                                 unit);
    return QStringLiteral("%1 p%2").arg(QString::number(value / 1e-12, 'g', 4), unit);
}

QString WaveMeasure::text(const QString& signal) const {
    QStringList parts;
    QString span = QStringLiteral("%1 .. %2: %3 %4")
                       .arg(from)
                       .arg(to)
                       .arg(samples)
                       .arg(ticks ? QStringLiteral("ticks") : QStringLiteral("samples"));
    if (sampleSeconds() > 0.0 && samples > 0)
        span += QStringLiteral(" = %1 (1/t %2)")
                    .arg(si(seconds(), QStringLiteral("s")), si(1.0 / seconds(), QStringLiteral("Hz")));
    parts << span;
    if (!signal.isEmpty()) {
        parts << (edges == 1 && !cut ? QStringLiteral("%1: 1 edge").arg(signal)
                                     : QStringLiteral("%1: %2 edges").arg(signal, edgesText()));
        // Frequency and duty only over whole periods: a part of one says
        // nothing about either.
        if (oneBit && periods < 1) {
            parts << QStringLiteral("less than one whole period");
        } else if (oneBit) {
            if (frequency() > 0.0)
                parts << si(frequency(), QStringLiteral("Hz"));
            else
                parts << QStringLiteral("period %1 samples")
                             .arg(QString::number(double(periodSpan) / double(periods), 'g', 6));
            parts << QStringLiteral("duty %1 %").arg(QString::number(periodDuty() * 100.0, 'f', 1));
        }
    }
    return parts.join(QStringLiteral(", "));
}

WaveMeasure WaveMeasure::measure(const TraceData& trace, const QVector<int>& channels, qint64 a, qint64 b, int period,
                                 const QString& unit) {
    WaveMeasure m;
    const qint64 last = trace.numSamples() - 1;
    m.from = qBound<qint64>(0, qMin(a, b), qMax<qint64>(0, last));
    m.to = qBound<qint64>(0, qMax(a, b), qMax<qint64>(0, last));
    m.samples = m.to - m.from;
    m.period = period;
    m.unit = unit;
    m.oneBit = channels.size() == 1;
    if (channels.isEmpty() || trace.numSamples() == 0)
        return m;
    const quint64* w = m.oneBit ? trace.channelWords(channels.first()) : nullptr;
    const auto bitAt = [w](qint64 s) { return (w[s >> 6] >> (s & 63)) & 1u; };
    // Ones in [a, b), a word at a time.
    const auto ones = [w](qint64 a, qint64 b) {
        qint64 n = 0;
        if (b <= a)
            return n;
        const qint64 first = a >> 6, lastWord = (b - 1) >> 6;
        for (qint64 i = first; i <= lastWord; ++i) {
            quint64 x = w[i];
            if (i == first)
                x &= ~quint64(0) << (a & 63);
            if (i == lastWord && ((b - 1) & 63) < 63)
                x &= (quint64(2) << ((b - 1) & 63)) - 1;
            n += __builtin_popcountll(x);
        }
        return n;
    };
    // Changes at samples in (from, to]: the channels' change masks, a word
    // at a time, so a clock over a million samples costs its words.
    const qint64 n = trace.numSamples();
    for (qint64 word = (m.from + 1) >> 6; m.to > m.from && word <= (m.to >> 6); ++word) {
        quint64 c = 0;
        for (int ch : channels)
            c |= TraceData::changeMask(trace.channelWords(ch), word, n);
        if (word == ((m.from + 1) >> 6))
            c &= ~quint64(0) << ((m.from + 1) & 63);
        if (word == (m.to >> 6) && (m.to & 63) < 63)
            c &= (quint64(2) << (m.to & 63)) - 1;
        m.edges += __builtin_popcountll(c);
    }
    // A one-bit signal's edges alternate: the first and last of each kind
    // and how many of each follow from the first and last edge.
    qint64 firstOf[2] = {-1, -1}, lastOf[2] = {-1, -1}, countOf[2] = {0, 0};
    if (w && m.edges > 0) {
        const qint64 first = trace.nextChange(channels.first(), m.from);
        const qint64 last = trace.prevChange(channels.first(), m.to);
        const int k = int(bitAt(first)), l = int(bitAt(last));
        countOf[k] = (m.edges + 1) / 2;
        countOf[1 - k] = m.edges / 2;
        firstOf[k] = first;
        lastOf[l] = last;
        if (m.edges > 1) {
            firstOf[1 - k] = trace.nextChange(channels.first(), first);
            lastOf[1 - l] = trace.prevChange(channels.first(), last - 1);
        }
    }
    if (!w)
        return m;
    m.highSamples = ones(m.from, m.to);
    // The kind of edge with more of its like inside the span bounds the
    // whole periods.
    const int kind = countOf[1] > countOf[0] ? 1 : 0;
    if (countOf[kind] >= 2) {
        m.periods = countOf[kind] - 1;
        m.periodSpan = lastOf[kind] - firstOf[kind];
        m.periodHigh = ones(firstOf[kind], lastOf[kind]);
    }
    return m;
}

QString WaveMeasure::edgesText() const { return cut ? QStringLiteral("%1+").arg(edges) : QString::number(edges); }

QString WaveMeasure::tickTime(qint64 ticks, qint64 tickFs) {
    static const struct {
        qint64 fs;
        int digits;
        const char* unit;
    } units[] = {{1000000000000000, 15, "s"}, {1000000000000, 12, "ms"}, {1000000000, 9, "us"},
                 {1000000, 6, "ns"},          {1000, 3, "ps"},           {1, 0, "fs"}};
    const __int128 fs = __int128(ticks) * qMax<qint64>(tickFs, 1);
    const unsigned __int128 mag = fs < 0 ? (unsigned __int128)(-fs) : (unsigned __int128)fs;
    // Zero reads in the tick's own unit.
    const unsigned __int128 fits = mag != 0 ? mag : (unsigned __int128)qMax<qint64>(tickFs, 1);
    int u = 0;
    while (u < 5 && fits < (unsigned __int128)units[u].fs)
        ++u;
    const unsigned __int128 whole = mag / (unsigned __int128)units[u].fs;
    quint64 frac = quint64(mag % (unsigned __int128)units[u].fs);
    // Past 2^64 whole units (a tick of seconds times ~2^63) the whole part
    // is written from its two halves.
    QString text = whole >> 64 ? QString::number(double(whole), 'g', 18) : QString::number(quint64(whole));
    if (frac != 0) {
        QString f = QString::number(frac).rightJustified(units[u].digits, QLatin1Char('0'));
        while (f.endsWith(QLatin1Char('0')))
            f.chop(1);
        text += QLatin1Char('.') + f;
    }
    return QStringLiteral("%1%2 %3").arg(fs < 0 ? QStringLiteral("-") : QString(), text, QLatin1String(units[u].unit));
}

WaveMeasure WaveMeasure::measure(const WaveformModel& model, const QVector<int>& channels, qint64 a, qint64 b) {
    const auto source = model.source();
    if (!source)
        return WaveMeasure();
    if (model.getClockPeriod() > 0 || model.traceData() || model.tickFemtoseconds() <= 0 ||
        model.tickFemtoseconds() > std::numeric_limits<int>::max())
        return measure(*source, channels, a, b, model.getClockPeriod(), model.getClockUnit());
    return measure(*source, channels, a, b, int(model.tickFemtoseconds()), QStringLiteral("fs"));
}

WaveMeasure WaveMeasure::measure(const WaveSource& source, const QVector<int>& channels, qint64 a, qint64 b, int period,
                                 const QString& unit) {
    if (const auto* trace = dynamic_cast<const TraceData*>(&source))
        return measure(*trace, channels, a, b, period, unit);
    WaveMeasure m;
    const qint64 first = source.firstPosition(), last = qMax(first, source.lastPosition());
    m.from = qBound(first, qMin(a, b), last);
    m.to = qBound(first, qMax(a, b), last);
    m.samples = m.to - m.from;
    m.period = period;
    m.unit = unit;
    m.ticks = true;
    m.oneBit = channels.size() == 1;
    if (channels.isEmpty() || source.lastPosition() < first)
        return m;
    // One change at a time: a dump holds changes, not samples. For a
    // one-bit signal the high time runs along, so a period's high share is
    // the difference of the running sums at its two ends.
    const int ch = channels.first();
    int level = m.oneBit ? source.codeAt(ch, m.from) : WaveSource::Zero;
    qint64 at = m.from, high = 0;
    qint64 firstOf[2] = {-1, -1}, lastOf[2] = {-1, -1}, countOf[2] = {0, 0}, highFirst[2] = {0, 0},
           highLast[2] = {0, 0};
    for (qint64 e = source.changeAfter(channels, m.from); e >= 0 && e <= m.to; e = source.changeAfter(channels, e)) {
        if (m.edges >= kMaxEdges) {
            m.cut = true;
            break;
        }
        ++m.edges;
        if (!m.oneBit)
            continue;
        if (level == WaveSource::One)
            high += e - at;
        at = e;
        level = source.codeAt(ch, e);
        if (level != WaveSource::Zero && level != WaveSource::One)
            continue; // to x or z: an edge of neither kind
        if (firstOf[level] < 0) {
            firstOf[level] = e;
            highFirst[level] = high;
        }
        lastOf[level] = e;
        highLast[level] = high;
        ++countOf[level];
    }
    if (!m.oneBit)
        return m;
    if (!m.cut && level == WaveSource::One)
        high += m.to - at;
    m.highSamples = high;
    const int kind = countOf[1] > countOf[0] ? 1 : 0;
    if (countOf[kind] >= 2) {
        m.periods = countOf[kind] - 1;
        m.periodSpan = lastOf[kind] - firstOf[kind];
        m.periodHigh = highLast[kind] - highFirst[kind];
    }
    return m;
}

} // namespace vemo::toolona
