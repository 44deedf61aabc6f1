#include "shell/rightview.h"

#include "kit/detachablepage.h"
#include "kit/navigablepage.h"

#include "analyzercore.h"
#include "onadata.h"
#include "oncdata.h"
#include "triggeremodel.h"
#include "triggerumodel.h"
#include "waveformmodel.h"

#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QToolButton>

namespace vemo::toolona {

namespace {

DetachablePage* detachable(QWidget* page) { return dynamic_cast<DetachablePage*>(page); }

void sendLeave(QWidget* page) {
    if (DetachablePage* tab = detachable(page)) {
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(tab->dockHandle(), &leave);
    }
}

} // namespace

QStringList RightView::controllerTitles() {
    QStringList titles;
    for (const PageRow& row : PageTable::rows())
        if (row.set == PageSet::Controller)
            titles << row.title;
    return titles;
}

RightView::RightView(QWidget* tool, ToolGateway* gateway) : QWidget(tool), m_tool(tool), m_gateway(gateway) {
    setObjectName(QStringLiteral("RightView"));
    setMouseTracking(true);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("RightViewTabs"));
    m_tabs->setTabPosition(QTabWidget::South);
    m_tabs->setMouseTracking(true);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(m_tabs, 0, 0);
    // Before any tab exists, and before the tool window's own connection:
    // a page is there by the time the window hears of its tab.
    connect(m_tabs, &QTabWidget::currentChanged, this, &RightView::onCurrentChanged);

    for (const PageRow& row : PageTable::rows()) {
        Slot slot;
        slot.row = row;
        slot.placeholder = new QWidget;
        slot.placeholder->setObjectName(row.title);
        m_slots.append(slot);
    }
    // The analyzer and controller tabs; the SERDES pages wait until the
    // project has a SERDES.
    for (int i = 0; i < m_slots.size(); ++i)
        if (m_slots.at(i).row.set == PageSet::LogicAnalyzer && slotPresent(i))
            appendSlot(i);
    for (int i = 0; i < m_slots.size(); ++i)
        if (m_slots.at(i).row.set == PageSet::Controller)
            appendSlot(i);
    connect(ONCData::inst(), &ONCData::sigControllerDataChanged, this, &RightView::onControllerDataChanged);
}

RightView::~RightView() {
    // The pages have the tool window as parent; a page out of the tab widget
    // (a detached controller tab, the SERDES pages) would outlive this view.
    disconnect(m_tabs, nullptr, this, nullptr);
    for (Slot& slot : m_slots) {
        delete slot.page.data();
        delete slot.placeholder;
    }
    delete m_tabs;
}

int RightView::slotOf(const QString& title) const {
    for (int i = 0; i < m_slots.size(); ++i)
        if (m_slots.at(i).row.title == title)
            return i;
    return -1;
}

QWidget* RightView::tabPage(int slot) const {
    const Slot& s = m_slots.at(slot);
    return s.page ? s.page.data() : s.placeholder;
}

QWidget* RightView::build(int slot) {
    Slot& s = m_slots[slot];
    if (s.page)
        return s.page;
    QPointer<RightView> self(this);
    const auto dock = [self](const QString& title, bool attach) {
        if (self)
            self->tabDockButtonClicked(title, attach);
    };
    QWidget* page = s.row.make(PageContext{m_gateway, m_tool, dock});
    if (!page)
        return nullptr;
    s.page = page;
    // The same hand-over the pages built earlier had.
    if (s.row.showModels)
        s.row.showModels(page, m_models);
    if (s.row.showCore) {
        if (const QSharedPointer<AnalyzerCore> core = m_controllerCore.toStrongRef())
            s.row.showCore(page, core);
    }
    if (m_closingForGood) {
        if (DetachablePage* tab = detachable(page))
            tab->forceClose();
    }

    // Takes the placeholder's place in the tab widget, quietly: the tab
    // neither moves nor changes its title, state or selection.
    const int index = m_tabs->indexOf(s.placeholder);
    if (index < 0) {
        page->hide();
        return page;
    }
    const QSignalBlocker quiet(m_tabs);
    const bool current = m_tabs->currentIndex() == index;
    const bool enabled = m_tabs->isTabEnabled(index);
    m_tabs->removeTab(index);
    m_tabs->insertTab(index, page, s.row.title);
    m_tabs->setTabEnabled(index, enabled);
    if (current)
        m_tabs->setCurrentIndex(index);
    s.placeholder->hide();
    return page;
}

void RightView::clearTabs() {
    m_clearing = true;
    m_tabs->clear();
    m_clearing = false;
}

void RightView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    onCurrentChanged(m_tabs->currentIndex());
}

void RightView::onCurrentChanged(int index) {
    if (m_clearing)
        return;
    QWidget* shown = m_tabs->widget(index);
    for (int i = 0; shown && i < m_slots.size(); ++i) {
        if (m_slots.at(i).placeholder == shown) {
            build(i);
            return;
        }
    }
}

QWidget* RightView::page(const QString& title) {
    const int slot = slotOf(title);
    return slot < 0 ? nullptr : build(slot);
}

QWidget* RightView::builtPage(const QString& title) const {
    const int slot = slotOf(title);
    return slot < 0 ? nullptr : m_slots.at(slot).page.data();
}

NavigablePage* RightView::currentNavigablePage() const {
    QWidget* shown = m_tabs->currentWidget();
    for (const Slot& s : m_slots)
        if (s.page && s.page == shown)
            return dynamic_cast<NavigablePage*>(shown);
    return nullptr;
}

void RightView::notify(const PageNotice& notice, bool buildIt) {
    for (int i = 0; i < m_slots.size(); ++i) {
        const PageRow& row = m_slots.at(i).row;
        if (!row.onEvent || !row.hears.contains(notice.event))
            continue;
        QWidget* page = buildIt ? build(i) : m_slots.at(i).page.data();
        if (page)
            row.onEvent(page, notice, m_models);
    }
}

void RightView::notifyShown(int index) {
    QWidget* shown = m_tabs->widget(index);
    for (const Slot& s : std::as_const(m_slots))
        if (shown && s.page == shown && s.row.onEvent && s.row.hears.contains(PageEvent::Shown))
            s.row.onEvent(shown, PageNotice{PageEvent::Shown}, m_models);
}

void RightView::attachModels(TriggerUModel* tu, TriggerEModel* te, TriggerSetting* ts, WaveformModel* wd,
                             const QSharedPointer<AnalyzerCore>& core) {
    m_models.tu = tu;
    m_models.te = te;
    m_models.ts = ts;
    m_models.wd = wd;
    for (const Slot& s : std::as_const(m_slots))
        if (s.page && s.row.showModels)
            s.row.showModels(s.page, m_models);
    if (core)
        setControllerCore(core);
}

void RightView::setControllerCore(const QSharedPointer<AnalyzerCore>& core) {
    m_controllerCore = core;
    for (const Slot& s : std::as_const(m_slots))
        if (s.page && s.row.showCore)
            s.row.showCore(s.page, core);
}

void RightView::projectClosing() {
    m_models.wd = nullptr;
    notify(PageNotice{PageEvent::ProjectClosing});
}

void RightView::closeControllerTabs() {
    m_closingForGood = true;
    for (const Slot& s : std::as_const(m_slots))
        if (DetachablePage* tab = detachable(s.page.data()))
            tab->forceClose();
}

bool RightView::slotHasContent(int slot) const {
    const Slot& s = m_slots.at(slot);
    if (DetachablePage* tab = detachable(s.page.data()))
        return tab->hasContent();
    return !s.row.hasContent || s.row.hasContent(m_controllerCore.toStrongRef());
}

QString RightView::slotCoreName(int slot) const {
    if (DetachablePage* tab = detachable(m_slots.at(slot).page.data()))
        return tab->coreName();
    // Not built yet: it would have been given the core last handed over.
    const QSharedPointer<AnalyzerCore> core = m_controllerCore.toStrongRef();
    return core ? core->getName() : QString();
}

bool RightView::slotDocked(int slot) const {
    DetachablePage* tab = detachable(m_slots.at(slot).page.data());
    return !tab || tab->isDocked();
}

void RightView::appendSlot(int slot) {
    // The first tab of an empty tab widget becomes current at once. On
    // screen, its page is built before the tab widget (and whoever listens)
    // shows it. Hidden, it is built when the view is shown, unless another
    // tab is brought to front first (a project with a SERDES opens on that).
    const bool first = m_tabs->count() == 0;
    if (first && isVisible())
        build(slot);
    const Slot& s = m_slots.at(slot);
    const QSignalBlocker quiet(first && !isVisible() ? m_tabs : nullptr);
    const int index = m_tabs->addTab(tabPage(slot), s.row.title);
    if (s.row.hasContent)
        m_tabs->setTabEnabled(index, slotHasContent(slot));
}

void RightView::appendControllerSlots(const QString& coreName, bool filterByCore) {
    for (int i = 0; i < m_slots.size(); ++i) {
        if (m_slots.at(i).row.set != PageSet::Controller)
            continue;
        if (!slotDocked(i) || (filterByCore && slotCoreName(i) != coreName))
            continue;
        appendSlot(i);
        sendLeave(m_slots.at(i).page);
    }
}

void RightView::showAnalyzerTabs() {
    clearTabs();
    for (int i = 0; i < m_slots.size(); ++i)
        if (m_slots.at(i).row.set == PageSet::LogicAnalyzer && slotPresent(i))
            appendSlot(i);
    appendSerdesPages();
}

void RightView::showControllerTabs(const QString& coreName, bool filterByCore) {
    clearTabs();
    appendControllerSlots(coreName, filterByCore);
    appendSerdesPages();
    refreshWaveformTabs();
}

void RightView::setSerdesPages(bool on) {
    if (on == m_serdesOn)
        return;
    m_serdesOn = on;
    if (on) {
        appendSerdesPages();
        return;
    }
    for (int i = 0; i < m_slots.size(); ++i) {
        if (m_slots.at(i).row.set != PageSet::Serdes)
            continue;
        QWidget* page = tabPage(i);
        const int index = m_tabs->indexOf(page);
        if (index >= 0)
            m_tabs->removeTab(index);
        page->hide();
    }
}

void RightView::appendSerdesPages() {
    if (!m_serdesOn)
        return;
    for (int i = 0; i < m_slots.size(); ++i) {
        if (m_slots.at(i).row.set != PageSet::Serdes)
            continue;
        // The tab widget shows a page when it is current and hides it
        // otherwise; a page shown here by hand would stay drawn under
        // whichever page is current.
        if (m_tabs->indexOf(tabPage(i)) < 0)
            appendSlot(i);
    }
}

int RightView::captureSlot() const {
    for (int i = 0; i < m_slots.size(); ++i)
        if (m_slots.at(i).row.showsCapture)
            return i;
    return -1;
}

bool RightView::isCapturePageCurrent() const {
    const int slot = captureSlot();
    QWidget* page = slot < 0 ? nullptr : m_slots.at(slot).page.data();
    return page && m_tabs->currentWidget() == page;
}

void RightView::showCapturePage() {
    const int slot = captureSlot();
    if (slot >= 0 && m_tabs->indexOf(tabPage(slot)) >= 0)
        m_tabs->setCurrentWidget(tabPage(slot));
}

bool RightView::slotPresent(int slot) const {
    const PageRow& row = m_slots.at(slot).row;
    return !row.present || row.present();
}

void RightView::refreshPresence() {
    bool analyzer = false;
    for (int i = 0; i < m_slots.size() && !analyzer; ++i)
        analyzer = m_slots.at(i).row.set == PageSet::LogicAnalyzer && !m_slots.at(i).row.showsWaveform &&
                   m_tabs->indexOf(tabPage(i)) >= 0;
    if (!analyzer) {
        refreshWaveformTabs();
        return;
    }
    int at = 0;
    for (int i = 0; i < m_slots.size(); ++i) {
        if (m_slots.at(i).row.set != PageSet::LogicAnalyzer)
            continue;
        const int index = m_tabs->indexOf(tabPage(i));
        const bool want = slotPresent(i);
        if (want && index < 0) {
            m_tabs->insertTab(at++, tabPage(i), m_slots.at(i).row.title);
        } else if (!want && index >= 0) {
            m_tabs->removeTab(index);
            tabPage(i)->hide();
        } else if (index >= 0) {
            at = index + 1;
        }
    }
}

void RightView::refreshWaveformTabs() {
    for (int i = 0; i < m_slots.size(); ++i) {
        if (!m_slots.at(i).row.showsWaveform)
            continue;
        const int index = m_tabs->indexOf(tabPage(i));
        if (slotPresent(i) && index < 0) {
            appendSlot(i);
        } else if (!slotPresent(i) && index >= 0) {
            m_tabs->removeTab(index);
            tabPage(i)->hide();
        }
    }
}

bool RightView::isWaveformPageCurrent() const {
    for (const Slot& s : m_slots)
        if (s.row.showsWaveform && s.page && m_tabs->currentWidget() == s.page)
            return true;
    return false;
}

void RightView::showWaveformPage() {
    for (int i = 0; i < m_slots.size(); ++i)
        if (m_slots.at(i).row.showsWaveform && m_tabs->indexOf(tabPage(i)) >= 0)
            m_tabs->setCurrentWidget(tabPage(i));
}

void RightView::tabDockButtonClicked(QString name, bool dock) {
    const int index = controllerTitles().indexOf(name);
    const int slot = slotOf(name);
    if (index < 0 || slot < 0)
        return;
    QWidget* tab = build(slot);
    DetachablePage* detached = detachable(tab);
    if (!detached)
        return;
    if (!dock) {
        const int at = m_tabs->indexOf(tab);
        if (at >= 0)
            m_tabs->removeTab(at);
        // A window of its own, still owned by the tool window.
        tab->setParent(parentWidget(), Qt::Window | Qt::WindowCloseButtonHint | Qt::WindowTitleHint);
        tab->setWindowTitle(name);
        // The page's height in the tab widget; one never laid out there gets
        // at least the height its content asks for.
        tab->resize(qMax(855, detached->detachedWidth()), qMax(tab->height(), tab->sizeHint().height()));
        tab->move(50 + 30 * index, 50 + 30 * index);
        tab->show();
        return;
    }
    // Rebuild from the current core; a project without cores shows none.
    OnaData* data = OnaData::inst();
    const QSharedPointer<AnalyzerCore> core = data->getCorePtr(data->getCurrentCore());
    clearTabs();
    if (core)
        appendControllerSlots(core->getName(), true);
    appendSerdesPages();
    refreshWaveformTabs();
}

void RightView::onControllerDataChanged(QString kind, QString data) {
    if (kind.compare(QStringLiteral("switch"), Qt::CaseInsensitive) == 0)
        notify(PageNotice{PageEvent::SwitchChanged, 0, data}, true);
}

} // namespace vemo::toolona
