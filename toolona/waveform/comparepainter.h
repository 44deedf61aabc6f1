#pragma once

// The differences a compare with a simulation found, kept on the waveform
// page (a child object of it, so the page needs no member for them) and
// drawn as translucent red bands over the rows of the capture's signals.

#include "waveform/wavepaintparams.h"

#include <QObject>
#include <QPair>
#include <QVector>

#include <memory>

class QModelIndex;
class QPainter;
class TraceData;
class WaveformModel;

namespace vemo::toolona {

class CompareMarks : public QObject {
    Q_OBJECT
public:
    // The differing spans of one capture signal: its channels, and the
    // sample ranges (first, last) sorted by start.
    struct Mark {
        QVector<int> channels;
        QVector<QPair<qint64, qint64>> spans;
    };
    // The marks of `page`; made when `make` and there are none.
    static CompareMarks* of(QObject* page, bool make = false);

    // The marks hold for the capture they were found in, not for a later one.
    QVector<Mark> marksFor(const std::shared_ptr<const TraceData>& trace) const {
        return trace && m_trace.lock() == trace ? m_marks : QVector<Mark>();
    }
    void setMarks(const QVector<Mark>& marks, const std::shared_ptr<const TraceData>& trace) {
        m_marks = marks;
        m_trace = trace;
    }

private:
    explicit CompareMarks(QObject* parent) : QObject(parent) {}
    QVector<Mark> m_marks;
    std::weak_ptr<const TraceData> m_trace;
};

namespace comparepaint {

inline QColor bandColour() { return QColor(255, 45, 45, 140); }

// The bands of every mark whose channels meet the row's, over the visible
// window: one step a band, and bands that share a pixel column drawn once,
// so the cost follows the pixels however many spans there are.
void paintMarks(QPainter* painter, const WavePaintParams& w, const WaveformModel& model, const QModelIndex& row,
                const QObject* page);

} // namespace comparepaint

} // namespace vemo::toolona
