#include "controller/virtualledswitchtab.h"

#include "controller/ledpanel.h"
#include "controller/switchpanel.h"

#include "analyzercore.h"

#include <QVBoxLayout>

namespace vemo::toolona {

VirtualLEDSwitchTab::VirtualLEDSwitchTab(ToolGateway* gateway, QWidget* parent)
    : ControllerTab(QStringLiteral("Virtual LED Switch"), gateway, parent)
    , m_leds(new LEDPanel(gateway, this))
    , m_switches(new SwitchPanel(gateway, this)) {
    contentLayout()->addWidget(m_leds);
    contentLayout()->addWidget(m_switches);
    contentLayout()->addStretch(1);
}

bool VirtualLEDSwitchTab::hasContentFor(const QSharedPointer<AnalyzerCore>& core) {
    if (!core || core->getKind() != AnalyzerCore::Controller)
        return false;
    const auto shows = [](const VirtualIOData& d) { return d.isDefined() && d.isEnabled() && !d.getNames().isEmpty(); };
    return shows(core->getLEDData()) || shows(core->getSwitchData());
}

void VirtualLEDSwitchTab::fillFromCore(const QSharedPointer<AnalyzerCore>& core) {
    m_leds->setData(core ? core->getLEDData() : VirtualLEDData());
    m_switches->setData(core ? core->getSwitchData() : VirtualSwitchData());
}

void VirtualLEDSwitchTab::setSwitchValue(const QString& value, bool updateText) {
    m_switches->setSwitchValue(value, updateText);
}

QString VirtualLEDSwitchTab::switchValue() const { return m_switches->switchValue(); }

} // namespace vemo::toolona
