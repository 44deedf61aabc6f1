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
    qint64 viewStart = 0; // first visible sample
    qint64 viewEnd = -1;  // last visible sample, never past the data
    qint64 viewCount = 0;
    qint64 numTime = 0; // samples in the store

    QColor background;
    QColor wave;
    QColor trigger;
    QColor cursor;
    QColor marker;
    // A dump's unknown (x) band and floating (z) line, for the background.
    QColor unknown;
    QColor highZ;

    // The record of `model`'s window over `cell`, with the engine's colours.
    static WavePaintParams make(const WaveformModel* model, const QRect& cell);
    // The same for a bare window (tests and benchmarks).
    static WavePaintParams make(const QRect& cell, qint64 viewStart, qint64 viewCount, qint64 numTime);

    bool isValid() const { return px > 0.0 && numTime > 0 && viewStart >= 0 && viewEnd >= viewStart; }
    bool isVisible(qint64 s) const { return s >= viewStart && s <= viewEnd; }

    // x of sample s, truncated to the pixel.
    int x(qint64 s) const { return cell.left() + int(double(s - viewStart) * px); }
    // x just after the last visible sample (the end of the last segment).
    int endX() const { return x(viewEnd + 1); }
    // The visible sample under x, clamped to the window and the data.
    qint64 sampleAt(int xPos) const;
    // The first sample from viewStart on whose x is at least `column`
    // (viewEnd + 1 when there is none).
    qint64 firstSampleFrom(int column) const;
    // The last visible sample drawn in pixel column `column`.
    qint64 lastSampleIn(int column) const { return qMin(firstSampleFrom(column + 1) - 1, viewEnd); }
    // s clamped into the data.
    qint64 clampToData(qint64 s) const { return qBound(qint64(0), s, qMax(qint64(0), numTime - 1)); }
};

} // namespace vemo::toolona
