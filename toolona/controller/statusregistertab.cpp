#include "controller/statusregistertab.h"

#include "controller/statusregisterwidget.h"

#include "analyzercore.h"

namespace vemo::toolona {

StatusRegisterTab::StatusRegisterTab(ToolGateway* gateway, QWidget* parent)
    : RegisterTab(
          QStringLiteral("User Status Register"),
          tr("The user status registers of the controller core appear here.\nNo user status registers in this core."),
          new StatusRegisterWidget(gateway), gateway, parent) {}

bool StatusRegisterTab::hasContentFor(const QSharedPointer<AnalyzerCore>& core) {
    return core && core->getKind() == AnalyzerCore::Controller && shows(core->getStatusRegisterData());
}

StatusRegisterWidget* StatusRegisterTab::statusWidget() const {
    return static_cast<StatusRegisterWidget*>(registerWidget());
}

const RegisterListData& StatusRegisterTab::blockOf(const AnalyzerCore& core) const {
    return core.getStatusRegisterData();
}

} // namespace vemo::toolona
