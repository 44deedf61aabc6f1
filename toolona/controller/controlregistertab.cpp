#include "controller/controlregistertab.h"

#include "controller/controlregisterwidget.h"

#include "analyzercore.h"

namespace vemo::toolona {

ControlRegisterTab::ControlRegisterTab(ToolGateway* gateway, QWidget* parent)
    : RegisterTab(
          QStringLiteral("User Control Register"),
          tr("The user control registers of the controller core appear here.\nNo user control registers in this core."),
          new ControlRegisterWidget(gateway), gateway, parent) {}

bool ControlRegisterTab::hasContentFor(const QSharedPointer<AnalyzerCore>& core) {
    return core && core->getKind() == AnalyzerCore::Controller && shows(core->getControlRegisterData());
}

ControlRegisterWidget* ControlRegisterTab::controlWidget() const {
    return static_cast<ControlRegisterWidget*>(registerWidget());
}

const RegisterListData& ControlRegisterTab::blockOf(const AnalyzerCore& core) const {
    return core.getControlRegisterData();
}

} // namespace vemo::toolona
