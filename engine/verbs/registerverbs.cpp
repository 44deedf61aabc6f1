// Register reads return the value as hexadecimal digits (upper case,
// ceil(width / 4) of them, no prefix) and keep it for ONCData::getWBData.

#include "registerverbs.h"

#include "controllerprologue.h"
#include "oncdata.h"
#include "targetdevice.h"
#include "verbs.h"

using namespace Verbs;

namespace RegisterVerbs {

const QStringList& options() {
    static const QStringList a{QStringLiteral("-read_control"),  QStringLiteral("-read_status"),
                               QStringLiteral("-write_control"), QStringLiteral("-toggle_control"),
                               QStringLiteral("-dump_control"),  QStringLiteral("-load_control"),
                               QStringLiteral("-dump_status")};
    return a;
}

int run(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[]) {
    const char* use =
        "ona_run_controller -read_control NAME | -read_status NAME | -toggle_control NAME | "
        "-write_control NAME -data VALUE | -dump_control FILE | -load_control FILE | -dump_status FILE";
    const QString action = text(objv[1]);
    const QString verb = QStringLiteral("ona_run_controller %1").arg(action);
    const bool isRead = action == QLatin1String("-read_control") || action == QLatin1String("-read_status");
    // A read that goes wrong never leaves the previous register's value.
    if (isRead)
        ONCData::inst()->setWBData(QString());
    int code = TCL_OK;
    if (ControllerPrologue::injected(ip, objc, objv, verb, &code))
        return code;
    const bool isWrite = action == QLatin1String("-write_control");
    if ((isWrite && (objc != 5 || text(objv[3]) != QLatin1String("-data"))) || (!isWrite && objc != 3))
        return usage(ip, use);
    const QString arg = text(objv[2]);
    const bool isFile = action.startsWith(QLatin1String("-dump")) || action.startsWith(QLatin1String("-load"));
    if (arg.trimmed().isEmpty())
        return fail(ip, QStringLiteral("%1: the %2 is empty")
                            .arg(verb, isFile ? QStringLiteral("file name") : QStringLiteral("register name")));
    QString error, value;
    const std::shared_ptr<ControllerDevice> dev = ControllerPrologue::device(verb, &error);
    if (!dev)
        return fail(ip, error);
    RegisterBank& regs = dev->registers();
    bool ok = false;
    if (action == QLatin1String("-read_control") || action == QLatin1String("-read_status")) {
        ok = action == QLatin1String("-read_control") ? regs.readControl(arg, &value, &error)
                                                      : regs.readStatus(arg, &value, &error);
        if (ok) {
            ONCData::inst()->setWBData(value);
            return done(ip, value);
        }
    } else if (isWrite) {
        ok = regs.writeControl(arg, text(objv[4]), &error);
    } else if (action == QLatin1String("-toggle_control")) {
        ok = regs.toggleControl(arg, &error);
    } else if (arg.contains(QChar(0))) {
        error = QStringLiteral("the file name contains a NUL character");
    } else if (action == QLatin1String("-dump_control")) {
        ok = regs.dumpControl(arg, &error);
    } else if (action == QLatin1String("-dump_status")) {
        ok = regs.dumpStatus(arg, &error);
    } else {
        ok = regs.loadControl(arg, &error);
    }
    return ok ? done(ip) : fail(ip, QStringLiteral("%1: %2").arg(verb, error));
}

} // namespace RegisterVerbs
