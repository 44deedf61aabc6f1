#include "controller/usermemorytab.h"

#include "controller/usermemorywidget.h"

#include "analyzercore.h"

#include <QVBoxLayout>

namespace vemo::toolona {

UserMemoryTab::UserMemoryTab(ToolGateway* gateway, QWidget* parent)
    : ControllerTab(QStringLiteral("User Memory"), gateway, parent), m_widget(new UserMemoryWidget(gateway, this)) {
    contentLayout()->addWidget(m_widget, 0, Qt::AlignLeft);
    contentLayout()->addStretch(1);
}

bool UserMemoryTab::hasContentFor(const QSharedPointer<AnalyzerCore>& core) {
    return core && core->getKind() == AnalyzerCore::Controller && core->getUserRegisterData().isDefined() &&
           core->getUserRegisterData().isEnabled();
}

void UserMemoryTab::fillFromCore(const QSharedPointer<AnalyzerCore>& core) {
    m_widget->setData(core ? core->getUserRegisterData() : UserRegisterData());
}

} // namespace vemo::toolona
