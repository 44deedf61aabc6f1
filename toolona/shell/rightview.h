#pragma once

#include <QList>
#include <QSharedPointer>
#include <QWidget>

class AnalyzerCore;
class QTabWidget;
class TriggerEModel;
class TriggerSetting;
class TriggerUModel;
class WaveformModel;

namespace vemo::toolona {

class ControllerTab;
class ControlRegisterTab;
class HardIpTab;
class SERDESView;
class StatusRegisterTab;
class ToolGateway;
class TriggerView;
class UserMemoryTab;
class VirtualLEDSwitchTab;
class WaveformView;
class WishboneView;

// The tool window's central widget: a tab widget with the analyzer pages or
// the controller pages of the current core, plus the SERDES pages while the
// project describes a SERDES. Controller pages can be detached into windows
// of their own and attached again.
class RightView : public QWidget {
    Q_OBJECT
public:
    // `tool`: the tool window, parent of the pages; `gateway`: what the
    // pages send their commands through (the same window).
    RightView(QWidget* tool, ToolGateway* gateway);
    ~RightView() override;

    static QStringList controllerTitles();

    QTabWidget* tabWidget() const { return m_tabs; }
    TriggerView* triggerView() const { return m_trigger; }
    WaveformView* waveformView() const { return m_waveform; }
    VirtualLEDSwitchTab* ledSwitchTab() const { return m_led; }
    UserMemoryTab* userMemoryTab() const { return m_memory; }
    StatusRegisterTab* statusRegisterTab() const { return m_status; }
    ControlRegisterTab* controlRegisterTab() const { return m_control; }
    HardIpTab* hardIpTab() const { return m_hardIp; }
    SERDESView* serdesView() const { return m_serdes; }
    WishboneView* wishboneView() const { return m_wishbone; }
    // The five controller tabs in tab order.
    QList<ControllerTab*> controllerTabs() const;

    // Model hand-over for an analyzer core; gives `core` (when set) to the
    // controller tabs.
    void attachModels(TriggerUModel* tu, TriggerEModel* te, TriggerSetting* ts, WaveformModel* wd,
                      const QSharedPointer<AnalyzerCore>& core = {});
    void setControllerCore(const QSharedPointer<AnalyzerCore>& core);

    // Tab sets. Each clears the tab widget and appends the SERDES pages
    // while they are on.
    void showAnalyzerTabs();
    // The docked controller tabs; with `core` set, only those last given
    // that core.
    void showControllerTabs(const QString& coreName, bool filterByCore);
    // SERDES pages on or off (on: added after the other tabs).
    void setSerdesPages(bool on);
    bool serdesPagesOn() const { return m_serdesOn; }
    bool isWaveformTabVisible() const;
    void showWaveformTab();

public slots:
    void tabDockButtonClicked(QString name, bool dock);
    void onControllerDataChanged(QString kind, QString data);

private:
    void appendSerdesPages();
    void addControllerTab(ControllerTab* tab);

    QTabWidget* m_tabs;
    TriggerView* m_trigger;
    WaveformView* m_waveform;
    VirtualLEDSwitchTab* m_led;
    UserMemoryTab* m_memory;
    StatusRegisterTab* m_status;
    ControlRegisterTab* m_control;
    HardIpTab* m_hardIp;
    SERDESView* m_serdes;
    WishboneView* m_wishbone;
    bool m_serdesOn = false;
};

}  // namespace vemo::toolona
