#pragma once

#include "controller/controllertab.h"

namespace vemo::toolona {

// The "Hard IP" page of a controller core. The engine does not read the
// controller records of the debug-logic file yet, so no core defines
// anything for it: it shows its empty state and its tab stays disabled.
class HardIpTab : public ControllerTab {
    Q_OBJECT
public:
    explicit HardIpTab(ToolGateway* gateway, QWidget* parent = nullptr);

    // Whether `core` defines what this tab shows. The engine does not read
    // the controller records yet, so no core does.
    static bool hasContentFor(const QSharedPointer<AnalyzerCore>&) { return false; }
    bool hasContent() const override { return hasContentFor(core()); }
};

} // namespace vemo::toolona
