#pragma once

#include <QPlainTextEdit>
#include <QStringList>
#include <QTextCursor>

#include <tcl.h>

struct CGTclConsoleChannel;

// The Tcl console: a prompt "% ", input typed after it, everything above
// read-only. Enter runs the input once it is a complete Tcl command (else it
// continues on a new line); Up/Down walk the history. Results show in the
// text colour, errors in red. While the console exists the interpreter's
// stdout and stderr are this widget (stderr in red) and stdin reads as
// empty. Commands the GUI sends through CGTclCmdProxy are echoed here too.
class CGTclTextEdit : public QPlainTextEdit {
    Q_OBJECT
public:
    // With no interpreter the console uses CGTclCmdMan's current one.
    explicit CGTclTextEdit(QWidget* parent = nullptr, Tcl_Interp* interp = nullptr);
    ~CGTclTextEdit() override;

    void setInterp(Tcl_Interp* interp);
    Tcl_Interp* interp() const;

    static QString prompt() { return QStringLiteral("% "); }
    QString currentInput() const;
    void setCurrentInput(const QString& text);
    QStringList history() const { return m_history; }
    bool isBusy() const { return m_busy; }

    // Runs `cmd` as if typed at the prompt; false when the console is busy
    // running another command.
    bool executeCommand(const QString& cmd);
    // Shows text above the prompt, leaving the user's input alone. Output
    // is gathered and shown when control returns to the event loop, when a
    // command finishes, or on flushOutput(): inserting line by line would
    // make a chatty script crawl.
    void appendOutput(const QString& text, bool error = false);
    void flushOutput();
    // Removes everything but the prompt and the input being typed.
    void clearConsole();

    // The colours in use (they follow the palette).
    QColor errorColor() const;
    QColor echoColor() const;

signals:
    void sigCommandExecuted(const QString& cmd, int code, const QString& result);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void inputMethodEvent(QInputMethodEvent* event) override;
    bool canInsertFromMimeData(const QMimeData* source) const override;
    void insertFromMimeData(const QMimeData* source) override;
    void dropEvent(QDropEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    enum Role { InputRole = 0, OutputRole = 1, ErrorRole = 2, EchoRole = 3 };

    int inputStart() const;
    int endPosition() const;
    bool selectionInInput() const;
    void moveToEnd();
    void showPrompt();
    void writeOutput(QString text, Role role);
    void insertOutput(const QString& text, Role role);
    QTextCharFormat format(Role role) const;
    void recolor();
    void updateInteraction();
    void handleEnter();
    void runInput();
    void historyUp();
    void historyDown();
    void onCommandEcho(const QString& cmd);
    void onResultEcho(const QString& result, int code);
    void installChannels();
    void removeChannels();

    Tcl_Interp* m_interp = nullptr;
    Tcl_Interp* m_preserved = nullptr; // interpreter the channels were registered in
    QTextCursor m_prompt;              // start of the prompt ("% ")
    bool m_hasPrompt = false;
    bool m_lineOpen = false;          // last output line has no line break yet
    bool m_breakBeforePrompt = false; // a line break was added to keep the prompt on its own line
    bool m_busy = false;
    struct PendingOutput {
        QString text;
        Role role;
    };
    QList<PendingOutput> m_pending;
    qsizetype m_pendingSize = 0;
    bool m_flushQueued = false;
    QStringList m_history;
    int m_historyPos = 0;
    QString m_savedInput;

    // stdin, stdout, stderr (TCL_STDIN... order): ours, and those we replaced.
    CGTclConsoleChannel* m_chan[3] = {nullptr, nullptr, nullptr};
    Tcl_Channel m_prev[3] = {nullptr, nullptr, nullptr};
};
