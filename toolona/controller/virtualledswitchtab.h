#pragma once

#include "controller/controllertab.h"

namespace vemo::toolona {

class LEDPanel;
class SwitchPanel;

// The "Virtual LED Switch" page of a controller core: its virtual LEDs
// (read once or polled) above its virtual switches.
class VirtualLEDSwitchTab : public ControllerTab {
    Q_OBJECT
public:
    explicit VirtualLEDSwitchTab(ToolGateway* gateway, QWidget* parent = nullptr);

    // Whether `core` has LEDs or switches to show (defined, enabled, named).
    static bool hasContentFor(const QSharedPointer<AnalyzerCore>& core);
    bool hasContent() const override { return hasContentFor(core()); }

    // A switch value the device reported; shown by the switch panel.
    void setSwitchValue(const QString& value, bool updateText);
    QString switchValue() const;

    LEDPanel* ledPanel() const { return m_leds; }
    SwitchPanel* switchPanel() const { return m_switches; }

protected:
    void fillFromCore(const QSharedPointer<AnalyzerCore>& core) override;

private:
    LEDPanel* m_leds;
    SwitchPanel* m_switches;
};

} // namespace vemo::toolona
