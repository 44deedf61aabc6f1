#pragma once

// The simulated lane's receive eye. A bit is sampled at a phase offset x
// (unit intervals from the eye centre) and a threshold offset v (volts from
// the decision level). Timing follows the dual-Dirac model: the edges sit at
// +-(1 - DJ)/2 UI around the centre with Gaussian random jitter of sigma RJ.
// Voltage: the two data levels at +-A with Gaussian noise of sigma N. The
// bit error ratio of a sample point is the chance that either goes wrong.

#include "onaglobal.h"

#include <QHash>
#include <QString>

struct ONA_EXPORT EyeLane {
    double rj = 0.02;       // random jitter sigma, UI
    double dj = 0.2;        // deterministic jitter, UI peak to peak
    double amplitude = 0.6; // data level after the channel, V
    double noise = 0.03;    // voltage noise sigma, V

    // Bit error ratio at phase offset x (UI) and threshold offset v (V).
    double ber(double x, double v) const;
    double timingBer(double x) const;
    double voltageBer(double v) const;
    // The phase offsets |x| <= the returned half width, and the threshold
    // offsets |v| <= the half height, have a BER below `target`.
    double halfWidth(double target) const;
    double halfHeight(double target) const;
};

// The lane of a hard IP block from its device settings (key -> value, as
// "ona_get hardip" names them); `name` and `lane` spread the lanes of a
// device a little, as real lanes differ. Unknown settings keep the defaults.
ONA_EXPORT EyeLane eyeLaneFor(const QString& name, int lane, const QHash<QString, QString>& settings);

// Upper tail of the standard normal distribution and its inverse.
ONA_EXPORT double gaussTail(double z);
ONA_EXPORT double gaussTailInverse(double p);

// The scan grid of a quality: phase steps per UI, voltage steps across
// +-fullScale, the stride between sample points, and bits per point.
struct ONA_EXPORT EyeGrid {
    int phaseSteps = 32;   // steps per UI: x runs from -phaseSteps/2 to +phaseSteps/2
    int voltSteps = 32;    // y runs from -voltSteps to +voltSteps
    double fullScale = 1.0; // volts at y = +-voltSteps
    int stride = 1;
    qint64 bits = 1000000; // bits compared per point
    static bool forQuality(const QString& quality, EyeGrid* grid);
    double phase(int x) const { return double(x) / phaseSteps; }
    double volts(int y) const { return fullScale * y / voltSteps; }
};
