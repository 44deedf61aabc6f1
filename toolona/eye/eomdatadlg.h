#pragma once

#include <QDialog>
#include <QList>
#include <QStringList>

class QPushButton;
class QTableWidget;

namespace vemo::toolona {

// The raw sample rows of an eye scan's CSV result, each with its bit error
// ratio, and their export as a CSV file.
class EomDataDlg : public QDialog {
    Q_OBJECT
public:
    EomDataDlg(const QList<QStringList>& rows, QWidget* parent);
    QTableWidget* table() const { return m_table; }
    QPushButton* exportButton() const { return m_export; }

    // A row's errors over its samples (both passes); empty when the row
    // has no six fields or no samples.
    static QString errorRatio(const QStringList& row);

public slots:
    // Asks for a file and writes the table to it, header first.
    void exportRows();

private:
    QTableWidget* m_table = nullptr;
    QPushButton* m_export = nullptr;
};

} // namespace vemo::toolona
