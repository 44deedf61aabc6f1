#pragma once

#include "hardip/hardipwidget.h"

namespace vemo::toolona {

// The panel of a SERDES/PCS channel: transmit and receive analog settings,
// loss-of-lock status, loopback, resets and high-impedance controls.
class PCSCHWidget : public HardIpWidget {
    Q_OBJECT
public:
    explicit PCSCHWidget(ToolGateway* gateway, QWidget* parent = nullptr);

    void createControls(int& row) override;
    QPushButton* eomButton() const { return m_eom; }

    // The rows of the panel, in order (sections and spacers included).
    static QList<HardIpControl> table();

    // Reads an eye scan's CSV result and shows its eye diagram.
    void loadEomCsvFile(const QString& path);

public slots:
    void onEomBtnClicked();

protected:
    void showRefusal(const HardIpControl& control, const QString& result) override;

private:
    QPushButton* m_eom = nullptr;
};

} // namespace vemo::toolona
