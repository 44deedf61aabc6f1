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

// A trigger table: named rows (the name in column 0) with a title, and the
// parse state of each row, a `Row` deriving from RowCheck.
template <typename Row>
class TriggerTable : public QStandardItemModel {
public:
    QString getTitle() const { return m_title; }
    void setTitle(const QString& title) { m_title = title; }
    int getNumError() const { return m_numError; }

    // The first row named `name` exactly, or -1.
    int rowOf(const QString& name) const {
        for (int r = 0; r < rowCount(); ++r)
            if (item(r, 0)->text() == name)
                return r;
        return -1;
    }
    QStringList names() const {
        QStringList out;
        for (int r = 0; r < rowCount(); ++r)
            out << item(r, 0)->text();
        return out;
    }
    QString text(int row, int column) const {
        if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
            return QString();
        const QStandardItem* it = item(row, column);
        return it ? it->text() : QString();
    }
    // Sets one cell; returns the item, or nullptr when the cell is bad.
    QStandardItem* setText(int row, int column, const QString& text) {
        if (row < 0 || row >= rowCount() || column < 0 || column >= columnCount())
            return nullptr;
        QStandardItem* it = item(row, column);
        if (it->text() != text)
            it->setText(text);
        return it;
    }
    bool hasError(int row) const { return rowHasError(m_rows, row); }
    QString errorText(int row) const { return rowErrorText(m_rows, row); }

protected:
    TriggerTable(const QStringList& headers, const QString& title, QObject* parent)
        : QStandardItemModel(0, int(headers.size()), parent), m_title(title) {
        setHorizontalHeaderLabels(headers);
    }

    QVector<Row> m_rows;
    QString m_title;
    int m_numError = 0;
};
