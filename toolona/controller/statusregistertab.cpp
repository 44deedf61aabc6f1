#include "controller/statusregistertab.h"

#include "widgets/emptystatelabel.h"

#include <QVBoxLayout>

namespace vemo::toolona {

StatusRegisterTab::StatusRegisterTab(QWidget* parent) : ControllerTab(QStringLiteral("User Status Register"), parent) {
    contentLayout()->addWidget(new EmptyStateLabel(
        tr("The user status registers of the controller core appear here.\nNo user status registers in this core."), this), 1);
}

void StatusRegisterTab::applyAllRadix(int radix) {
    if (radix >= 0)
        m_radix = radix;
}

}  // namespace vemo::toolona
