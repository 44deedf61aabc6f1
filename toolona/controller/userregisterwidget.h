#pragma once

#include "controllerrecords.h"

#include <QModelIndex>
#include <QWidget>

class QGroupBox;
class QHBoxLayout;
class QPushButton;
class QStandardItem;
class QStandardItemModel;
class QTableView;

namespace vemo::toolona {

class ToolGateway;
class UserRegisterItemDelegate;

// What the control and status register tables share: one row per register
// (address, name, signals, width, radix, read value, and for control
// registers the value to write), reads through the engine, radix changes,
// dumps, and the signals dialog.
//
// Values travel as text in the row's radix; the Rd and Wr cells keep the
// radix their text is written in (RadixRole). A write reaches the device in
// the register's declared radix, whatever radix the row shows. A command
// the engine refuses leaves the table as it was and is said in a message.
class UserRegisterWidget : public QWidget {
    Q_OBJECT
public:
    enum Column { AddressColumn, NameColumn, SignalsColumn, WidthColumn, RadixColumn, RdColumn, WrColumn };
    static constexpr int RadixRole = Qt::UserRole + 1;

    UserRegisterWidget(bool control, ToolGateway* gateway, QWidget* parent);

    // Takes the register block; keeps the rows and their values when the
    // block lists the same registers (address, name, signals, width).
    void setData(const RegisterListData& data);
    const RegisterListData& data() const { return m_data; }
    // Shows every row in radix `radix` (index into the engine's radix list);
    // false, changing nothing, for an index outside the list.
    bool applyRadixToAll(int radix);

    bool isControl() const { return m_control; }
    QStandardItemModel* model() const { return m_model; }
    QTableView* tableView() const { return m_table; }
    QGroupBox* groupBox() const { return m_group; }
    UserRegisterItemDelegate* delegate() const { return m_delegate; }
    QPushButton* readAllButton() const { return m_readAll; }
    QPushButton* dumpButton() const { return m_dump; }
    // The first row named `name`, -1 when none.
    int rowOf(const QString& name) const;
    QString tableTitle() const;

public slots:
    void onTableItemChanged(QStandardItem* item);
    void onTableItemBtnClicked(const QModelIndex& index);
    void onTableItemDblClicked(const QModelIndex& index);
    void onReadAllBtnClicked();
    void onDumpBtnClicked();

protected:
    void resizeEvent(QResizeEvent* event) override;
    QHBoxLayout* buttonRow() const { return m_buttons; }
    ToolGateway* gateway() const { return m_gateway; }
    // Reads every named row (into Wr as well with `intoWr`); one message
    // lists the registers that could not be read.
    void readAll(bool intoWr);
    // Reads one row; false with the reason when it could not be read.
    bool readRow(int row, bool intoWr, QString* error);
    // Writes (or toggles) one row's Wr value; false with the reason.
    bool writeRow(int row, QString* error);
    void warn(const QString& text);
    // Runs `command` under the busy cursor; the engine's text on failure.
    bool run(const QString& command, QString* error);

private:
    static constexpr int kMinimumWidth = 826;
    static constexpr int kValueColumnWidth = 150;
    // The value columns: 150 pixels at the least width, sharing what the
    // page gives beyond it.
    void fitValueColumns();
    bool sameLayout(const RegisterListData& data) const;
    QList<int> valueColumns() const;

    const bool m_control;
    ToolGateway* m_gateway;
    RegisterListData m_data;
    QStandardItemModel* m_model;
    QTableView* m_table;
    QGroupBox* m_group;
    UserRegisterItemDelegate* m_delegate;
    QHBoxLayout* m_buttons;
    QPushButton* m_readAll = nullptr;
    QPushButton* m_dump = nullptr;
    bool m_filling = false;
};

} // namespace vemo::toolona
