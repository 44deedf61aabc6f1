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

namespace {
// Pixels a band takes at the least, so a one-sample difference shows at
// any zoom beside the data position's line.
constexpr int kMinBand = 5;
} // namespace

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
        auto byEnd = [](const QPair<qint64, qint64>& s, qint64 v) { return s.second < v; };
        auto it = std::lower_bound(m.spans.begin(), m.spans.end(), qint64(w.viewStart), byEnd);
        // Bands that touch are one band; after each span the walk jumps to
        // the first span that could reach past the band, so each step widens
        // it by a pixel or more.
        int bandStart = -1, bandEnd = -1;
        auto fill = [&] {
            if (bandStart >= 0)
                painter->fillRect(QRect(bandStart, w.cell.top(), bandEnd - bandStart, w.cell.height()), bandColour());
        };
        while (it != m.spans.end() && it->first <= w.viewEnd) {
            const int x0 = w.x(qMax<qint64>(it->first, w.viewStart));
            const int x1 = qMax(x0 + kMinBand, w.x(qMin<qint64>(it->second, w.viewEnd) + 1));
            if (bandStart >= 0 && x0 <= bandEnd) {
                bandEnd = qMax(bandEnd, x1);
            } else {
                fill();
                bandStart = x0;
                bandEnd = x1;
            }
            it = std::lower_bound(it + 1, m.spans.end(), w.firstSampleFrom(bandEnd - kMinBand + 1), byEnd);
        }
        fill();
    }
}

} // namespace comparepaint

} // namespace vemo::toolona
