#pragma once

#include <QDialog>
#include <QPersistentModelIndex>

class QTableWidget;

namespace vemo::toolona {

// One register's value bit by bit: each signal bit with its read value
// (and, for a control register, the value to write).
class UserRegisterSignalDlg : public QDialog {
    Q_OBJECT
public:
    // `index` is a cell of the register's row; `parent` the table widget.
    UserRegisterSignalDlg(const QModelIndex& index, QWidget* parent);
    QTableWidget* table() const { return m_table; }

    // "ctrl[3:0]" -> ctrl:3, ctrl:2, ctrl:1, ctrl:0; other names stay.
    static QStringList bitNames(const QStringList& signalNames);
    // The bit of `binary` for each bit name, paired from the right; one
    // bit name takes the whole text.
    static QStringList bitValues(const QStringList& bits, const QString& binary);

private:
    QPersistentModelIndex m_index;
    QTableWidget* m_table;
};

} // namespace vemo::toolona
