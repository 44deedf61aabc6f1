#pragma once

#include <QObject>
#include <QPointer>
#include <QString>

#include <tcl.h>

// Evaluates Tcl commands in the current interpreter (CGTclCmdMan) for the
// GUI. One proxy serves the whole process.
//
// A command that is not silent is announced with sigCommandEcho before it
// runs and sigResultEcho after it, so an attached console shows the user
// what the GUI sent; a silent command shows nothing but its own output.
class CGTclCmdProxy : public QObject {
    Q_OBJECT
public:
    // The process's proxy. `owner` is the object that sends the following
    // commands; it is remembered (while it lives) as owner().
    static CGTclCmdProxy* getInstance(QObject* owner);

    // Evaluates `cmd` (UTF-8 both ways); global runs it at global level.
    // Returns the result text, or the error message on error; `*code` gets
    // the Tcl return code (0 ok, 1 error).
    QString callTclCommand(const QString& cmd, int* code, bool silent, bool global);

    // errorInfo of the last failing callTclCommand (empty after success).
    QString lastErrorInfo() const { return m_lastErrorInfo; }
    QObject* owner() const { return m_owner; }

    // The evaluation behind callTclCommand, for any interpreter: refuses a
    // null or deleted interpreter and a call from a thread other than the
    // interpreter's, with code 1 and a message.
    static QString evaluate(Tcl_Interp* interp, const QString& script, int* code, bool global,
                            QString* errorInfo = nullptr);

    // Conversions between QString and Tcl's internal UTF-8 (which encodes
    // NUL and characters beyond U+FFFF differently from standard UTF-8).
    static QByteArray toTcl(const QString& text);
    static QString fromTcl(const char* text, int length = -1);

    // `text` made safe inside a double-quoted Tcl word: \ " $ [ ] are
    // escaped, so a user's text is never substituted or executed.
    static QString escapeForQuotes(const QString& text);

signals:
    void sigCommandEcho(const QString& cmd);
    void sigResultEcho(const QString& result, int code);

private:
    CGTclCmdProxy();
    QPointer<QObject> m_owner;
    QString m_lastErrorInfo;
};
