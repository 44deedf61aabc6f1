// The project verbs: open, save and close the analyzer project, choose the
// current core and the cores that run, set the cable and the clock; and the
// project items of ona_get.

#include "onaverbs.h"
#include "optiontable.h"

#include "deviceregistry.h"
#include "onadata.h"
#include "onajtag.h"
#include "triggeremodel.h"
#include "triggerumodel.h"

using namespace Verbs;

namespace {

OnaData* data() { return OnaData::inst(); }
ProjectSession* session() { return data()->session(); }

ONA_CMD(cmdOpenProject) {
    if (objc != 2)
        return usage(ip, "ona_open_project fileName");
    QString error;
    if (!data()->openProject(text(objv[1]), &error))
        return fail(ip, error);
    return done(ip, data()->getCurrentProject());
}

ONA_CMD(cmdSaveProject) {
    // ona_save_project ?-force? ?fileName?
    int first = 1;
    const bool force = objc > 1 && text(objv[1]) == QLatin1String("-force");
    if (force)
        ++first;
    if (objc - first > 1)
        return usage(ip, "ona_save_project ?-force? ?fileName?");
    QString error;
    if (!data()->saveProject(objc > first ? text(objv[first]) : QString(), &error, force))
        return fail(ip, error);
    return done(ip, data()->getCurrentProject());
}

ONA_CMD(cmdCloseProject) {
    Q_UNUSED(objv);
    if (objc != 1)
        return usage(ip, "ona_close_project");
    QString error;
    if (data()->isProjectOpen() && !data()->mayClose(&error))
        return fail(ip, error);
    data()->closeProject();
    return done(ip);
}

ONA_CMD(cmdSetCore) {
    VerbOptions::Pairs options;
    QString error, name;
    if (!optionPairs(objc, objv, 1, &options, &error) ||
        !takeName(&options, &name, QStringLiteral("ona_set_core"), &error))
        return fail(ip, error);
    bool hasRun = false, run = false;
    for (const auto& o : options) {
        if (o.first != QLatin1String("-run"))
            return fail(ip, QStringLiteral("ona_set_core: unknown option \"%1\": expected -name or -run").arg(o.first));
        if (o.second != QLatin1String("on") && o.second != QLatin1String("off"))
            return fail(ip, QStringLiteral("ona_set_core: -run takes on or off, not \"%1\"").arg(o.second));
        hasRun = true;
        run = o.second == QLatin1String("on");
    }
    const bool ok = hasRun ? session()->setCoreRun(name, run, &error) : session()->setCurrentCore(name, &error);
    if (ok && !hasRun)
        data()->syncController();
    return finish(ip, ok, error);
}

ONA_CMD(cmdSetProject) {
    if (objc < 3)
        return usage(ip, "ona_set_project -option value ?-option value ...?");
    QString error;
    const auto typed = matchedOptions(objc, objv, 1,
                                      {{"-cabletype", ProjectSession::CableType},
                                       {"-cableport", ProjectSession::CablePort},
                                       {"-tckdelay", ProjectSession::TckDelay},
                                       {"-period", ProjectSession::Period},
                                       {"-target", ProjectSession::Device},
                                       {"-cablehost", ProjectSession::CableHost},
                                       {"-interface", ProjectSession::Interface},
                                       {"-ftdi", ProjectSession::Ftdi},
                                       {"-openocd", ProjectSession::Openocd},
                                       {"-tap", ProjectSession::Tap}},
                                      ProjectSession::UnknownOption, QStringLiteral("ona_set_project"), &error);
    return finish(ip, typed && session()->setProjectOptions(*typed, &error), error);
}

} // namespace

namespace ProjectVerbs {

int getCores(Tcl_Interp* ip) {
    QStringList names;
    for (int i = 0; i < data()->getNumCore(); ++i)
        names << data()->getCoreName(i);
    Tcl_SetObjResult(ip, list(names));
    return TCL_OK;
}

int getCore(Tcl_Interp* ip, const QString& name) {
    OnaData* d = data();
    const int id = d->getCoreId(name);
    if (id < 0)
        return fail(ip, QStringLiteral("ona_get core: no core named \"%1\"").arg(name));
    const QSharedPointer<AnalyzerCore> c = d->getCorePtr(id);
    Dict dict;
    dict.put("name", obj(c->getName()))
        .put("id", obj(id))
        .put("kind", obj(c->getKind()))
        .put("current", obj(id == d->getCurrentCore()))
        .put("run", obj(c->isRun()))
        .put("insert", obj(c->hasInsert()))
        .put("por", obj(c->isPOR()))
        .put("connectpor", obj(c->getConnectPOR()))
        .put("errors", obj(d->getNumError(id)))
        .put("status", obj(int(c->status)));
    Dict sigs;
    for (const auto& s : c->onl().signalList)
        sigs.put(s.name, obj(s.width));
    dict.put("signals", sigs.get());
    dict.put("tus", list(c->getTUModel() ? c->getTUModel()->names() : QStringList()));
    dict.put("tes", list(c->getTEModel() ? c->getTEModel()->names() : QStringList()));
    if (c->getKind() == AnalyzerCore::Controller)
        ControllerVerbs::putCoreRecords(&dict, *c);
    Tcl_SetObjResult(ip, dict.get());
    return TCL_OK;
}

int getProject(Tcl_Interp* ip) {
    OnaData* d = data();
    const CableSettings& cable = session()->cable();
    Dict dict;
    dict.put("file", obj(d->getCurrentProject()))
        .put("onl", obj(d->getOnlFile()))
        .put("device", obj(d->getDevice()))
        .put("directory", obj(d->getCurrentDirectory()))
        .put("impldirectory", obj(d->getImplDirectory()))
        .put("cabletype", obj(d->getCableType()))
        .put("cableport", obj(d->getCablePort()))
        .put("tckdelay", obj(d->getTCKDelay()))
        .put("target", obj(cable.device.isEmpty() ? DeviceRegistry::kinds().value(0) : cable.device))
        .put("cablehost", obj(cable.host))
        .put("interface", obj(cable.interfaceFile))
        .put("ftdi", obj(cable.ftdi))
        .put("openocd", obj(cable.openocd))
        .put("tap", obj(OnaJTAG::tapText(cable)))
        .put("period", obj(d->getPeriod()))
        .put("clockunit", obj(d->getClockUnit()))
        .put("numcore", obj(d->getNumCore()))
        .put("currentcore", obj(d->getCoreName(-1)))
        .put("numruncore", obj(d->getNumRunCore()))
        .put("numerror", obj(d->getNumError()))
        .put("busy", obj(d->isBusy()))
        .put("timestamp", Tcl_NewWideIntObj(Tcl_WideInt(d->checkONLTimeStamp())));
    Tcl_SetObjResult(ip, dict.get());
    return TCL_OK;
}

void registerVerbs(Tcl_Interp* interp) {
    OptionTable& get = OptionTables::get();
    get.add({QStringLiteral("cores"), [](Tcl_Interp* ip, int, Tcl_Obj* const*) { return getCores(ip); }, nullptr, 0,
             false});
    get.add({QStringLiteral("core"),
             [](Tcl_Interp* ip, int, Tcl_Obj* const objv[]) { return getCore(ip, text(objv[2])); }, nullptr, 1, true});
    get.add({QStringLiteral("project"), [](Tcl_Interp* ip, int, Tcl_Obj* const*) { return getProject(ip); }, nullptr, 0,
             false});
    create(interp, {
                       {"ona_open_project", cmdOpenProject},
                       {"ona_save_project", cmdSaveProject},
                       {"ona_close_project", cmdCloseProject},
                       {"ona_set_core", cmdSetCore},
                       {"ona_set_project", cmdSetProject},
                   });
}

} // namespace ProjectVerbs
