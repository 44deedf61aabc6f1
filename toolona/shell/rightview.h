#pragma once

#include "kit/pagetable.h"

#include <QList>
#include <QMetaObject>
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

class NavigablePage;
class ToolGateway;

// The tool window's central widget: a tab widget with the analyzer pages or
// the controller pages of the current core, plus the SERDES pages while the
// project describes a SERDES. Controller pages can be detached into windows
// of their own and attached again.
//
// The pages come from the page table (kit/pagetable.h); the view knows them
// only by their rows. A page is built
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

    // The page titled `title` as a `Page`, built now (null: none, or not one).
    template <class Page>
    Page* page(const QString& title) {
        return qobject_cast<Page*>(page(title));
    }
    // The first page whose row declares the class `Page` (or one derived
    // from it), built now; null when no row does.
    template <class Page>
    Page* page() {
        for (int i = 0; i < m_slots.size(); ++i) {
            const QMetaObject* type = m_slots.at(i).row.type;
            if (type && type->inherits(&Page::staticMetaObject))
                return qobject_cast<Page*>(build(i));
        }
        return nullptr;
    }
    // The pages of `set` in tab order, all built, that are a `Page`.
    template <class Page>
    QList<Page*> pagesOf(PageSet set) {
        QList<Page*> pages;
        for (int i = 0; i < m_slots.size(); ++i)
            if (m_slots.at(i).row.set == set)
                if (auto* p = qobject_cast<Page*>(build(i)))
                    pages << p;
        return pages;
    }

    // Tells the pages that hear `notice`'s event; with `build`, a page not
    // built yet is built to hear it, else it is passed over (it reads the
    // engine's state when it is built).
    void notify(const PageNotice& notice, bool build = false);
    // Tells the page of tab `index` that it is in front.
    void notifyShown(int index);
    // Model hand-over for an analyzer core; gives `core` (when set) to the
    // controller tabs. Pages built later get the same.
    void attachModels(TriggerUModel* tu, TriggerEModel* te, TriggerSetting* ts, WaveformModel* wd,
                      const QSharedPointer<AnalyzerCore>& core = {});
    void setControllerCore(const QSharedPointer<AnalyzerCore>& core);
    // The models last handed over.
    const PageModels& models() const { return m_models; }
    // The project closes: the capture is dropped from the hand-over and the
    // pages hear ProjectClosing; the other models stay until replaced.
    void projectClosing();
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
    // The page that shows the capture (its row's showsCapture) is the
    // current tab; brings it to front.
    bool isCapturePageCurrent() const;
    void showCapturePage();
    // The same for the page that shows the simulator's waveform (once
    // refreshPresence has given it its tab).
    void showWaveformPage();
    bool isWaveformPageCurrent() const;
    // Adds or removes the analyzer tabs whose row's `present` changed, in
    // their table order. Any other set (a controller core's, or none) shows
    // the simulator's waveform too, as its last tab.
    void refreshPresence();

public slots:
    void tabDockButtonClicked(QString name, bool dock);
    void onControllerDataChanged(QString kind, QString data);

protected:
    // Builds the page in front, if a hidden view left it a placeholder.
    void showEvent(QShowEvent* event) override;

private:
    struct Slot {
        PageRow row;
        QPointer<QWidget> page;
        QWidget* placeholder = nullptr;
    };

    int slotOf(const QString& title) const;
    int captureSlot() const;
    QWidget* build(int slot);
    // The widget the slot shows in the tab widget: its page or placeholder.
    QWidget* tabPage(int slot) const;
    // Appends the slot's tab, enabled by the content test; the first tab
    // of an empty tab widget becomes current, so its page is built first.
    void appendSlot(int slot);
    bool slotHasContent(int slot) const;
    // Whether the slot's row wants a tab now (PageRow::present).
    bool slotPresent(int slot) const;
    // The core name and docked state of a controller slot, built or not.
    QString slotCoreName(int slot) const;
    bool slotDocked(int slot) const;
    void appendControllerSlots(const QString& coreName, bool filterByCore);
    void appendSerdesPages();
    // Outside the analyzer set: the waveform's tab last, while one is open.
    void refreshWaveformTabs();
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
