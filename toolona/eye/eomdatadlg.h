#pragma once

#include <QDialog>
#include <QList>
#include <QStringList>

class QTableWidget;

namespace vemo::toolona {

// The raw sample rows of an eye scan's CSV result.
class EomDataDlg : public QDialog {
    Q_OBJECT
public:
    EomDataDlg(const QList<QStringList>& rows, QWidget* parent);
    QTableWidget* table() const { return m_table; }

private:
    QTableWidget* m_table = nullptr;
};

} // namespace vemo::toolona
