#pragma once

#include "controller/controllertab.h"

#include "hardipdata.h"

#include <QHash>
#include <QList>
#include <QPointer>

class QPushButton;

namespace vemo::toolona {

class HardIpWidget;
class TargetNotice;
class WidgetGroupBox;

// The "Hard IP" page of a controller core: one collapsible group per hard
// IP instance, each holding the instance's panel.
class HardIpTab : public ControllerTab {
    Q_OBJECT
public:
    explicit HardIpTab(ToolGateway* gateway, QWidget* parent = nullptr);

    static bool hasContentFor(const QSharedPointer<AnalyzerCore>& core);
    bool hasContent() const override { return !m_data.isEmpty(); }

    // The panel kind for an instance: by type ("dphy", "cdr", "i2c"), then
    // by name prefix; anything else gets the common frame only.
    static HardIpWidget* createPanel(const HardIpData& data, ToolGateway* gateway, QWidget* parent);

    // A quad's lanes from its merge information, as "0" to "3" in order;
    // a PCIe quad without any uses all four, an MPPHY quad is then unrestricted.
    static QStringList laneMapFor(const HardIpData& data);
    // The name of the index-th PCIe quad of one hierarchy: "Quad-A", "Quad-B", ...
    static QString quadName(int index);
    const QHash<QString, ZentaMPPMergeInfo>& mergeTable() const { return m_mergeTable; }

    const QList<HardIpData>& instances() const { return m_data; }
    QList<HardIpWidget*> panels() const;
    WidgetGroupBox* groupBox() const { return m_groupBox; }

    TargetNotice* notice() const { return m_notice; }
    QPushButton* collapseAllButton() const { return m_collapseAll; }
    QPushButton* expandAllButton() const { return m_expandAll; }

protected:
    void fillFromCore(const QSharedPointer<AnalyzerCore>& core) override;
    // The target is known for the core once the page is shown.
    void showEvent(QShowEvent* event) override;

private:
    void build();
    void readMergeTable();

    QList<HardIpData> m_data;
    QList<QPointer<HardIpWidget>> m_panels;
    WidgetGroupBox* m_groupBox = nullptr;
    TargetNotice* m_notice = nullptr;
    QPushButton* m_collapseAll = nullptr;
    QPushButton* m_expandAll = nullptr;
    void updateNotice();
    // Multi-protocol PHY merge information by instance hierarchy.
    QHash<QString, ZentaMPPMergeInfo> m_mergeTable;
};

} // namespace vemo::toolona
