#pragma once

// The panels of the single hardened blocks (PCIe link layer, I2C FIFO,
// D-PHY, SGMII CDR) as data: one row per block type, each a table of
// declared controls on the hard IP panel base. Choices and ranges are the
// engine's block description's (HardIpBlocks), never typed here.

#include "hardip/hardipwidget.h"

namespace vemo::toolona {

struct BlockPanelRow {
    // The engine's block kind ("pcie", "i2c", "dphy", "cdr").
    QString kind;
    // The declared controls, in row order; a Combo's items and a Number's
    // range come from the engine's key of the same name.
    QList<HardIpControl> (*controls)();
    // Apply and Reload join the last control row (else a row of their own).
    bool applyOnLastRow = true;
    // The panel shows its defaults until Reload reads the device; a reload
    // that changes a choice stages it again.
    bool defaultsUntilReload = true;
};

class BlockPanel : public HardIpWidget {
    Q_OBJECT
public:
    BlockPanel(const BlockPanelRow& row, ToolGateway* gateway, QWidget* parent = nullptr);

    // The row for the engine block kind `kind` (null: none).
    static const BlockPanelRow* rowFor(const QString& kind);
    // The row's controls with the engine's choices and ranges filled in.
    QList<HardIpControl> table() const;

    void createControls(int& row) override;
    void updateFromEngine() override;
    void reloadControls() override;

private:
    const BlockPanelRow& m_row;
};

// The names the four panels go by.
using PCIELLWidget = BlockPanel;
using I2CFIFOWidget = BlockPanel;
using DPHYWidget = BlockPanel;
using SGMIICDRWidget = BlockPanel;

} // namespace vemo::toolona
