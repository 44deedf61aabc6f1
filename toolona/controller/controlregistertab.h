#pragma once

#include "controller/registertab.h"

namespace vemo::toolona {

class ControlRegisterWidget;

// The "User Control Register" page of a controller core.
class ControlRegisterTab : public RegisterTab {
    Q_OBJECT
public:
    explicit ControlRegisterTab(ToolGateway* gateway, QWidget* parent = nullptr);
    // Whether `core` has a user control register block (defined and enabled).
    static bool hasContentFor(const QSharedPointer<AnalyzerCore>& core);
    ControlRegisterWidget* controlWidget() const;

protected:
    const RegisterListData& blockOf(const AnalyzerCore& core) const override;
};

} // namespace vemo::toolona
