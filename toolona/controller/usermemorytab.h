#pragma once

#include "controller/controllertab.h"

namespace vemo::toolona {

// The "User Memory" page of a controller core. The engine does not read the
// controller records of the debug-logic file yet, so no core defines
// anything for it: it shows its empty state and its tab stays disabled.
class UserMemoryTab : public ControllerTab {
    Q_OBJECT
public:
    explicit UserMemoryTab(QWidget* parent = nullptr);

    bool hasContent() const override { return false; }

};

}  // namespace vemo::toolona
