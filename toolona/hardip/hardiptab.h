#pragma once

#include "controller/controllertab.h"

#include "hardipdata.h"

#include <QHash>
#include <QList>
#include <QPointer>

namespace vemo::toolona {

class HardIpWidget;
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

    const QList<HardIpData>& instances() const { return m_data; }
    QList<HardIpWidget*> panels() const;
    WidgetGroupBox* groupBox() const { return m_groupBox; }

protected:
    void fillFromCore(const QSharedPointer<AnalyzerCore>& core) override;

private:
    void build();

    QList<HardIpData> m_data;
    QList<QPointer<HardIpWidget>> m_panels;
    WidgetGroupBox* m_groupBox = nullptr;
    // Multi-protocol PHY merge information by instance hierarchy.
    QHash<QString, ZentaMPPMergeInfo> m_mergeTable;
};

} // namespace vemo::toolona
