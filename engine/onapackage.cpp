// The package "ona": Ona_Init has every subsystem register its verbs, and
// "ona_get" hands each item to the subsystem that owns it.

#include "onapackage.h"

#include "eyeverbs.h"
#include "hardipverbs.h"
#include "onadata.h"
#include "onaverbs.h"

using namespace Verbs;

namespace {

ONA_CMD(cmdGet) {
    const char* use =
        "ona_get cores|project|trigoptn|tokensets|capture|core name|tu name|te name|value signal sample|"
        "hardip name ?-staged?|eye name";
    if (objc < 2)
        return usage(ip, use);
    const QString what = text(objv[1]);
    if (what == QLatin1String("hardip"))
        return HardIpVerbs::get(ip, objc, objv);
    if (what == QLatin1String("eye"))
        return EyeVerbs::get(ip, objc, objv);
    const bool named = what == QLatin1String("core") || what == QLatin1String("tu") || what == QLatin1String("te");
    const bool value = what == QLatin1String("value");
    if ((named && objc != 3) || (value && objc != 4) || (!named && !value && objc != 2))
        return usage(ip, use);
    if (what != QLatin1String("cores") && what != QLatin1String("project") && !OnaData::inst()->isProjectOpen())
        return fail(ip, QStringLiteral("ona_get %1: no project is open").arg(what));
    if (what == QLatin1String("cores"))
        return ProjectVerbs::getCores(ip);
    if (what == QLatin1String("core"))
        return ProjectVerbs::getCore(ip, text(objv[2]));
    if (what == QLatin1String("tu"))
        return TriggerVerbs::getTU(ip, text(objv[2]));
    if (what == QLatin1String("te"))
        return TriggerVerbs::getTE(ip, text(objv[2]));
    if (what == QLatin1String("trigoptn"))
        return TriggerVerbs::getTrigOptn(ip);
    if (what == QLatin1String("tokensets"))
        return TriggerVerbs::getTokenSets(ip);
    if (what == QLatin1String("project"))
        return ProjectVerbs::getProject(ip);
    if (what == QLatin1String("capture"))
        return CaptureVerbs::getCapture(ip);
    if (value)
        return CaptureVerbs::getValue(ip, text(objv[2]), objv[3]);
    return fail(ip, QStringLiteral("ona_get: unknown item \"%1\": expected cores, core, tu, te, trigoptn, tokensets, "
                                   "project, capture, value, hardip or eye")
                        .arg(what));
}

} // namespace

extern "C" int Ona_Init(Tcl_Interp* interp) {
    if (!interp)
        return TCL_ERROR;
    OnaData::inst();
    ProjectVerbs::registerVerbs(interp);
    TriggerVerbs::registerVerbs(interp);
    CaptureVerbs::registerVerbs(interp);
    ControllerVerbs::registerVerbs(interp);
    HardIpVerbs::registerVerbs(interp);
    SerdesVerbs::registerVerbs(interp);
    RtlGenVerbs::registerVerbs(interp);
    create(interp, {{"ona_get", cmdGet}});
    return Tcl_PkgProvide(interp, "ona", "1.0");
}
