#pragma once

#include "widgets/statusledwidget.h"

#include "controller/virtualiopanel.h"
#include "controllerrecords.h"

#include <QList>

class QPushButton;
class QSlider;

namespace vemo::toolona {

// The virtual LEDs of a controller core: one lamp per LED signal, read once
// or polled continuously by the engine at the slider's speed.
class LEDPanel : public VirtualIOPanel {
    Q_OBJECT
public:
    LEDPanel(ToolGateway* gateway, QWidget* parent = nullptr);
    ~LEDPanel() override;

    void setData(const VirtualLEDData& data);
    void showLedValue(const QString& value);
    QSize sizeHint() const override;

    const QList<VirtualLEDItem*>& items() const { return m_items; }
    bool isPolling() const { return m_polling; }
    QLabel* dataLabel() const { return m_dataLabel; }
    QPushButton* pollingButton() const { return m_normalButton; }
    QPushButton* pollingOnceButton() const { return m_onceButton; }
    QSlider* speedSlider() const { return m_slider; }

public slots:
    void handlePollingOnceButtonClicked();
    void handlePollingNormalButtonClicked();
    void handleLedPollingData(QString data);
    // Polling ended, by this panel or not (project close, a script).
    void showPollingStopped();
    void handlePollingSpeedChanged(int value);

private:
    VirtualLEDData m_data;
    QList<VirtualLEDItem*> m_items;
    bool m_polling = false;
    QLabel* m_dataLabel = nullptr;
    QPushButton* m_onceButton = nullptr;
    QPushButton* m_normalButton = nullptr;
    QSlider* m_slider = nullptr;
};

} // namespace vemo::toolona
