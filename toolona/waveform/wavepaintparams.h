#pragma once

// The view's arithmetic in one place: a waveform cell, its pixels per
// sample and the visible window, with the mapping between samples and x.
// The painters, the ruler and the mouse handlers all go through it, so a
// window of zero samples, a zero-width cell or a window past the end of the
// data is handled here once: such a record is not valid and nothing is
// drawn or read.

#include <QColor>
#include <QRect>
#include <QtGlobal>

class WaveformModel;

namespace vemo::toolona {

struct WavePaintParams {
    QRect cell;
    double px = 0.0;   // pixels per sample
    int viewStart = 0; // first visible sample
    int viewEnd = -1;  // last visible sample, never past the data
    int viewCount = 0;
    int numTime = 0; // samples in the store

    QColor background;
    QColor wave;
    QColor trigger;
    QColor cursor;
    QColor marker;

    // The record of `model`'s window over `cell`, with the engine's colours.
    static WavePaintParams make(const WaveformModel* model, const QRect& cell);
    // The same for a bare window (tests and benchmarks).
    static WavePaintParams make(const QRect& cell, int viewStart, int viewCount, int numTime);

    bool isValid() const { return px > 0.0 && numTime > 0 && viewStart >= 0 && viewEnd >= viewStart; }
    bool isVisible(qint64 s) const { return s >= viewStart && s <= viewEnd; }

    // x of sample s, truncated to the pixel.
    int x(qint64 s) const { return cell.left() + int(double(s - viewStart) * px); }
    // x just after the last visible sample (the end of the last segment).
    int endX() const { return x(qint64(viewEnd) + 1); }
    // The visible sample under x, clamped to the window and the data.
    int sampleAt(int xPos) const;
    // The first sample from viewStart on whose x is at least `column`
    // (viewEnd + 1 when there is none).
    qint64 firstSampleFrom(int column) const;
    // The last visible sample drawn in pixel column `column`.
    qint64 lastSampleIn(int column) const { return qMin(firstSampleFrom(column + 1) - 1, qint64(viewEnd)); }
    // s clamped into the data.
    int clampToData(qint64 s) const { return int(qBound(qint64(0), s, qint64(qMax(0, numTime - 1)))); }
};

} // namespace vemo::toolona
