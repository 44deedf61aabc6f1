#pragma once

#include "controller/userregisterwidget.h"

namespace vemo::toolona {

// The table of user control registers: read, write or toggle each one,
// Apply All, Read All, and register files (Load, Dump).
class ControlRegisterWidget : public UserRegisterWidget {
    Q_OBJECT
public:
    explicit ControlRegisterWidget(ToolGateway* gateway, QWidget* parent = nullptr);
    QPushButton* applyAllButton() const { return m_applyAll; }
    QPushButton* loadButton() const { return m_load; }

public slots:
    void onApplyAllBtnClicked();
    void onLoadBtnClicked();

private:
    QPushButton* m_applyAll;
    QPushButton* m_load;
};

} // namespace vemo::toolona
