#include "waveform/wavepaintparams.h"

#include "onadata.h"
#include "waveformmodel.h"

#include <cmath>

namespace vemo::toolona {

WavePaintParams WavePaintParams::make(const QRect& cell, int viewStart, int viewCount, int numTime) {
    WavePaintParams p;
    p.cell = cell;
    p.numTime = qMax(0, numTime);
    p.viewCount = qMax(0, viewCount);
    p.viewStart = qBound(0, viewStart, qMax(0, p.numTime - 1));
    // Never a sample past the data, whatever the window says.
    p.viewEnd = p.viewCount > 0 ? int(qMin(qint64(p.viewStart) + p.viewCount - 1, qint64(p.numTime) - 1)) : -1;
    p.px = (p.viewCount > 0 && cell.width() > 0) ? double(cell.width()) / p.viewCount : 0.0;
    const OnaData* d = OnaData::inst();
    p.background = d->waveBackgroundColor;
    p.wave = d->waveColor;
    p.trigger = d->triggerColor;
    p.cursor = d->cursorColor;
    p.marker = d->markerColor;
    return p;
}

WavePaintParams WavePaintParams::make(const WaveformModel* model, const QRect& cell) {
    return model && model->hasData() ? make(cell, model->getViewStart(), model->getViewCount(), model->getNumTime())
                                     : make(cell, 0, 0, 0);
}

int WavePaintParams::sampleAt(int xPos) const {
    if (!isValid())
        return 0;
    const double s = viewStart + std::floor(double(xPos - cell.left()) / px);
    return int(qBound(double(viewStart), s, double(viewEnd)));
}

qint64 WavePaintParams::firstSampleFrom(int column) const {
    if (!isValid())
        return viewEnd + 1;
    if (column <= cell.left())
        return viewStart;
    // The estimate can be off by one either way through rounding; x(s) is
    // the definition.
    qint64 s = viewStart + qint64(std::ceil(double(column - cell.left()) / px));
    s = qBound(qint64(viewStart), s, qint64(viewEnd) + 1);
    while (s > viewStart && x(s - 1) >= column)
        --s;
    while (s <= viewEnd && x(s) < column)
        ++s;
    return s;
}

} // namespace vemo::toolona
