#pragma once

#include "widgets/statusledwidget.h"

#include <QHash>
#include <QScrollArea>

class QComboBox;
class QCompleter;
class QGridLayout;
class QLineEdit;
class QPushButton;

namespace vemo::toolona {

class ResetButton;
class TargetNotice;

// The "Serdes Debug" page for devices with the older SERDES block: the
// transmit, receive and loopback settings of one DCU channel, its resets
// and status lamps, Apply, configuration reload and register files. Every
// action is one engine command (tclPCS); the controls show what the engine
// reports by key (pcsDirty, pcsRead). Shown only while the project
// describes a SERDES.
class SERDESView : public QScrollArea {
    Q_OBJECT
public:
    explicit SERDESView(QWidget* parent = nullptr);

    // Refills the DCU and channel lists from the engine without sending
    // anything: the DCUs the design has and the channels of the current one.
    void fillDCUChannelLists();

    // For the tests and the tool window.
    QComboBox* combo(const QString& key) const { return m_combos.value(key); }
    QLineEdit* amplitudeEdit() const { return m_amplitude; }
    ResetButton* resetButton(const QString& key) const { return m_resets.value(key); }
    StatusLabel* statusLamp(const QString& key) const { return m_lamps.value(key); }
    QPushButton* applyButton() const { return m_apply; }
    QPushButton* reloadButton() const { return m_reload; }
    QPushButton* importButton() const { return m_import; }
    QPushButton* exportButton() const { return m_export; }

signals:
    // One complete engine command.
    void tclPCS(QString cmd);

public slots:
    void doAmplitude();
    void doOutTerm(int index);
    void doPrecursor(int index);
    void doPostcursor(int index);
    void doTxInvt(int index);
    void doTxLOL(int index);
    void doInTerm(int index);
    void doACCouple(int index);
    void doChLenth(int index);
    void doDataRate(int index);
    void doEQ(int index);
    void doLOSThres(int index);
    void doRxInvt(int index);
    void doLOL(int index);
    void doLoopback(int index);
    void doTxPLLReset();
    void doMacReset();
    void doDCUReset();
    void doTxPCSReset();
    void doRxPCSReset();
    void doRxCDRReset();
    void doDCUA(int index);
    void doChannel(int index);
    void doApply();
    void doConfigSRAMReload();
    void doImport();
    void doExport();
    void doSettingChanged(QString key);
    void doSettingRead(QString key);

private:
    // Shows the combo box's text in a line edit that takes no typing; a
    // box that is `sized` gets the page's size policy itself (a ChoiceBox
    // takes its size from one that has it).
    void makeReadOnlyEditable(QComboBox* combo, bool sized = true);
    QComboBox* addCombo(QGridLayout* grid, int row, const QString& key, const QString& label, const QStringList& items,
                        bool placeholder, void (SERDESView::*slot)(int));
    void addLamp(QGridLayout* grid, int row, const QString& key, const QString& label);
    void addReset(QGridLayout* grid, int row, const QString& key, const QString& label, void (SERDESView::*slot)());
    // "ona_set_pcs -control KEY -option "TEXT"" for the item `index` of KEY.
    void sendQuoted(const QString& key, int index);
    void sendOnOff(const QString& key, bool on);
    void sendReset(const QString& key);
    void showAmplitude(int value);
    // Every key from the engine, as a report of each would show it.
    void readAll();

    QHash<QString, QComboBox*> m_combos;
    // The one completer of the read-only line edits (they never complete).
    QCompleter* m_completer = nullptr;
    QHash<QString, ResetButton*> m_resets;
    QHash<QString, StatusLabel*> m_lamps;
    QLineEdit* m_amplitude = nullptr;
    QComboBox* m_sized = nullptr;
    QComboBox* m_dcua = nullptr;
    QComboBox* m_channel = nullptr;
    QPushButton* m_apply = nullptr;
    QPushButton* m_reload = nullptr;
    QPushButton* m_import = nullptr;
    QPushButton* m_export = nullptr;
    TargetNotice* m_notice = nullptr;
};

} // namespace vemo::toolona
