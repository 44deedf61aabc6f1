// The controller verbs: the LEDs, switches and user memory of the current
// controller core's device. Read verbs return the value as hexadecimal
// digits (upper case, zero-padded to the width, no prefix).

#include "bitwords.h"
#include "controllerprologue.h"
#include "controllerrecords.h"
#include "hardipverbs.h"
#include "onadata.h"
#include "onaverbs.h"
#include "oncdata.h"
#include "optiontable.h"
#include "registerverbs.h"
#include "targetdevice.h"

using namespace Verbs;
using namespace ControllerPrologue;

namespace {

ONCData* controller() { return ONCData::inst(); }

int userMemFile(Tcl_Interp* ip, const std::shared_ptr<ControllerDevice>& dev, bool dump, int objc,
                Tcl_Obj* const objv[]) {
    const QString verb = QStringLiteral("ona_run_controller %1")
                             .arg(dump ? QStringLiteral("-dump_memfile") : QStringLiteral("-load_memfile"));
    MemFile file;
    QString error;
    if (!memFileOptions(verb, objc, objv, &file, nullptr, &error))
        return fail(ip, error);
    const int width = controller()->getMemWidth();
    const int depth = controller()->getMemDepth();
    if (depth > 0 && depth != dev->memDepth())
        return fail(ip, QStringLiteral("%1: a memory of %2 words was asked for; the core's has %3")
                            .arg(verb)
                            .arg(depth)
                            .arg(dev->memDepth()));
    return ControllerPrologue::runMemFile(ip, verb, *dev, dump, file, width);
}

const char* const kRunUse =
    "ona_run_controller -read_led | -read_switch | -write_switch VALUE | -init_mem VALUE | "
    "-dump_memfile FILE ?-offset HEX? ?-range N? | -load_memfile FILE ?-offset HEX? ?-range N? | "
    "-write_ip NAME ?-KEY? | -read_ip NAME ?-KEY? | -eye_monitor NAME ?-nowait? | -eye_wait | -eye_stop";

// Each subsystem answers its own options (OptionTables::runController).
ONA_CMD(cmdRunController) {
    if (objc < 2)
        return usage(ip, kRunUse);
    const OptionRow* row = OptionTables::runController().find(objc, objv);
    // Register options answer injected failures themselves, after they
    // forget the last value read.
    if (row && row->ownPrologue)
        return row->run(ip, objc, objv);
    int code = TCL_OK;
    if (injected(ip, objc, objv, &code))
        return code;
    if (row)
        return row->run(ip, objc, objv);
    return fail(ip, QStringLiteral("ona_run_controller: unknown option \"%1\": expected -read_led, -read_switch, "
                                   "-write_switch, -init_mem, -dump_memfile or -load_memfile")
                        .arg(text(objv[1])));
}

// The LEDs, switches and user memory of the current core.
int runUserOptions(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[]) {
    const char* use = kRunUse;
    const QString action = text(objv[1]);
    const QString verb = QStringLiteral("ona_run_controller %1").arg(action);
    std::shared_ptr<ControllerDevice> dev;
    QString error;
    const bool noValue = action == QLatin1String("-read_led") || action == QLatin1String("-read_switch");
    const bool oneValue = action == QLatin1String("-write_switch") || action == QLatin1String("-init_mem");
    const bool file = action == QLatin1String("-dump_memfile") || action == QLatin1String("-load_memfile");
    if ((noValue && objc != 2) || (oneValue && objc != 3) || (file && (objc < 3 || objc % 2 == 0)))
        return usage(ip, use);
    if (!(dev = device(QStringLiteral("ona_run_controller"), &error)))
        return fail(ip, error);

    if (noValue) {
        // The LEDs or the switches, as hexadecimal digits of their count.
        const bool leds = action == QLatin1String("-read_led");
        const int count = leds ? dev->ledCount() : dev->switchCount();
        if (count == 0)
            return fail(ip, QStringLiteral("%1: the core has no virtual %2")
                                .arg(verb, leds ? QStringLiteral("LEDs") : QStringLiteral("switches")));
        quint32 value = 0;
        if (!(leds ? dev->readLeds(&value, &error) : dev->readSwitches(&value, &error)))
            return fail(ip, QStringLiteral("%1: %2").arg(verb, error));
        return done(ip, hexDigits(value, count));
    }
    if (file)
        return userMemFile(ip, dev, action == QLatin1String("-dump_memfile"), objc, objv);

    quint64 value = 0;
    if (!ControllerFile::parseHex64(text(objv[2]), &value))
        return fail(ip, QStringLiteral("%1: expected a hexadecimal value, not \"%2\"").arg(verb, text(objv[2])));
    if (action == QLatin1String("-write_switch")) {
        if (dev->switchCount() == 0)
            return fail(ip, QStringLiteral("%1: the core has no virtual switches").arg(verb));
        quint32 before = 0;
        if (!dev->readSwitches(&before, &error))
            return fail(ip, QStringLiteral("%1: %2").arg(verb, error));
        if (value > 0xFFFFFFFFull || !dev->writeSwitches(quint32(value), &error))
            return fail(
                ip, QStringLiteral("%1: %2").arg(verb, error.isEmpty() ? QStringLiteral("more than 32 bits") : error));
        if (before != quint32(value))
            controller()->notifyChanged(QStringLiteral("switch"), QString::number(value, 16));
        return done(ip);
    }
    if (!dev->fill(value, &error))
        return fail(ip, QStringLiteral("%1: %2").arg(verb, error));
    return done(ip);
}

// "-addr A" (and "-data D" for writes), in any order, each once.
bool addressData(int objc, Tcl_Obj* const objv[], bool needData, quint64* addr, quint64* data, QString* error) {
    const QString verb = text(objv[0]);
    VerbOptions::Pairs options;
    if (!optionPairs(objc, objv, 1, &options, error))
        return false;
    bool hasAddr = false, hasData = false;
    for (const auto& o : options) {
        const bool isAddr = o.first == QLatin1String("-addr");
        const bool isData = needData && o.first == QLatin1String("-data");
        if (!isAddr && !isData) {
            *error = QStringLiteral("%1: unknown option \"%2\": expected %3")
                         .arg(verb, o.first, needData ? QStringLiteral("-addr or -data") : QStringLiteral("-addr"));
            return false;
        }
        quint64 v = 0;
        if (!ControllerFile::parseHex64(o.second, &v)) {
            *error = QStringLiteral("%1: %2 takes a hexadecimal value, not \"%3\"").arg(verb, o.first, o.second);
            return false;
        }
        (isAddr ? *addr : *data) = v;
        (isAddr ? hasAddr : hasData) = true;
    }
    if (!hasAddr || (needData && !hasData)) {
        *error =
            QStringLiteral("%1: %2 is required").arg(verb, hasAddr ? QStringLiteral("-data") : QStringLiteral("-addr"));
        return false;
    }
    return true;
}

// Fails with `error`, which names `verb` first unless it names a verb already.
int failAs(Tcl_Interp* ip, const char* verb, const QString& error) {
    return fail(ip,
                error.startsWith(QLatin1String("ona_")) ? error : QLatin1String(verb) + QStringLiteral(": ") + error);
}

// ona_read_controller and ona_write_controller: one word, of a hard IP
// block's address space or of the controller's own.
int accessWord(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[], bool write) {
    const char* verb = write ? "ona_write_controller" : "ona_read_controller";
    int code = TCL_OK;
    if (injected(ip, objc, objv, &code))
        return code;
    std::shared_ptr<ControllerDevice> dev;
    QString error;
    quint64 addr = 0, data = 0, value = 0;
    if (addressData(objc, objv, write, &addr, &data, &error) && (dev = device(QLatin1String(verb), &error)) &&
        (write ? HardIpVerbs::writeWord(ip, addr, data, &code) : HardIpVerbs::readWord(ip, addr, &code)))
        return code;
    if (!error.isEmpty() || !(write ? dev->writeWord(addr, data, &error) : dev->readWord(addr, &value, &error)))
        return failAs(ip, verb, error);
    return write ? done(ip) : done(ip, hexDigits(value, dev->memWidth()));
}

ONA_CMD(cmdReadController) { return accessWord(ip, objc, objv, false); }

ONA_CMD(cmdWriteController) { return accessWord(ip, objc, objv, true); }

ONA_CMD(cmdCloseController) {
    Q_UNUSED(objc);
    Q_UNUSED(objv);
    // Ends polling; the devices keep their state while the project is open.
    controller()->stopLED();
    controller()->setPollingSpeed(0);
    return done(ip, QStringLiteral("0"));
}

} // namespace

namespace ControllerVerbs {

void putCoreRecords(Dict* dict, const AnalyzerCore& core) {
    const ControllerRecords& r = core.controller();
    dict->put("leds", list(r.leds.defined ? r.leds.names : QStringList()));
    dict->put("switches", list(r.switches.defined ? r.switches.names : QStringList()));
    Dict memory;
    if (r.memory.defined)
        memory.put("start", obj(hexDigits(r.memory.start, 32)))
            .put("end", obj(hexDigits(r.memory.end, 32)))
            .put("width", obj(r.memory.width))
            .put("depth", obj(r.memory.depth));
    dict->put("memory", memory.get());
    Dict control, status, hardIp;
    for (const auto& reg : r.control.entries)
        control.put(reg.name, obj(reg.width));
    for (const auto& reg : r.status.entries)
        status.put(reg.name, obj(reg.width));
    for (const auto& ip : r.hardIp)
        hardIp.put(ip.name, obj(ip.type));
    dict->put("controlregisters", control.get());
    dict->put("statusregisters", status.get());
    dict->put("hardip", hardIp.get());
}

void registerVerbs(Tcl_Interp* interp) {
    OptionTable& run = OptionTables::runController();
    run.add({QStringLiteral("-read_led"), QStringLiteral("-read_switch"), QStringLiteral("-write_switch"),
             QStringLiteral("-init_mem"), QStringLiteral("-dump_memfile"), QStringLiteral("-load_memfile")},
            runUserOptions);
    for (const QString& word : RegisterVerbs::options()) {
        OptionRow row;
        row.word = word;
        row.run = RegisterVerbs::run;
        row.ownPrologue = true;
        run.add(row);
    }
    create(interp, {
                       {"ona_run_controller", cmdRunController},
                       {"ona_read_controller", cmdReadController},
                       {"ona_write_controller", cmdWriteController},
                       {"ona_close_controller", cmdCloseController},
                   });
}

} // namespace ControllerVerbs
