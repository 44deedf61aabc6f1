#include "waveform/wavemeasure.h"

#include "tracedata.h"

#include <cmath>

namespace vemo::toolona {

double WaveMeasure::sampleSeconds() const {
    if (period <= 0)
        return 0.0;
    return period * (unit == QLatin1String("ps") ? 1e-12 : 1e-9);
}

double WaveMeasure::frequency() const {
    const double s = seconds();
    return s > 0.0 && edges > 0 ? (edges / 2.0) / s : 0.0;
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
    QString span = QStringLiteral("%1 .. %2: %3 samples").arg(from).arg(to).arg(samples);
    if (sampleSeconds() > 0.0 && samples > 0)
        span += QStringLiteral(" = %1 (1/t %2)")
                    .arg(si(seconds(), QStringLiteral("s")), si(1.0 / seconds(), QStringLiteral("Hz")));
    parts << span;
    if (!signal.isEmpty()) {
        parts << (edges == 1 ? QStringLiteral("%1: 1 edge").arg(signal)
                             : QStringLiteral("%1: %2 edges").arg(signal).arg(edges));
        // One edge is half a period at most: no frequency to speak of.
        if (oneBit && edges >= 2 && frequency() > 0.0)
            parts << QStringLiteral("%1").arg(si(frequency(), QStringLiteral("Hz")));
        if (oneBit && samples > 0)
            parts << QStringLiteral("duty %1 %").arg(QString::number(duty() * 100.0, 'f', 1));
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
    for (qint64 s = trace.nextChange(channels, m.from); s >= 0 && s <= m.to; s = trace.nextChange(channels, s))
        ++m.edges;
    if (m.oneBit && m.samples > 0) {
        // Ones in [from, to), a word at a time.
        const quint64* w = trace.channelWords(channels.first());
        const qint64 first = m.from >> 6, lastWord = (m.to - 1) >> 6;
        for (qint64 i = first; i <= lastWord; ++i) {
            quint64 x = w[i];
            if (i == first)
                x &= ~quint64(0) << (m.from & 63);
            if (i == lastWord && ((m.to - 1) & 63) < 63)
                x &= (quint64(2) << ((m.to - 1) & 63)) - 1;
            m.highSamples += __builtin_popcountll(x);
        }
    }
    return m;
}

} // namespace vemo::toolona
