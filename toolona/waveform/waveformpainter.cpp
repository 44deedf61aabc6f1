#include "waveform/waveformpainter.h"

#include "tracedata.h"
#include "waveformmodel.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>
#include <QVarLengthArray>

namespace vemo::toolona {

QString BusFormat::text(const QString& bits) const {
    if (radix > 0)
        return WaveformModel::radixText(bits, radix);
    return token ? token(width, radixName, bits) : QString();
}

namespace wavepaint {

void paintSignal(QPainter* p, const WavePaintParams& w, const TraceData& trace, int channel) {
    if (!w.isValid() || channel < 0 || channel >= trace.numChannels() || w.viewEnd >= trace.numSamples())
        return;
    const int high = yHigh(w.cell), low = yLow(w.cell);
    auto level = [&](int bit) { return bit ? high : low; };
    // Every change of a column draws the same vertical from the high to the
    // low level, and the verticals of neighbouring columns cover the level
    // lines between them: a run of changing columns is one filled block, and
    // only the level lines between runs are lines.
    QVarLengthArray<QLine, 256> levels;
    const QColor colour = p->pen().color();
    int cur = trace.bit(channel, w.viewStart);
    int lineFrom = w.cell.left();
    int runStart = -1, runEnd = -1;
    auto flushRun = [&] {
        if (runStart >= 0)
            p->fillRect(QRect(QPoint(runStart, high), QPoint(runEnd, low)), colour);
    };
    qint64 s = w.viewStart;
    for (;;) {
        const qint64 c = trace.nextChange(channel, s);
        if (c < 0 || c > w.viewEnd)
            break;
        const int col = w.x(c);
        // The level leaving the column is that of its last sample.
        const qint64 last = w.lastSampleIn(col);
        if (runStart >= 0 && col == runEnd + 1) {
            runEnd = col;
        } else {
            flushRun();
            levels.append(QLine(lineFrom, level(cur), col, level(cur)));
            runStart = runEnd = col;
        }
        cur = trace.bit(channel, last);
        lineFrom = col;
        s = last;
    }
    flushRun();
    levels.append(QLine(lineFrom, level(cur), w.endX(), level(cur)));
    p->drawLines(levels.constData(), int(levels.size()));
}

namespace {

// Walks a bus's segments: a boundary is a sample whose value differs from
// the one before it (for a token radix, a different token, so two patterns
// of one token do not split a segment).
class BusWalker {
public:
    BusWalker(const WavePaintParams& w, const TraceData& trace, const QVector<int>& channels, const BusFormat& f)
        : m_w(w), m_trace(trace), m_channels(channels), m_format(f) {}

    QString bits(qint64 s) const { return m_trace.bits(m_channels, s); }
    // What decides a boundary: the bits, or the token for a token radix.
    QString key(const QString& bits) const { return m_format.radix > 0 ? bits : m_format.text(bits); }

    // The first boundary after s within the view, or -1.
    qint64 nextBoundary(qint64 s) const {
        if (m_format.radix > 0) {
            const qint64 c = m_trace.nextChange(m_channels, s);
            return c < 0 || c > m_w.viewEnd ? -1 : c;
        }
        const QString here = key(bits(s));
        for (qint64 c = s;;) {
            c = m_trace.nextChange(m_channels, c);
            if (c < 0 || c > m_w.viewEnd)
                return -1;
            if (key(bits(c)) != here)
                return c;
        }
    }

private:
    const WavePaintParams& m_w;
    const TraceData& m_trace;
    const QVector<int>& m_channels;
    const BusFormat& m_format;
};

} // namespace

void drawBusLabel(QPainter* p, const QString& text, int left, int width, const QRect& cell) {
    if (text.isEmpty() || width <= 0)
        return;
    const QFontMetrics fm = p->fontMetrics();
    const QRect box(left, yHigh(cell), width, yLow(cell) - yHigh(cell));
    QString shown = text;
    int align = Qt::AlignCenter;
    if (fm.horizontalAdvance(text) >= width) {
        const int plus = fm.horizontalAdvance(QLatin1Char('+'));
        const int n = plus > 0 ? width / plus : 0;
        if (n < 2 || n >= text.size() - 1)
            return;
        shown = text.left(n - 1) + QLatin1Char('+');
        align = Qt::AlignLeft | Qt::AlignVCenter;
    }
    // A glyph wider than "+" would otherwise spill into the next segment.
    p->save();
    p->setClipRect(QRect(left, cell.top(), width, cell.height()), Qt::IntersectClip);
    p->drawText(box, align, shown);
    p->restore();
}

void paintBus(QPainter* p, const WavePaintParams& w, const TraceData& trace, const QVector<int>& channels,
              const BusFormat& format) {
    if (!w.isValid() || channels.isEmpty() || w.viewEnd >= trace.numSamples())
        return;
    for (int ch : channels)
        if (ch < 0 || ch >= trace.numChannels())
            return;
    const QRect& r = w.cell;
    const int high = yHigh(r), low = yLow(r), mid = (high + low) / 2;
    BusWalker walk(w, trace, channels, format);

    auto hexagon = [&](int xs, int xe, qint64 valueAt, int labelRight) {
        const QPolygon poly({QPoint(xs, mid), QPoint(xs + kShoulder, high), QPoint(xe - kShoulder, high),
                             QPoint(xe, mid), QPoint(xe - kShoulder, low), QPoint(xs + kShoulder, low)});
        p->drawPolygon(poly);
        drawBusLabel(p, format.text(walk.bits(valueAt)), xs + kShoulder, labelRight - (xs + kShoulder), r);
    };
    auto block = [&](int xa, int xb) {
        p->fillRect(QRect(QPoint(xa, high), QPoint(qMax(xa, xb), low)), p->pen().color());
    };

    int xs = r.left();
    qint64 start = w.viewStart;
    qint64 valueAt = start; // a sample holding the segment's value
    int runStart = -1;      // first column of a run of narrow segments
    for (;;) {
        const qint64 lastHere = w.lastSampleIn(xs);
        qint64 n = walk.nextBoundary(start);
        if (n >= 0 && n <= lastHere) {
            // Several boundaries in this column: it is part of a dense run;
            // go on from the last of them.
            if (runStart < 0)
                runStart = xs;
            valueAt = lastHere;
            n = walk.nextBoundary(lastHere);
        }
        const int xe = n < 0 ? w.endX() : w.x(n);
        if (xe - xs >= kMinSegment) {
            if (runStart >= 0) {
                block(runStart, xs);
                runStart = -1;
            }
            hexagon(xs, xe, valueAt, n < 0 ? r.right() : xe - kShoulder);
        } else if (runStart < 0) {
            runStart = xs;
        }
        if (n < 0) {
            if (runStart >= 0)
                block(runStart, xe);
            return;
        }
        xs = xe;
        start = valueAt = n;
    }
}

} // namespace wavepaint
} // namespace vemo::toolona
