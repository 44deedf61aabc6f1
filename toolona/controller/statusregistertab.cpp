#include "controller/statusregistertab.h"

namespace vemo::toolona {

StatusRegisterTab::StatusRegisterTab(ToolGateway* gateway, QWidget* parent)
    : RegisterTab(
          QStringLiteral("User Status Register"),
          tr("The user status registers of the controller core appear here.\nNo user status registers in this core."),
          gateway, parent) {}

} // namespace vemo::toolona
