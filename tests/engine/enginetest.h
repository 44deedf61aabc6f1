#pragma once

// Shared by the engine tests: an interpreter with the ona package, and a
// private copy of the demo project.

#include "onadata.h"
#include "onapackage.h"
#include "../support/testfiles.h"
#include "../support/testtime.h"

#include <tcl.h>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <memory>

class TclSession {
public:
    // The readers _tu and _te (name key...), _opt, _prj and _cap (key...)
    // give items of ona_get, several keys as a list.
    TclSession() : m_interp(Tcl_CreateInterp()) {
        Ona_Init(m_interp);
        eval(
            QStringLiteral("proc _tu {n args} {set d [ona_get tu $n]; join [lmap k $args {dict get $d $k}]}\n"
                           "proc _te {n args} {set d [ona_get te $n]; join [lmap k $args {dict get $d $k}]}\n"
                           "proc _opt args {set d [ona_get trigoptn]; join [lmap k $args {dict get $d $k}]}\n"
                           "proc _prj args {set d [ona_get project]; join [lmap k $args {dict get $d $k}]}\n"
                           "proc _cap args {set d [ona_get capture]; join [lmap k $args {dict get $d $k}]}"));
    }
    ~TclSession() { Tcl_DeleteInterp(m_interp); }
    TclSession(const TclSession&) = delete;
    TclSession& operator=(const TclSession&) = delete;

    // Evaluates a script; true when it returned TCL_OK.
    bool eval(const QString& script) {
        const QByteArray s = script.toUtf8();
        const int code = Tcl_EvalEx(m_interp, s.constData(), s.size(), TCL_EVAL_GLOBAL);
        m_result = QString::fromUtf8(Tcl_GetStringResult(m_interp));
        return code == TCL_OK;
    }
    QString result() const { return m_result; }
    // The script that starts a capture and waits for it (the limit scaled
    // for slow builds), for steps().
    static QString runAndWait(int ms = 20000) { return QStringLiteral("ona_run; ona_wait -timeout %1").arg(testMs(ms)); }
    // Runs runAndWait(); true when both verbs succeeded, the status in result().
    bool capture() { return eval(runAndWait()); }
    // Runs a command whose words are given separately, so no text in them is
    // ever interpreted by Tcl.
    bool call(const QStringList& words) {
        QVector<Tcl_Obj*> objs;
        for (const QString& w : words) {
            const QByteArray u = w.toUtf8();
            Tcl_Obj* o = Tcl_NewStringObj(u.constData(), u.size());
            Tcl_IncrRefCount(o);
            objs << o;
        }
        const int code = Tcl_EvalObjv(m_interp, objs.size(), objs.data(), TCL_EVAL_GLOBAL);
        for (Tcl_Obj* o : objs)
            Tcl_DecrRefCount(o);
        m_result = QString::fromUtf8(Tcl_GetStringResult(m_interp));
        return code == TCL_OK;
    }
    // dict get on the result of `script`.
    QString dictGet(const QString& script, const QString& key) {
        if (!eval(QStringLiteral("dict get [%1] %2").arg(script, key)))
            return QStringLiteral("<error: %1>").arg(m_result);
        return m_result;
    }
    Tcl_Interp* interp() const { return m_interp; }

    // One scripted check: `script` runs; `expect` is its exact result, "error: text"
    // an error containing text, and "*" any success.
    struct Step {
        Step(const char* s, const QString& e = QStringLiteral("*")) : script(QString::fromUtf8(s)), expect(e) {}
        Step(const QString& s, const QString& e = QStringLiteral("*")) : script(s), expect(e) {}
        QString script, expect;
    };
    // Runs `steps` in order; the first that went otherwise, as text, or an
    // empty text when every one did as expected.
    QString steps(const QList<Step>& steps) {
        for (const Step& s : steps) {
            const bool ok = eval(s.script);
            const bool good = s.expect.startsWith(QLatin1String("error: "))
                                  ? !ok && m_result.contains(s.expect.mid(7))
                                  : ok && (s.expect == QLatin1String("*") || m_result == s.expect);
            if (!good)
                return QStringLiteral("%1 -> %2%3 (expected %4)")
                    .arg(s.script, ok ? QString() : QStringLiteral("error: "), m_result, s.expect);
        }
        return QString();
    }

private:
    Tcl_Interp* m_interp;
    QString m_result;
};

// Copies examples/demo into a temporary folder.
class DemoCopy {
public:
    DemoCopy() {
        const QDir src(QStringLiteral(ONDREL_SOURCE_DIR "/examples/demo"));
        for (const QString& f : src.entryList(QDir::Files))
            QFile::copy(src.filePath(f), m_dir.filePath(f));
    }
    QString path(const QString& name) const { return m_dir.filePath(name); }
    QString ona() const { return path(QStringLiteral("demo.ona")); }
    QString onl() const { return path(QStringLiteral("demo.onl")); }

private:
    QTemporaryDir m_dir;
};

// The shared fixture of the engine tests: a test class derives from it and
// opens a fresh copy of the demo in its init().
class DemoSession : public QObject {
protected:
    // Forgets the engine's project and opens a fresh copy of the demo, with
    // `core` made current when given. On failure m_tcl.result() says why.
    bool openDemo(const char* core = nullptr) {
        OnaData::inst()->resetData();
        m_demo = std::make_unique<DemoCopy>();
        return m_tcl.call({"ona_open_project", m_demo->ona()}) &&
               (!core || m_tcl.call({"ona_set_core", "-name", QLatin1String(core)}));
    }

    TclSession m_tcl;
    std::unique_ptr<DemoCopy> m_demo;
};
