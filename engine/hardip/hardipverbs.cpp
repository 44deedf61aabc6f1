#include "hardipverbs.h"

#include "controllerrecords.h"
#include "eyeverbs.h"
#include "hardipdevice.h"
#include "onadata.h"
#include "oncdata.h"
#include "simcontroller.h"

#include <QRegularExpression>

using namespace Verbs;

namespace {

QString commandText(int objc, Tcl_Obj* const objv[]) {
    QStringList words;
    for (int i = 0; i < objc; ++i)
        words << text(objv[i]);
    return words.join(QLatin1Char(' '));
}

// Applies a failure injected by a test (ONCData::injectFailure).
bool injected(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[], int* code) {
    switch (ONCData::inst()->failureFor(commandText(objc, objv))) {
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

std::shared_ptr<HardIpSet> blocks(const QString& verb, QString* error) {
    if (!OnaData::inst()->isProjectOpen()) {
        *error = QStringLiteral("%1: no project is open").arg(verb);
        return nullptr;
    }
    auto set = ONCData::inst()->hardIp();
    if (!set)
        *error = QStringLiteral("%1: the current core \"%2\" is not a controller core")
                     .arg(verb, OnaData::inst()->getCoreName(-1));
    return set;
}

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
    const auto set = blocks(QStringLiteral("ona_set_controller"), &error);
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
    if (EyeVerbs::handlesSet(keyOption))
        return EyeVerbs::set(ip, name, keyOption, text(objv[4]));
    QString stored;
    bool empty = false;
    if (!set->stage(name, keyOption.mid(1), text(objv[4]), &stored, &empty, &error))
        return empty ? refuseQuietly(ip) : fail(ip, QStringLiteral("ona_set_controller -hard_ip: ") + error);
    return done(ip, stored);
}

bool decimalCount(const QString& s, qint64* value) {
    bool ok = false;
    const qint64 v = s.trimmed().toLongLong(&ok, 10);
    if (!ok || v < 1)
        return false;
    *value = v;
    return true;
}

int memFile(Tcl_Interp* ip, HardIpSet* set, bool dump, int objc, Tcl_Obj* const objv[]) {
    const QString verb = QStringLiteral("ona_run_controller %1")
                             .arg(dump ? QStringLiteral("-dump_memfile") : QStringLiteral("-load_memfile"));
    if (objc < 5 || objc % 2 == 0)
        return usage(ip, "ona_run_controller -dump_memfile|-load_memfile FILE -hard_ip NAME ?-offset HEX? ?-range N?");
    const QString path = text(objv[2]);
    if (path.trimmed().isEmpty())
        return fail(ip, QStringLiteral("%1: the memory file name is empty").arg(verb));
    if (path.contains(QChar(0)))
        return fail(ip, QStringLiteral("%1: the file name contains a NUL character").arg(verb));
    VerbOptions::Pairs options;
    QString error;
    if (!optionPairs(objc, objv, 3, &options, &error))
        return fail(ip, error);
    QString name;
    qint64 offset = 0, range = -1;
    for (const auto& o : options) {
        quint64 v = 0;
        if (o.first == QLatin1String("-hard_ip")) {
            name = o.second;
        } else if (o.first == QLatin1String("-offset")) {
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
            return fail(
                ip,
                QStringLiteral("%1: unknown option \"%2\": expected -hard_ip, -offset or -range").arg(verb, o.first));
        }
    }
    HardIpInstance* inst = set->instance(name);
    if (!inst)
        return fail(ip, QStringLiteral("%1: no hard IP instance named \"%2\" in the current core").arg(verb, name));
    // The block's own words: the user memory's width and depth set on
    // ONCData do not apply here.
    SimController& mem = inst->device->memory();
    const bool ok = dump ? mem.dump(path, offset, range, 0, &error) : mem.load(path, offset, range, 0, &error);
    return ok ? done(ip) : fail(ip, QStringLiteral("%1: %2").arg(verb, error));
}

} // namespace

namespace HardIpVerbs {

bool handlesRun(int objc, Tcl_Obj* const objv[]) {
    if (objc < 2)
        return false;
    const QString action = text(objv[1]);
    if (action == QLatin1String("-write_ip") || action == QLatin1String("-read_ip") ||
        action == QLatin1String("-restart_prbs") || action == QLatin1String("-inject_error") ||
        action == QLatin1String("-count_error"))
        return true;
    if (action != QLatin1String("-dump_memfile") && action != QLatin1String("-load_memfile"))
        return false;
    for (int i = 3; i < objc; i += 2)
        if (text(objv[i]) == QLatin1String("-hard_ip"))
            return true;
    return false;
}

int run(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[]) {
    const QString action = text(objv[1]);
    QString error;
    const auto set = blocks(QStringLiteral("ona_run_controller"), &error);
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

bool readWord(Tcl_Interp* ip, quint64 address, int* code) {
    const auto set = ONCData::inst()->hardIp();
    HardIpInstance* inst = set ? set->instanceAt(address) : nullptr;
    if (!inst)
        return false;
    quint64 value = 0;
    QString error;
    *code = inst->device->memory().readWord(address, &value, &error)
                ? done(ip, SimController::hexDigits(value, 32))
                : fail(ip, QStringLiteral("ona_read_controller: %1: %2").arg(inst->data.name, error));
    return true;
}

bool writeWord(Tcl_Interp* ip, quint64 address, quint64 data, int* code) {
    const auto set = ONCData::inst()->hardIp();
    HardIpInstance* inst = set ? set->instanceAt(address) : nullptr;
    if (!inst)
        return false;
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
    const auto set = blocks(QStringLiteral("ona_get hardip"), &error);
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

void registerVerbs(Tcl_Interp* interp) { create(interp, {{"ona_set_controller", cmdSetController}}); }

} // namespace HardIpVerbs
