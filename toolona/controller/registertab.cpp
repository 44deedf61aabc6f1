#include "controller/registertab.h"

#include "widgets/emptystatelabel.h"

#include <QVBoxLayout>

namespace vemo::toolona {

RegisterTab::RegisterTab(const QString& title, const QString& emptyText, ToolGateway* gateway, QWidget* parent)
    : ControllerTab(title, gateway, parent) {
    contentLayout()->addWidget(new EmptyStateLabel(emptyText, this), 1);
}

void RegisterTab::applyAllRadix(int radix) {
    if (radix >= 0)
        m_radix = radix;
}

} // namespace vemo::toolona
