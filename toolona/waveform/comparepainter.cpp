#include "waveform/comparepainter.h"

#include "waveformmodel.h"

#include <QPainter>
#include <algorithm>

namespace vemo::toolona {

CompareMarks* CompareMarks::of(QObject* page, bool make) {
    if (!page)
        return nullptr;
    auto* marks = page->findChild<CompareMarks*>(QString(), Qt::FindDirectChildrenOnly);
    if (!marks && make)
        marks = new CompareMarks(page);
    return marks;
}

namespace comparepaint {

void paintMarks(QPainter* painter, const WavePaintParams& w, const WaveformModel& model, const QModelIndex& row,
                const QObject* page) {
    const CompareMarks* found = CompareMarks::of(const_cast<QObject*>(page));
    const QVector<CompareMarks::Mark> marks = found ? found->marksFor(model.traceData()) : QVector<CompareMarks::Mark>();
    if (marks.isEmpty() || !w.isValid())
        return;
    const SigTreeData d = WaveformModel::rowData(row);
    const QVector<int> channels = d.isBus() ? model.channelsOf(row) : QVector<int>{d.signalIndex};
    for (const CompareMarks::Mark& m : marks) {
        if (std::none_of(m.channels.begin(), m.channels.end(), [&](int c) { return channels.contains(c); }))
            continue;
        auto it = std::lower_bound(m.spans.begin(), m.spans.end(), qint64(w.viewStart),
                                   [](const QPair<qint64, qint64>& s, qint64 v) { return s.second < v; });
        while (it != m.spans.end() && it->first <= w.viewEnd) {
            const int x0 = w.x(qMax<qint64>(it->first, w.viewStart));
            // At least five pixels, so a one-sample difference shows at any
            // zoom beside the data position's line.
            const int x1 = qMax(x0 + 5, w.x(qMin<qint64>(it->second, w.viewEnd) + 1));
            painter->fillRect(QRect(x0, w.cell.top(), x1 - x0, w.cell.height()), bandColour());
            // The next span that starts right of this band.
            const qint64 next = w.firstSampleFrom(x1);
            it = std::lower_bound(it + 1, m.spans.end(), next,
                                  [](const QPair<qint64, qint64>& s, qint64 v) { return s.second < v; });
        }
    }
}

} // namespace comparepaint

} // namespace vemo::toolona
