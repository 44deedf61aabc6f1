#pragma once

#include <QHeaderView>
#include <QPointer>

#include "waveformmodel.h"

namespace vemo::toolona {

struct WavePaintParams;

// The header of the signal tree. Over the waveform column it is the time
// ruler, in two rows. The lower row counts samples: ticks at a power-of-two
// sample step at least 50 px apart, labelled frame:offset. The upper row
// shows time when the capture has a clock period (from each frame's start,
// or from the run's start when the capture has timestamps), at a 1-2-5 step
// with the unit's prefix; with timestamps but no period, each sample tick's
// timestamp; with neither, a caption saying what the lower row counts.
// Over both: the trigger marks, the frame separators and the pointer's line.
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
        QString label; // "frame:offset"; a dump's: the tick
    };
    // The labelled ticks over `rect` (none without a capture or a window).
    QList<Tick> ticks(const QRect& rect) const;

    // The tick step in samples for `px` pixels per sample (0 for none):
    // a power of two at least `spacing` pixels wide.
    static qint64 tickStep(double px, double spacing = 50.0);

    struct TimeTick {
        int x;
        double ps; // time in picoseconds
        QString label;
    };
    // The time row's ticks over `rect`: none without a capture, a window or
    // a clock period.
    QList<TimeTick> timeTicks(const QRect& rect) const;
    // The smallest 1-2-5 step (in ps) at least `minPs` long; 0 for none.
    static double timeStep(double minPs);
    // A time of a ruler whose step is `stepPs`: "1.5 µs", "250 ps", "0 ns":
    // the prefix of the value (of the step for 0), as many decimals as the
    // step needs.
    static QString timeText(double ps, double stepPs);
    // Least distance between two time ticks, in pixels.
    static constexpr int kTimeSpacing = 80;

    // A cursor's flag: its x, its name as shown and the box it fills.
    struct Flag {
        int x;
        QString name;
        QRect box;
    };
    QList<Flag> cursorFlags(const QRect& rect) const;
    // The box a tick's "frame:offset" label takes below the time row.
    QRect labelBox(const Tick& tick, const QRect& rect) const;
    // A label a cursor's flag would cover is left out: half a label reads
    // as another sample ("0:2" for "0:256").
    static bool labelClear(const QRect& box, const QList<Flag>& flags);

    QSize sizeHint() const override;

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
    void mouseMoveEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    void paintCursorFlags(QPainter* painter, const WavePaintParams& w) const;

    QPointer<WaveformModel> m_model;
    int m_pointerX = -1;
};

} // namespace vemo::toolona
