#pragma once

// "OpenOCD Settings": how OpenOCD drives the cable and finds the debug hub,
// for a target reached over JTAG. The dialog edits a copy of the settings and
// checks it as the engine will; the cable manager sends what changed with
// its own commands, so its Cancel drops these edits too.

#include "cablesettings.h"

#include <QDialog>

class QLabel;
class QLineEdit;

namespace vemo::basgui {
class LineEditWithBrowse;
}

namespace vemo::toolona {

class OpenocdDialog : public QDialog {
    Q_OBJECT
public:
    OpenocdDialog(const CableSettings& settings, QWidget* parent = nullptr);

    // The settings with the dialog's fields, valid once it was accepted.
    CableSettings settings() const { return m_settings; }

    QLineEdit* ftdiEdit() const { return m_ftdi; }
    vemo::basgui::LineEditWithBrowse* interfaceEdit() const { return m_interface; }
    QLineEdit* openocdEdit() const { return m_openocd; }
    QLineEdit* tapEdit() const { return m_tap; }
    QLabel* errorLabel() const { return m_error; }

public slots:
    void accept() override;

private:
    CableSettings m_settings;
    QLineEdit* m_ftdi = nullptr;
    vemo::basgui::LineEditWithBrowse* m_interface = nullptr;
    QLineEdit* m_openocd = nullptr;
    QLineEdit* m_tap = nullptr;
    QLabel* m_error = nullptr;
};

} // namespace vemo::toolona
