#include "controller/controlregistertab.h"

#include "widgets/emptystatelabel.h"

#include <QVBoxLayout>

namespace vemo::toolona {

ControlRegisterTab::ControlRegisterTab(QWidget* parent) : ControllerTab(QStringLiteral("User Control Register"), parent) {
    contentLayout()->addWidget(new EmptyStateLabel(
        tr("The user control registers of the controller core appear here.\nNo user control registers in this core."), this), 1);
}

void ControlRegisterTab::applyAllRadix(int radix) {
    if (radix >= 0)
        m_radix = radix;
}

}  // namespace vemo::toolona
