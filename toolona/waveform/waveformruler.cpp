#include "waveform/waveformruler.h"

#include "waveform/wavepaintparams.h"

#include "onadata.h"
#include "waveformmodel.h"

#include <QMouseEvent>
#include <QPainter>

namespace vemo::toolona {

WaveformRuler::WaveformRuler(QWidget* parent) : QHeaderView(Qt::Horizontal, parent) { setMouseTracking(true); }

QSize WaveformRuler::sizeHint() const { return QHeaderView::sizeHint() + QSize(0, 10); }

int WaveformRuler::tickStep(double px) {
    // A zero or negative px would double forever.
    if (!(px > 0.0))
        return 0;
    qint64 step = 1;
    double spacing = px;
    while (spacing < 50.0 && step < (qint64(1) << 40)) {
        step *= 2;
        spacing *= 2;
    }
    return int(qMin(step, qint64(1) << 30));
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
    const int step = tickStep(w.px);
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
                out.append({int(x), sample, QStringLiteral("0:%1").arg(sample)});
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

    const bool timestamps = m_model->hasTimestamp();
    QFont italic = painter->font();
    italic.setItalic(true);
    if (italic.pointSize() > 1)
        italic.setPointSize(italic.pointSize() - 1);
    painter->setPen(Qt::black);
    for (const Tick& t : ticks(rect)) {
        painter->drawText(QRect(t.x - 25, rect.top() + 10, 50, 10), Qt::AlignCenter, t.label);
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

void WaveformRuler::mouseMoveEvent(QMouseEvent* event) {
    QHeaderView::mouseMoveEvent(event);
    setPointerX(int(event->position().x()));
}

void WaveformRuler::setPointerX(int x) {
    m_pointerX = x;
    viewport()->update(QRect(sectionViewportPosition(2), 0, sectionSize(2), height()));
}

} // namespace vemo::toolona
