#include "hardip/hardiptab.h"

#include "hardip/hardipwidget.h"
#include "hardip/pcschwidget.h"
#include "widgets/widgetgroupbox.h"

#include "analyzercore.h"

#include <QSet>
#include <QVBoxLayout>

namespace vemo::toolona {

HardIpTab::HardIpTab(ToolGateway* gateway, QWidget* parent)
    : ControllerTab(QStringLiteral("Hard IP"), gateway, parent) {
    build();
}

bool HardIpTab::hasContentFor(const QSharedPointer<AnalyzerCore>& core) {
    return core && !core->getHardIpData().isEmpty();
}

HardIpWidget* HardIpTab::createPanel(const HardIpData& data, ToolGateway* gateway, QWidget* parent) {
    const QString& name = data.getName();
    if (name.startsWith(QLatin1String("PCSCH")) && data.getType() != QLatin1String("dphy") &&
        data.getType() != QLatin1String("cdr") && data.getType() != QLatin1String("i2c"))
        return new PCSCHWidget(gateway, parent);
    return new HardIpWidget(gateway, parent);
}

QList<HardIpWidget*> HardIpTab::panels() const {
    QList<HardIpWidget*> out;
    for (const auto& p : m_panels)
        if (p)
            out << p.data();
    return out;
}

void HardIpTab::fillFromCore(const QSharedPointer<AnalyzerCore>& core) {
    m_data = core ? core->getHardIpData() : QList<HardIpData>();
    build();
}

void HardIpTab::build() {
    if (m_groupBox) {
        contentLayout()->removeWidget(m_groupBox);
        delete m_groupBox; // and every panel with it
        m_groupBox = nullptr;
    }
    m_panels.clear();
    m_groupBox = new WidgetGroupBox(contentLayout()->parentWidget());
    QSet<QString> pcieHierarchies; // for this build only
    for (const HardIpData& record : std::as_const(m_data)) {
        HardIpData data = record;
        data.mergeInfo = m_mergeTable.value(data.getHierarchy());
        if (data.getName().startsWith(QLatin1String("MPPCIE"))) {
            data.quad =
                pcieHierarchies.contains(data.getHierarchy()) ? QStringLiteral("Quad-B") : QStringLiteral("Quad-A");
            pcieHierarchies.insert(data.getHierarchy());
            for (const char* lane : {"0", "1", "2", "3"})
                if (!data.lanes.contains(QLatin1String(lane)))
                    data.lanes << QLatin1String(lane);
        }
        HardIpWidget* panel = createPanel(data, gateway(), m_groupBox);
        panel->setData(data);
        panel->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Minimum);
        panel->buildFrame();
        if (!data.isEnabled())
            panel->setEnabled(false);
        m_groupBox->addGroupWidget(panel, panel->groupTitle());
        m_panels.append(panel);
        panel->updateFromEngine();
    }
    m_groupBox->buildLayout();
    contentLayout()->addWidget(m_groupBox, 1);
}

} // namespace vemo::toolona
