#include "shell/rightview.h"

#include "controller/controlregistertab.h"
#include "controller/statusregistertab.h"
#include "controller/usermemorytab.h"
#include "controller/virtualledswitchtab.h"
#include "hardip/hardiptab.h"
#include "serdes/serdesview.h"
#include "serdes/wishboneview.h"
#include "trigger/triggerview.h"
#include "waveform/waveformview.h"

#include "analyzercore.h"
#include "oncdata.h"
#include "onadata.h"

#include <QApplication>
#include <QEvent>
#include <QGridLayout>
#include <QTabWidget>
#include <QToolButton>

namespace vemo::toolona {

QStringList RightView::controllerTitles() {
    return {QStringLiteral("Virtual LED Switch"), QStringLiteral("User Memory"), QStringLiteral("User Status Register"),
            QStringLiteral("User Control Register"), QStringLiteral("Hard IP")};
}

RightView::RightView(QWidget* tool, ToolGateway* gateway) : QWidget(tool) {
    setObjectName(QStringLiteral("RightView"));
    setMouseTracking(true);
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("RightViewTabs"));
    m_tabs->setTabPosition(QTabWidget::South);
    m_tabs->setMouseTracking(true);
    auto* grid = new QGridLayout(this);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->addWidget(m_tabs, 0, 0);

    m_trigger = new TriggerView(gateway, tool);
    m_waveform = new WaveformView(gateway, tool);
    m_led = new VirtualLEDSwitchTab(gateway, tool);
    m_memory = new UserMemoryTab(gateway, tool);
    m_status = new StatusRegisterTab(gateway, tool);
    m_control = new ControlRegisterTab(gateway, tool);
    m_hardIp = new HardIpTab(gateway, tool);
    m_serdes = new SERDESView(tool);
    m_wishbone = new WishboneView(tool);
    m_serdes->hide();
    m_wishbone->hide();

    m_tabs->addTab(m_trigger, QStringLiteral("LA Trigger"));
    m_tabs->addTab(m_waveform, QStringLiteral("LA Waveform"));
    for (ControllerTab* tab : controllerTabs()) {
        addControllerTab(tab);
        connect(tab, &ControllerTab::sigDockButtonClicked, this, &RightView::tabDockButtonClicked);
    }
    connect(ONCData::inst(), &ONCData::sigControllerDataChanged, this, &RightView::onControllerDataChanged);
}

RightView::~RightView() {
    // The pages have the tool window as parent; a page out of the tab widget
    // (a detached controller tab, the SERDES pages) would outlive this view.
    delete m_trigger;
    delete m_waveform;
    for (ControllerTab* tab : controllerTabs())
        delete tab;
    delete m_serdes;
    delete m_wishbone;
    delete m_tabs;
}

QList<ControllerTab*> RightView::controllerTabs() const { return {m_led, m_memory, m_status, m_control, m_hardIp}; }

void RightView::addControllerTab(ControllerTab* tab) {
    const int index = m_tabs->addTab(tab, tab->tabTitle());
    m_tabs->setTabEnabled(index, tab->hasContent());
}

void RightView::attachModels(TriggerUModel* tu, TriggerEModel* te, TriggerSetting* ts, WaveformModel* wd,
                             const QSharedPointer<AnalyzerCore>& core) {
    if (m_trigger->hasTables())
        m_trigger->setModels(tu, te, ts);
    m_waveform->setWaveformModel(wd);
    if (core)
        setControllerCore(core);
}

void RightView::setControllerCore(const QSharedPointer<AnalyzerCore>& core) {
    for (ControllerTab* tab : controllerTabs())
        tab->setCore(core);
}

void RightView::showAnalyzerTabs() {
    m_tabs->clear();
    m_tabs->addTab(m_trigger, QStringLiteral("LA Trigger"));
    m_tabs->addTab(m_waveform, QStringLiteral("LA Waveform"));
    appendSerdesPages();
}

void RightView::showControllerTabs(const QString& coreName, bool filterByCore) {
    m_tabs->clear();
    for (ControllerTab* tab : controllerTabs()) {
        if (!tab->isDocked() || (filterByCore && tab->coreName() != coreName))
            continue;
        addControllerTab(tab);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(tab->dockButton(), &leave);
    }
    appendSerdesPages();
}

void RightView::setSerdesPages(bool on) {
    if (on == m_serdesOn)
        return;
    m_serdesOn = on;
    if (on) {
        appendSerdesPages();
    } else {
        for (QWidget* page : {static_cast<QWidget*>(m_serdes), static_cast<QWidget*>(m_wishbone)}) {
            const int index = m_tabs->indexOf(page);
            if (index >= 0)
                m_tabs->removeTab(index);
            page->hide();
        }
    }
}

void RightView::appendSerdesPages() {
    if (!m_serdesOn)
        return;
    if (m_tabs->indexOf(m_serdes) < 0)
        m_tabs->addTab(m_serdes, QStringLiteral("Serdes Debug"));
    if (m_tabs->indexOf(m_wishbone) < 0)
        m_tabs->addTab(m_wishbone, QStringLiteral("Wishbone Debug"));
    m_serdes->show();
    m_wishbone->show();
}

bool RightView::isWaveformTabVisible() const { return m_tabs->currentWidget() == m_waveform; }

void RightView::showWaveformTab() {
    if (m_tabs->indexOf(m_waveform) >= 0)
        m_tabs->setCurrentWidget(m_waveform);
}

void RightView::tabDockButtonClicked(QString name, bool dock) {
    const int index = controllerTitles().indexOf(name);
    if (index < 0)
        return;
    ControllerTab* tab = controllerTabs().at(index);
    if (!dock) {
        const int at = m_tabs->indexOf(tab);
        if (at >= 0)
            m_tabs->removeTab(at);
        // A window of its own, still owned by the tool window.
        tab->setParent(parentWidget(), Qt::Window | Qt::WindowCloseButtonHint | Qt::WindowTitleHint);
        tab->setWindowTitle(name);
        // The page's height in the tab widget; one never laid out there gets
        // at least the height its content asks for.
        tab->resize(855, qMax(tab->height(), tab->sizeHint().height()));
        tab->move(50 + 30 * index, 50 + 30 * index);
        tab->show();
        return;
    }
    // Rebuild from the current core; a project without cores shows none.
    OnaData* data = OnaData::inst();
    const QSharedPointer<AnalyzerCore> core = data->getCorePtr(data->getCurrentCore());
    m_tabs->clear();
    if (core) {
        for (ControllerTab* t : controllerTabs()) {
            if (t->coreName() != core->getName() || !t->isDocked())
                continue;
            addControllerTab(t);
            QEvent leave(QEvent::Leave);
            QApplication::sendEvent(t->dockButton(), &leave);
        }
    }
    appendSerdesPages();
}

void RightView::onControllerDataChanged(QString kind, QString data) {
    if (kind.compare(QStringLiteral("switch"), Qt::CaseInsensitive) == 0)
        m_led->setSwitchValue(data, true);
}

}  // namespace vemo::toolona
