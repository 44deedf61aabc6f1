#include "controller/controlregistertab.h"

namespace vemo::toolona {

ControlRegisterTab::ControlRegisterTab(ToolGateway* gateway, QWidget* parent)
    : RegisterTab(
          QStringLiteral("User Control Register"),
          tr("The user control registers of the controller core appear here.\nNo user control registers in this core."),
          gateway, parent) {}

} // namespace vemo::toolona
