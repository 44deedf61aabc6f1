// The controller verbs. The controller session itself arrives with the
// controller cores; until then closing it is all there is to do.

#include "onaverbs.h"

using namespace Verbs;

namespace {

ONA_CMD(cmdCloseController)
{
    Q_UNUSED(objc);
    Q_UNUSED(objv);
    // No controller session is ever open before the controller arrives.
    return done(ip, QStringLiteral("0"));
}

} // namespace

namespace ControllerVerbs {

void registerVerbs(Tcl_Interp* interp)
{
    create(interp, {
        {"ona_close_controller", cmdCloseController},
    });
}

} // namespace ControllerVerbs
