#pragma once

// "Cable Connection Manager": the download cable the engine uses to reach
// the device (type, USB port or parallel address, TCK low-pulse delay).
// The choice is written with three "ona_set_project" commands; detection
// and engine errors are shown in the dialog's own red label. Beyond the
// three cables, a fourth entry reaches a simulation's remote_bitbang server,
// and the target row chooses the simulated device or the cores over JTAG
// through OpenOCD (a command of its own, sent only when it changes); its
// "OpenOCD..." button edits how OpenOCD drives the cable, sent with OK.

#include "cablesettings.h"

#include <QDialog>
#include <QPointer>

class OnaJTAG;
class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSpinBox;

namespace vemo::toolona {

class ToolGateway;

class CableDialog : public QDialog {
    Q_OBJECT
public:
    // The commands go through `gateway`, which also marks the file
    // modified once all of them were taken.
    CableDialog(ToolGateway* gateway, OnaJTAG* jtag, QWidget* parent = nullptr);

    // Widgets, for the window's own checks and for tests.
    QComboBox* typeSelector() const { return m_type; }
    QComboBox* portSelector() const { return m_usbPort; }
    QLabel* portLabel() const { return m_portLabel; }
    QList<QRadioButton*> parallelButtons() const { return m_parButtons; }
    QLineEdit* addressEdit() const { return m_address; }
    QSpinBox* tckSpinBox() const { return m_tck; }
    QCheckBox* tlrCheckBox() const { return m_tlr; }
    QLabel* errorLabel() const { return m_error; }
    QPushButton* okButton() const { return m_ok; }
    QPushButton* cancelButton() const { return m_cancel; }
    QPushButton* detectButton() const { return m_detect; }
    QComboBox* targetSelector() const { return m_target; }
    QLineEdit* hostEdit() const { return m_host; }
    QSpinBox* serverPortBox() const { return m_serverPort; }
    QPushButton* openocdButton() const { return m_openocdButton; }
    // The OpenOCD settings OK sends (those of the engine until edited).
    CableSettings& pendingOpenocd() { return m_pending; }

    bool isParallelLayout() const;
    bool isSimulationLayout() const;
    // The port number the dialog would send; -1 when the chosen port is not
    // a valid one (no USB port, or an address that is not hexadecimal).
    int chosenPort() const;

public slots:
    void onValidateTCK(int value);
    void onValidateTLR(bool avoid);
    void onOK();
    void onCancel();
    void doShowType(int index);
    void doPortChanged(int index);
    void doDetectCable();
    void doErrDevice(QString message);
    void doEditOpenocd();

private:
    // "378", "278", "3BC" or the custom address text.
    QString parallelAddressText() const;
    void hideError();

    ToolGateway* m_gateway = nullptr;
    OnaJTAG* m_jtag = nullptr;
    QComboBox* m_type = nullptr;
    QLabel* m_portLabel = nullptr;
    QComboBox* m_usbPort = nullptr;
    QButtonGroup* m_parGroup = nullptr;
    QList<QRadioButton*> m_parButtons;
    QLineEdit* m_address = nullptr;
    QSpinBox* m_tck = nullptr;
    QCheckBox* m_tlr = nullptr;
    QLabel* m_error = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    QPushButton* m_detect = nullptr;
    QComboBox* m_target = nullptr;
    QLineEdit* m_host = nullptr;
    QSpinBox* m_serverPort = nullptr;
    QPushButton* m_openocdButton = nullptr;
    CableSettings m_pending;
    int m_openedTarget = 0;
};

} // namespace vemo::toolona
