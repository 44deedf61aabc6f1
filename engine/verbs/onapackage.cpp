// The package "ona": Ona_Init has every subsystem register its verbs, and
// "ona_get" hands each item to the subsystem that owns it.

#include "onapackage.h"

#include "eyeverbs.h"
#include "hardipverbs.h"
#include "onadata.h"
#include "onaverbs.h"
#include "optiontable.h"
#include "wavefileverbs.h"

using namespace Verbs;

namespace {

ONA_CMD(cmdGet) {
    const char* use =
        "ona_get cores|project|trigoptn|tokensets|capture|cursors|core name|tu name|te name|value signal sample|"
        "hardip name ?-staged?|eye name|decoders|decoder name|annotations -decoder name ...|waveform ?-var name ...?";
    if (objc < 2)
        return usage(ip, use);
    const QString what = text(objv[1]);
    // The subsystem that owns the item answers it; an item nobody owns is
    // refused as one that takes no words and needs a project.
    const OptionRow* row = OptionTables::get().find(objc, objv);
    if (row && row->args < 0)
        return row->run(ip, objc, objv);
    if (objc != 2 + (row ? row->args : 0))
        return usage(ip, use);
    if ((!row || row->needsProject) && !OnaData::inst()->isProjectOpen())
        return fail(ip, QStringLiteral("ona_get %1: no project is open").arg(what));
    if (row)
        return row->run(ip, objc, objv);
    return fail(ip, QStringLiteral("ona_get: unknown item \"%1\": expected cores, core, tu, te, trigoptn, tokensets, "
                                   "project, capture, cursors, value, hardip or eye")
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
    DecodeVerbs::registerVerbs(interp);
    ControllerVerbs::registerVerbs(interp);
    HardIpVerbs::registerVerbs(interp);
    EyeVerbs::registerVerbs(interp);
    SerdesVerbs::registerVerbs(interp);
    RtlGenVerbs::registerVerbs(interp);
    WaveFileVerbs::registerVerbs(interp);
    CompareVerbs::registerVerbs(interp);
    create(interp, {{"ona_get", cmdGet}});
    return Tcl_PkgProvide(interp, "ona", "1.0");
}
