#include "waveform/waveformpainter.h"

#include "waveform/waveanalog.h"

#include "changesource.h"
#include "tracedata.h"
#include "waveformmodel.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPolygon>
#include <QVarLengthArray>

#include <cmath>

namespace vemo::toolona {

QString BusFormat::text(const QString& bits) const {
    if (radix != 0)
        return WaveformModel::radixText(bits, radix);
    return token ? token(width, radixName, bits) : QString();
}

namespace wavepaint {

namespace {

// The painters' reads, over a capture's words (non-virtual: TraceData is
// final, and the deep zoom-fit repaint lives on its summaries) or over any
// other source through its interface.
struct TraceReader {
    const TraceData& t;
    int code(int ch, qint64 s) const { return t.bit(ch, s); }
    qint64 next(int ch, qint64 s) const { return t.nextChange(ch, s); }
    qint64 next(const QVector<int>& chs, qint64 s) const { return t.nextChange(chs, s); }
    bool within(int ch, qint64 a, qint64 b) const { return t.hasChange(ch, a, b); }
    QString bits(const QVector<int>& chs, qint64 s) const { return t.bits(chs, s); }
};

struct SourceReader {
    const WaveSource& t;
    int code(int ch, qint64 s) const { return t.codeAt(ch, s); }
    qint64 next(int ch, qint64 s) const { return t.changeAfter(ch, s); }
    qint64 next(const QVector<int>& chs, qint64 s) const { return t.changeAfter(chs, s); }
    bool within(int ch, qint64 a, qint64 b) const { return t.changeWithin(ch, a, b); }
    QString bits(const QVector<int>& chs, qint64 s) const { return t.bitsAt(chs, s); }
};

// Whether the window and the channels lie inside the source.
bool fitsSource(const WavePaintParams& w, const WaveSource& source, const QVector<int>& channels) {
    if (!w.isValid() || channels.isEmpty() || w.viewEnd > source.lastPosition())
        return false;
    for (int ch : channels)
        if (ch < 0 || ch >= source.channelCount())
            return false;
    return true;
}

template <class Reader>
void paintSignalWith(QPainter* p, const WavePaintParams& w, const Reader& trace, int channel) {
    const int high = yHigh(w.cell), low = yLow(w.cell), mid = (high + low) / 2;
    QVarLengthArray<QLine, 256> levels;
    auto level = [&](int bit) { return bit ? high : low; };
    // A dump's x fills the band between the levels, its z runs at mid
    // level; a capture reads only 0 and 1 and draws level lines alone.
    QVarLengthArray<QLine, 16> floating;
    auto stretch = [&](int code, int from, int to) {
        if (code == WaveSource::Unknown)
            p->fillRect(QRect(QPoint(from, high), QPoint(qMax(from, to), low)), w.unknown);
        else if (code == WaveSource::HighZ)
            floating.append(QLine(from, mid, to, mid));
        else
            levels.append(QLine(from, level(code), to, level(code)));
    };
    // Every change of a column draws the same vertical from the high to the
    // low level, and the verticals of neighbouring columns cover the level
    // lines between them: a run of changing columns is one filled block, and
    // only the level lines between runs are lines.
    const QColor colour = p->pen().color();
    int cur = trace.code(channel, w.viewStart);
    int lineFrom = w.cell.left();
    int runStart = -1, runEnd = -1;
    auto flushRun = [&] {
        if (runStart >= 0)
            p->fillRect(QRect(QPoint(runStart, high), QPoint(runEnd, low)), colour);
    };
    qint64 s = w.viewStart;
    for (;;) {
        const qint64 c = trace.next(channel, s);
        if (c < 0 || c > w.viewEnd)
            break;
        const int col = w.x(c);
        // The columns after it that hold a change join its run, asked of the
        // change summary alone: in a deep capture a busy column spans many
        // data words, and only the run's last sample is read.
        int end = col;
        qint64 last = w.lastSampleIn(col);
        while (last < w.viewEnd) {
            const qint64 next = w.lastSampleIn(end + 1);
            if (!trace.within(channel, last + 1, next))
                break;
            ++end;
            last = next;
        }
        if (runStart >= 0 && col == runEnd + 1) {
            runEnd = end;
        } else {
            flushRun();
            stretch(cur, lineFrom, col);
            runStart = col;
            runEnd = end;
        }
        // The level leaving the run is that of its last sample.
        cur = trace.code(channel, last);
        lineFrom = end;
        s = last;
    }
    flushRun();
    stretch(cur, lineFrom, w.endX());
    p->drawLines(levels.constData(), int(levels.size()));
    if (!floating.isEmpty()) {
        p->save();
        p->setPen(QPen(w.highZ, p->pen().widthF()));
        p->drawLines(floating.constData(), int(floating.size()));
        p->restore();
    }
}

// Walks a bus's segments: a boundary is a sample whose value differs from
// the one before it (for a token radix, a different token, so two patterns
// of one token do not split a segment).
template <class Reader>
class BusWalker {
public:
    BusWalker(const WavePaintParams& w, const Reader& trace, const QVector<int>& channels, const BusFormat& f)
        : m_w(w), m_trace(trace), m_channels(channels), m_format(f) {}

    QString bits(qint64 s) const { return m_trace.bits(m_channels, s); }
    // What decides a boundary: the bits, or the token for a token radix.
    QString key(const QString& bits) const { return m_format.radix != 0 ? bits : m_format.text(bits); }

    // Whether a sample in first..last is a boundary, for a numeric radix
    // (a token radix is never asked: its boundaries need the values). The
    // channel that answered last is asked first: in a busy stretch it is
    // mostly the same one.
    bool boundaryIn(qint64 first, qint64 last) {
        if (m_format.radix == 0 || first > last)
            return false;
        for (int i = 0; i < m_channels.size(); ++i) {
            const int k = (m_hit + i) % int(m_channels.size());
            if (m_trace.within(m_channels.at(k), first, last)) {
                m_hit = k;
                return true;
            }
        }
        return false;
    }

    // The first boundary after s within the view, or -1.
    qint64 nextBoundary(qint64 s) const {
        if (m_format.radix != 0) {
            const qint64 c = m_trace.next(m_channels, s);
            return c < 0 || c > m_w.viewEnd ? -1 : c;
        }
        const QString here = key(bits(s));
        for (qint64 c = s;;) {
            c = m_trace.next(m_channels, c);
            if (c < 0 || c > m_w.viewEnd)
                return -1;
            if (key(bits(c)) != here)
                return c;
        }
    }

private:
    const WavePaintParams& m_w;
    const Reader& m_trace;
    const QVector<int>& m_channels;
    const BusFormat& m_format;
    int m_hit = 0;
};

} // namespace

QString fittedLabel(const QFontMetrics& fm, const QString& text, int width) {
    if (text.isEmpty() || width <= 0)
        return QString();
    if (fm.horizontalAdvance(text) < width)
        return text;
    // Leading characters only: a value read from its most significant end
    // is still a clue, its last digits alone are not.
    static const QString ellipsis(QChar(0x2026));
    const int room = width - fm.horizontalAdvance(ellipsis);
    int n = 0;
    for (int used = 0; n < text.size() - 1; ++n) {
        used += fm.horizontalAdvance(text.at(n));
        if (used >= room)
            break;
    }
    return n > 0 ? text.left(n) + ellipsis : QString();
}

void drawBusLabel(QPainter* p, const QString& text, int left, int width, const QRect& cell) {
    if (text.isEmpty() || width <= 0)
        return;
    const QFontMetrics fm = p->fontMetrics();
    const QString shown = fittedLabel(fm, text, width);
    if (shown.isEmpty())
        return;
    const QRect box(left, yHigh(cell), width, yLow(cell) - yHigh(cell));
    const int align = shown.size() == text.size() ? int(Qt::AlignCenter) : int(Qt::AlignLeft | Qt::AlignVCenter);
    // Kerning may still differ from the sum of the advances.
    p->save();
    p->setClipRect(QRect(left, cell.top(), width, cell.height()), Qt::IntersectClip);
    p->drawText(box, align, shown);
    p->restore();
}

namespace {

template <class Reader>
void paintBusWith(QPainter* p, const WavePaintParams& w, const Reader& trace, const QVector<int>& channels,
                  const BusFormat& format) {
    const QRect& r = w.cell;
    const int high = yHigh(r), low = yLow(r), mid = (high + low) / 2;
    BusWalker<Reader> walk(w, trace, channels, format);

    auto hexagon = [&](int xs, int xe, qint64 valueAt, int labelRight) {
        const QPolygon poly({QPoint(xs, mid), QPoint(xs + kShoulder, high), QPoint(xe - kShoulder, high),
                             QPoint(xe, mid), QPoint(xe - kShoulder, low), QPoint(xs + kShoulder, low)});
        const QString bits = walk.bits(valueAt);
        if (bits.contains(QLatin1Char('x'))) {
            // A value with unknown bits is filled as a one-bit x is.
            p->save();
            p->setBrush(w.unknown);
            p->drawPolygon(poly);
            p->restore();
        } else {
            p->drawPolygon(poly);
        }
        drawBusLabel(p, format.text(bits), xs + kShoulder, labelRight - (xs + kShoulder), r);
    };
    auto block = [&](int xa, int xb) {
        p->fillRect(QRect(QPoint(xa, high), QPoint(qMax(xa, xb), low)), p->pen().color());
    };

    int xs = r.left();
    qint64 start = w.viewStart;
    qint64 valueAt = start; // a sample holding the segment's value
    int runStart = -1;      // first column of a run of narrow segments
    for (;;) {
        qint64 lastHere = w.lastSampleIn(xs);
        qint64 n = -1;
        if (walk.boundaryIn(lastHere + 1, w.lastSampleIn(xs + 1))) {
            // The next column holds a boundary, so this segment is narrow,
            // and so is every one up to the last of the columns in a row
            // that hold one: they join the run from the summaries alone, and
            // the walk goes on from that column's last sample (its value).
            if (runStart < 0)
                runStart = xs;
            do {
                lastHere = w.lastSampleIn(++xs);
            } while (walk.boundaryIn(lastHere + 1, w.lastSampleIn(xs + 1)));
            valueAt = lastHere;
            n = walk.nextBoundary(lastHere);
        } else if (n = walk.nextBoundary(start); n >= 0 && n <= lastHere) {
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

} // namespace

void paintSignal(QPainter* p, const WavePaintParams& w, const WaveSource& source, int channel) {
    if (!fitsSource(w, source, {channel}))
        return;
    if (const auto* trace = dynamic_cast<const TraceData*>(&source))
        paintSignalWith(p, w, TraceReader{*trace}, channel);
    else
        paintSignalWith(p, w, SourceReader{source}, channel);
}

void paintBus(QPainter* p, const WavePaintParams& w, const WaveSource& source, const QVector<int>& channels,
              const BusFormat& format) {
    if (!fitsSource(w, source, channels))
        return;
    if (const auto* trace = dynamic_cast<const TraceData*>(&source))
        paintBusWith(p, w, TraceReader{*trace}, channels, format);
    else
        paintBusWith(p, w, SourceReader{source}, channels, format);
}

namespace {

// A graph's pixel columns: `span(a, b, &yTop, &yBottom)` gives the stroke
// of the positions a..b a column shows (false: none), the value coming in
// included (a column where no position starts shows the one covering it),
// so steps join up.
template <typename Span>
void analogColumns(QPainter* p, const WavePaintParams& w, Span span) {
    QVarLengthArray<QLine, 512> lines;
    const int end = qMin(w.endX(), w.cell.right() + 1);
    for (int col = w.cell.left(); col < end; ++col) {
        const qint64 first = w.firstSampleFrom(col);
        const qint64 a = qMax<qint64>(w.viewStart, first - 1);
        const qint64 b = qMax(a, w.lastSampleIn(col));
        if (a > w.viewEnd)
            break;
        int yTop = 0, yBottom = 0;
        if (span(a, b, &yTop, &yBottom))
            lines.append(QLine(col, yTop, col, yBottom));
    }
    p->drawLines(lines.constData(), int(lines.size()));
}

} // namespace

int analogY(const QRect& cell, qint64 value, qint64 lo, qint64 hi) {
    const int top = cell.top() + kAnalogMargin, bottom = cell.bottom() - kAnalogMargin;
    if (bottom <= top)
        return bottom;
    if (hi <= lo)
        return (top + bottom) / 2; // a constant bus: a line through the middle
    const long double share = (static_cast<long double>(value) - lo) / (static_cast<long double>(hi) - lo);
    return bottom - int(std::lround(static_cast<double>(share * (bottom - top))));
}

void paintAnalog(QPainter* p, const WavePaintParams& w, const AnalogTrace& values) {
    if (!w.isValid() || values.usedBits() == 0)
        return;
    const qint64 lo = values.lowest(), hi = values.highest();
    analogColumns(p, w, [&](qint64 a, qint64 b, int* yTop, int* yBottom) {
        qint64 vlo = 0, vhi = 0;
        values.range(a, b, &vlo, &vhi);
        *yTop = analogY(w.cell, vhi, lo, hi);
        *yBottom = analogY(w.cell, vlo, lo, hi);
        return true;
    });
}

void paintReal(QPainter* p, const WavePaintParams& w, const ChangeSource& source, int var) {
    double lo = 0, hi = 0;
    if (!w.isValid() || !source.realRange(var, &lo, &hi))
        return;
    const int top = w.cell.top() + kAnalogMargin, bottom = w.cell.bottom() - kAnalogMargin;
    const auto y = [&](double v) {
        if (bottom <= top || !(hi > lo))
            return (top + bottom) / 2; // a constant value: a line through the middle
        const double share = qBound(0.0, (v - lo) / (hi - lo), 1.0);
        return bottom - int(std::lround(share * (bottom - top)));
    };
    analogColumns(p, w, [&](qint64 a, qint64 b, int* yTop, int* yBottom) {
        double vlo = 0, vhi = 0;
        if (!source.realSpan(var, a, b, &vlo, &vhi))
            return false;
        *yTop = y(vhi);
        *yBottom = y(vlo);
        return true;
    });
}

} // namespace wavepaint
} // namespace vemo::toolona
