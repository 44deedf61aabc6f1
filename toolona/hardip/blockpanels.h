#pragma once

// The panels of the single hardened blocks: each is its table of controls
// on the hard IP panel base.

#include "hardip/hardipwidget.h"

namespace vemo::toolona {

// PCIe link layer: link, LTSSM and data link layer status, swing control.
class PCIELLWidget : public HardIpWidget {
    Q_OBJECT
public:
    using HardIpWidget::HardIpWidget;
    static QList<HardIpControl> table();
    void createControls(int& row) override;
};

// Hardened I2C controller with FIFO. Shows its defaults until Reload; a
// reload that changes a choice stages it again.
class I2CFIFOWidget : public HardIpWidget {
    Q_OBJECT
public:
    using HardIpWidget::HardIpWidget;
    static QList<HardIpControl> table();
    void createControls(int& row) override;
    void updateFromEngine() override {}
    void reloadControls() override { loadControls(false); }
};

// MIPI D-PHY: rate class, PLL bypass and PLL divider counters.
class DPHYWidget : public HardIpWidget {
    Q_OBJECT
public:
    using HardIpWidget::HardIpWidget;
    static QList<HardIpControl> table();
    void createControls(int& row) override;
    void updateFromEngine() override {}
    void reloadControls() override { loadControls(false); }
};

// SGMII CDR: loss-of-lock thresholds, loopback and the DCO status lamps.
class SGMIICDRWidget : public HardIpWidget {
    Q_OBJECT
public:
    using HardIpWidget::HardIpWidget;
    static QList<HardIpControl> table();
    void createControls(int& row) override;
    void updateFromEngine() override {}
    void reloadControls() override { loadControls(false); }
};

} // namespace vemo::toolona
