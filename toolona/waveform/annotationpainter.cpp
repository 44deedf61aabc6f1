#include "waveform/annotationpainter.h"

#include "waveform/waveformpainter.h"

#include "decoderset.h"

#include <QFontMetrics>
#include <QPainter>
#include <algorithm>

namespace vemo::toolona::wavepaint {

QColor annotationColour(const QColor& base, int cls) {
    const QColor b = base.isValid() ? base : QColor(0x3c, 0xd0, 0x70);
    const int hue = (qMax(0, b.hsvHue()) + 47 * cls) % 360;
    return QColor::fromHsv(hue, 150, 210);
}

int paintAnnotations(QPainter* p, const WavePaintParams& w, const DecodeResult& r, int row, const QColor& base) {
    if (!w.isValid() || row < 0 || row >= r.rows.size())
        return 0;
    const QVector<Annotation>& v = r.rows.at(row);
    const QVector<qint64>& maxEnd = r.maxEnd.at(row);
    const int top = yHigh(w.cell) - 4, bottom = yLow(w.cell);
    const QRect band(w.cell.left(), top, w.cell.width(), bottom - top + 1);
    const int right = w.endX();
    const QFontMetrics fm = p->fontMetrics();
    int drawn = 0;
    // The merged block under way, in pixel columns, and its colour.
    int blockFrom = -1, blockTo = -1;
    QColor blockColour;
    auto flush = [&] {
        if (blockFrom >= 0) {
            p->fillRect(QRect(QPoint(blockFrom, top), QPoint(blockTo, bottom)), blockColour);
            ++drawn;
        }
        blockFrom = -1;
    };
    p->save();
    p->setClipRect(band, Qt::IntersectClip);
    int i = r.firstEndingAfter(row, w.viewStart);
    while (i < v.size() && v.at(i).start <= w.viewEnd) {
        const Annotation& a = v.at(i);
        if (qMax(a.end, a.start + 1) <= w.viewStart) { // an earlier one reached further
            ++i;
            continue;
        }
        const int x0 = w.x(qMax<qint64>(a.start, w.viewStart));
        const int x1 = qMin(right, w.x(qMin<qint64>(a.end, qint64(w.viewEnd) + 1)));
        const QColor colour = annotationColour(base, a.cls);
        if (x1 - x0 < 2) {
            // Narrow: the column joins the block; everything that starts in
            // this column is in it too, and the block reaches as far as the
            // furthest end among them.
            if (blockFrom < 0 || x0 > blockTo + 1) {
                flush();
                blockFrom = x0;
                blockColour = colour;
            }
            const qint64 next = w.firstSampleFrom(x0 + 1);
            const int j = std::max(i + 1, r.firstStartingAt(row, next));
            const qint64 furthest = maxEnd.at(j - 1);
            blockTo = qMax(blockTo, qMax(x0, qMin(right, w.x(qMin<qint64>(furthest, qint64(w.viewEnd) + 1))) - 1));
            i = j;
            continue;
        }
        flush();
        const QRect box(QPoint(x0, top), QPoint(x1 - 1, bottom));
        p->setPen(colour);
        p->setBrush(colour.darker(260));
        p->drawRect(box.adjusted(0, 0, -1, -1));
        // The decoder gives its texts longest first: the first that fits.
        QString shown;
        for (const QString& t : a.texts)
            if (fm.horizontalAdvance(t) < box.width() - 4) {
                shown = t;
                break;
            }
        if (shown.isEmpty() && !a.texts.isEmpty())
            shown = fittedLabel(fm, a.texts.last(), box.width() - 4);
        if (!shown.isEmpty()) {
            p->setPen(colour.lighter(150));
            p->drawText(box.adjusted(2, 0, -2, 0), Qt::AlignCenter, shown);
        }
        ++drawn;
        ++i;
    }
    flush();
    p->restore();
    return drawn;
}

} // namespace vemo::toolona::wavepaint
