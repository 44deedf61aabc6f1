#pragma once

#include "controller/controllertab.h"

class RegisterListData;

namespace vemo::toolona {

class ControlRegisterWidget;
class EmptyStateLabel;
class StatusRegisterWidget;
class UserRegisterWidget;

// The "User Status Register" and "User Control Register" pages of a
// controller core: one register table filled from the core's status or
// control register block.
class RegisterTab : public ControllerTab {
    Q_OBJECT
public:
    enum Block { Status, Control };

    RegisterTab(Block block, ToolGateway* gateway, QWidget* parent = nullptr);

    // Whether `core` has the register block `block` (defined and enabled).
    static bool hasContentFor(Block block, const QSharedPointer<AnalyzerCore>& core);
    // The page's tab title.
    static QString titleOf(Block block);
    bool hasContent() const override;

    // Shows every register in radix index `radix` (0 Bin .. 3 Hex); an index
    // outside the radix list changes nothing and gives false.
    bool applyAllRadix(int radix);
    UserRegisterWidget* registerWidget() const { return m_widget; }
    // The table as the control (status) one; null on the other page.
    ControlRegisterWidget* controlWidget() const;
    StatusRegisterWidget* statusWidget() const;

protected:
    void fillFromCore(const QSharedPointer<AnalyzerCore>& core) override;

private:
    Block m_block;
    UserRegisterWidget* m_widget;
    EmptyStateLabel* m_empty;
};

// The names the two pages go by.
using StatusRegisterTab = RegisterTab;
using ControlRegisterTab = RegisterTab;

} // namespace vemo::toolona
