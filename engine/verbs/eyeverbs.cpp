#include "eyeverbs.h"

#include "eyemonitor.h"
#include "hardipblocks.h"
#include "hardipdevice.h"
#include "onadata.h"
#include "oncdata.h"
#include "optiontable.h"
#include "verboptions.h"

#include <QDir>

using namespace Verbs;

namespace {

// The instance NAME of the current controller core, if it has an eye monitor.
const HardIpInstance* eyeInstance(const QString& verb, const QString& name, QString* error) {
    if (!OnaData::inst()->isProjectOpen()) {
        *error = QStringLiteral("%1: no project is open").arg(verb);
        return nullptr;
    }
    const auto set = ONCData::inst()->hardIp();
    if (!set) {
        *error = QStringLiteral("%1: the current core is not a controller core").arg(verb);
        return nullptr;
    }
    const HardIpInstance* inst = set->instance(name);
    if (!inst) {
        *error = QStringLiteral("%1: no hard IP instance named \"%2\" in the current core").arg(verb, name);
        return nullptr;
    }
    if (!inst->block || (inst->block->kind != QLatin1String("pcs") && inst->block->kind != QLatin1String("mpphy"))) {
        *error =
            QStringLiteral("%1: \"%2\" has no eye monitor (only PCS channels and PHY quads have one)").arg(verb, name);
        return nullptr;
    }
    if (!inst->device) {
        *error = QStringLiteral("%1: \"%2\": %3").arg(verb, name, inst->fault);
        return nullptr;
    }
    return inst;
}

int startScan(Tcl_Interp* ip, const QString& name, bool nowait) {
    const QString verb = QStringLiteral("ona_run_controller -eye_monitor");
    QString error;
    const HardIpInstance* inst = eyeInstance(verb, name, &error);
    if (!inst)
        return fail(ip, error);
    EyeMonitor* monitor = EyeMonitor::inst();
    EyeMonitor::Scan scan;
    scan.name = name;
    const bool quad = inst->block->kind == QLatin1String("mpphy");
    scan.format = quad ? EyeMonitor::Text : EyeMonitor::Csv;
    const int lane = quad ? qBound(0, monitor->lane(name), inst->lanes() - 1) : 0;
    // The settings written to the device shape the eye, not the staged ones.
    QHash<QString, QString> settings;
    for (const HardIpKey& k : inst->block->keys)
        settings.insert(k.name, inst->device->read(k, k.perLane ? lane : 0));
    scan.lane = eyeLaneFor(name, lane, settings);
    EyeGrid::forQuality(monitor->quality(name), &scan.grid);
    scan.file = EyeMonitor::resultPath(quad ? QStringLiteral("%1_L%2").arg(name).arg(lane) : name, scan.format);
    if (scan.file.isEmpty())
        return fail(
            ip, QStringLiteral("%1: no private folder for the result can be made in %2").arg(verb, QDir::tempPath()));
    if (!monitor->start(scan, &error))
        return fail(ip, QStringLiteral("%1: %2").arg(verb, error));
    if (nowait)
        return done(ip);
    return monitor->wait(true) ? done(ip, monitor->getData()) : fail(ip, monitor->getRunErr());
}

} // namespace

namespace EyeVerbs {

int set(Tcl_Interp* ip, const QString& name, const QString& keyOption, const QString& value) {
    const QString verb = QStringLiteral("ona_set_controller -hard_ip %1 %2").arg(name, keyOption);
    QString error;
    if (!eyeInstance(verb, name, &error))
        return fail(ip, error);
    if (EyeMonitor::inst()->isBusy())
        return fail(ip, QStringLiteral("%1: an eye scan is running").arg(verb));
    if (keyOption == QLatin1String("-eye_quality")) {
        if (value != QLatin1String("high") && value != QLatin1String("normal") && value != QLatin1String("low"))
            return fail(ip, QStringLiteral("%1: expected high, normal or low, not \"%2\"").arg(verb, value));
        EyeMonitor::inst()->setQuality(name, value);
        return done(ip, value);
    }
    int lane = -1;
    if (!VerbOptions::parseInt(value, &lane) || lane < 0 || lane > 3)
        return fail(ip, QStringLiteral("%1: expected a lane from 0 to 3, not \"%2\"").arg(verb, value));
    EyeMonitor::inst()->setLane(name, lane);
    return done(ip, QString::number(lane));
}

int run(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[]) {
    const QString action = text(objv[1]);
    EyeMonitor* monitor = EyeMonitor::inst();
    if (action == QLatin1String("-eye_monitor")) {
        const bool nowait = objc == 4 && text(objv[3]) == QLatin1String("-nowait");
        if (objc != 3 && !nowait)
            return usage(ip, "ona_run_controller -eye_monitor NAME ?-nowait?");
        return startScan(ip, text(objv[2]), nowait);
    }
    if (objc != 2)
        return usage(ip, "ona_run_controller -eye_wait | -eye_stop");
    if (action == QLatin1String("-eye_stop")) {
        monitor->stopEOM();
        return done(ip);
    }
    return monitor->wait(true) ? done(ip, monitor->getData()) : fail(ip, monitor->getRunErr());
}

int get(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[]) {
    if (objc != 3)
        return usage(ip, "ona_get eye NAME");
    const QString name = text(objv[2]);
    for (const EyeResult& r : EyeMonitor::inst()->results())
        if (r.name == name) {
            Dict dict;
            dict.put("file", obj(r.file)).put("width", obj(r.width)).put("height", obj(r.height));
            Tcl_SetObjResult(ip, dict.get());
            return TCL_OK;
        }
    return fail(ip, QStringLiteral("ona_get eye: no eye scan of \"%1\" has ended yet").arg(name));
}

void registerVerbs(Tcl_Interp*) {
    OptionTables::runController().add(
        {QStringLiteral("-eye_monitor"), QStringLiteral("-eye_wait"), QStringLiteral("-eye_stop")}, run);
    OptionTables::hardIpKeys().add({QStringLiteral("-eye_quality"), QStringLiteral("-eye_lane")},
                                   [](Tcl_Interp* ip, int, Tcl_Obj* const objv[]) {
                                       return set(ip, text(objv[2]), text(objv[3]), text(objv[4]));
                                   });
    OptionRow item;
    item.word = QStringLiteral("eye");
    item.run = get;
    OptionTables::get().add(item);
}

} // namespace EyeVerbs
