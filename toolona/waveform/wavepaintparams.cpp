#include "waveform/wavepaintparams.h"

#include "onadata.h"
#include "waveformmodel.h"

#include <cmath>

namespace vemo::toolona {

WavePaintParams WavePaintParams::make(const QRect& cell, qint64 viewStart, qint64 viewCount, qint64 numTime) {
    WavePaintParams p;
    p.cell = cell;
    p.numTime = qMax(qint64(0), numTime);
    p.viewCount = qMax(qint64(0), viewCount);
    p.viewStart = qBound(qint64(0), viewStart, qMax(qint64(0), p.numTime - 1));
    // Never a sample past the data, whatever the window says.
    p.viewEnd = p.viewCount > 0 ? qMin(p.viewStart + p.viewCount - 1, p.numTime - 1) : -1;
    p.px = (p.viewCount > 0 && cell.width() > 0) ? double(cell.width()) / p.viewCount : 0.0;
    const OnaData* d = OnaData::inst();
    p.background = d->waveBackgroundColor;
    p.wave = d->waveColor;
    p.trigger = d->triggerColor;
    p.cursor = d->cursorColor;
    p.marker = d->markerColor;
    // Red for x and a yellow for z as waveform viewers draw them, darker on
    // a light background so that both keep their contrast.
    const bool dark = p.background.lightness() < 128;
    p.unknown = dark ? QColor(0xE0, 0x30, 0x30) : QColor(0xC0, 0x10, 0x10);
    p.highZ = dark ? QColor(0xE8, 0xD0, 0x40) : QColor(0xA0, 0x80, 0x00);
    return p;
}

WavePaintParams WavePaintParams::make(const WaveformModel* model, const QRect& cell) {
    return model && model->hasData() ? make(cell, model->getViewStart(), model->getViewCount(), model->getNumTime())
                                     : make(cell, 0, 0, 0);
}

qint64 WavePaintParams::sampleAt(int xPos) const {
    if (!isValid())
        return 0;
    const double s = double(viewStart) + std::floor(double(xPos - cell.left()) / px);
    return qint64(qBound(double(viewStart), s, double(viewEnd)));
}

qint64 WavePaintParams::firstSampleFrom(int column) const {
    if (!isValid())
        return viewEnd + 1;
    if (column <= cell.left())
        return viewStart;
    // The estimate can be off by one either way through rounding; x(s) is
    // the definition.
    qint64 s = viewStart + qint64(std::ceil(double(column - cell.left()) / px));
    s = qBound(viewStart, s, viewEnd + 1);
    while (s > viewStart && x(s - 1) >= column)
        --s;
    while (s <= viewEnd && x(s) < column)
        ++s;
    return s;
}

} // namespace vemo::toolona
