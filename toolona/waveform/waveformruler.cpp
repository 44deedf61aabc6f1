#include "waveform/waveformruler.h"

#include "waveform/wavepaintparams.h"

#include "onadata.h"
#include "waveformmodel.h"

#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

#include <algorithm>
#include <cmath>
#include <iterator>

namespace vemo::toolona {

WaveformRuler::WaveformRuler(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) { setMouseTracking(true); }

QSize WaveformRuler::sizeHint() const { return QHeaderView::sizeHint() + QSize(0, 10); }

qint64 WaveformRuler::tickStep(double px, double spacing) {
    // A zero or negative px would double forever.
    if (!(px > 0.0))
        return 0;
    qint64 step = 1;
    double at = px;
    // 2^62 steps over any dump's ticks.
    while (at < spacing && step < (qint64(1) << 62)) {
        step *= 2;
        at *= 2;
    }
    return step;
}

void WaveformRuler::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const {
    if (logicalIndex != 2 || !m_model || !m_model->hasData()) {
        QHeaderView::paintSection(painter, rect, logicalIndex);
        return;
    }
    paintRuler(painter, rect);
}

QList<WaveformRuler::Tick> WaveformRuler::ticks(const QRect& rect) const {
    QList<Tick> out;
    if (!m_model || !m_model->hasData())
        return out;
    const WavePaintParams w = WavePaintParams::make(m_model, rect);
    // A dump's ticks run to many digits: far enough apart for the widest
    // label. A capture keeps its grid.
    // A dump has no frames: its labels are the ticks alone.
    const bool dump = !m_model->traceData();
    const QString firstFrame = dump ? QString() : QStringLiteral("0:");
    const int widest = QFontMetrics(font()).horizontalAdvance(firstFrame + QString::number(w.viewEnd));
    const qint64 step = tickStep(w.px, m_model->traceData() ? 50.0 : qMax(50.0, widest + 12.0));
    if (!w.isValid() || step <= 0)
        return out;
    const double spacing = w.px * step;
    const int frames = m_model->getNumTriggerFrame();
    int f = 0;
    for (int i = 1; i < frames; ++i)
        if (m_model->getTriggerFrame(i) <= w.viewStart)
            f = i;
    qint64 frameStart = m_model->getTriggerFrame(f);
    double x = rect.left();
    qint64 sample = w.viewStart;
    const qint64 r = (sample - frameStart) % step;
    if (r != 0) {
        x -= r * w.px;
        sample -= r;
    }
    for (x += spacing, sample += step; x < rect.right(); x += spacing, sample += step) {
        if (frames <= 1) {
            if (step == 1 || sample % step == 0)
                out.append({int(x), sample, firstFrame + QString::number(sample)});
            continue;
        }
        if (f + 1 < frames && sample >= m_model->getTriggerFrame(f + 1)) {
            // Re-anchor the grid on the frame start; its separator marks it.
            ++f;
            frameStart = m_model->getTriggerFrame(f);
            x -= (sample - frameStart) * w.px;
            sample = frameStart;
            continue;
        }
        if (step == 1 || (sample - frameStart) % step == 0)
            out.append({int(x), sample, QStringLiteral("%1:%2").arg(f).arg(sample - frameStart)});
    }
    return out;
}

double WaveformRuler::timeStep(double minPs) {
    if (!(minPs > 0.0) || !std::isfinite(minPs))
        return 0.0;
    double decade = std::pow(10.0, std::floor(std::log10(minPs)));
    for (;; decade *= 10.0)
        for (double m : {1.0, 2.0, 5.0})
            if (m * decade >= minPs * (1.0 - 1e-9))
                return m * decade;
}

QString WaveformRuler::timeText(double ps, double stepPs) {
    static const struct {
        double ps;
        const char16_t* name;
    } kUnits[] = {{1e12, u"s"}, {1e9, u"ms"}, {1e6, u"\u00b5s"}, {1e3, u"ns"}, {1.0, u"ps"}};
    const double magnitude = std::abs(ps) > 0.5 ? std::abs(ps) : stepPs;
    const auto* unit = &kUnits[std::size(kUnits) - 1];
    for (const auto& u : kUnits)
        if (magnitude >= u.ps * (1.0 - 1e-9)) {
            unit = &u;
            break;
        }
    const int decimals = stepPs > 0.0 ? qBound(0, int(std::ceil(std::log10(unit->ps / stepPs) - 1e-9)), 6) : 0;
    QString number = QString::number(ps / unit->ps, 'f', decimals);
    if (number.contains(QLatin1Char('.'))) {
        while (number.endsWith(QLatin1Char('0')))
            number.chop(1);
        if (number.endsWith(QLatin1Char('.')))
            number.chop(1);
    }
    if (number == QLatin1String("-0"))
        number = QStringLiteral("0");
    return number + QLatin1Char(' ') + QString::fromUtf16(unit->name);
}

QList<WaveformRuler::TimeTick> WaveformRuler::timeTicks(const QRect& rect) const {
    QList<TimeTick> out;
    if (!m_model || !m_model->hasData() || m_model->getClockPeriod() < 1)
        return out;
    const WavePaintParams w = WavePaintParams::make(m_model, rect);
    if (!w.isValid())
        return out;
    const double period = m_model->getClockPeriod() * (m_model->getClockUnit() == QLatin1String("ps") ? 1.0 : 1000.0);
    const double step = timeStep(kTimeSpacing * period / w.px);
    if (step <= 0.0)
        return out;
    const bool stamps = m_model->hasTimestamp();
    const int frames = m_model->getNumTriggerFrame();
    // Frame by frame: time runs on within a frame and starts again (or, with
    // timestamps, jumps) at the next.
    for (int f = 0; f < frames; ++f) {
        const qint64 start = m_model->getTriggerFrame(f);
        const qint64 end = f + 1 < frames ? m_model->getTriggerFrame(f + 1) : qint64(w.numTime);
        const qint64 a = qMax<qint64>(start, w.viewStart), b = qMin<qint64>(end, qint64(w.viewEnd) + 1);
        if (a >= b)
            continue;
        const double base = (stamps ? double(m_model->getTimestamp(int(start))) : 0.0) * period;
        const double from = base + double(a - start) * period, to = base + double(b - start) * period;
        for (double t = std::ceil(from / step - 1e-9) * step + 0.0; t < to; t += step) {
            const double sample = double(start) + (t - base) / period;
            const int x = rect.left() + int((sample - w.viewStart) * w.px);
            // Like the sample ticks, none on the ruler's left edge; a frame's
            // start is marked by its separator.
            if (x <= rect.left() || x >= rect.right() || (f > 0 && sample == double(start)))
                continue;
            out.append({x, t, timeText(t, step)});
        }
    }
    return out;
}

void WaveformRuler::paintRuler(QPainter* painter, const QRect& rect) const {
    if (!m_model || !m_model->hasData())
        return;
    const WavePaintParams w = WavePaintParams::make(m_model, rect);
    if (!w.isValid())
        return;
    const OnaData* data = OnaData::inst();
    painter->save();
    painter->setClipRect(rect, Qt::IntersectClip);
    painter->fillRect(rect, data->rulerBackgroundColor);
    painter->fillRect(QRect(rect.left(), rect.top(), rect.width(), 10), data->rulerBandColor);

    const QList<TimeTick> times = timeTicks(rect);
    const bool timestamps = times.isEmpty() && m_model->hasTimestamp();
    QFont italic = painter->font();
    italic.setItalic(true);
    if (italic.pointSize() > 1)
        italic.setPointSize(italic.pointSize() - 1);
    painter->setPen(Qt::black);
    if (!times.isEmpty()) {
        // The upper row: time, each label to the right of its tick.
        const QFont saved = painter->font();
        QFont small = saved;
        if (small.pointSize() > 1)
            small.setPointSize(small.pointSize() - 1);
        painter->setFont(small);
        for (const TimeTick& t : times) {
            painter->drawLine(t.x, rect.top(), t.x, rect.top() + 9);
            painter->drawText(QRect(t.x + 3, rect.top() - 2, kTimeSpacing - 6, 13), Qt::AlignLeft | Qt::AlignVCenter,
                              t.label);
        }
        painter->setFont(saved);
    } else if (!timestamps) {
        // Nothing to time the capture by: the row says what the lower one
        // counts, and how to see time.
        const QFont saved = painter->font();
        painter->setFont(italic);
        painter->drawText(QRect(rect.left() + 4, rect.top() - 2, rect.width() - 8, 13),
                          Qt::AlignLeft | Qt::AlignVCenter, tr("frame:sample (set a clock period to see time)"));
        painter->setFont(saved);
    }
    const QList<Flag> flags = cursorFlags(rect);
    for (const Tick& t : ticks(rect)) {
        const QRect box = labelBox(t, rect);
        if (labelClear(box, flags))
            painter->drawText(box.width() <= 50 ? QRect(t.x - 25, rect.top() + 10, 50, 10) : box, Qt::AlignCenter,
                              t.label);
        if (timestamps) {
            const QFont saved = painter->font();
            painter->setFont(italic);
            // Centred on its tick like the frame:offset label below it.
            painter->drawText(QRect(t.x - 75, rect.top(), 150, 10), Qt::AlignCenter,
                              QString::number(m_model->getTimestamp(w.clampToData(t.sample))));
            painter->setFont(saved);
        }
        painter->drawLine(t.x, rect.bottom(), t.x, rect.bottom() - 5);
    }

    paintCursorFlags(painter, w);

    if (m_pointerX > rect.left() && m_pointerX < rect.right()) {
        painter->setPen(Qt::red);
        painter->drawLine(m_pointerX, rect.top(), m_pointerX, rect.bottom());
    }
    painter->setPen(data->triggerColor);
    const int frames = m_model->getNumTriggerFrame();
    for (int i = 0; i < m_model->getNumTriggerPos(); ++i) {
        const int t = m_model->getTriggerPos(i);
        if (!w.isVisible(t))
            continue;
        const int tx = w.x(t);
        painter->drawLine(tx, rect.bottom() - 1, tx, rect.bottom() - 7);
        painter->drawLine(tx - 2, rect.bottom() - 7, tx + 2, rect.bottom() - 7);
    }
    painter->setPen(QPen(Qt::yellow, 2));
    for (int i = 1; i < frames; ++i) {
        const int s = m_model->getTriggerFrame(i);
        if (w.isVisible(s))
            painter->drawLine(w.x(s), rect.top(), w.x(s), rect.bottom());
    }
    painter->restore();
}

QList<WaveformRuler::Flag> WaveformRuler::cursorFlags(const QRect& rect) const {
    QList<Flag> out;
    if (!m_model || !m_model->hasData())
        return out;
    const WavePaintParams w = WavePaintParams::make(m_model, rect);
    if (!w.isValid())
        return out;
    const QFontMetrics fm(font());
    for (const auto& c : m_model->cursors()) {
        if (!w.isVisible(c.second))
            continue;
        const int x = w.x(c.second);
        const QString name = fm.elidedText(c.first, Qt::ElideRight, 120);
        out.append({x, name, QRect(x, rect.bottom() - fm.height() - 1, fm.horizontalAdvance(name) + 6, fm.height())});
    }
    return out;
}

QRect WaveformRuler::labelBox(const Tick& tick, const QRect& rect) const {
    const int width = QFontMetrics(font()).horizontalAdvance(tick.label);
    return QRect(tick.x - width / 2 - 1, rect.top() + 10, width + 2, 10);
}

bool WaveformRuler::labelClear(const QRect& box, const QList<Flag>& flags) {
    return std::none_of(flags.begin(), flags.end(), [&](const Flag& f) { return f.box.intersects(box); });
}

void WaveformRuler::paintCursorFlags(QPainter* painter, const WavePaintParams& w) const {
    // Each cursor: its line over the ruler and a flag with its name hung on
    // the line's right; the sample labels it would cover are left out.
    const QColor colour = OnaData::inst()->cursorColor;
    const QColor text = colour.lightnessF() > 0.55 ? Qt::black : Qt::white;
    for (const Flag& f : cursorFlags(w.cell)) {
        painter->setPen(colour);
        painter->drawLine(f.x, w.cell.top(), f.x, w.cell.bottom());
        painter->fillRect(f.box, colour);
        painter->setPen(text);
        painter->drawText(f.box.adjusted(3, 0, 0, 0), Qt::AlignLeft | Qt::AlignVCenter, f.name);
    }
}

bool WaveformRuler::event(QEvent* event) {
    // Over the waveform column: what the two rows count.
    if (event->type() == QEvent::ToolTip && m_model && m_model->hasData()) {
        auto* help = static_cast<QHelpEvent*>(event);
        if (logicalIndexAt(help->pos()) == 2) {
            QToolTip::showText(help->globalPos(),
                               m_model->getClockPeriod() >= 1
                                   ? tr("Upper row: time from the start of the trigger frame (of the run, with "
                                        "timestamps)\nLower row: trigger frame:sample")
                                   : tr("Lower row: trigger frame:sample"),
                               this);
            return true;
        }
    }
    return QHeaderView::event(event);
}

void WaveformRuler::mouseMoveEvent(QMouseEvent* event) {
    QHeaderView::mouseMoveEvent(event);
    setPointerX(int(event->position().x()));
}

void WaveformRuler::setPointerX(int x) {
    m_pointerX = x;
    viewport()->update(QRect(sectionViewportPosition(2), 0, sectionSize(2), height()));
}

} // namespace vemo::toolona
