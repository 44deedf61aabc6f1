#pragma once

// Drawing of one annotation row of a protocol decoder over a waveform cell:
// each annotation a box in its class's colour with the longest of its texts
// that fits. The cost follows the pixel columns, as for buses: a run of
// annotations narrower than two pixels is one block over the columns it
// covers, and the walk then jumps by bisection to the first annotation of
// the next free column, so a dense row at zoom-fit costs about one step a
// column however many annotations it holds.

#include "waveform/wavepaintparams.h"

#include <QColor>

class QPainter;
struct DecodeResult;

namespace vemo::toolona::wavepaint {

// The colour of annotation class `cls` of a row whose colour is `base`:
// the classes of a decoder step round the hue circle from it.
QColor annotationColour(const QColor& base, int cls);

// Paints row `row` of `result` in the cell of `params`; returns the number
// of boxes and blocks drawn (what the cost follows).
int paintAnnotations(QPainter* p, const WavePaintParams& params, const DecodeResult& result, int row,
                     const QColor& base);

} // namespace vemo::toolona::wavepaint
