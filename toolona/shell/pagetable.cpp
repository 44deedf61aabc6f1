#include "shell/pagetable.h"

#include "controller/controlregistertab.h"
#include "controller/statusregistertab.h"
#include "controller/usermemorytab.h"
#include "controller/virtualledswitchtab.h"
#include "hardip/hardiptab.h"
#include "serdes/serdesview.h"
#include "serdes/wishboneview.h"
#include "shell/toolgateway.h"
#include "trigger/triggerview.h"
#include "waveform/waveformview.h"

#include "analyzercore.h"
#include "onadata.h"
#include "triggeremodel.h"
#include "triggerumodel.h"
#include "waveformmodel.h"

namespace vemo::toolona {

namespace {

// A controller tab: made with the gateway, enabled by its content test,
// filled from the controller core it is given.
template <class Tab>
PageRow controllerRow(const QString& title) {
    return {PageSet::Controller,
            title,
            [](const PageContext& c) -> QWidget* { return new Tab(c.gateway, c.parent); },
            [](const QSharedPointer<AnalyzerCore>& core) { return Tab::hasContentFor(core); },
            nullptr,
            [](QWidget* page, const QSharedPointer<AnalyzerCore>& core) { static_cast<Tab*>(page)->setCore(core); }};
}

// A SERDES page: its commands (tclPCS) run through the gateway, their
// results unused.
template <class View>
PageRow serdesRow(const QString& title) {
    return {PageSet::Serdes,
            title,
            [](const PageContext& c) -> QWidget* {
                auto* view = new View(c.parent);
                ToolGateway* gateway = c.gateway;
                QObject::connect(view, &View::tclPCS, view, [gateway](const QString& cmd) {
                    if (gateway)
                        gateway->tclEval(cmd);
                });
                return view;
            },
            nullptr,
            nullptr,
            nullptr};
}

QList<PageRow> builtInRows() {
    return {
        {PageSet::LogicAnalyzer, QStringLiteral("LA Trigger"),
         [](const PageContext& c) -> QWidget* { return new TriggerView(c.gateway, c.parent); }, nullptr,
         [](QWidget* page, const PageModels& m) {
             auto* view = static_cast<TriggerView*>(page);
             if (!view->hasTables())
                 return;
             // A setting of a closed project or of another core is never read.
             TriggerSetting* ts = m.ts == OnaData::inst()->getTSModel() ? m.ts : nullptr;
             view->setModels(m.tu, m.te, ts);
         },
         nullptr},
        {PageSet::LogicAnalyzer, QStringLiteral("LA Waveform"),
         [](const PageContext& c) -> QWidget* { return new WaveformView(c.gateway, c.parent); }, nullptr,
         [](QWidget* page, const PageModels& m) { static_cast<WaveformView*>(page)->setWaveformModel(m.wd); }, nullptr},
        controllerRow<VirtualLEDSwitchTab>(QStringLiteral("Virtual LED Switch")),
        controllerRow<UserMemoryTab>(QStringLiteral("User Memory")),
        controllerRow<StatusRegisterTab>(QStringLiteral("User Status Register")),
        controllerRow<ControlRegisterTab>(QStringLiteral("User Control Register")),
        controllerRow<HardIpTab>(QStringLiteral("Hard IP")),
        serdesRow<SERDESView>(QStringLiteral("Serdes Debug")),
        serdesRow<WishboneView>(QStringLiteral("Wishbone Debug")),
    };
}

QList<PageRow>& table() {
    static QList<PageRow> rows = builtInRows();
    return rows;
}

} // namespace

const QList<PageRow>& PageTable::rows() { return table(); }

void PageTable::addPage(const PageRow& row) { table().append(row); }

} // namespace vemo::toolona
