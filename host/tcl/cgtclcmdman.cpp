#include "tcl/cgtclcmdman.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QMutexLocker>
#include <QPair>
#include <QThread>
#include <QtDebug>

namespace {

struct Registry {
    QMutex mutex;
    QList<QPair<QString, Tcl_PackageInitProc*>> packages;
    QHash<Tcl_Interp*, QThread*> interps;
    Tcl_Interp* current = nullptr;
    QStringList unknown;
    QStringList warnings;
    bool executableFound = false;
};

Registry& registry() {
    static Registry r;
    return r;
}

Tcl_PackageInitProc* findPackage(const QString& name) {
    for (const auto& p : std::as_const(registry().packages)) {
        if (p.first == name)
            return p.second;
    }
    return nullptr;
}

void warn(QStringList& list, const QString& text) {
    list.append(text);
    qWarning().noquote() << "Tcl:" << text;
}

// Called by Tcl when an interpreter is deleted, however that happens.
void forgetInterp(ClientData, Tcl_Interp* interp) {
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    r.interps.remove(interp);
    if (r.current == interp)
        r.current = nullptr;
}

// Command-line bytes are in the system encoding; Tcl wants its own UTF-8.
Tcl_Obj* externalString(const char* text) {
    Tcl_DString ds;
    Tcl_ExternalToUtfDString(nullptr, text ? text : "", -1, &ds);
    Tcl_Obj* obj = Tcl_NewStringObj(Tcl_DStringValue(&ds), Tcl_DStringLength(&ds));
    Tcl_DStringFree(&ds);
    return obj;
}

} // namespace

void CGTclCmdMan::registerPackage(const QString& name, Tcl_PackageInitProc* init) {
    const QString key = name.trimmed();
    if (key.isEmpty() || key.contains(QLatin1Char(',')) || !init) {
        qWarning().noquote() << "Tcl: cannot register package" << name << "(empty name, comma or no init procedure)";
        return;
    }
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    for (auto& p : r.packages) {
        if (p.first == key) {
            p.second = init;
            return;
        }
    }
    r.packages.append({key, init});
}

bool CGTclCmdMan::isRegistered(const QString& name) {
    QMutexLocker lock(&registry().mutex);
    return findPackage(name.trimmed()) != nullptr;
}

QStringList CGTclCmdMan::registeredPackages() {
    Registry& r = registry();
    QMutexLocker lock(&r.mutex);
    QStringList names;
    for (const auto& p : std::as_const(r.packages))
        names.append(p.first);
    return names;
}

Tcl_Interp* CGTclCmdMan::createInterp(int argc, char** argv, const char* packages) {
    Registry& r = registry();
    QStringList unknown;
    QStringList warnings;

    {
        QMutexLocker lock(&r.mutex);
        if (!r.executableFound) {
            // Encodings and the library path are process-wide and set up once.
            Tcl_FindExecutable(argc > 0 && argv ? argv[0] : nullptr);
            r.executableFound = true;
        }
    }

    Tcl_Interp* interp = Tcl_CreateInterp();
    if (Tcl_Init(interp) != TCL_OK) {
        warn(warnings, QStringLiteral("the Tcl library could not be initialised (%1); "
                                      "continuing without init.tcl")
                           .arg(QString::fromUtf8(Tcl_GetStringResult(interp))));
        Tcl_ResetResult(interp);
    }

    Tcl_Obj* argvList = Tcl_NewListObj(0, nullptr);
    for (int i = 1; i < argc && argv; ++i)
        Tcl_ListObjAppendElement(nullptr, argvList, externalString(argv[i]));
    Tcl_SetVar2Ex(interp, "argv0", nullptr, externalString(argc > 0 && argv ? argv[0] : ""), TCL_GLOBAL_ONLY);
    Tcl_SetVar2Ex(interp, "argv", nullptr, argvList, TCL_GLOBAL_ONLY);
    Tcl_SetVar2Ex(interp, "argc", nullptr, Tcl_NewIntObj(argc > 1 ? argc - 1 : 0), TCL_GLOBAL_ONLY);
    Tcl_SetVar2Ex(interp, "tcl_interactive", nullptr, Tcl_NewIntObj(0), TCL_GLOBAL_ONLY);

    QStringList done;
    const QStringList names = QString::fromUtf8(packages ? packages : "").split(QLatin1Char(','));
    for (const QString& raw : names) {
        const QString name = raw.trimmed();
        if (name.isEmpty() || done.contains(name))
            continue;
        done.append(name);
        Tcl_PackageInitProc* init = nullptr;
        {
            QMutexLocker lock(&r.mutex);
            init = findPackage(name);
        }
        if (!init) {
            unknown.append(name);
            warn(warnings, QStringLiteral("command package \"%1\" is not registered; skipped").arg(name));
            continue;
        }
        if (init(interp) != TCL_OK) {
            warn(warnings, QStringLiteral("command package \"%1\" failed to initialise: %2")
                               .arg(name, QString::fromUtf8(Tcl_GetStringResult(interp))));
            Tcl_ResetResult(interp);
        }
    }

    Tcl_CallWhenDeleted(interp, forgetInterp, nullptr);
    QMutexLocker lock(&r.mutex);
    r.interps.insert(interp, QThread::currentThread());
    r.current = interp;
    r.unknown = unknown;
    r.warnings = warnings;
    return interp;
}

Tcl_Interp* CGTclCmdMan::currentInterp() {
    QMutexLocker lock(&registry().mutex);
    return registry().current;
}

void CGTclCmdMan::setCurrentInterp(Tcl_Interp* interp) {
    QMutexLocker lock(&registry().mutex);
    registry().current = interp;
}

void CGTclCmdMan::deleteInterp(Tcl_Interp* interp) {
    if (!interp)
        return;
    forgetInterp(nullptr, interp);
    if (!Tcl_InterpDeleted(interp))
        Tcl_DeleteInterp(interp);
}

QThread* CGTclCmdMan::interpThread(Tcl_Interp* interp) {
    QMutexLocker lock(&registry().mutex);
    return registry().interps.value(interp, nullptr);
}

QStringList CGTclCmdMan::lastUnknownPackages() {
    QMutexLocker lock(&registry().mutex);
    return registry().unknown;
}

QStringList CGTclCmdMan::lastWarnings() {
    QMutexLocker lock(&registry().mutex);
    return registry().warnings;
}
