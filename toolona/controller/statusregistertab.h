#pragma once

#include "controller/registertab.h"

namespace vemo::toolona {

// The "User Status Register" page of a controller core.
class StatusRegisterTab : public RegisterTab {
    Q_OBJECT
public:
    explicit StatusRegisterTab(ToolGateway* gateway, QWidget* parent = nullptr);
};

} // namespace vemo::toolona
