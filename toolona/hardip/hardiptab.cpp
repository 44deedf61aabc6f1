#include "hardip/hardiptab.h"

#include "hardip/blockpanels.h"
#include "hardip/hardipwidget.h"
#include "hardip/mpphyx4widget.h"
#include "hardip/pcschwidget.h"
#include "widgets/targetnotice.h"
#include "widgets/widgetgroupbox.h"

#include "analyzercore.h"
#include "hardipblocks.h"
#include "hardipdevice.h"
#include "hardipmerge.h"
#include "onadata.h"
#include "oncdata.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QSet>
#include <QVBoxLayout>

namespace vemo::toolona {

HardIpTab::HardIpTab(ToolGateway* gateway, QWidget* parent)
    : ControllerTab(QStringLiteral("Hard IP"), gateway, parent) {
    m_notice = new TargetNotice(contentLayout()->parentWidget());
    contentLayout()->addWidget(m_notice);
    // Ten panels make a long page: one click folds or opens them all.
    auto* folding = new QHBoxLayout;
    m_collapseAll = new QPushButton(tr("Collapse all"), contentLayout()->parentWidget());
    m_expandAll = new QPushButton(tr("Expand all"), contentLayout()->parentWidget());
    m_collapseAll->setObjectName(QStringLiteral("collapseAll"));
    m_expandAll->setObjectName(QStringLiteral("expandAll"));
    folding->addWidget(m_collapseAll);
    folding->addWidget(m_expandAll);
    folding->addStretch(1);
    contentLayout()->addLayout(folding);
    connect(m_collapseAll, &QPushButton::clicked, this, [this] {
        if (m_groupBox)
            m_groupBox->setAllExpanded(false);
    });
    connect(m_expandAll, &QPushButton::clicked, this, [this] {
        if (m_groupBox)
            m_groupBox->setAllExpanded(true);
    });
    readMergeTable();
    build();
    // The merge file belongs to the project: read it again whenever one
    // opens, and forget it when it closes.
    connect(OnaData::inst(), &OnaData::sigProjectOpened, this, [this] {
        readMergeTable();
        build();
    });
    connect(OnaData::inst(), &OnaData::sigProjectClosed, this, [this] { m_mergeTable.clear(); });
    connect(OnaData::inst(), &OnaData::sigTargetChanged, this, &HardIpTab::updateNotice);
}

void HardIpTab::readMergeTable() {
    m_mergeTable.clear();
    auto* data = OnaData::inst();
    QString warning;
    if (!HardIpMerge::parse(data->readZentaMPPMergeInfo().toUtf8(), &m_mergeTable, &warning))
        data->logDebug(warning);
}

QStringList HardIpTab::laneMapFor(const HardIpData& data) {
    QStringList lanes;
    for (const char* lane : {"0", "1", "2", "3"})
        if (data.mergeInfo.lanes.contains(QLatin1String(lane)))
            lanes << QLatin1String(lane);
    // A PCIe quad without merge information uses its four lanes.
    if (lanes.isEmpty() && data.getName().startsWith(QLatin1String("MPPCIE")))
        lanes = QStringList{QStringLiteral("0"), QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")};
    return lanes;
}

QString HardIpTab::quadName(int index) {
    return index < 26 ? QStringLiteral("Quad-") + QChar(QLatin1Char('A').unicode() + index)
                      : QStringLiteral("Quad-%1").arg(index + 1);
}

bool HardIpTab::hasContentFor(const QSharedPointer<AnalyzerCore>& core) {
    return core && !core->getHardIpData().isEmpty();
}

HardIpWidget* HardIpTab::createPanel(const HardIpData& data, ToolGateway* gateway, QWidget* parent) {
    const QString& name = data.getName();
    const QString& type = data.getType();
    // The engine picks an instance's block the way the panels are picked.
    if (const HardIpBlock* block = HardIpBlocks::forInstance(type, name)) {
        if (const BlockPanelRow* row = BlockPanel::rowFor(block->kind))
            return new BlockPanel(*row, gateway, parent);
    }
    if (name.startsWith(QLatin1String("PCSCH")))
        return new PCSCHWidget(gateway, parent);
    if (name.startsWith(QLatin1String("MPPHY")))
        return new MPPHYX4Widget(gateway, parent);
    if (name.startsWith(QLatin1String("MPPCIE")))
        return new MPPCIEX8Widget(gateway, parent);
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
    QHash<QString, int> pcieQuads; // per hierarchy, for this build only
    for (const HardIpData& record : std::as_const(m_data)) {
        HardIpData data = record;
        data.mergeInfo = m_mergeTable.value(data.getHierarchy());
        const bool pcie = data.getName().startsWith(QLatin1String("MPPCIE"));
        if (pcie || data.getName().startsWith(QLatin1String("MPPHY"))) {
            data.lanes = laneMapFor(data);
            if (pcie)
                data.quad = quadName(pcieQuads[data.getHierarchy()]++);
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
    updateNotice();
}

void HardIpTab::updateNotice() {
    const auto set = ONCData::inst()->hardIp();
    m_notice->setFault(set && !m_data.isEmpty() ? set->deviceFault() : QString(), m_groupBox);
}

void HardIpTab::showEvent(QShowEvent* event) {
    updateNotice();
    ControllerTab::showEvent(event);
}

} // namespace vemo::toolona
