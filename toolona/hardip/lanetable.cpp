#include "hardip/lanetable.h"

#include <QHeaderView>

namespace vemo::toolona {

namespace {

constexpr int kColumnWidth = 120;
constexpr int kRowHeight = 25;

} // namespace

LaneTable::LaneTable(const QString& objectName, const QStringList& rowHeaders, QWidget* parent)
    : QTableWidget(int(rowHeaders.size()), kLanes, parent)
    , m_cells(int(rowHeaders.size()))
    , m_off(kLanes, false) {
    setObjectName(objectName);
    QFont bold = font();
    bold.setWeight(QFont::Weight(700));
    for (int lane = 0; lane < kLanes; ++lane) {
        auto* item = new QTableWidgetItem(QStringLiteral("Lane%1").arg(lane));
        item->setFont(bold);
        setHorizontalHeaderItem(lane, item);
    }
    for (int r = 0; r < rowHeaders.size(); ++r) {
        auto* item = new QTableWidgetItem(rowHeaders.at(r));
        item->setFont(bold);
        setVerticalHeaderItem(r, item);
    }
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    setTabKeyNavigation(false);
    setAutoScroll(false);
    setDropIndicatorShown(false);
    setShowGrid(true);
    setWordWrap(false);
    setCornerButtonEnabled(false);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setSizeAdjustPolicy(QAbstractScrollArea::AdjustToContents);
    horizontalHeader()->setDefaultSectionSize(kColumnWidth);
    horizontalHeader()->setMinimumSectionSize(kColumnWidth);
    horizontalHeader()->setStretchLastSection(false);
    verticalHeader()->setDefaultSectionSize(kRowHeight);
    verticalHeader()->setMinimumSectionSize(kRowHeight);
    verticalHeader()->setStretchLastSection(false);
}

int LaneTable::laneOf(int row, const QObject* widget) const {
    if (row < 0 || row >= m_cells.size() || !widget)
        return -1;
    for (int lane = 0; lane < kLanes; ++lane)
        if (m_cells[row][lane] == widget)
            return lane;
    return -1;
}

bool LaneTable::find(const QObject* widget, int* row, int* lane) const {
    for (int r = 0; r < m_cells.size(); ++r) {
        const int l = laneOf(r, widget);
        if (l >= 0) {
            *row = r;
            *lane = l;
            return true;
        }
    }
    return false;
}

void LaneTable::switchOffLane(int lane, QObject* receiver) {
    if (lane < 0 || lane >= kLanes)
        return;
    m_off[lane] = true;
    if (QTableWidgetItem* header = horizontalHeaderItem(lane))
        header->setForeground(Qt::lightGray);
    for (int r = 0; r < rowCount(); ++r) {
        if (QTableWidgetItem* it = item(r, lane))
            it->setFlags(it->flags() & ~Qt::ItemIsEnabled);
        if (QWidget* w = m_cells[r][lane]) {
            w->setEnabled(false);
            w->disconnect(receiver);
        }
    }
}

void LaneTable::fitToContents() {
    resizeRowsToContents();
    for (int r = 0; r < rowCount(); ++r)
        setRowHeight(r, qMax(rowHeight(r), kRowHeight));
    int w = verticalHeader()->sizeHint().width() + 2 * frameWidth();
    for (int c = 0; c < columnCount(); ++c)
        w += columnWidth(c);
    int h = horizontalHeader()->sizeHint().height() + 2 * frameWidth();
    for (int r = 0; r < rowCount(); ++r)
        h += rowHeight(r);
    setFixedSize(w, h);
}

} // namespace vemo::toolona
