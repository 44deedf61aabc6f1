#pragma once

// Drawing of one waveform cell's trace. The cost follows the pixel columns
// and the value changes in view, not the samples: the store is walked with
// nextChange, a column holding several changes is drawn once before the
// walk jumps to the first sample of the next column, and the busy columns
// after it join its run by the change summary alone (TraceData::hasChange
// for a capture, WaveSource::changeWithin for any other source).

#include "waveform/wavepaintparams.h"

#include <QString>
#include <QVector>
#include <functional>

class QFontMetrics;
class QPainter;
class WaveSource;
class ChangeSource;

namespace vemo::toolona {

class AnalogTrace;

// How a bus shows its value: a numeric radix (2, 8, 10, 16) or, with radix
// 0, the token of `radixName` that `token` finds for the bits.
struct BusFormat {
    int radix = 16;
    QString radixName;
    int width = 0;
    std::function<QString(int width, const QString& setName, const QString& bits)> token;

    QString text(const QString& bits) const;
};

namespace wavepaint {

// Shoulder of a bus hexagon, and the narrowest segment still drawn as one.
constexpr int kShoulder = 3;
constexpr int kMinSegment = 6;

inline int yHigh(const QRect& cell) { return cell.top() + 10; }
inline int yLow(const QRect& cell) { return cell.bottom() - 2; }

// A one-bit signal as a line between the high and low levels.
void paintSignal(QPainter* p, const WavePaintParams& params, const WaveSource& source, int channel);

// A bus as a chain of hexagons with their values; a run of segments
// narrower than kMinSegment pixels is one filled block over the columns it
// covers.
void paintBus(QPainter* p, const WavePaintParams& params, const WaveSource& source, const QVector<int>& channels,
              const BusFormat& format);

// A bus as a line graph of its value between the cell's top and bottom
// (less kAnalogMargin), scaled to the least and greatest value of the
// capture (AnalogTrace::lowest, highest): each pixel column
// is a vertical from the least to the greatest value the bus takes there,
// the value it comes in with included, so steps join up.
constexpr int kAnalogMargin = 3;
void paintAnalog(QPainter* p, const WavePaintParams& params, const AnalogTrace& values);
// The y of a value in `cell` over the scale lo..hi (the middle when lo = hi).
int analogY(const QRect& cell, qint64 value, qint64 lo, qint64 hi);
// A dump's real variable as a line graph scaled to its range over the
// dump; a column where it holds no finite value (NaN, infinity) is left
// empty.
void paintReal(QPainter* p, const WavePaintParams& params, const ChangeSource& source, int var);

// What of `text` fits in `width` pixels: the whole text, or its leading
// characters (the most significant digits) followed by an ellipsis, or
// nothing when not even one character and the ellipsis fit.
QString fittedLabel(const QFontMetrics& fm, const QString& text, int width);

// The label of a segment in the box from `left`, `width` pixels wide:
// centred when it fits, else shortened (fittedLabel) and left-aligned, and
// never drawn outside the box.
void drawBusLabel(QPainter* p, const QString& text, int left, int width, const QRect& cell);

} // namespace wavepaint
} // namespace vemo::toolona
