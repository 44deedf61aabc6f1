#pragma once

// "Compare with Capture": the open simulator waveform against the current
// core's capture. The mapping of simulation variables to capture signals
// (paired by name to start with, editable), the clock or the period the
// simulation is resampled at, the offset (found on the trigger, or given)
// and how many differences to list; "Compare" sends one "ona_compare"
// through the gateway, marks every span it returns on the page's rows,
// moves the view to the first and lists them. A refusal stays in the
// dialog, in red.

#include <QDialog>
#include <QPointer>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;
class QTableWidget;
class QTreeWidget;
class QTreeWidgetItem;

namespace vemo::toolona {

class WaveformView;

class CompareDialog : public QDialog {
    Q_OBJECT
public:
    explicit CompareDialog(WaveformView* page, QWidget* parent = nullptr);

    QTableWidget* mapTable() const { return m_map; }
    // Adds a row to the mapping (a capture name the capture lacks is kept as typed).
    void addPair(const QString& simName, const QString& capName);
    QRadioButton* clockButton() const { return m_onClock; }
    QComboBox* clockBox() const { return m_clock; }
    QRadioButton* periodButton() const { return m_onPeriod; }
    QLineEdit* periodEdit() const { return m_period; }
    QCheckBox* alignBox() const { return m_align; }
    QLineEdit* offsetEdit() const { return m_offset; }
    QSpinBox* limitBox() const { return m_limit; }
    QPushButton* compareButton() const { return m_run; }
    QLabel* summaryLabel() const { return m_summary; }
    QLabel* errorLabel() const { return m_error; }
    QTreeWidget* differences() const { return m_list; }

    // The command "Compare" sends for what the dialog shows; empty (and the
    // reason in the error line) when a field cannot be sent.
    QString command();
    // Sends it and shows the outcome; true when the engine compared.
    bool runCompare();

private:
    void fillMapping();
    void fillClocks();
    void showResult(const QString& result);
    void jumpTo(qint64 sample);
    void fail(const QString& text);

    QPointer<WaveformView> m_page;
    QLabel* m_file = nullptr;
    QTableWidget* m_map = nullptr;
    QLabel* m_unpaired = nullptr;
    QRadioButton* m_onClock = nullptr;
    QComboBox* m_clock = nullptr;
    QRadioButton* m_onPeriod = nullptr;
    QLineEdit* m_period = nullptr;
    QCheckBox* m_align = nullptr;
    QLineEdit* m_offset = nullptr;
    QSpinBox* m_limit = nullptr;
    QPushButton* m_run = nullptr;
    QLabel* m_summary = nullptr;
    QLabel* m_error = nullptr;
    QTreeWidget* m_list = nullptr;
    QStringList m_captureNames;
};

} // namespace vemo::toolona
