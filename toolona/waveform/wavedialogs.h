#pragma once

// The waveform page's three small dialogs: the radix of buses, the sample
// clock and the export of the capture. The radix dialog edits the model in
// place; the other two send one engine command each through the gateway
// and stay open, showing the engine's reason, when it is refused.

#include <QDialog>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;

namespace vemo::toolona {

class ToolGateway;
class WaveformSignal;

class BusDialog : public QDialog {
    Q_OBJECT
public:
    explicit BusDialog(WaveformSignal* tree);

    QComboBox* radixCombo() const { return m_radix; }
    QComboBox* rangeCombo() const { return m_range; }

    // Radix index 0..5 to its SigTreeData::Radix (0 for another index: the
    // Signed radix is negative).
    static int radixOfIndex(int index);
    // The radix's word ("Bin" ... "ASCII"; "Hex" for none).
    static QString radixName(int radix);

public slots:
    void doAccept();

private:
    QComboBox* m_radix;
    QComboBox* m_range;
    WaveformSignal* m_tree;
};

class ClockDialog : public QDialog {
    Q_OBJECT
public:
    ClockDialog(ToolGateway* gateway, QWidget* parent);

    QLineEdit* periodEdit() const { return m_period; }
    QLineEdit* frequencyEdit() const { return m_frequency; }
    QComboBox* unitCombo() const { return m_unit; }
    QLabel* frequencyUnit() const { return m_frequencyUnit; }
    // Why OK was refused, or the engine's reason; empty when all is well.
    QString errorText() const;

public slots:
    void doHelp();
    void doAccept();
    void uToggle(int index);
    void pConvert(const QString& text);
    void fConvert(const QString& text);

private:
    void showError(const QString& text);

    ToolGateway* m_gateway;
    QLineEdit* m_period;
    QComboBox* m_unit;
    QLineEdit* m_frequency;
    QLabel* m_frequencyUnit;
    QLabel* m_error;
};

class ExportDlg : public QDialog {
    Q_OBJECT
public:
    ExportDlg(ToolGateway* gateway, QWidget* parent);

    // The selected signals, blank-separated, exported for "Selected signals".
    void setSignalList(const QString& names) { m_signals = names; }
    QString signalList() const { return m_signals; }

    QComboBox* rangeCombo() const { return m_range; }
    QComboBox* formatCombo() const { return m_format; }
    QLineEdit* moduleEdit() const { return m_module; }
    QLineEdit* fileEdit() const { return m_file; }
    // VCD: buses as their one-bit signals ("-scalar").
    QCheckBox* scalarCheck() const { return m_scalar; }
    QString errorText() const;
    // The command OK sends for the present fields.
    QString command() const;
    // After OK: the file the engine wrote (its absolute path), and whether
    // only the selected signals went into it.
    QString writtenFile() const { return m_written; }
    bool selectedOnly() const;

public slots:
    void formatComboValueChanged(const QString& text);
    void chooseFileButtonClicked();
    void doAccept();

private:
    ToolGateway* m_gateway;
    QComboBox* m_range;
    QLabel* m_moduleLabel;
    QLineEdit* m_module;
    QComboBox* m_format;
    QLineEdit* m_file;
    QCheckBox* m_scalar;
    QLabel* m_error;
    QString m_signals;
    QString m_written;
};

} // namespace vemo::toolona
