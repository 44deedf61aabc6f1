#pragma once

// A stand-in for an embedding application: it answers the tool window's
// sigRunTclCmd by recording the command string exactly and evaluating it in
// a real interpreter that has the engine's commands, so a test can assert
// both the wire format and what the engine did.

#include <QObject>
#include <QStringList>

#include <functional>

#include <tcl.h>

namespace vemo::basgui {
class BasGUITool;
}

class RecordingHost : public QObject {
    Q_OBJECT
public:
    RecordingHost();
    ~RecordingHost() override;

    // Answers this tool's commands from now on.
    void attach(vemo::basgui::BasGUITool* tool);

    Tcl_Interp* interp() const { return m_interp; }
    // Evaluates in the host's interpreter without recording (test set-up).
    QString eval(const QString& script, int* code = nullptr);

    // Every command the tool sent, in order.
    QStringList commands;
    // The result code of each command, in the same order.
    QList<int> codes;
    // When set and returning true for a command, the command is refused
    // (code 1, "refused by the test") instead of evaluated.
    std::function<bool(const QString&)> refuse;

    int count(const QString& command) const { return int(commands.count(command)); }
    // The commands `act` makes the tool send, those before it forgotten.
    QStringList sent(const std::function<void()>& act) {
        commands.clear();
        act();
        return commands;
    }
    // Commands that start with `prefix`.
    QStringList startingWith(const QString& prefix) const;

public slots:
    void runTclCmd(const QString& cmd, int& code, QString& result);

private:
    Tcl_Interp* m_interp = nullptr;
};
