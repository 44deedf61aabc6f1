// The generator's verb: ona_generate_rtl writes the Verilog design of a
// debug-logic file (the open project's when no file is named).

#include "onaverbs.h"

#include "onadata.h"
#include "rtlgen.h"

using namespace Verbs;

namespace {

ONA_CMD(cmdGenerateRtl) {
    const char* use = "ona_generate_rtl ?-onl FILE? -dir DIR";
    if (objc < 3 || objc % 2 == 0)
        return usage(ip, use);
    VerbOptions::Pairs options;
    QString error, onl, dir;
    bool hasDir = false;
    if (!optionPairs(objc, objv, 1, &options, &error))
        return fail(ip, error);
    for (const auto& o : options) {
        if (o.first == QLatin1String("-onl")) {
            onl = o.second;
        } else if (o.first == QLatin1String("-dir")) {
            dir = o.second;
            hasDir = true;
        } else {
            return fail(ip, VerbOptions::unknownOption(o.first, QStringLiteral("ona_generate_rtl"),
                                                       QStringLiteral("-onl or -dir")));
        }
    }
    if (!hasDir)
        return usage(ip, use);
    if (onl.isEmpty()) {
        if (!OnaData::inst()->isProjectOpen())
            return fail(ip,
                        QStringLiteral("ona_generate_rtl: no project is open; name the debug-logic file with -onl"));
        onl = OnaData::inst()->getOnlFile();
    }
    QStringList written;
    if (!RtlGen::generate(onl, dir, &written, &error))
        return fail(ip, QStringLiteral("ona_generate_rtl: %1").arg(error));
    Tcl_SetObjResult(ip, list(written));
    return TCL_OK;
}

} // namespace

namespace RtlGenVerbs {

void registerVerbs(Tcl_Interp* interp) { create(interp, {{"ona_generate_rtl", cmdGenerateRtl}}); }

} // namespace RtlGenVerbs
