// The tool's own pages as rows of the page table: the one place that names
// them. The window and the right view know only the rows.

#include "kit/pagetable.h"
#include "kit/toolgateway.h"

#include "controller/registertab.h"
#include "controller/usermemorytab.h"
#include "controller/virtualledswitchtab.h"
#include "hardip/hardiptab.h"
#include "serdes/serdesview.h"
#include "serdes/wishboneview.h"
#include "trigger/triggerview.h"
#include "waveform/waveformsignal.h"
#include "waveform/waveformview.h"

#include "analyzercore.h"
#include "changesource.h"
#include "onadata.h"
#include "openwaveform.h"
#include "pcsdata.h"
#include "pcsjtag.h"
#include "triggeremodel.h"
#include "triggersetting.h"
#include "triggerumodel.h"
#include "waveformmodel.h"

namespace vemo::toolona {

namespace {

// A controller tab: made by `make`, enabled by `hasContent`, filled from
// the controller core it is given; its dock button asks the right view to
// detach or attach it.
PageRow controllerRow(const QString& title, std::function<ControllerTab*(const PageContext&)> make,
                      std::function<bool(const QSharedPointer<AnalyzerCore>&)> hasContent, const QMetaObject* type) {
    PageRow row{PageSet::Controller,
                title,
                [make](const PageContext& c) -> QWidget* {
                    ControllerTab* tab = make(c);
                    if (c.dockRequest)
                        QObject::connect(tab, &ControllerTab::sigDockButtonClicked, tab, c.dockRequest);
                    return tab;
                },
                std::move(hasContent),
                nullptr,
                [](QWidget* page, const QSharedPointer<AnalyzerCore>& core) {
                    static_cast<ControllerTab*>(page)->setCore(core);
                }};
    row.type = type;
    return row;
}

template <class Tab>
PageRow controllerRow(const QString& title) {
    return controllerRow(
        title, [](const PageContext& c) -> ControllerTab* { return new Tab(c.gateway, c.parent); },
        [](const QSharedPointer<AnalyzerCore>& core) { return Tab::hasContentFor(core); }, &Tab::staticMetaObject);
}

// A register tab also shows every register in the radix the window picks.
PageRow registerRow(RegisterTab::Block block) {
    PageRow row = controllerRow(
        RegisterTab::titleOf(block),
        [block](const PageContext& c) -> ControllerTab* { return new RegisterTab(block, c.gateway, c.parent); },
        [block](const QSharedPointer<AnalyzerCore>& core) { return RegisterTab::hasContentFor(block, core); },
        &RegisterTab::staticMetaObject);
    row.hears = {PageEvent::RegisterRadix};
    row.onEvent = [](QWidget* page, const PageNotice& n, const PageModels&) {
        static_cast<RegisterTab*>(page)->applyAllRadix(n.value);
    };
    return row;
}

// A SERDES page: its commands (tclPCS) run through the gateway, their
// results unused.
template <class View>
PageRow serdesRow(const QString& title) {
    PageRow row{PageSet::Serdes,
                title,
                [title](const PageContext& c) -> QWidget* {
                    auto* view = new View(c.parent);
                    ToolGateway* gateway = c.gateway;
                    QObject::connect(view, &View::tclPCS, view, [gateway](const QString& cmd) {
                        if (gateway)
                            gateway->tclEval(cmd);
                    });
                    installHelpOnF1(gateway, view, QString(title).replace(QLatin1Char(' '), QLatin1Char('_')));
                    return view;
                },
                nullptr,
                nullptr,
                nullptr};
    row.type = &View::staticMetaObject;
    return row;
}

// The trigger tables are editable only while no capture runs, and only
// for a project with cores; the setting controls only for a setting with
// triggers to choose from.
void setTriggerAccess(TriggerView* view, const PageModels& m, bool running) {
    view->setEditingEnabled(!running && m.tu && OnaData::inst()->getNumCore() > 0);
    view->setSettingControlsEnabled(!running && m.ts && m.ts->maxTriggers > 0);
}

PageRow triggerRow() {
    PageRow row{PageSet::LogicAnalyzer,
                QStringLiteral("LA Trigger"),
                [](const PageContext& c) -> QWidget* { return new TriggerView(c.gateway, c.parent); },
                nullptr,
                [](QWidget* page, const PageModels& m) {
                    auto* view = static_cast<TriggerView*>(page);
                    if (!view->hasTables())
                        return;
                    // A setting of a closed project or of another core is never read.
                    TriggerSetting* ts = m.ts == OnaData::inst()->getTSModel() ? m.ts : nullptr;
                    view->setModels(m.tu, m.te, ts);
                    setTriggerAccess(view, m, OnaData::inst()->isBusy());
                },
                nullptr};
    row.hears = {PageEvent::RunStarted, PageEvent::CaptureDone, PageEvent::SetupErrors, PageEvent::SettingChanged};
    row.onEvent = [](QWidget* page, const PageNotice& n, const PageModels& m) {
        auto* view = static_cast<TriggerView*>(page);
        OnaData* data = OnaData::inst();
        switch (n.event) {
            case PageEvent::RunStarted:
            case PageEvent::CaptureDone:
                // What a run captures stays as it started until the run ends.
                if (view->hasTables() && m.tu)
                    setTriggerAccess(view, m, n.event == PageEvent::RunStarted || data->isBusy());
                break;
            case PageEvent::SetupErrors:
                view->updateErrorLabels(data->getTUModel(), data->getTEModel());
                break;
            case PageEvent::SettingChanged:
                view->setTriggerSetting(data->getTSModel());
                break;
            default:
                break;
        }
    };
    row.type = &TriggerView::staticMetaObject;
    return row;
}

PageRow waveformRow() {
    PageRow row{PageSet::LogicAnalyzer,
                QStringLiteral("LA Waveform"),
                [](const PageContext& c) -> QWidget* { return new WaveformView(c.gateway, c.parent); },
                nullptr,
                [](QWidget* page, const PageModels& m) { static_cast<WaveformView*>(page)->setWaveformModel(m.wd); },
                nullptr};
    row.hears = {PageEvent::ProjectClosing, PageEvent::CaptureRefresh, PageEvent::BusRadix, PageEvent::ExportCapture};
    row.onEvent = [](QWidget* page, const PageNotice& n, const PageModels&) {
        auto* view = static_cast<WaveformView*>(page);
        switch (n.event) {
            case PageEvent::ProjectClosing:
                view->clearModel();
                break;
            case PageEvent::CaptureRefresh:
                view->refreshHeader();
                break;
            case PageEvent::BusRadix:
                view->applyAllBusRadix(n.value);
                break;
            case PageEvent::ExportCapture:
                view->runExportDialog();
                break;
            default:
                break;
        }
    };
    row.showsCapture = true;
    row.type = &WaveformView::staticMetaObject;
    return row;
}

// The simulator's waveform the user opened, on a page of its own beside the
// capture's (detach either to see both): its own model over the open dump,
// made again whenever another opens.
PageRow simulationRow() {
    PageRow row{PageSet::LogicAnalyzer, QStringLiteral("Simulation Waveform"), [](const PageContext& c) -> QWidget* {
                    auto* view = new WaveformView(c.gateway, c.parent);
                    view->setObjectName(QStringLiteral("SimulationWaveform"));
                    view->setEmptyText(
                        QObject::tr("A simulator's waveform appears here once one is open:\n"
                                    "File > Open Waveform..., or ona_open_waveform in the console."));
                    const auto show = [view] {
                        QPointer<WaveformModel> old = view->waveformModel();
                        WaveformModel* model = nullptr;
                        if (const auto store = OpenWaveform::current()) {
                            model = new WaveformModel(view);
                            model->setSource(std::make_shared<ChangeSource>(store));
                        }
                        view->setWaveformModel(model);
                        if (model) {
                            // Scoped names stand indented: the column fits them.
                            const std::function<void(const QModelIndex&)> openScopes = [&](const QModelIndex& at) {
                                for (int r = 0; r < model->rowCount(at); ++r) {
                                    const QModelIndex child = model->index(r, 0, at);
                                    if (WaveformModel::rowData(child).group) {
                                        view->tree()->expand(child);
                                        openScopes(child);
                                    }
                                }
                            };
                            openScopes(QModelIndex());
                            view->tree()->resizeColumnToContents(0);
                            // The size hint leaves out the bus mark drawn before a name.
                            view->tree()->setColumnWidth(0, view->tree()->columnWidth(0) + 24);
                            model->zoomFit(view->tree()->waveWidth());
                        }
                        if (old)
                            old->deleteLater();
                    };
                    QObject::connect(OpenWaveform::notifier(), &OpenWaveformNotifier::changed, view, show);
                    show();
                    return view;
                }};
    row.showsWaveform = true;
    // A tab only while a waveform is open.
    row.present = [] { return OpenWaveform::current() != nullptr; };
    return row;
}

PageRow ledSwitchRow() {
    PageRow row = controllerRow<VirtualLEDSwitchTab>(QStringLiteral("Virtual LED Switch"));
    row.hears = {PageEvent::SwitchChanged};
    row.onEvent = [](QWidget* page, const PageNotice& n, const PageModels&) {
        static_cast<VirtualLEDSwitchTab*>(page)->setSwitchValue(n.text, true);
    };
    return row;
}

// Only the SERDES page itself starts reading the SERDES block, when it is
// first in front.
PageRow serdesDebugRow() {
    PageRow row = serdesRow<SERDESView>(QStringLiteral("Serdes Debug"));
    row.hears = {PageEvent::Shown};
    row.onEvent = [](QWidget*, const PageNotice&, const PageModels&) {
        if (!PCSData::inst()->getJTAG()->getSERDES().isEmpty())
            PCSData::inst()->initSERDES();
    };
    return row;
}

} // namespace

QList<PageRow> builtInPageRows() {
    return {
        triggerRow(),
        waveformRow(),
        simulationRow(),
        ledSwitchRow(),
        controllerRow<UserMemoryTab>(QStringLiteral("User Memory")),
        registerRow(RegisterTab::Status),
        registerRow(RegisterTab::Control),
        controllerRow<HardIpTab>(QStringLiteral("Hard IP")),
        serdesDebugRow(),
        serdesRow<WishboneView>(QStringLiteral("Wishbone Debug")),
    };
}

} // namespace vemo::toolona
