// Waveform painting: the page's rendering compared pixel by pixel with a
// plain sample-by-sample drawing of the same cells, the dense-bus block, the
// bus labels and the ruler.

#include "waveform/waveanalog.h"
#include "waveform/waveformdelegate.h"
#include "waveform/waveformpainter.h"
#include "waveform/waveformruler.h"
#include "waveform/waveformsignal.h"
#include "waveform/waveformview.h"

#include "onadata.h"

#include <QtTest>
#include <QtWidgets>

#include <functional>
#include <memory>

using namespace vemo::toolona;
using namespace Qt::StringLiterals;

namespace {

constexpr int kSamples = 2000;
constexpr int kRowHeight = 30;

// Channels: 0 random, 1 clock, 2..5 counter bits, 6 quiet, 7..14 an 8-bit
// bus whose value holds 24 to 60 samples, 15..17 a 3-bit bus toggling every
// sample.
std::shared_ptr<TraceData> makeTrace() {
    QStringList names{u"rnd"_s, u"clk"_s};
    for (int i = 0; i < 4; ++i)
        names << u"cnt%1"_s.arg(i);
    names << u"quiet"_s;
    for (int i = 7; i >= 0; --i)
        names << u"bus[%1]"_s.arg(i);
    for (int i = 2; i >= 0; --i)
        names << u"fast[%1]"_s.arg(i);
    auto t = std::make_shared<TraceData>(names, kSamples);
    QRandomGenerator rng(1234);
    auto set = [&](int ch, int s, bool v) {
        if (v)
            t->channelWords(ch)[s / 64] |= quint64(1) << (s % 64);
    };
    int busValue = 0, hold = 0;
    for (int s = 0; s < kSamples; ++s) {
        set(0, s, rng.bounded(2));
        set(1, s, s & 1);
        for (int i = 0; i < 4; ++i)
            set(2 + i, s, (s >> (i + 1)) & 1);
        set(6, s, s >= 1100);
        if (hold-- <= 0) {
            busValue = int(rng.bounded(256));
            hold = 24 + int(rng.bounded(37));
        }
        for (int i = 0; i < 8; ++i)
            set(7 + i, s, (busValue >> (7 - i)) & 1);
        for (int i = 0; i < 3; ++i)
            set(15 + i, s, ((s % 8) >> (2 - i)) & 1);
    }
    t->frameStarts = {0, 110, 1300};
    t->triggerPositions = {40, 105, 600, 1400};
    t->finish();
    return t;
}

QList<QPair<QString, int>> widths() {
    QList<QPair<QString, int>> w{{u"rnd"_s, 1}, {u"clk"_s, 1}};
    for (int i = 0; i < 4; ++i)
        w.append({u"cnt%1"_s.arg(i), 1});
    w.append({u"quiet"_s, 1});
    w.append({u"bus"_s, 8});
    w.append({u"fast"_s, 3});
    return w;
}

// ---------------------------------------------------------------------------
// The drawing as a plain loop over every visible sample.

struct Ref {
    QRect r;
    int vs, ve;
    double px;
    int x(qint64 s) const { return r.left() + int((s - vs) * px); }
};

void refLabel(QPainter* p, const QString& text, int left, int w, const QRect& r) {
    const int yHigh = r.top() + 10, yLow = r.bottom() - 2;
    const QFontMetrics fm = p->fontMetrics();
    const QRect box(left, yHigh, w, yLow - yHigh);
    p->save();
    p->setClipRect(QRect(left, r.top(), qMax(0, w), r.height()));
    if (fm.horizontalAdvance(text) < w) {
        p->drawText(box, Qt::AlignCenter, text);
    } else {
        // Leading characters while they fit with the ellipsis.
        const QChar ellipsis(0x2026);
        int n = 0, used = fm.horizontalAdvance(ellipsis);
        while (n < text.size() - 1 && (used += fm.horizontalAdvance(text.at(n))) < w)
            ++n;
        if (n > 0)
            p->drawText(box, Qt::AlignLeft | Qt::AlignVCenter, text.left(n) + ellipsis);
    }
    p->restore();
}

void refSignal(QPainter* p, const Ref& g, const WaveformModel* m, int sig) {
    const int yHigh = g.r.top() + 10, yLow = g.r.bottom() - 2;
    auto level = [&](int b) { return b ? yHigh : yLow; };
    int prev = m->getData(sig, g.vs);
    QPainterPath path;
    path.moveTo(g.r.left(), level(prev));
    for (int s = g.vs + 1; s <= g.ve; ++s) {
        const int b = m->getData(sig, s);
        if (b != prev) {
            path.lineTo(g.x(s), level(prev));
            path.lineTo(g.x(s), level(b));
            prev = b;
        }
    }
    path.lineTo(g.x(g.ve + 1), level(prev));
    p->drawPath(path);
}

void refBus(QPainter* p, const Ref& g, const std::function<QString(int)>& bitsAt, const BusFormat& f) {
    const int yHigh = g.r.top() + 10, yLow = g.r.bottom() - 2, yMid = (yHigh + yLow) / 2;
    auto hexagon = [&](int xs, int x, const QString& bits, int labelRight) {
        p->drawPolygon(QPolygon({QPoint(xs, yMid), QPoint(xs + 3, yHigh), QPoint(x - 3, yHigh), QPoint(x, yMid),
                                 QPoint(x - 3, yLow), QPoint(xs + 3, yLow)}));
        refLabel(p, f.text(bits), xs + 3, labelRight - (xs + 3), g.r);
    };
    int xs = g.r.left();
    QString seg = bitsAt(g.vs);
    for (int s = g.vs + 1; s <= g.ve; ++s) {
        const int x = g.x(s);
        const QString b = bitsAt(s);
        const bool changed = f.radix > 0 ? b != seg : f.text(b) != f.text(seg);
        if (changed) {
            hexagon(xs, x, seg, x - 3);
            xs = x;
            seg = b;
        }
    }
    const int x = g.x(g.ve + 1);
    if (x > xs)
        hexagon(xs, x, seg, g.r.right());
}

void refOverlays(QPainter* p, const Ref& g, const WaveformModel* m, int pointerY) {
    const OnaData* d = OnaData::inst();
    auto visible = [&](int s) { return s >= g.vs && s <= g.ve; };
    auto vline = [&](int s) { p->drawLine(g.x(s), g.r.bottom(), g.x(s), g.r.top()); };
    p->setPen(QPen(Qt::yellow, 2));
    for (int f = 1; f < m->getNumTriggerFrame(); ++f)
        if (visible(m->getTriggerFrame(f)))
            vline(m->getTriggerFrame(f));
    const int dataPos = m->getDataPos();
    p->setPen(QPen(d->markerColor, 1));
    if (visible(dataPos))
        vline(dataPos);
    p->setPen(QPen(d->cursorColor, 1));
    for (int c : m->getCurPos())
        if (c != dataPos && visible(c))
            vline(c);
    p->setPen(QPen(d->triggerColor, 1));
    for (int i = 0; i < m->getNumTriggerPos(); ++i)
        if (m->getTriggerPos(i) != dataPos && visible(m->getTriggerPos(i)))
            vline(m->getTriggerPos(i));
    const int rulerPos = m->getRulerPos();
    if (!m->hasRuler() || !visible(rulerPos))
        return;
    p->setPen(QPen(d->markerColor, 1));
    vline(rulerPos);
    if (pointerY < g.r.top() || pointerY > g.r.bottom())
        return;
    const int xd = g.x(dataPos), xr = g.x(rulerPos), y = g.r.bottom();
    p->drawLine(xr, y, xd, y);
    p->setBrush(d->markerColor);
    if (xd <= xr) {
        p->drawPolygon(QPolygon({QPoint(xd, y), QPoint(xd, y - 5), QPoint(xd + 8, y)}));
        p->drawPolygon(QPolygon({QPoint(xr, y), QPoint(xr, y - 5), QPoint(xr - 8, y)}));
    } else {
        p->drawPolygon(QPolygon({QPoint(xd, y), QPoint(xd, y - 5), QPoint(xd - 8, y)}));
        p->drawPolygon(QPolygon({QPoint(xr, y), QPoint(xr, y - 5), QPoint(xr + 8, y)}));
    }
    const int dist = qAbs(rulerPos - dataPos);
    const QString text = m->getClockPeriod() < 1 ? QString::number(dist)
                                                 : u"%1 %2"_s.arg(dist * m->getClockPeriod()).arg(m->getClockUnit());
    p->drawText(QRect(qMin(xd, xr), g.r.bottom() - 18, qAbs(xr - xd), 15), Qt::AlignCenter, text);
}

QImage blank(const QRect& r) {
    QImage img(r.size(), QImage::Format_RGB32);
    img.fill(OnaData::inst()->waveBackgroundColor);
    return img;
}

// `draw` on a blank cell, with `pen` set first unless it is invalid.
QImage painted(const QRect& r, const std::function<void(QPainter*)>& draw, const QColor& pen = Qt::green) {
    QImage img = blank(r);
    {
        QPainter p(&img);
        if (pen.isValid())
            p.setPen(pen);
        draw(&p);
    }
    return img;
}

// Two token patterns share one token; any other value is shown in hex.
QString tokenOf(int, const QString&, const QString& bits) {
    const int v = bits.toInt(nullptr, 2);
    if (v < 64)
        return u"LOW"_s;
    if (v >= 250)
        return u"WWWWWWWWWWWW"_s;
    return WaveformModel::radixText(bits, 16);
}

} // namespace

class TstWaveformPaint : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_model = std::make_unique<WaveformModel>();
        m_model->setTrace(makeTrace(), widths());
        m_page = std::make_unique<WaveformView>(nullptr);
        m_page->setWaveformModel(m_model.get());
    }
    void cleanup() {
        m_page.reset();
        m_model.reset();
    }
    void rowsMatchSampleBySampleDrawing_data() {
        QTest::addColumn<double>("px");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("count");
        QTest::addColumn<int>("start");
        QTest::newRow("px 0.3") << 0.3 << 300 << 1000 << 500;
        QTest::newRow("px 1") << 1.0 << 300 << 300 << 1234;
        QTest::newRow("px 12.5") << 12.5 << 300 << 24 << 100;
        QTest::newRow("px 40") << 40.0 << 320 << 8 << 37;
    }
    void rowsMatchSampleBySampleDrawing() {
        QFETCH(double, px);
        QFETCH(int, width);
        QFETCH(int, count);
        QFETCH(int, start);
        const QRect cell(0, 0, width, kRowHeight);
        const TraceData& trace = *m_model->traceData();
        const QVector<int> busChannels{7, 8, 9, 10, 11, 12, 13, 14};
        auto busBits = [&](int s) { return trace.bits(busChannels, s); };

        // Where the comparison is exact for a bus: every segment in view is at
        // least 6 px wide. Slide the window until that holds.
        auto allWide = [&](int vs, const BusFormat& f) {
            const Ref g{cell, vs, vs + count - 1, px};
            int xs = g.x(vs);
            QString seg = f.text(busBits(vs));
            for (int s = vs + 1; s <= g.ve; ++s) {
                const QString t = f.text(busBits(s));
                if (t != seg) {
                    if (g.x(s) - xs < 6)
                        return false;
                    xs = g.x(s);
                    seg = t;
                }
            }
            return g.x(g.ve + 1) - xs >= 6;
        };

        BusFormat hexFormat;
        while (!allWide(start, hexFormat) && start + count < kSamples)
            ++start;
        QVERIFY(allWide(start, hexFormat));
        m_model->clearCurPos();
        m_model->setDataPos(start + count / 3);
        m_model->addCurPos(start + count / 2);
        m_model->addCurPos(start + count / 3); // at the data position: drawn as that line only
        m_model->setRulerPos(start + (2 * count) / 3);
        m_model->setClockPeriod(px > 10 ? 10 : 0);
        WaveformDelegate* delegate = qobject_cast<WaveformDelegate*>(m_page->tree()->itemDelegate());
        QVERIFY(delegate);

        const WavePaintParams w = WavePaintParams::make(cell, start, count, kSamples);
        QCOMPARE(w.px, px);
        const Ref g{cell, start, start + count - 1, px};
        // Pointer in the row (ruler measurement) and outside it.
        for (int pointerY : {5, 200}) {
            QMouseEvent move(QEvent::MouseMove, QPointF(10, pointerY), QPointF(10, pointerY), Qt::NoButton,
                             Qt::NoButton, Qt::NoModifier);
            QCoreApplication::sendEvent(m_page->tree()->viewport(), &move);
            QCOMPARE(m_page->tree()->pointerY(), pointerY);
            for (int row = 0; row < m_model->rowCount(); ++row) {
                const QModelIndex idx = m_model->index(row, 2);
                const SigTreeData d = WaveformModel::rowData(idx);
                if (d.name == QLatin1String("fast"))
                    continue; // narrow by design: the block test covers it
                QList<int> radixes{0};
                if (d.isBus())
                    radixes = {2, 8, 10, 16};
                for (int radix : radixes) {
                    BusFormat f;
                    f.radix = radix;
                    if (d.isBus()) {
                        SigTreeData b = d;
                        b.radix = radix;
                        m_model->setRowData(idx, b);
                        QVERIFY(allWide(start, f));
                    }
                    const QImage page = painted(cell, [&](QPainter* p) { delegate->paintWaveform(p, w, idx); }, QColor());
                    const QImage ref = painted(
                        cell,
                        [&](QPainter* p) {
                            if (d.isBus())
                                refBus(p, g, busBits, f);
                            else
                                refSignal(p, g, m_model.get(), d.signalIndex);
                            refOverlays(p, g, m_model.get(), pointerY);
                        },
                        OnaData::inst()->waveColor);
                    QVERIFY2(page == ref, qPrintable(u"%1 radix %2"_s.arg(d.name).arg(radix)));
                }
            }
        }

        // A token radix where two patterns make one token: one segment spans
        // the change between them.
        BusFormat token;
        token.radix = 0;
        token.radixName = u"T"_s;
        token.width = 8;
        token.token = &tokenOf;
        int vs = start;
        while (!allWide(vs, token) && vs + count < kSamples)
            ++vs;
        QVERIFY(allWide(vs, token));
        const WavePaintParams tw = WavePaintParams::make(cell, vs, count, kSamples);
        const Ref tg{cell, vs, vs + count - 1, px};
        QCOMPARE(painted(cell, [&](QPainter* p) { wavepaint::paintBus(p, tw, trace, busChannels, token); }),
                 painted(cell, [&](QPainter* p) { refBus(p, tg, busBits, token); }));
    }
    void denseBusIsOneBlockOverItsColumns() {
        const TraceData& trace = *m_model->traceData();
        const QRect cell(0, 0, 300, kRowHeight);
        const int yHigh = 10, yLow = kRowHeight - 1 - 2, yMid = (yHigh + yLow) / 2;
        const QRgb pen = qRgb(0, 255, 0), bg = QColor(OnaData::inst()->waveBackgroundColor).rgb();
        BusFormat hex;
        const auto paint = [&](const WavePaintParams& w, const TraceData& t, const QVector<int>& channels) {
            return painted(cell, [&](QPainter* p) { wavepaint::paintBus(p, w, t, channels, hex); }, QColor(pen));
        };
        // Every pixel between the high and low lines inked, none outside them.
        const auto checkBlock = [&](const QImage& img) {
            for (int x = 0; x < cell.width(); ++x)
                for (int y = 0; y < cell.height(); ++y)
                    QCOMPARE(img.pixel(x, y), (y >= yHigh && y <= yLow) ? pen : bg);
        };

        // "fast" changes every sample: at 0.3 px the whole row is one block
        // between the high and low lines, and nothing outside them.
        checkBlock(paint(WavePaintParams::make(cell, 0, 1000, kSamples), trace, {15, 16, 17}));
        // Segments 3 px wide, one per column group: still one block, not a row
        // of crossed hexagons with holes.
        {
            TraceData t({u"a"_s}, 400);
            for (int s = 0; s < 400; ++s)
                if ((s / 3) & 1)
                    t.channelWords(0)[s / 64] |= quint64(1) << (s % 64);
            t.finish();
            checkBlock(paint(WavePaintParams::make(cell, 0, 300, 400), t, {0}));
        }
        // A dense run followed by a quiet stretch (toggling up to sample 150,
        // then steady): the block ends at the last change, and the slow part
        // is a hexagon with its top and bottom lines, not filled.
        {
            TraceData t({u"a"_s, u"b"_s}, 1000);
            for (int s = 0; s < 150; ++s)
                if (s & 1)
                    t.channelWords(0)[s / 64] |= quint64(1) << (s % 64);
            t.finish();
            const WavePaintParams w = WavePaintParams::make(cell, 0, 1000, 1000);
            const QImage img = paint(w, t, {0, 1});
            const int last = w.x(149); // the column of the last change
            for (int x = 0; x <= last; ++x)
                QCOMPARE(img.pixel(x, yMid), pen);
            QCOMPARE(img.pixel(last + 10, yMid), bg);
            QCOMPARE(img.pixel(last + 10, yHigh), pen);
            QCOMPARE(img.pixel(last + 10, yLow), pen);
        }
    }
    // A capture deep enough for three summary levels, with one-sample
    // glitches on and beside word and block edges, changes whose gaps range
    // from a sample to thousands (so columns of every window are busy, quiet
    // or in between) and bus steps on a column's last sample after a busy
    // stretch, at windows whose columns span from a few words to thousands:
    // a line drawn as the sample-by-sample drawing, a bus as the
    // change-by-change walk (a token radix that names each value by its hex
    // digits, whose boundaries the summaries cannot tell).
    void deepCaptureDrawsEveryGlitch() {
        const qint64 deep = (qint64(1) << 20) + 37;
        QStringList names{u"glitch"_s, u"mixed"_s};
        for (int b = 7; b >= 0; --b)
            names << u"bus[%1]"_s.arg(b);
        auto trace = std::make_shared<TraceData>(names, deep);
        QRandomGenerator rng(77);
        // Marks where a channel's level flips; the levels follow at the end.
        auto flip = [&](int ch, qint64 at) {
            if (at < deep)
                trace->channelWords(ch)[at >> 6] ^= quint64(1) << (at & 63);
        };
        QList<qint64> edges;
        for (qint64 block : {64, 4096, 262144})
            for (int k = 0; k < 6; ++k) {
                const qint64 at = block * (1 + rng.bounded(int(deep / block - 1)));
                edges << at - 1 << at << at + 1;
            }
        for (qint64 at : edges) {
            flip(0, at);
            flip(0, at + 1);
            const int ch = 2 + rng.bounded(8);
            flip(ch, at);
            flip(ch, at + 1);
        }
        // Stretches, each with its own mean gap (short ones where it is a
        // sample or two).
        for (qint64 s = 0; s < deep;) {
            const int gap = QList<int>{1, 30, 90, 200, 5000}.at(rng.bounded(5));
            for (const qint64 end = s + (gap > 1 ? 20000 : 1500); s < end; s += 1 + rng.bounded(2 * gap)) {
                flip(1, s);
                if (gap > 1 && s >= 20000)
                    flip(2 + rng.bounded(8), s);
            }
        }
        // Before sample 20000 the bus holds only bursts over two columns of
        // the window of 64 samples a column, each ending on the last sample
        // of its second column.
        for (int k = 0; k < 12; ++k) {
            const qint64 end = 64 * (2 + rng.bounded(298)) - 1;
            for (qint64 s = end - 99; s <= end; s += 3)
                flip(2 + rng.bounded(8), s);
        }
        for (int ch = 0; ch < trace->numChannels(); ++ch) {
            quint64 level = 0;
            for (qint64 s = 0; s < deep; ++s) {
                level ^= (trace->channelWords(ch)[s >> 6] >> (s & 63)) & 1;
                trace->channelWords(ch)[s >> 6] &= ~(quint64(1) << (s & 63));
                trace->channelWords(ch)[s >> 6] |= level << (s & 63);
            }
        }
        trace->finish();
        WaveformModel model;
        model.setTrace(trace, {{u"glitch"_s, 1}, {u"mixed"_s, 1}, {u"bus"_s, 8}});
        const QVector<int> bus{2, 3, 4, 5, 6, 7, 8, 9};
        BusFormat hex, walked;
        walked.radix = 0;
        walked.width = 8;
        walked.token = [](int, const QString&, const QString& bits) { return WaveformModel::radixText(bits, 16); };

        const QRect cell(0, 0, 300, kRowHeight);
        const qint64 windows[][2] = {{0, deep},          {262143, 300 * 4096},    {1000, 300 * 64 - 1},
                                     {63, 300 * 13 + 7}, {deep - 210000, 210000}, {edges.at(40) - 5000, 300 * 97},
                                     {0, 300 * 64},      {128000, 300 * 200}};
        for (const auto& win : windows) {
            const int start = int(win[0]), count = int(qMin(win[1], deep - win[0]));
            const WavePaintParams w = WavePaintParams::make(cell, start, count, int(deep));
            const Ref g{cell, start, start + count - 1, w.px};
            const QString where = u"window %1 + %2"_s.arg(start).arg(count);
            for (int ch : {0, 1})
                QVERIFY2(painted(cell, [&](QPainter* p) { wavepaint::paintSignal(p, w, *trace, ch); }) ==
                             painted(cell, [&](QPainter* p) { refSignal(p, g, &model, ch); }),
                         qPrintable(where + u" line %1"_s.arg(ch)));
            const QImage summarised = painted(cell, [&](QPainter* p) { wavepaint::paintBus(p, w, *trace, bus, hex); });
            QVERIFY2(summarised != blank(cell), qPrintable(where));
            QVERIFY2(summarised == painted(cell, [&](QPainter* p) { wavepaint::paintBus(p, w, *trace, bus, walked); }),
                     qPrintable(where + u" bus"_s));
        }
    }
    void labelsShortenOrVanishAndStayInTheirBox() {
        const QRect cell(0, 0, 400, kRowHeight);
        QImage img(cell.size(), QImage::Format_RGB32);
        QPainter p(&img);
        const QFontMetrics fm = p.fontMetrics();
        const int plus = fm.horizontalAdvance(QLatin1Char('+'));
        const QRgb bg = qRgb(0, 0, 0);
        auto inked = [&](int from, int to) {
            for (int x = qMax(0, from); x < qMin(cell.width(), to); ++x)
                for (int y = 0; y < cell.height(); ++y)
                    if (img.pixel(x, y) != bg)
                        return true;
            return false;
        };
        p.setPen(Qt::white);

        // Too narrow for two "+": nothing.
        img.fill(bg);
        wavepaint::drawBusLabel(&p, u"ABCDEF"_s, 100, 2 * plus - 1, cell);
        QVERIFY(!inked(0, cell.width()));
        // Fits: drawn, inside the box.
        img.fill(bg);
        wavepaint::drawBusLabel(&p, u"A"_s, 100, 60, cell);
        QVERIFY(inked(100, 160) && !inked(0, 100) && !inked(160, cell.width()));
        // Wide glyphs shortened by the advance of "+" would spill over: the box
        // clips them.
        img.fill(bg);
        const QString wide(12, QLatin1Char('W'));
        const int box = 4 * plus;
        QVERIFY(fm.horizontalAdvance(u"WWW+"_s) > box);
        wavepaint::drawBusLabel(&p, wide, 100, box, cell);
        QVERIFY(inked(100, 100 + box) && !inked(100 + box, cell.width()));
        p.end();
    }
    // The analog view: every pixel column inked from the greatest to the
    // least value its samples take (with the one it comes in with), worked
    // out sample by sample from the bit strings; unsigned and signed, a
    // bus wider than the 62 bits drawn, and windows from 0.3 to 12.5 px
    // per sample, at a window's start inside the capture too.
    void analogColumnsSpanTheirLeastAndGreatestValue() {
        std::shared_ptr<TraceData> wide;
        {
            QStringList names;
            for (int b = 69; b >= 0; --b)
                names << u"w[%1]"_s.arg(b);
            wide = std::make_shared<TraceData>(names, 3000);
            QRandomGenerator rng(5);
            for (int ch = 0; ch < 70; ++ch)
                for (qint64 w = 0; w < wide->wordsPerChannel(); ++w)
                    wide->channelWords(ch)[w] = ch < 3 ? (rng.bounded(20) ? 0 : ~quint64(0)) : rng.generate64();
            for (int ch = 0; ch < 70; ++ch)
                wide->channelWords(ch)[wide->wordsPerChannel() - 1] &= (quint64(1) << (3000 % 64)) - 1;
            wide->finish();
        }
        // A long random walk, so that a column spans runs of 64 words.
        auto walk = std::make_shared<TraceData>(
            QStringList{u"r[7]"_s, u"r[6]"_s, u"r[5]"_s, u"r[4]"_s, u"r[3]"_s, u"r[2]"_s, u"r[1]"_s, u"r[0]"_s},
            300000);
        {
            QRandomGenerator rng(9);
            int v = 128;
            for (qint64 s = 0; s < walk->numSamples(); ++s) {
                if (rng.bounded(50) == 0)
                    v = qBound(0, v + int(rng.bounded(41)) - 20, 255);
                for (int b = 0; b < 8; ++b)
                    if ((v >> (7 - b)) & 1)
                        walk->channelWords(b)[s / 64] |= quint64(1) << (s % 64);
            }
            walk->finish();
        }
        const std::shared_ptr<const TraceData> own = m_model->traceData();
        const QVector<int> bus{7, 8, 9, 10, 11, 12, 13, 14}, fast{15, 16, 17};
        QVector<int> all70;
        for (int ch = 0; ch < 70; ++ch)
            all70 << ch;
        const QRgb pen = qRgb(0, 255, 0);
        struct Case {
            std::shared_ptr<const TraceData> trace;
            QVector<int> channels;
            int start, count, width;
        };
        const QVector<int> eight{0, 1, 2, 3, 4, 5, 6, 7};
        const Case cases[] = {{own, bus, 0, 1000, 300},     {own, bus, 500, 300, 300},
                              {own, bus, 100, 24, 300},     {own, fast, 3, 900, 300},
                              {wide, all70, 0, 3000, 300},  {wide, all70, 1234, 777, 300},
                              {walk, eight, 0, 300000, 20}, {walk, eight, 70001, 200000, 23}};
        for (const Case& c : cases)
            for (bool isSigned : {false, true}) {
                const QRect cell(0, 0, c.width, 70);
                const AnalogTrace values(c.trace, c.channels, isSigned);
                const WavePaintParams w = WavePaintParams::make(cell, c.start, c.count, int(c.trace->numSamples()));
                const QImage img = painted(cell, [&](QPainter* p) { wavepaint::paintAnalog(p, w, values); }, QColor(pen));
                const int bits = qMin(62, int(c.channels.size()));
                const auto valueAt = [&](qint64 s) {
                    const QString b = c.trace->bits(c.channels, s).left(bits);
                    qint64 v = qint64(b.toULongLong(nullptr, 2));
                    if (isSigned && b.startsWith(u'1'))
                        v -= qint64(1) << bits;
                    return v;
                };
                // The scale: the least and greatest value of the whole capture.
                qint64 lo = valueAt(0), hi = lo;
                for (qint64 s = 0; s < c.trace->numSamples(); ++s) {
                    lo = qMin(lo, valueAt(s));
                    hi = qMax(hi, valueAt(s));
                }
                QCOMPARE(values.lowest(), lo);
                QCOMPARE(values.highest(), hi);
                for (int col = 0; col < qMin(cell.width(), w.endX()); ++col) {
                    // The samples that start in the column and the one before
                    // them, or the sample that covers the column.
                    QList<qint64> samples;
                    for (qint64 s = w.viewStart; s <= w.viewEnd; ++s)
                        if (w.x(s) == col)
                            samples << s;
                    if (samples.isEmpty()) {
                        qint64 s = w.viewStart;
                        while (s < w.viewEnd && w.x(s + 1) < col)
                            ++s;
                        samples << s;
                    } else if (samples.first() > w.viewStart) {
                        samples << samples.first() - 1;
                    }
                    qint64 vmin = valueAt(samples.first()), vmax = vmin;
                    for (qint64 s : samples) {
                        vmin = qMin(vmin, valueAt(s));
                        vmax = qMax(vmax, valueAt(s));
                    }
                    int top = -1, bottom = -1;
                    for (int y = 0; y < cell.height(); ++y)
                        if (img.pixel(col, y) == pen) {
                            if (top < 0)
                                top = y;
                            bottom = y;
                        }
                    QCOMPARE(top, wavepaint::analogY(cell, vmax, lo, hi));
                    QCOMPARE(bottom, wavepaint::analogY(cell, vmin, lo, hi));
                }
            }
        const QRect cell(0, 0, 300, 70);
        // The scale spans the cell less its margins; a store that is gone
        // leaves no analog trace behind in the cache.
        QCOMPARE(wavepaint::analogY(cell, 0, 0, 255), cell.bottom() - wavepaint::kAnalogMargin);
        QCOMPARE(wavepaint::analogY(cell, 255, 0, 255), cell.top() + wavepaint::kAnalogMargin);
        std::weak_ptr<const TraceData> gone;
        {
            auto shortLived = std::make_shared<TraceData>(QStringList{u"x"_s}, 10);
            shortLived->finish();
            gone = shortLived;
            QCOMPARE(AnalogTrace::of(shortLived, {0}, false)->highest(), 0); // all 0
            QCOMPARE(wavepaint::analogY(cell, 0, 0, 0), (cell.top() + cell.bottom()) / 2);
        }
        AnalogTrace::of(own, bus, false);
        QVERIFY(gone.expired());
    }
    void windowArithmeticHandlesEmptyAndEdgeWindows() {
        // Nothing to show: no window, no width, no data.
        QVERIFY(!WavePaintParams::make(QRect(0, 0, 300, 30), 0, 0, kSamples).isValid());
        QVERIFY(!WavePaintParams::make(QRect(0, 0, 0, 30), 0, 100, kSamples).isValid());
        QVERIFY(!WavePaintParams::make(QRect(0, 0, 300, 30), 0, 100, 0).isValid());
        // A window running past the data ends at its last sample.
        WavePaintParams w = WavePaintParams::make(QRect(10, 0, 300, 30), 1900, 300, kSamples);
        QCOMPARE(w.viewEnd, kSamples - 1);
        // x and s(x) agree and clamp to the window.
        QCOMPARE(w.x(1900), 10);
        QCOMPARE(w.sampleAt(10), 1900);
        QCOMPARE(w.sampleAt(-50), 1900);
        QCOMPARE(w.sampleAt(10000), kSamples - 1);
        for (int col = 10; col < 310; ++col) {
            const qint64 first = w.firstSampleFrom(col);
            QVERIFY((first > w.viewEnd || w.x(first) >= col) && (first == w.viewStart || w.x(first - 1) < col));
        }
        // Painting such windows reads nothing past the data and draws nothing
        // without a window.
        const TraceData& trace = *m_model->traceData();
        const QRect cell(0, 0, 300, 30);
        const auto both = [&](int start, int count) {
            return painted(cell, [&](QPainter* p) {
                const WavePaintParams w = WavePaintParams::make(cell, start, count, kSamples);
                wavepaint::paintSignal(p, w, trace, 1);
                wavepaint::paintBus(p, w, trace, {7, 8}, BusFormat());
            });
        };
        QCOMPARE(both(0, 0), blank(cell));
        QVERIFY(both(1990, 300) != blank(cell));
    }
    void rulerTicksFramesAndTimestamps() {
        QCOMPARE(WaveformRuler::tickStep(0.3), 256);
        QCOMPARE(WaveformRuler::tickStep(0.0), 0);

        WaveformRuler* ruler = m_page->tree()->ruler();
        const QRect rect(0, 0, 300, 30);
        // Three frames (0, 110, 1300): labels restart at each frame start, which
        // itself has no label.
        m_model->zoomBox(300, 112, 24); // samples 100 .. 123 at 12.5 px
        QCOMPARE(m_model->getViewStart(), 100);
        QList<WaveformRuler::Tick> ticks = ruler->ticks(rect);
        QStringList labels;
        for (const auto& t : ticks)
            labels << t.label;
        QCOMPARE(labels, QStringList({u"0:104"_s, u"0:108"_s, u"1:4"_s, u"1:8"_s, u"1:12"_s}));
        QCOMPARE(ticks.at(2).x, int((114 - 100) * 12.5));

        // No window: nothing drawn (and no endless doubling of a zero step).
        WaveformModel empty;
        WaveformView page(nullptr);
        page.setWaveformModel(&empty);
        QImage img(rect.size(), QImage::Format_RGB32);
        img.fill(Qt::white);
        const QImage before = img;
        QPainter p(&img);
        page.tree()->ruler()->paintRuler(&p, rect);
        page.tree()->ruler()->paintRuler(&p, QRect(0, 0, 0, 30));
        p.end();
        QCOMPARE(img, before);
        QVERIFY(page.tree()->ruler()->ticks(rect).isEmpty());

        // Timestamps sit centred on their tick, above the frame:offset label.
        auto trace = makeTrace();
        trace->frameTimes = {1000000, 2000000, 3000000};
        m_model->setTrace(trace, widths());
        QVERIFY(m_model->hasTimestamp());
        m_model->zoomBox(300, 112, 24);
        QImage ruled = img;
        QPainter r(&ruled);
        ruler->paintRuler(&r, rect);
        r.end();
        // The first tick has no neighbour to its left, so only its own stamp
        // can lie within half a tick spacing of it.
        const auto t = ruler->ticks(rect).at(0);
        int minX = INT_MAX, maxX = -1;
        for (int x = qMax(0, t.x - 24); x <= qMin(rect.width() - 1, t.x + 24); ++x)
            for (int y = 0; y < 10; ++y)
                if (qGray(ruled.pixel(x, y)) < 100) {
                    minX = qMin(minX, x);
                    maxX = qMax(maxX, x);
                }
        QVERIFY(maxX >= 0 && qAbs((minX + maxX) / 2 - t.x) <= 3);
    }

private:
    std::unique_ptr<WaveformView> m_page;
    std::unique_ptr<WaveformModel> m_model;
};

QTEST_MAIN(TstWaveformPaint)
#include "tst_waveform_paint.moc"
