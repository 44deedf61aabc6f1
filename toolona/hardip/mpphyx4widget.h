#pragma once

#include "hardip/hardipwidget.h"
#include "hardip/lanetable.h"

class QLabel;
class QLineEdit;

namespace vemo::toolona {

class WidgetGroupBox;

// The panel of a four-lane multi-protocol PHY quad: per-lane IBERT, TX and
// RX tables (one column per lane, each read on demand), the eye-scan
// button and the memory access form. Lanes that the merge information does
// not give to this instance are switched off.
class MPPHYX4Widget : public HardIpWidget {
    Q_OBJECT
public:
    explicit MPPHYX4Widget(ToolGateway* gateway, QWidget* parent = nullptr);

    // One row of a lane table: what each lane's cell holds and, for a
    // setting, its engine key and how a change is sent.
    struct Row {
        enum Kind { ReadButton, Combo, Status, Pat0, Restart, Inject, Count };
        Kind kind = Combo;
        QString header;
        QString key;
        QStringList items;
        QString initial; // Status: the text before the first read
        // Combo: the set command (%1 instance, %2 value); a %2 in double
        // quotes takes the text as shown, a bare one the text in lower case.
        QString setFormat;
        bool write = true; // Combo: written to the device at once
    };
    enum Table { IBERT, TX, RX };
    static QList<Row> rows(Table table);

    void createControls(int& row) override;
    void updateFromEngine() override {} // every lane is read on demand
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override { return sizeHint(); }

    LaneTable* table(Table t) const { return m_tables[t]; }
    QPushButton* eomButton() const { return m_eom; }
    QLabel* quadLabel() const { return m_quadLabel; }
    WidgetGroupBox* settingsGroupBox() const { return m_groups; }
    // The lanes of the instance (empty: all four).
    QList<int> laneMap() const;

public slots:
    void onEomBtnClicked();
    void onIBERTReadALL();
    void onIBERTRestart();
    void onIBERTInjectError();
    void onIBERTErrorCount();
    void onTXReadALL();
    void onRXReadALL();
    void onTXReadPLL(int lane);
    void onRXReadPLL(int lane);
    // Every combo box of the three tables: stages (and writes) the lane's
    // value for the row's key.
    void onLaneSettingChanged(const QString& text);

private:
    bool eval(const QString& command, QString* result = nullptr);
    bool selectLane(int lane);
    // The lane of the sender in `row` of `t`; -1 when the sender is not one
    // of that row's controls (then nothing is done).
    int senderLane(Table t, int row) const;
    void readAll(Table t);
    // Reads one key into a lane's combo box; false when the read failed or
    // gave a text that is none of the items (the box keeps its value).
    bool readCombo(const QString& key, QWidget* cell);
    void showStatus(QWidget* cell, bool good, const QString& goodText, const QString& badText);
    // Reads a status key into *value; a failed or empty read shows the cell
    // as "Unknown" (with the reason) and gives false.
    bool readStatus(const QString& key, QWidget* cell, QString* value);
    // Reads the PRBS error count of `lane`, already selected, into its cell.
    void readErrorCount(int lane);
    void markRead(QWidget* cell, bool ok, const QString& why);
    void warn(const QString& text);

    std::array<LaneTable*, 3> m_tables{};
    std::array<QList<Row>, 3> m_rows;
    WidgetGroupBox* m_groups = nullptr;
    QPushButton* m_eom = nullptr;
    QLabel* m_quadLabel = nullptr;
};

class MPPCIEX8Widget : public MPPHYX4Widget {
    Q_OBJECT
public:
    using MPPHYX4Widget::MPPHYX4Widget;
};

} // namespace vemo::toolona
