// The SERDES verbs: the settings, resets and selection of the current DCU
// channel (ona_set_pcs), Apply, configuration reload and scripts
// (ona_run_pcs), the Wishbone bus (ona_open_pcs, ona_pcs) and the register
// files (ona_import_pcs, ona_export_pcs).

#include "onaverbs.h"
#include "pcsdata.h"
#include "safefile.h"
#include "tcltext.h"

#include <QFileInfo>
#include <QRegularExpression>

using namespace Verbs;

namespace {

PCSData* pcs() { return PCSData::inst(); }

// Scripts of SERDES commands run in an interpreter of their own; one does
// not start another.
int g_scriptDepth = 0;

bool hexValue(const QString& s, quint32 maxValue, quint32* out) {
    static const QRegularExpression re(QStringLiteral("^(0[xX])?[0-9A-Fa-f]{1,8}$"));
    if (!re.match(s).hasMatch())
        return false;
    bool ok = false;
    const quint64 v = s.toULongLong(&ok, 16);
    if (!ok || v > maxValue)
        return false;
    *out = quint32(v);
    return true;
}

bool fileName(const QString& verb, const QString& path, QString* error) {
    if (path.trimmed().isEmpty()) {
        *error = QStringLiteral("%1: the file name is empty").arg(verb);
        return false;
    }
    if (path.contains(QChar(0))) {
        *error = QStringLiteral("%1: the file name contains a NUL character").arg(verb);
        return false;
    }
    return true;
}

ONA_CMD(cmdSetPcs) {
    VerbOptions::Pairs options;
    QString error, control, option;
    bool hasControl = false, hasOption = false;
    if (objc != 5)
        return usage(ip, "ona_set_pcs -control NAME -option VALUE");
    if (!optionPairs(objc, objv, 1, &options, &error))
        return fail(ip, error);
    for (const auto& o : options) {
        if (o.first == QLatin1String("-control") && !hasControl) {
            control = o.second;
            hasControl = true;
        } else if (o.first == QLatin1String("-option") && !hasOption) {
            option = o.second;
            hasOption = true;
        } else {
            return fail(ip,
                        QStringLiteral("ona_set_pcs: unexpected option \"%1\": expected -control and -option once each")
                            .arg(o.first));
        }
    }
    if (!hasControl || !hasOption)
        return usage(ip, "ona_set_pcs -control NAME -option VALUE");
    if (!pcs()->setControl(control, option, &error))
        return fail(ip, error);
    return done(ip);
}

int runScript(Tcl_Interp* ip, const QString& path);

ONA_CMD(cmdRunPcs) {
    const char* use = "ona_run_pcs ?-config_sram | -file FILE?";
    QString error;
    if (objc == 1)
        return pcs()->apply(&error) ? done(ip) : fail(ip, error);
    const QString action = text(objv[1]);
    if (objc == 2 && action == QLatin1String("-config_sram"))
        return pcs()->reloadConfig(&error) ? done(ip) : fail(ip, error);
    if (objc == 3 && action == QLatin1String("-file"))
        return runScript(ip, text(objv[2]));
    return usage(ip, use);
}

ONA_CMD(cmdOpenPcs) {
    if (objc != 1)
        return usage(ip, "ona_open_pcs");
    QString error;
    return pcs()->openWishbone(&error) ? done(ip) : fail(ip, error);
}

ONA_CMD(cmdPcs) {
    const char* use = "ona_pcs read -byte 1 -addr HEX | write -byte 1 -addr HEX -data HEX | close";
    if (objc < 2)
        return usage(ip, use);
    const QString action = text(objv[1]);
    if (action == QLatin1String("close")) {
        if (objc != 2)
            return usage(ip, use);
        pcs()->closeWishbone();
        return done(ip);
    }
    const bool write = action == QLatin1String("write");
    if (!write && action != QLatin1String("read"))
        return usage(ip, use);
    const QString verb = QStringLiteral("ona_pcs %1").arg(action);
    // Whatever is wrong with an access, the bus does not stay open.
    const auto refuse = [ip](const QString& why) {
        pcs()->closeWishbone();
        return fail(ip, why);
    };
    VerbOptions::Pairs options;
    QString error;
    if (!optionPairs(objc, objv, 2, &options, &error))
        return refuse(error);
    QString bytes, addr, data;
    bool hasBytes = false, hasAddr = false, hasData = false;
    for (const auto& o : options) {
        if (o.first == QLatin1String("-byte") && !hasBytes) {
            bytes = o.second;
            hasBytes = true;
        } else if (o.first == QLatin1String("-addr") && !hasAddr) {
            addr = o.second;
            hasAddr = true;
        } else if (write && o.first == QLatin1String("-data") && !hasData) {
            data = o.second;
            hasData = true;
        } else {
            return refuse(QStringLiteral("%1: unexpected option \"%2\"").arg(verb, o.first));
        }
    }
    if (!hasAddr || (write && !hasData))
        return refuse(QStringLiteral("%1: %2 is required")
                          .arg(verb, hasAddr ? QStringLiteral("-data") : QStringLiteral("-addr")));
    if (hasBytes && bytes != QLatin1String("1"))
        return refuse(QStringLiteral("%1: -byte \"%2\": the bus moves one byte at a time (-byte 1)").arg(verb, bytes));
    quint32 address = 0, value = 0;
    if (!hexValue(addr, 0xFFFFFFFFu, &address))
        return refuse(QStringLiteral("%1: -addr takes a hexadecimal address, not \"%2\"").arg(verb, addr));
    if (write && !hexValue(data, 0xFFu, &value))
        return refuse(QStringLiteral("%1: -data takes a hexadecimal byte (00 to FF), not \"%2\"").arg(verb, data));
    if (write)
        return pcs()->writeWishbone(address, quint8(value), &error) ? done(ip) : fail(ip, error);
    QString read;
    return pcs()->readWishbone(address, &read, &error) ? done(ip, read) : fail(ip, error);
}

ONA_CMD(cmdImportPcs) {
    if (objc != 2)
        return usage(ip, "ona_import_pcs FILE");
    QString error;
    if (!fileName(QStringLiteral("ona_import_pcs"), text(objv[1]), &error) || !pcs()->importFile(text(objv[1]), &error))
        return fail(ip, error);
    return done(ip);
}

ONA_CMD(cmdExportPcs) {
    if (objc != 2)
        return usage(ip, "ona_export_pcs FILE");
    QString error;
    if (!fileName(QStringLiteral("ona_export_pcs"), text(objv[1]), &error) || !pcs()->exportFile(text(objv[1]), &error))
        return fail(ip, error);
    return done(ip);
}

void createSerdesVerbs(Tcl_Interp* interp) {
    create(interp, {
                       {"ona_set_pcs", cmdSetPcs},
                       {"ona_run_pcs", cmdRunPcs},
                       {"ona_open_pcs", cmdOpenPcs},
                       {"ona_pcs", cmdPcs},
                       {"ona_import_pcs", cmdImportPcs},
                       {"ona_export_pcs", cmdExportPcs},
                   });
}

// A script of SERDES commands: Tcl with the SERDES verbs and nothing that
// reaches files or processes of its own. The bus is closed afterwards
// whatever the script did.
int runScript(Tcl_Interp* ip, const QString& path) {
    const QString verb = QStringLiteral("ona_run_pcs -file");
    QString error;
    if (!fileName(verb, path, &error))
        return fail(ip, error);
    if (g_scriptDepth > 0)
        return fail(ip, QStringLiteral("%1: a SERDES script cannot run another script").arg(verb));
    QString why;
    if (pcs()->layout().isEmpty())
        return fail(ip, QStringLiteral("%1: the project has no SERDES").arg(verb));
    QByteArray script;
    if (!SafeFile::readRegular(path, PCSData::kMaxSrvSize, &script, &why))
        return fail(ip, QStringLiteral("%1: %2 %3").arg(verb, path, why));
    Tcl_Interp* child = Tcl_CreateInterp();
    Tcl_MakeSafe(child);
    createSerdesVerbs(child);
    ++g_scriptDepth;
    const int code = Tcl_EvalEx(child, script.constData(), int(script.size()), TCL_EVAL_GLOBAL);
    --g_scriptDepth;
    const QString result = TclText::fromTcl(Tcl_GetStringResult(child));
    const int line = Tcl_GetErrorLine(child);
    Tcl_DeleteInterp(child);
    pcs()->closeWishbone();
    if (code != TCL_OK && code != TCL_RETURN)
        return fail(ip,
                    QStringLiteral("%1: %2 line %3: %4").arg(verb, QFileInfo(path).fileName()).arg(line).arg(result));
    return done(ip, result);
}

} // namespace

namespace SerdesVerbs {

void registerVerbs(Tcl_Interp* interp) { createSerdesVerbs(interp); }

} // namespace SerdesVerbs
