#pragma once

#include <QDialog>
#include <QStringList>

class QComboBox;
class QLabel;
class QProgressBar;
class QPushButton;

namespace vemo::toolona {

class HardIpWidget;
class ToolGateway;

// The eye-opening monitor's run dialog: the scan quality (and a quad's
// lane), Run/Stop, Import and the error of the last attempt. Its parent is
// the hard IP panel of the instance it scans.
class PCSCHEomDlg : public QDialog {
    Q_OBJECT
public:
    PCSCHEomDlg(QWidget* parent, const QStringList& channels, bool quad);

    // The channel for the scan's commands (the panel's).
    void setGateway(ToolGateway* gateway) { m_gateway = gateway; }
    bool isRunning() const { return m_running; }
    QComboBox* qualityCombo() const { return m_quality; }
    QComboBox* channelCombo() const { return m_channel; }
    QPushButton* runButton() const { return m_run; }
    QPushButton* cancelButton() const { return m_cancel; }
    QPushButton* importButton() const { return m_import; }
    QLabel* statusLabel() const { return m_status; }
    // Shown while a scan runs: its percentage done.
    QProgressBar* progressBar() const { return m_progress; }

    // The lane of a channel text ("L3" -> 3; no "L" or no number -> 0).
    static int laneOf(const QString& channel);

public slots:
    void onRunEOM();
    void importEOMFile();
    // While a scan runs, closing the dialog (Escape, the close button) stops
    // the scan instead; the dialog closes only from its idle state.
    void reject() override;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void refresh();
    void showError(const QString& text);
    HardIpWidget* panel() const;

    QComboBox* m_quality = nullptr;
    QComboBox* m_channel = nullptr;
    QPushButton* m_run = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_import = nullptr;
    QLabel* m_status = nullptr;
    QProgressBar* m_progress = nullptr;
    ToolGateway* m_gateway = nullptr;
    bool m_running = false;
    bool m_quad = false;
    // True while the scan's commands are being evaluated: a press of Run is
    // then a Stop, and after Stop the button waits for the commands to end.
    bool m_evaluating = false;
    bool m_stopping = false;
};

} // namespace vemo::toolona
