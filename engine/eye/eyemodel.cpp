#include "eyemodel.h"

#include <QtGlobal>
#include <cmath>

double gaussTail(double z) { return 0.5 * std::erfc(z / std::sqrt(2.0)); }

double gaussTailInverse(double p) {
    if (p <= 0.0)
        return 40.0;
    if (p >= 1.0)
        return -40.0;
    double lo = -40.0, hi = 40.0;
    for (int i = 0; i < 200; ++i) {
        const double mid = 0.5 * (lo + hi);
        if (gaussTail(mid) > p)
            lo = mid;
        else
            hi = mid;
    }
    return 0.5 * (lo + hi);
}

double EyeLane::timingBer(double x) const {
    // Each edge's jitter is two Diracs at +-DJ/2 convolved with the Gaussian;
    // a transition happens on half of the bits.
    const double edge = 0.5;
    double p = 0.0;
    for (double side : {-1.0, 1.0}) {
        const double distance = edge - side * x; // to the edge on that side
        p += 0.25 * (gaussTail((distance - dj / 2) / rj) + gaussTail((distance + dj / 2) / rj));
    }
    return qMin(p, 0.5);
}

double EyeLane::voltageBer(double v) const {
    if (amplitude <= 0.0)
        return 0.5;
    const double p = 0.5 * (gaussTail((amplitude - v) / noise) + gaussTail((amplitude + v) / noise));
    return qMin(p, 0.5);
}

double EyeLane::ber(double x, double v) const {
    const double t = timingBer(x), u = voltageBer(v);
    return qMin(0.5, t + u - 2 * t * u);
}

double EyeLane::halfWidth(double target) const {
    // The outer Dirac of the nearer edge dominates: BER ~ Q((0.5 - DJ/2 - |x|)/RJ)/4.
    return qMax(0.0, 0.5 - dj / 2 - rj * gaussTailInverse(4 * target));
}

double EyeLane::halfHeight(double target) const {
    return qMax(0.0, amplitude - noise * gaussTailInverse(2 * target));
}

namespace {

double leadingNumber(const QString& s, double fallback) {
    QString digits;
    for (QChar c : s) {
        if (!c.isDigit() && c != QLatin1Char('.'))
            break;
        digits += c;
    }
    bool ok = false;
    const double v = digits.toDouble(&ok);
    return ok ? v : fallback;
}

} // namespace

EyeLane eyeLaneFor(const QString& name, int lane, const QHash<QString, QString>& settings) {
    EyeLane e;
    // Lanes differ by a few percent, the same every run.
    const uint h = qHash(name) ^ (uint(lane) * 2654435761u);
    const double spread = 1.0 + (double(h % 101) - 50.0) / 1000.0; // 0.95 .. 1.05
    // Transmit de-emphasis cancels the channel's inter-symbol interference
    // best near a post-cursor ratio of 12; a pre-cursor only adds to it here.
    const auto number = [&](const char* key, double fallback) {
        return leadingNumber(settings.value(QLatin1String(key)), fallback);
    };
    const double post = number("tx_postcursor_ratio", 0);
    const double pre = number("tx_precursor_ratio", 0);
    double residual = 0.25 + 0.75 * qMin(1.0, std::abs(post - 12.0) / 24.0) + 0.5 * qMin(1.0, pre / 32.0);
    // Receive equalisation: the adaptive ones at the link's rate do best.
    static const QHash<QString, double> rxFactor{
        {QStringLiteral("RL2plus 8GT/s"), 0.6}, {QStringLiteral("RL2plus 5GT/s"), 0.75},
        {QStringLiteral("RL2plus 2.5GT/s"), 0.9}, {QStringLiteral("SS_LMS 8GT/s"), 0.4},
        {QStringLiteral("SS_LMS 5GT/s"), 0.55}, {QStringLiteral("SS_LMS 2.5GT/s"), 0.7}};
    residual *= rxFactor.value(settings.value(QStringLiteral("rx_equalization")), 0.6);
    const double isi = qBound(0.0, 0.5 * residual, 0.9);
    e.dj = qMin(0.95, (0.05 + isi) * spread);
    e.rj = 0.02 * spread;
    const double swing = number("tx_differential_amplitude", 1000) / 1000.0;
    const bool matched = settings.value(QStringLiteral("tx_output_termination"), QStringLiteral("100 ohm"))
                         == settings.value(QStringLiteral("rx_input_termination"), QStringLiteral("100 ohm"));
    e.amplitude = 0.8 * swing * (1.0 - isi) * (matched ? 1.0 : 0.8) / spread;
    e.noise = 0.03 * spread;
    return e;
}

bool EyeGrid::forQuality(const QString& quality, EyeGrid* grid) {
    EyeGrid g;
    if (quality == QLatin1String("low")) {
        g.phaseSteps = 32;
        g.voltSteps = 32;
        g.stride = 2;
        g.bits = 100000;
    } else if (quality == QLatin1String("normal")) {
        g.phaseSteps = 32;
        g.voltSteps = 32;
        g.stride = 1;
        g.bits = 1000000;
    } else if (quality == QLatin1String("high")) {
        g.phaseSteps = 64;
        g.voltSteps = 64;
        g.stride = 1;
        g.bits = 10000000;
    } else {
        return false;
    }
    *grid = g;
    return true;
}
