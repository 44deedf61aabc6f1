#pragma once

#include "controller/registertab.h"

namespace vemo::toolona {

class StatusRegisterWidget;

// The "User Status Register" page of a controller core.
class StatusRegisterTab : public RegisterTab {
    Q_OBJECT
public:
    explicit StatusRegisterTab(ToolGateway* gateway, QWidget* parent = nullptr);
    // Whether `core` has a user status register block (defined and enabled).
    static bool hasContentFor(const QSharedPointer<AnalyzerCore>& core);
    StatusRegisterWidget* statusWidget() const;

protected:
    const RegisterListData& blockOf(const AnalyzerCore& core) const override;
};

} // namespace vemo::toolona
