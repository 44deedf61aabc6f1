#include "controller/statusregistertab.h"

namespace vemo::toolona {

StatusRegisterTab::StatusRegisterTab(QWidget* parent)
    : RegisterTab(QStringLiteral("User Status Register"),
                  tr("The user status registers of the controller core appear here.\nNo user status registers in this core."),
                  parent) {}

}  // namespace vemo::toolona
