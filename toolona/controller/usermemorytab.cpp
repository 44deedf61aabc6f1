#include "controller/usermemorytab.h"

#include "widgets/emptystatelabel.h"

#include <QVBoxLayout>

namespace vemo::toolona {

UserMemoryTab::UserMemoryTab(ToolGateway* gateway, QWidget* parent)
    : ControllerTab(QStringLiteral("User Memory"), gateway, parent) {
    contentLayout()->addWidget(new EmptyStateLabel(
        tr("The user memories of the controller core appear here.\nNo user memory in this core."), this), 1);
}

}  // namespace vemo::toolona
