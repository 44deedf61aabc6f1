#pragma once

#include "controller/userregisterwidget.h"

namespace vemo::toolona {

// The table of user status registers: read each one or all, Dump.
class StatusRegisterWidget : public UserRegisterWidget {
    Q_OBJECT
public:
    explicit StatusRegisterWidget(ToolGateway* gateway, QWidget* parent = nullptr)
        : UserRegisterWidget(false, gateway, parent) {}
};

} // namespace vemo::toolona
