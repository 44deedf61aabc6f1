#pragma once

#include "controller/controllertab.h"

namespace vemo::toolona {

// The "User Control Register" page of a controller core. The engine does not read the
// controller records of the debug-logic file yet, so no core defines
// anything for it: it shows its empty state and its tab stays disabled.
class ControlRegisterTab : public ControllerTab {
    Q_OBJECT
public:
    explicit ControlRegisterTab(QWidget* parent = nullptr);

    bool hasContent() const override { return false; }

    // Shows every register in radix index `radix` (0 Bin .. 3 Hex).
    void applyAllRadix(int radix);
    int radix() const { return m_radix; }

private:
    int m_radix = 3;
};

}  // namespace vemo::toolona
