#include "hardipverbs.h"

#include "bitwords.h"
#include "controllerprologue.h"
#include "controllerrecords.h"
#include "hardipdevice.h"
#include "onadata.h"
#include "oncdata.h"
#include "optiontable.h"

using namespace Verbs;
using namespace ControllerPrologue;

namespace {

// A refusal without a message: the tool tells the user itself.
int refuseQuietly(Tcl_Interp* ip) {
    Tcl_ResetResult(ip);
    return TCL_ERROR;
}

ONA_CMD(cmdSetController) {
    const char* use = "ona_set_controller -hard_ip NAME -KEY VALUE | -pcs_lane LANE";
    int code = TCL_OK;
    if (objc >= 2 && injected(ip, objc, objv, &code))
        return code;
    QString error;
    const auto set = hardIp(QStringLiteral("ona_set_controller"), &error);
    const QString option = objc >= 2 ? text(objv[1]) : QString();
    if (option == QLatin1String("-pcs_lane") && objc == 3) {
        if (!set)
            return fail(ip, error);
        int lane = -1;
        if (!VerbOptions::parseInt(text(objv[2]), &lane) || lane < 0 || lane > 3)
            return fail(ip, QStringLiteral("ona_set_controller -pcs_lane: expected a lane from 0 to 3, not \"%1\"")
                                .arg(text(objv[2])));
        set->setLane(lane);
        return done(ip, QString::number(lane));
    }
    if (option != QLatin1String("-hard_ip") || objc != 5)
        return usage(ip, use);
    if (!set)
        return fail(ip, error);
    const QString name = text(objv[2]);
    const QString keyOption = text(objv[3]);
    if (!keyOption.startsWith(QLatin1Char('-')) || keyOption.size() < 2)
        return fail(ip, QStringLiteral("ona_set_controller -hard_ip %1: expected a key option (-KEY), not \"%2\"")
                            .arg(name, keyOption));
    if (const OptionRow* row = OptionTables::hardIpKeys().find(objc, objv, 3))
        return row->run(ip, objc, objv);
    QString stored;
    bool empty = false;
    if (!set->stage(name, keyOption.mid(1), text(objv[4]), &stored, &empty, &error))
        return empty ? refuseQuietly(ip) : fail(ip, QStringLiteral("ona_set_controller -hard_ip: ") + error);
    return done(ip, stored);
}

int memFile(Tcl_Interp* ip, HardIpSet* set, bool dump, int objc, Tcl_Obj* const objv[]) {
    const QString verb = QStringLiteral("ona_run_controller %1")
                             .arg(dump ? QStringLiteral("-dump_memfile") : QStringLiteral("-load_memfile"));
    if (objc < 5 || objc % 2 == 0)
        return usage(ip, "ona_run_controller -dump_memfile|-load_memfile FILE -hard_ip NAME ?-offset HEX? ?-range N?");
    MemFile file;
    QString name, error;
    if (!memFileOptions(verb, objc, objv, &file, &name, &error))
        return fail(ip, error);
    HardIpInstance* inst = set->instance(name);
    if (!inst)
        return fail(ip, QStringLiteral("%1: no hard IP instance named \"%2\" in the current core").arg(verb, name));
    if (!inst->device)
        return fail(ip, QStringLiteral("%1: \"%2\": %3").arg(verb, name, inst->fault));
    // The block's own words: the user memory's width and depth set on
    // ONCData do not apply here.
    return ControllerPrologue::runMemFile(ip, verb, inst->device->memory(), dump, file, 0);
}

// A memory file command is the hard IP blocks' when it names a block.
bool namesBlock(int objc, Tcl_Obj* const objv[]) {
    for (int i = 3; i < objc; i += 2)
        if (text(objv[i]) == QLatin1String("-hard_ip"))
            return true;
    return false;
}

} // namespace

namespace HardIpVerbs {

int run(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[]) {
    const QString action = text(objv[1]);
    QString error;
    const auto set = hardIp(QStringLiteral("ona_run_controller"), &error);
    if (!set)
        return fail(ip, error);
    if (action == QLatin1String("-dump_memfile") || action == QLatin1String("-load_memfile"))
        return memFile(ip, set.get(), action == QLatin1String("-dump_memfile"), objc, objv);
    static const QHash<QString, HardIpSet::IbertAction> ibert{{QStringLiteral("-restart_prbs"), HardIpSet::Restart},
                                                              {QStringLiteral("-inject_error"), HardIpSet::Inject},
                                                              {QStringLiteral("-count_error"), HardIpSet::Count}};
    if (ibert.contains(action)) {
        if (objc != 3)
            return usage(ip, "ona_run_controller -restart_prbs|-inject_error|-count_error NAME");
        const QString name = text(objv[2]);
        if (!set->ibert(name, ibert.value(action), &error))
            return fail(ip, QStringLiteral("ona_run_controller %1: %2").arg(action, error));
        return action == QLatin1String("-count_error") ? done(ip, set->value(name, QStringLiteral("rx_prbs_errcount")))
                                                       : done(ip);
    }
    if (objc != 3 && objc != 4)
        return usage(ip, "ona_run_controller -write_ip|-read_ip NAME ?-KEY?");
    const QString name = text(objv[2]);
    QString key;
    if (objc == 4) {
        key = text(objv[3]);
        if (!key.startsWith(QLatin1Char('-')) || key.size() < 2)
            return fail(ip, QStringLiteral("ona_run_controller %1 %2: expected a key option (-KEY), not \"%3\"")
                                .arg(action, name, key));
        key = key.mid(1);
    }
    const bool ok = action == QLatin1String("-write_ip") ? set->write(name, key, &error) : set->read(name, key, &error);
    return ok ? done(ip) : fail(ip, QStringLiteral("ona_run_controller %1: %2").arg(action, error));
}

// The hard IP block whose window holds `address`: nullptr when none does
// (the caller goes on to the user memory), or when the block has no
// device, which is then refused with its reason into *code.
HardIpInstance* windowAt(Tcl_Interp* ip, const char* verb, quint64 address, int* code, bool* handled) {
    const auto set = ONCData::inst()->hardIp();
    HardIpInstance* inst = set ? set->instanceAt(address) : nullptr;
    *handled = inst != nullptr;
    if (inst && !inst->device) {
        *code = fail(ip, QStringLiteral("%1: \"%2\": %3").arg(QLatin1String(verb), inst->data.name, inst->fault));
        return nullptr;
    }
    return inst;
}

bool readWord(Tcl_Interp* ip, quint64 address, int* code) {
    bool handled = false;
    HardIpInstance* inst = windowAt(ip, "ona_read_controller", address, code, &handled);
    if (!inst)
        return handled;
    quint64 value = 0;
    QString error;
    *code = inst->device->memory().readWord(address, &value, &error)
                ? done(ip, hexDigits(value, 32))
                : fail(ip, QStringLiteral("ona_read_controller: %1: %2").arg(inst->data.name, error));
    return true;
}

bool writeWord(Tcl_Interp* ip, quint64 address, quint64 data, int* code) {
    bool handled = false;
    HardIpInstance* inst = windowAt(ip, "ona_write_controller", address, code, &handled);
    if (!inst)
        return handled;
    QString error;
    *code = inst->device->memory().writeWord(address, data, &error)
                ? done(ip)
                : fail(ip, QStringLiteral("ona_write_controller: %1: %2").arg(inst->data.name, error));
    return true;
}

int get(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[]) {
    const bool staged = objc == 4 && text(objv[3]) == QLatin1String("-staged");
    if (objc != 3 && !staged)
        return usage(ip, "ona_get hardip NAME ?-staged?");
    QString error;
    const auto set = hardIp(QStringLiteral("ona_get hardip"), &error);
    if (!set)
        return fail(ip, error);
    const QString name = text(objv[2]);
    const HardIpInstance* inst = set->instance(name);
    if (!inst)
        return fail(ip,
                    QStringLiteral("ona_get hardip: no hard IP instance named \"%1\" in the current core").arg(name));
    Dict dict;
    if (inst->block) {
        const HardIpValues values = set->values(name, staged);
        // In the block's key order, so scripts and tests see a stable dict.
        for (const HardIpKey& k : inst->block->keys)
            if (values.contains(k.name))
                dict.put(k.name, obj(values.value(k.name)));
    }
    Tcl_SetObjResult(ip, dict.get());
    return TCL_OK;
}

void registerVerbs(Tcl_Interp* interp) {
    OptionTable& run = OptionTables::runController();
    run.add({QStringLiteral("-write_ip"), QStringLiteral("-read_ip"), QStringLiteral("-restart_prbs"),
             QStringLiteral("-inject_error"), QStringLiteral("-count_error")},
            HardIpVerbs::run);
    run.add({QStringLiteral("-dump_memfile"), QStringLiteral("-load_memfile")}, HardIpVerbs::run, namesBlock);
    OptionRow item;
    item.word = QStringLiteral("hardip");
    item.run = HardIpVerbs::get;
    OptionTables::get().add(item);
    create(interp, {{"ona_set_controller", cmdSetController}});
}

} // namespace HardIpVerbs
