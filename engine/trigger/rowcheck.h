#pragma once

// The parse state of one row of a trigger table, shared by the trigger-unit
// and trigger-expression models: whether the row's text parses and why not,
// shown as the tooltip of the cell that holds the text.

#include <QStandardItem>
#include <QString>
#include <QVector>

struct RowCheck {
    bool error = false;
    QString errorText;

    // Records one parse; returns 1 when the row has an error, else 0.
    int record(bool ok, const QString& why, QStandardItem* cell) {
        error = !ok;
        errorText = ok ? QString() : why;
        if (cell && cell->toolTip() != errorText)
            cell->setToolTip(errorText);
        return error ? 1 : 0;
    }
};

// The row's record, or nullptr for a row that does not exist.
template <typename Row>
const Row* rowAt(const QVector<Row>& rows, int row) {
    return row >= 0 && row < rows.size() ? &rows.at(row) : nullptr;
}
