#pragma once

#include "controller/controllertab.h"

namespace vemo::toolona {

// What the user status and user control register pages share: the radix
// every register is shown in. The engine does not read the controller
// records of the debug-logic file yet, so no core defines registers: the
// pages show their empty state and their tabs stay disabled.
class RegisterTab : public ControllerTab {
    Q_OBJECT
public:
    RegisterTab(const QString& title, const QString& emptyText, ToolGateway* gateway, QWidget* parent);

    // Whether `core` defines what this tab shows. The engine does not read
    // the controller records yet, so no core does.
    static bool hasContentFor(const QSharedPointer<AnalyzerCore>&) { return false; }
    bool hasContent() const override { return hasContentFor(core()); }

    // Shows every register in radix index `radix` (0 Bin .. 3 Hex); a
    // negative index changes nothing.
    void applyAllRadix(int radix);
    int radix() const { return m_radix; }

private:
    int m_radix = 3;
};

} // namespace vemo::toolona
