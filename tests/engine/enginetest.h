#pragma once

// Shared by the engine tests: an interpreter with the ona package, and a
// private copy of the demo project.

#include "onadata.h"
#include "onapackage.h"

#include <tcl.h>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <memory>

class TclSession {
public:
    TclSession() : m_interp(Tcl_CreateInterp()) { Ona_Init(m_interp); }
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

inline QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

inline void writeAll(const QString& path, const QByteArray& data) {
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(data);
}

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
