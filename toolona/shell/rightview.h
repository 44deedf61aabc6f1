#pragma once

#include "shell/pagetable.h"

#include <QList>
#include <QPointer>
#include <QSharedPointer>
#include <QVector>
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
class NavigablePage;
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
//
// The pages come from the page table (shell/pagetable.h). A page is built
// the first time its tab becomes the current one, or when it is asked for;
// until then its tab holds a light placeholder under the page's title.
class RightView : public QWidget {
    Q_OBJECT
public:
    // `tool`: the tool window, parent of the pages; `gateway`: what the
    // pages send their commands through (the same window).
    RightView(QWidget* tool, ToolGateway* gateway);
    ~RightView() override;

    // The titles of the controller pages, in tab order.
    static QStringList controllerTitles();

    QTabWidget* tabWidget() const { return m_tabs; }
    // The page titled `title`, built now if it was not (null: no such row).
    QWidget* page(const QString& title);
    // The page titled `title` if it is built, else null; builds nothing.
    QWidget* builtPage(const QString& title) const;
    // The page of the current tab when it is built and can zoom, else null.
    NavigablePage* currentNavigablePage() const;

    // The tool's own pages, built on demand.
    TriggerView* triggerView();
    WaveformView* waveformView();
    VirtualLEDSwitchTab* ledSwitchTab();
    UserMemoryTab* userMemoryTab();
    StatusRegisterTab* statusRegisterTab();
    ControlRegisterTab* controlRegisterTab();
    HardIpTab* hardIpTab();
    SERDESView* serdesView();
    WishboneView* wishboneView();
    // The controller tabs in tab order (all built).
    QList<ControllerTab*> controllerTabs();

    // Model hand-over for an analyzer core; gives `core` (when set) to the
    // controller tabs. Pages built later get the same.
    void attachModels(TriggerUModel* tu, TriggerEModel* te, TriggerSetting* ts, WaveformModel* wd,
                      const QSharedPointer<AnalyzerCore>& core = {});
    void setControllerCore(const QSharedPointer<AnalyzerCore>& core);
    // The models last handed over.
    const PageModels& models() const { return m_models; }
    // The waveform page drops its link to the waveform model (project
    // closing); the other pages keep theirs.
    void dropWaveformModel();
    // Closes every controller tab for good (tool shutdown), also those
    // built afterwards.
    void closeControllerTabs();

    // Tab sets. Each clears the tab widget and appends the SERDES pages
    // while they are on.
    void showAnalyzerTabs();
    // The docked controller tabs; with `filterByCore`, only those last
    // given the core named `coreName`.
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
    struct Slot {
        PageRow row;
        QPointer<QWidget> page;
        QWidget* placeholder = nullptr;
    };

    int slotOf(const QString& title) const;
    QWidget* build(int slot);
    // The widget the slot shows in the tab widget: its page or placeholder.
    QWidget* tabPage(int slot) const;
    // Appends the slot's tab, enabled by the content test; the first tab
    // of an empty tab widget becomes current, so its page is built first.
    void appendSlot(int slot);
    bool slotHasContent(int slot) const;
    // The core name and docked state of a controller slot, built or not.
    QString slotCoreName(int slot) const;
    bool slotDocked(int slot) const;
    void appendControllerSlots(const QString& coreName, bool filterByCore);
    void appendSerdesPages();
    void onCurrentChanged(int index);
    void clearTabs();

    QWidget* m_tool;
    ToolGateway* m_gateway;
    QTabWidget* m_tabs;
    QVector<Slot> m_slots;
    PageModels m_models;
    QWeakPointer<AnalyzerCore> m_controllerCore;
    bool m_serdesOn = false;
    bool m_closingForGood = false;
    // While the tab widget is emptied for a new tab set, its passing
    // current tabs are not shown and build nothing.
    bool m_clearing = false;
};

} // namespace vemo::toolona
