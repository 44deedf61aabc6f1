#pragma once

#include <QDialog>

class QCheckBox;
class QComboBox;

namespace vemo::toolona {

// Tools > Options... of the stand-alone tool: the settings the tool reads,
// shown as they are stored and stored where they were read from (the
// theme in the host settings, the rest in the tool's own settings). An
// embedding application answers sigOptionDialog itself instead.
class OptionsDialog : public QDialog {
    Q_OBJECT
public:
    // `initSerdes`: SERDES initialisation when a project opens (0 or 1).
    OptionsDialog(int initSerdes, QWidget* parent = nullptr);

    QComboBox* themeCombo() const { return m_theme; }
    QCheckBox* initSerdesCheck() const { return m_initSerdes; }
    // The values chosen: "light" or "dark", and 0 or 1.
    QString theme() const;
    int initSerdes() const;

private:
    QComboBox* m_theme;
    QCheckBox* m_initSerdes;
};

} // namespace vemo::toolona
