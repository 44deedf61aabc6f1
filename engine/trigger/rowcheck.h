#pragma once

// The parse state of one row of a trigger table, shared by the trigger-unit
// and trigger-expression models: whether the row's text parses and why not,
// shown as the tooltip of the cell that holds the text.

#include <QStandardItem>
#include <QStandardItemModel>
#include <QString>
#include <QStringList>
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

// Parses every row again: check(row, record, &why) parses one, cell(row) is
// the cell that shows why not. Returns the rows in error.
template <typename Row, typename Check, typename Cell>
int recheckRows(QVector<Row>& rows, Check check, Cell cell) {
    int errors = 0;
    for (int r = 0; r < rows.size(); ++r) {
        QString why;
        const bool ok = check(r, rows[r], &why);
        errors += rows[r].record(ok, why, cell(r));
    }
    return errors;
}

template <typename Row>
bool rowHasError(const QVector<Row>& rows, int row) {
    const Row* info = rowAt(rows, row);
    return info && info->error;
}

template <typename Row>
QString rowErrorText(const QVector<Row>& rows, int row) {
    const Row* info = rowAt(rows, row);
    return info ? info->errorText : QString();
}

// The first row whose `column` reads `name`, or -1.
inline int rowNamed(const QStandardItemModel& model, int column, const QString& name) {
    for (int r = 0; r < model.rowCount(); ++r)
        if (model.item(r, column)->text() == name)
            return r;
    return -1;
}

// The texts of a column, top to bottom.
inline QStringList columnTexts(const QStandardItemModel& model, int column) {
    QStringList out;
    for (int r = 0; r < model.rowCount(); ++r)
        out << model.item(r, column)->text();
    return out;
}
