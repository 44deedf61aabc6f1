// The controller verbs: the LEDs, switches and user memory of the current
// controller core's device. Read verbs return the value as hexadecimal
// digits (upper case, zero-padded to the width, no prefix).

#include "controllerrecords.h"
#include "eyeverbs.h"
#include "hardipverbs.h"
#include "onadata.h"
#include "onaverbs.h"
#include "oncdata.h"
#include "registerverbs.h"
#include "simcontroller.h"

#include <QRegularExpression>

using namespace Verbs;

namespace {

ONCData* controller() { return ONCData::inst(); }

// The full command text, for failure injection and messages.
QString commandText(int objc, Tcl_Obj* const objv[]) {
    QStringList words;
    for (int i = 0; i < objc; ++i)
        words << text(objv[i]);
    return words.join(QLatin1Char(' '));
}

// Applies an injected failure; true when the command is answered by it.
bool injected(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[], int* code) {
    switch (controller()->failureFor(commandText(objc, objv))) {
        case ONCData::Failed:
            *code = fail(ip, QStringLiteral("%1: injected failure").arg(text(objv[0])));
            return true;
        case ONCData::Empty:
            *code = done(ip);
            return true;
        case ONCData::ErrorText:
            *code = done(ip, QStringLiteral("ERROR: injected failure"));
            return true;
        case ONCData::NoFailure:
            break;
    }
    return false;
}

// The device of the current core, or a refusal.
bool currentDevice(const QString& verb, std::shared_ptr<SimController>* dev, QString* error) {
    OnaData* d = OnaData::inst();
    if (!d->isProjectOpen()) {
        *error = QStringLiteral("%1: no project is open").arg(verb);
        return false;
    }
    *dev = controller()->device();
    if (!*dev) {
        *error = QStringLiteral("%1: the current core \"%2\" is not a controller core").arg(verb, d->getCoreName(-1));
        return false;
    }
    return true;
}

bool decimalCount(const QString& s, qint64* value) {
    bool ok = false;
    const qint64 v = s.trimmed().toLongLong(&ok, 10);
    if (!ok || v < 1)
        return false;
    *value = v;
    return true;
}

int runMemFile(Tcl_Interp* ip, const std::shared_ptr<SimController>& dev, bool dump, int objc, Tcl_Obj* const objv[]) {
    const QString verb = QStringLiteral("ona_run_controller %1")
                             .arg(dump ? QStringLiteral("-dump_memfile") : QStringLiteral("-load_memfile"));
    const QString path = text(objv[2]);
    if (path.trimmed().isEmpty())
        return fail(ip, QStringLiteral("%1: the memory file name is empty").arg(verb));
    if (path.contains(QChar(0)))
        return fail(ip, QStringLiteral("%1: the file name contains a NUL character").arg(verb));
    VerbOptions::Pairs options;
    QString error;
    if (!optionPairs(objc, objv, 3, &options, &error))
        return fail(ip, error);
    qint64 offset = 0, range = -1;
    for (const auto& o : options) {
        quint64 v = 0;
        if (o.first == QLatin1String("-offset")) {
            // Digits that only overflow are a number too large, not a wrong one.
            static const QRegularExpression hexDigits(QStringLiteral("^\\s*(0[xX])?[0-9A-Fa-f]+\\s*$"));
            if (hexDigits.match(o.second).hasMatch() &&
                (!ControllerFile::parseHex64(o.second, &v) || v > 0xFFFFFFFFull))
                return fail(ip,
                            QStringLiteral("%1: -offset \"%2\" is too large: at most FFFFFFFF").arg(verb, o.second));
            if (!ControllerFile::parseHex64(o.second, &v))
                return fail(
                    ip, QStringLiteral("%1: -offset takes a hexadecimal word offset, not \"%2\"").arg(verb, o.second));
            offset = qint64(v);
        } else if (o.first == QLatin1String("-range")) {
            if (!decimalCount(o.second, &range))
                return fail(
                    ip,
                    QStringLiteral("%1: -range takes a number of words (1 or more), not \"%2\"").arg(verb, o.second));
        } else {
            return fail(ip, QStringLiteral("%1: unknown option \"%2\": expected -offset or -range").arg(verb, o.first));
        }
    }
    const int width = controller()->getMemWidth();
    const int depth = controller()->getMemDepth();
    if (depth > 0 && depth != dev->memDepth())
        return fail(ip, QStringLiteral("%1: a memory of %2 words was asked for; the core's has %3")
                            .arg(verb)
                            .arg(depth)
                            .arg(dev->memDepth()));
    const bool ok =
        dump ? dev->dump(path, offset, range, width, &error) : dev->load(path, offset, range, width, &error);
    return ok ? done(ip) : fail(ip, QStringLiteral("%1: %2").arg(verb, error));
}

ONA_CMD(cmdRunController) {
    const char* use =
        "ona_run_controller -read_led | -read_switch | -write_switch VALUE | -init_mem VALUE | "
        "-dump_memfile FILE ?-offset HEX? ?-range N? | -load_memfile FILE ?-offset HEX? ?-range N? | "
        "-write_ip NAME ?-KEY? | -read_ip NAME ?-KEY? | -eye_monitor NAME ?-nowait? | -eye_wait | -eye_stop";
    if (objc < 2)
        return usage(ip, use);
    // Register options answer injected failures themselves, after they
    // forget the last value read.
    if (RegisterVerbs::handles(text(objv[1])))
        return RegisterVerbs::run(ip, objc, objv);
    int code = TCL_OK;
    if (injected(ip, objc, objv, &code))
        return code;
    if (EyeVerbs::handlesRun(objc, objv))
        return EyeVerbs::run(ip, objc, objv);
    if (HardIpVerbs::handlesRun(objc, objv))
        return HardIpVerbs::run(ip, objc, objv);
    const QString action = text(objv[1]);
    const QString verb = QStringLiteral("ona_run_controller %1").arg(action);
    std::shared_ptr<SimController> dev;
    QString error;
    const bool noValue = action == QLatin1String("-read_led") || action == QLatin1String("-read_switch");
    const bool oneValue = action == QLatin1String("-write_switch") || action == QLatin1String("-init_mem");
    const bool file = action == QLatin1String("-dump_memfile") || action == QLatin1String("-load_memfile");
    if (!noValue && !oneValue && !file)
        return fail(ip, QStringLiteral("ona_run_controller: unknown option \"%1\": expected -read_led, -read_switch, "
                                       "-write_switch, -init_mem, -dump_memfile or -load_memfile")
                            .arg(action));
    if ((noValue && objc != 2) || (oneValue && objc != 3) || (file && (objc < 3 || objc % 2 == 0)))
        return usage(ip, use);
    if (!currentDevice(QStringLiteral("ona_run_controller"), &dev, &error))
        return fail(ip, error);

    if (action == QLatin1String("-read_led")) {
        if (dev->ledCount() == 0)
            return fail(ip, QStringLiteral("%1: the core has no virtual LEDs").arg(verb));
        return done(ip, SimController::hexDigits(dev->readLeds(), dev->ledCount()));
    }
    if (action == QLatin1String("-read_switch")) {
        if (dev->switchCount() == 0)
            return fail(ip, QStringLiteral("%1: the core has no virtual switches").arg(verb));
        return done(ip, SimController::hexDigits(dev->readSwitches(), dev->switchCount()));
    }
    if (file)
        return runMemFile(ip, dev, action == QLatin1String("-dump_memfile"), objc, objv);

    quint64 value = 0;
    if (!ControllerFile::parseHex64(text(objv[2]), &value))
        return fail(ip, QStringLiteral("%1: expected a hexadecimal value, not \"%2\"").arg(verb, text(objv[2])));
    if (action == QLatin1String("-write_switch")) {
        if (dev->switchCount() == 0)
            return fail(ip, QStringLiteral("%1: the core has no virtual switches").arg(verb));
        const quint32 before = dev->readSwitches();
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

ONA_CMD(cmdReadController) {
    int code = TCL_OK;
    if (injected(ip, objc, objv, &code))
        return code;
    std::shared_ptr<SimController> dev;
    QString error;
    quint64 addr = 0, data = 0, value = 0;
    if (addressData(objc, objv, false, &addr, &data, &error) &&
        currentDevice(QStringLiteral("ona_read_controller"), &dev, &error) && HardIpVerbs::readWord(ip, addr, &code))
        return code; // a hard IP block's address space
    if (!error.isEmpty() || !dev->readWord(addr, &value, &error))
        return fail(ip,
                    error.startsWith(QLatin1String("ona_")) ? error : QStringLiteral("ona_read_controller: ") + error);
    return done(ip, SimController::hexDigits(value, dev->memWidth()));
}

ONA_CMD(cmdWriteController) {
    int code = TCL_OK;
    if (injected(ip, objc, objv, &code))
        return code;
    std::shared_ptr<SimController> dev;
    QString error;
    quint64 addr = 0, data = 0;
    if (addressData(objc, objv, true, &addr, &data, &error) &&
        currentDevice(QStringLiteral("ona_write_controller"), &dev, &error) &&
        HardIpVerbs::writeWord(ip, addr, data, &code))
        return code; // a hard IP block's address space
    if (!error.isEmpty() || !dev->writeWord(addr, data, &error))
        return fail(ip,
                    error.startsWith(QLatin1String("ona_")) ? error : QStringLiteral("ona_write_controller: ") + error);
    return done(ip);
}

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
        memory.put("start", obj(SimController::hexDigits(r.memory.start, 32)))
            .put("end", obj(SimController::hexDigits(r.memory.end, 32)))
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
    create(interp, {
                       {"ona_run_controller", cmdRunController},
                       {"ona_read_controller", cmdReadController},
                       {"ona_write_controller", cmdWriteController},
                       {"ona_close_controller", cmdCloseController},
                   });
}

} // namespace ControllerVerbs
