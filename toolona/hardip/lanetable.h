#pragma once

#include <QStringList>
#include <QTableWidget>
#include <QVector>
#include <array>

namespace vemo::toolona {

// A table with one column per lane of a four-lane quad and one control
// widget per cell: sized to its contents, no editing of its own, bold
// headers. A lane that does not belong to the instance is switched off:
// grey header, disabled items and widgets that no longer send anything.
class LaneTable : public QTableWidget {
    Q_OBJECT
public:
    static constexpr int kLanes = 4;
    using Cells = std::array<QWidget*, kLanes>;

    LaneTable(const QString& objectName, const QStringList& rowHeaders, QWidget* parent = nullptr);

    // Puts one widget per lane into `row` (made by `make(lane)`).
    template <typename Make>
    Cells fillRow(int row, Make make) {
        Cells cells{};
        for (int lane = 0; lane < kLanes; ++lane) {
            cells[lane] = make(lane);
            setItem(row, lane, new QTableWidgetItem);
            setCellWidget(row, lane, cells[lane]);
        }
        m_cells.insert(row, cells);
        return cells;
    }
    const Cells& row(int row) const { return m_cells[row]; }
    // The lane of `widget` in `row`, or -1 when it is none of that row's.
    int laneOf(int row, const QObject* widget) const;
    // The row and lane of `widget` anywhere in the table; false when none.
    bool find(const QObject* widget, int* row, int* lane) const;

    void switchOffLane(int lane, QObject* receiver);
    bool isLaneOff(int lane) const { return m_off.value(lane); }

    // Fits the table to its rows and columns (no scroll bars).
    void fitToContents();

private:
    QVector<Cells> m_cells;
    QVector<bool> m_off;
};

} // namespace vemo::toolona
