#include "batchrunner.h"

#include "tcl/cgtclcmdman.h"
#include "tcl/cgtclcmdproxy.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <tcl.h>

namespace {

// Everything goes through Tcl's own channels so that the script's output
// and the error report come out in the order they were written.
void writeStd(int which, const QString& text) {
    Tcl_Channel chan = Tcl_GetStdChannel(which);
    if (!chan)
        return;
    const QByteArray bytes = CGTclCmdProxy::toTcl(text);
    Tcl_WriteChars(chan, bytes.constData(), int(bytes.size()));
    Tcl_Flush(chan);
}

void flushStd() {
    for (int which : {TCL_STDOUT, TCL_STDERR}) {
        if (Tcl_Channel chan = Tcl_GetStdChannel(which))
            Tcl_Flush(chan);
    }
}

Tcl_Obj* stringObj(const QString& text) {
    const QByteArray bytes = CGTclCmdProxy::toTcl(text);
    return Tcl_NewStringObj(bytes.constData(), int(bytes.size()));
}

} // namespace

int runBatch(const QString& script, const QStringList& args) {
    QByteArray program = QCoreApplication::applicationFilePath().toLocal8Bit();
    char* argv[] = {program.data(), nullptr};
    const QByteArray packages = CGTclCmdMan::registeredPackages().join(QLatin1Char(',')).toUtf8();
    Tcl_Interp* interp = CGTclCmdMan::createInterp(1, argv, packages.constData());

    const QFileInfo fi(script);
    if (!fi.exists() || !fi.isFile()) {
        writeStd(TCL_STDERR, QStringLiteral("ondrel: cannot run the script \"%1\": no such file\n").arg(script));
        return 2;
    }
    if (!fi.isReadable()) {
        writeStd(TCL_STDERR, QStringLiteral("ondrel: cannot run the script \"%1\": permission denied\n").arg(script));
        return 2;
    }

    // As tclsh does: argv0 is the script, argv what follows it.
    Tcl_Obj* argvList = Tcl_NewListObj(0, nullptr);
    for (const QString& a : args)
        Tcl_ListObjAppendElement(nullptr, argvList, stringObj(a));
    Tcl_SetVar2Ex(interp, "argv0", nullptr, stringObj(script), TCL_GLOBAL_ONLY);
    Tcl_SetVar2Ex(interp, "argv", nullptr, argvList, TCL_GLOBAL_ONLY);
    Tcl_SetVar2Ex(interp, "argc", nullptr, Tcl_NewIntObj(int(args.size())), TCL_GLOBAL_ONLY);

    Tcl_Obj* path = stringObj(script);
    Tcl_IncrRefCount(path);
    const int rc = Tcl_FSEvalFileEx(interp, path, "utf-8");
    Tcl_DecrRefCount(path);
    if (rc != TCL_OK) {
        const QString message = CGTclCmdProxy::fromTcl(Tcl_GetStringResult(interp));
        Tcl_Obj* info = Tcl_GetVar2Ex(interp, "errorInfo", nullptr, TCL_GLOBAL_ONLY);
        const QString errorInfo = info ? CGTclCmdProxy::fromTcl(Tcl_GetString(info)) : message;
        flushStd();
        writeStd(TCL_STDERR,
                 QStringLiteral("ondrel: error in script \"%1\": %2\n%3\n").arg(script, message, errorInfo));
        return 1;
    }
    flushStd();
    return 0;
}
