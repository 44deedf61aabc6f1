#pragma once

#include "controller/registertab.h"

namespace vemo::toolona {

// The "User Control Register" page of a controller core.
class ControlRegisterTab : public RegisterTab {
    Q_OBJECT
public:
    explicit ControlRegisterTab(ToolGateway* gateway, QWidget* parent = nullptr);
};

} // namespace vemo::toolona
