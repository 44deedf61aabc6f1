#include "controller/virtualledswitchtab.h"

#include "widgets/emptystatelabel.h"

#include <QVBoxLayout>

namespace vemo::toolona {

VirtualLEDSwitchTab::VirtualLEDSwitchTab(ToolGateway* gateway, QWidget* parent)
    : ControllerTab(QStringLiteral("Virtual LED Switch"), gateway, parent) {
    contentLayout()->addWidget(new EmptyStateLabel(
        tr("Virtual LEDs and switches of the controller core appear here.\nNo virtual LEDs or switches in this core."), this), 1);
}

void VirtualLEDSwitchTab::setSwitchValue(const QString& value, bool) {
    m_switchValue = value;
}

}  // namespace vemo::toolona
