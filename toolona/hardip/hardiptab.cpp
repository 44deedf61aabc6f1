#include "hardip/hardiptab.h"

#include "widgets/emptystatelabel.h"

#include <QVBoxLayout>

namespace vemo::toolona {

HardIpTab::HardIpTab(ToolGateway* gateway, QWidget* parent)
    : ControllerTab(QStringLiteral("Hard IP"), gateway, parent) {
    contentLayout()->addWidget(
        new EmptyStateLabel(
            tr("Configuration and status panels of the hard IP blocks appear here.\nNo hard IP blocks in this core."),
            this),
        1);
}

} // namespace vemo::toolona
