#include "tcl/cgtclcmdproxy.h"

#include "tcl/cgtclcmdman.h"
#include "tcltext.h"

#include <QCoreApplication>
#include <QThread>

namespace {

CGTclCmdProxy* s_instance = nullptr;

} // namespace

CGTclCmdProxy::CGTclCmdProxy() = default;

CGTclCmdProxy* CGTclCmdProxy::getInstance(QObject* owner) {
    if (!s_instance) {
        s_instance = new CGTclCmdProxy;
        // Not parented to any owner: consoles stay connected to it whichever
        // window comes and goes. Freed with the application object.
        qAddPostRoutine([] {
            delete s_instance;
            s_instance = nullptr;
        });
    }
    if (owner)
        s_instance->m_owner = owner;
    return s_instance;
}

QByteArray CGTclCmdProxy::toTcl(const QString& text) { return TclText::toTcl(text); }

QString CGTclCmdProxy::fromTcl(const char* text, int length) { return TclText::fromTcl(text, length); }

QString CGTclCmdProxy::escapeForQuotes(const QString& text) {
    QString out;
    out.reserve(text.size() + 8);
    for (QChar c : text) {
        switch (c.unicode()) {
            case '\\':
            case '"':
            case '$':
            case '[':
            case ']':
                out += QLatin1Char('\\');
                break;
            default:
                break;
        }
        out += c;
    }
    return out;
}

QString CGTclCmdProxy::evaluate(Tcl_Interp* interp, const QString& script, int* code, bool global, QString* errorInfo) {
    auto fail = [&](const QString& msg) {
        if (code)
            *code = TCL_ERROR;
        if (errorInfo)
            *errorInfo = msg;
        return msg;
    };
    if (!interp || Tcl_InterpDeleted(interp))
        return fail(QStringLiteral("no Tcl interpreter"));
    QThread* owner = CGTclCmdMan::interpThread(interp);
    if (owner && owner != QThread::currentThread())
        return fail(QStringLiteral("Tcl commands must be sent from the thread that created the interpreter"));

    const QByteArray bytes = toTcl(script);
    Tcl_Preserve(interp);
    const int rc = Tcl_EvalEx(interp, bytes.constData(), int(bytes.size()), global ? TCL_EVAL_GLOBAL : 0);
    const QString result = fromTcl(Tcl_GetStringResult(interp));
    if (errorInfo) {
        errorInfo->clear();
        if (rc == TCL_ERROR) {
            Tcl_Obj* info = Tcl_GetVar2Ex(interp, "errorInfo", nullptr, TCL_GLOBAL_ONLY);
            *errorInfo = info ? fromTcl(Tcl_GetString(info)) : result;
        }
    }
    Tcl_Release(interp);
    if (code)
        *code = rc;
    return result;
}

QString CGTclCmdProxy::callTclCommand(const QString& cmd, int* code, bool silent, bool global) {
    if (!silent)
        emit sigCommandEcho(cmd);
    int rc = TCL_OK;
    QString info;
    const QString result = evaluate(CGTclCmdMan::currentInterp(), cmd, &rc, global, &info);
    m_lastErrorInfo = rc == TCL_ERROR ? info : QString();
    if (code)
        *code = rc;
    if (!silent)
        emit sigResultEcho(result, rc);
    return result;
}
