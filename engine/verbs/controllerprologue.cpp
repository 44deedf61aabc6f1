#include "controllerprologue.h"

#include "controllerrecords.h"
#include "onadata.h"
#include "oncdata.h"
#include "targetdevice.h"

#include <QRegularExpression>

using namespace Verbs;

namespace ControllerPrologue {

namespace {

bool projectOpen(const QString& verb, QString* error) {
    if (OnaData::inst()->isProjectOpen())
        return true;
    *error = QStringLiteral("%1: no project is open").arg(verb);
    return false;
}

QString notController(const QString& verb) {
    return QStringLiteral("%1: the current core \"%2\" is not a controller core")
        .arg(verb, OnaData::inst()->getCoreName(-1));
}

} // namespace

QString commandText(int objc, Tcl_Obj* const objv[]) {
    QStringList words;
    for (int i = 0; i < objc; ++i)
        words << text(objv[i]);
    return words.join(QLatin1Char(' '));
}

bool injected(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[], const QString& verb, int* code) {
    switch (ONCData::inst()->failureFor(commandText(objc, objv))) {
        case ONCData::Failed:
            *code = fail(ip, QStringLiteral("%1: injected failure").arg(verb));
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

bool injected(Tcl_Interp* ip, int objc, Tcl_Obj* const objv[], int* code) {
    return injected(ip, objc, objv, text(objv[0]), code);
}

std::shared_ptr<ControllerDevice> device(const QString& verb, QString* error) {
    if (!projectOpen(verb, error))
        return nullptr;
    ONCData* controller = ONCData::inst();
    std::shared_ptr<ControllerDevice> dev = controller->device();
    if (!dev)
        *error = controller->deviceFault().isEmpty() ? notController(verb)
                                                     : QStringLiteral("%1: %2").arg(verb, controller->deviceFault());
    return dev;
}

std::shared_ptr<HardIpSet> hardIp(const QString& verb, QString* error) {
    if (!projectOpen(verb, error))
        return nullptr;
    std::shared_ptr<HardIpSet> set = ONCData::inst()->hardIp();
    if (!set)
        *error = notController(verb);
    return set;
}

bool memFileOptions(const QString& verb, int objc, Tcl_Obj* const objv[], MemFile* file, QString* hardIp,
                    QString* error) {
    file->path = text(objv[2]);
    if (file->path.trimmed().isEmpty()) {
        *error = QStringLiteral("%1: the memory file name is empty").arg(verb);
        return false;
    }
    if (file->path.contains(QChar(0))) {
        *error = QStringLiteral("%1: the file name contains a NUL character").arg(verb);
        return false;
    }
    VerbOptions::Pairs options;
    if (!optionPairs(objc, objv, 3, &options, error))
        return false;
    for (const auto& o : options) {
        quint64 v = 0;
        if (hardIp && o.first == QLatin1String("-hard_ip")) {
            *hardIp = o.second;
        } else if (o.first == QLatin1String("-offset")) {
            // Digits that only overflow are a number too large, not a wrong one.
            static const QRegularExpression hexDigits(QStringLiteral("^\\s*(0[xX])?[0-9A-Fa-f]+\\s*$"));
            if (hexDigits.match(o.second).hasMatch() &&
                (!ControllerFile::parseHex64(o.second, &v) || v > 0xFFFFFFFFull)) {
                *error = QStringLiteral("%1: -offset \"%2\" is too large: at most FFFFFFFF").arg(verb, o.second);
                return false;
            }
            if (!ControllerFile::parseHex64(o.second, &v)) {
                *error = QStringLiteral("%1: -offset takes a hexadecimal word offset, not \"%2\"").arg(verb, o.second);
                return false;
            }
            file->offset = qint64(v);
        } else if (o.first == QLatin1String("-range")) {
            bool ok = false;
            file->range = o.second.trimmed().toLongLong(&ok, 10);
            if (!ok || file->range < 1) {
                *error =
                    QStringLiteral("%1: -range takes a number of words (1 or more), not \"%2\"").arg(verb, o.second);
                return false;
            }
        } else {
            *error =
                QStringLiteral("%1: unknown option \"%2\": expected %3")
                    .arg(verb, o.first,
                         hardIp ? QStringLiteral("-hard_ip, -offset or -range") : QStringLiteral("-offset or -range"));
            return false;
        }
    }
    return true;
}

int runMemFile(Tcl_Interp* ip, const QString& verb, MemorySpace& memory, bool dump, const MemFile& file, int width) {
    QString error;
    const bool ok = dump ? memory.dump(file.path, file.offset, file.range, width, &error)
                         : memory.load(file.path, file.offset, file.range, width, &error);
    return ok ? done(ip) : fail(ip, QStringLiteral("%1: %2").arg(verb, error));
}

} // namespace ControllerPrologue
