#pragma once

#include "controller/controllertab.h"

class RegisterListData;

namespace vemo::toolona {

class EmptyStateLabel;
class UserRegisterWidget;

// What the user status and user control register pages share: the tab that
// holds one register table and fills it from the core's register block.
class RegisterTab : public ControllerTab {
    Q_OBJECT
public:
    bool hasContent() const override;

    // Shows every register in radix index `radix` (0 Bin .. 3 Hex); an index
    // outside the radix list changes nothing and gives false.
    bool applyAllRadix(int radix);
    UserRegisterWidget* registerWidget() const { return m_widget; }

protected:
    RegisterTab(const QString& title, const QString& emptyText, UserRegisterWidget* widget, ToolGateway* gateway,
                QWidget* parent);
    // The block of `core` this tab shows (an empty record when none).
    virtual const RegisterListData& blockOf(const AnalyzerCore& core) const = 0;
    void fillFromCore(const QSharedPointer<AnalyzerCore>& core) override;
    static bool shows(const RegisterListData& data);

private:
    UserRegisterWidget* m_widget;
    EmptyStateLabel* m_empty;
};

} // namespace vemo::toolona
