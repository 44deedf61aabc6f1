#pragma once

#include <QString>
#include <QStringList>

#include <tcl.h>

class QThread;

// The process's Tcl interpreter factory and its registry of command packages.
//
// Libraries that provide Tcl commands register an init procedure under a
// short name ("ona"); whoever creates an interpreter names the packages it
// wants ("ona,dtc"). The host thus never links against a package provider.
class CGTclCmdMan {
public:
    // Registers (or replaces) the package `name`; names are case-sensitive
    // and surrounding blanks are ignored.
    static void registerPackage(const QString& name, Tcl_PackageInitProc* init);
    static bool isRegistered(const QString& name);
    // Registered names, in registration order.
    static QStringList registeredPackages();

    // Creates an interpreter: Tcl_FindExecutable (first call only), Tcl_Init
    // (a missing init.tcl is reported and tolerated), argv0/argv/argc from
    // the arguments as tclsh sets them, then the init procedure of every
    // package named in the comma-separated `packages`. An unknown name or a
    // failing init is reported on stderr and in lastUnknownPackages() /
    // lastWarnings(), and skipped. The new interpreter becomes current.
    static Tcl_Interp* createInterp(int argc, char** argv, const char* packages);

    // The interpreter last created (or set); null when none or deleted.
    static Tcl_Interp* currentInterp();
    static void setCurrentInterp(Tcl_Interp* interp);
    // Deletes an interpreter made here; forgets it as current.
    static void deleteInterp(Tcl_Interp* interp);
    // The thread that created `interp` (null when not made here): a Tcl
    // interpreter may only be used from the thread that created it.
    static QThread* interpThread(Tcl_Interp* interp);

    // What the last createInterp call had to report.
    static QStringList lastUnknownPackages();
    static QStringList lastWarnings();
};
