#pragma once

#include "controller/controllertab.h"

namespace vemo::toolona {

// The "Virtual LED Switch" page of a controller core. The engine does not read the
// controller records of the debug-logic file yet, so no core defines
// anything for it: it shows its empty state and its tab stays disabled.
class VirtualLEDSwitchTab : public ControllerTab {
    Q_OBJECT
public:
    explicit VirtualLEDSwitchTab(ToolGateway* gateway, QWidget* parent = nullptr);

    // Whether `core` defines what this tab shows. The engine does not read
    // the controller records yet, so no core does.
    static bool hasContentFor(const QSharedPointer<AnalyzerCore>&) { return false; }
    bool hasContent() const override { return hasContentFor(core()); }

    // A switch value the device reported; shown by the switch panel.
    void setSwitchValue(const QString& value, bool updateItems);
    QString switchValue() const { return m_switchValue; }

private:
    QString m_switchValue;
};

}  // namespace vemo::toolona
