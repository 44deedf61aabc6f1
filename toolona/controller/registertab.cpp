#include "controller/registertab.h"

#include "controller/userregisterwidget.h"
#include "widgets/emptystatelabel.h"

#include "analyzercore.h"

#include <QVBoxLayout>

namespace vemo::toolona {

RegisterTab::RegisterTab(const QString& title, const QString& emptyText, UserRegisterWidget* widget,
                         ToolGateway* gateway, QWidget* parent)
    : ControllerTab(title, gateway, parent), m_widget(widget), m_empty(new EmptyStateLabel(emptyText, this)) {
    m_widget->setParent(this);
    contentLayout()->addWidget(m_empty, 1);
    contentLayout()->addWidget(m_widget, 1, Qt::AlignLeft);
}

bool RegisterTab::shows(const RegisterListData& data) { return data.isDefined() && data.isEnabled(); }

bool RegisterTab::hasContent() const { return shows(m_widget->data()); }

bool RegisterTab::applyAllRadix(int radix) { return m_widget->applyRadixToAll(radix); }

void RegisterTab::fillFromCore(const QSharedPointer<AnalyzerCore>& core) {
    if (core && core->getKind() == AnalyzerCore::Controller)
        m_widget->setData(blockOf(*core));
    else
        m_widget->setData(RegisterListData());
    m_empty->setVisible(!hasContent());
}

} // namespace vemo::toolona
