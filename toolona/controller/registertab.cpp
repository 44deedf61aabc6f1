#include "controller/registertab.h"

#include "controller/controlregisterwidget.h"
#include "controller/statusregisterwidget.h"
#include "widgets/emptystatelabel.h"

#include "analyzercore.h"

#include <QVBoxLayout>

namespace vemo::toolona {

namespace {

const RegisterListData& blockOf(RegisterTab::Block block, const AnalyzerCore& core) {
    if (block == RegisterTab::Control)
        return core.getControlRegisterData();
    return core.getStatusRegisterData();
}

bool shows(const RegisterListData& data) { return data.isDefined() && data.isEnabled(); }

UserRegisterWidget* tableFor(RegisterTab::Block block, ToolGateway* gateway) {
    if (block == RegisterTab::Control)
        return new ControlRegisterWidget(gateway);
    return new StatusRegisterWidget(gateway);
}

QString emptyText(RegisterTab::Block block) {
    if (block == RegisterTab::Control)
        return RegisterTab::tr(
            "The user control registers of the controller core appear here.\nNo user control registers in this core.");
    return RegisterTab::tr(
        "The user status registers of the controller core appear here.\nNo user status registers in this core.");
}

} // namespace

RegisterTab::RegisterTab(Block block, ToolGateway* gateway, QWidget* parent)
    : ControllerTab(titleOf(block), gateway, parent)
    , m_block(block)
    , m_widget(tableFor(block, gateway))
    , m_empty(new EmptyStateLabel(emptyText(block), this)) {
    m_widget->setParent(this);
    contentLayout()->addWidget(m_empty, 1);
    contentLayout()->addWidget(m_widget, 1);
}

QString RegisterTab::titleOf(Block block) {
    return block == Control ? QStringLiteral("User Control Register") : QStringLiteral("User Status Register");
}

bool RegisterTab::hasContentFor(Block block, const QSharedPointer<AnalyzerCore>& core) {
    return core && core->getKind() == AnalyzerCore::Controller && shows(blockOf(block, *core));
}

bool RegisterTab::hasContent() const { return shows(m_widget->data()); }

bool RegisterTab::applyAllRadix(int radix) { return m_widget->applyRadixToAll(radix); }

ControlRegisterWidget* RegisterTab::controlWidget() const { return qobject_cast<ControlRegisterWidget*>(m_widget); }

StatusRegisterWidget* RegisterTab::statusWidget() const { return qobject_cast<StatusRegisterWidget*>(m_widget); }

void RegisterTab::fillFromCore(const QSharedPointer<AnalyzerCore>& core) {
    if (core && core->getKind() == AnalyzerCore::Controller)
        m_widget->setData(blockOf(m_block, *core));
    else
        m_widget->setData(RegisterListData());
    m_empty->setVisible(!hasContent());
}

} // namespace vemo::toolona
