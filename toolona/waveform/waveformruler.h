#pragma once

#include <QHeaderView>
#include <QPointer>

#include "waveformmodel.h"

namespace vemo::toolona {

// The header of the signal tree. Over the waveform column it is the time
// ruler: ticks at a power-of-two sample step at least 50 px apart, labelled
// frame:offset (and the timestamp when the capture has them), the trigger
// marks, the frame separators and the pointer's line.
class WaveformRuler : public QHeaderView {
    Q_OBJECT
public:
    explicit WaveformRuler(QWidget* parent = nullptr);

    void setWaveformModel(WaveformModel* model) { m_model = model; }
    int pointerX() const { return m_pointerX; }
    // The tree's pointer over the waveform column, shown as the red line.
    void setPointerX(int x);

    // The ruler in `rect` (the waveform section); draws nothing without a
    // capture or a window to show.
    void paintRuler(QPainter* painter, const QRect& rect) const;

    struct Tick {
        int x;
        qint64 sample;
        QString label; // "frame:offset"
    };
    // The labelled ticks over `rect` (none without a capture or a window).
    QList<Tick> ticks(const QRect& rect) const;

    // The tick step in samples for `px` pixels per sample (0 for none).
    static int tickStep(double px);

    QSize sizeHint() const override;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    QPointer<WaveformModel> m_model;
    int m_pointerX = -1;
};

} // namespace vemo::toolona
