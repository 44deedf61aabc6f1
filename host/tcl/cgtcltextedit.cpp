#include "tcl/cgtcltextedit.h"

#include "tcl/cgtclcmdman.h"
#include "tcl/cgtclcmdproxy.h"

#include <QFontDatabase>
#include <QKeyEvent>
#include <QMimeData>
#include <QPointer>
#include <QScrollBar>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTimer>

#include <cstdio>
#include <utility>

// One console end of a Tcl standard channel. Lives as long as Tcl holds the
// channel, which may outlast the console: then output goes to the process's
// own stdout/stderr again.
struct CGTclConsoleChannel {
    QPointer<CGTclTextEdit> console;
    bool error = false;
    QStringDecoder decoder{QStringDecoder::Utf8};
    Tcl_Channel channel = nullptr;
};

namespace {

constexpr int RoleProperty = QTextFormat::UserProperty + 1;
constexpr int MaxHistory = 500;
constexpr int MaxLines = 20000;
constexpr qsizetype MaxPending = 4 * 1024 * 1024; // characters held back before showing them anyway

int consoleClose(ClientData data, Tcl_Interp*) {
    delete static_cast<CGTclConsoleChannel*>(data);
    return 0;
}

int consoleInput(ClientData, char*, int, int* errorCode) {
    // A GUI has no terminal to read: stdin is at its end rather than
    // blocking the window on the process's real stdin.
    *errorCode = 0;
    return 0;
}

int consoleOutput(ClientData data, const char* buf, int toWrite, int* errorCode) {
    auto* ch = static_cast<CGTclConsoleChannel*>(data);
    *errorCode = 0;
    if (toWrite <= 0)
        return 0;
    if (ch->console) {
        ch->console->appendOutput(ch->decoder.decode(QByteArrayView(buf, toWrite)), ch->error);
    } else {
        std::FILE* f = ch->error ? stderr : stdout;
        std::fwrite(buf, 1, size_t(toWrite), f);
        std::fflush(f);
    }
    return toWrite;
}

void consoleWatch(ClientData, int) {}

int consoleHandle(ClientData, int, ClientData*) { return TCL_ERROR; }

int consoleBlockMode(ClientData, int) { return 0; }

const Tcl_ChannelType consoleChannelType = {
    "console",             // typeName
    TCL_CHANNEL_VERSION_5, // version
    consoleClose,          // closeProc
    consoleInput,          // inputProc
    consoleOutput,         // outputProc
    nullptr,               // seekProc
    nullptr,               // setOptionProc
    nullptr,               // getOptionProc
    consoleWatch,          // watchProc
    consoleHandle,         // getHandleProc
    nullptr,               // close2Proc
    consoleBlockMode,      // blockModeProc
    nullptr,               // flushProc
    nullptr,               // handlerProc
    nullptr,               // wideSeekProc
    nullptr,               // threadActionProc
    nullptr,               // truncateProc
};

int s_channelSerial = 0;

CGTclConsoleChannel* makeChannel(CGTclTextEdit* console, const char* kind, bool error, int mask) {
    auto* ch = new CGTclConsoleChannel;
    ch->console = console;
    ch->error = error;
    const QByteArray name = QByteArray("console_") + kind + QByteArray::number(++s_channelSerial);
    ch->channel = Tcl_CreateChannel(&consoleChannelType, name.constData(), ch, mask);
    Tcl_SetChannelOption(nullptr, ch->channel, "-translation", "lf");
    Tcl_SetChannelOption(nullptr, ch->channel, "-buffering", "none");
    Tcl_SetChannelOption(nullptr, ch->channel, "-encoding", "utf-8");
    Tcl_RegisterChannel(nullptr, ch->channel); // our own reference
    return ch;
}

} // namespace

CGTclTextEdit::CGTclTextEdit(QWidget* parent, Tcl_Interp* interp) : QPlainTextEdit(parent), m_interp(interp) {
    setObjectName(QStringLiteral("TclConsole"));
    setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    setUndoRedoEnabled(false); // undo would reach into the history above the prompt
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAnywhere);
    setMaximumBlockCount(MaxLines);
    m_prompt = QTextCursor(document());
    showPrompt();

    connect(this, &QPlainTextEdit::cursorPositionChanged, this, &CGTclTextEdit::updateInteraction);
    connect(this, &QPlainTextEdit::selectionChanged, this, &CGTclTextEdit::updateInteraction);
    CGTclCmdProxy* proxy = CGTclCmdProxy::getInstance(nullptr);
    connect(proxy, &CGTclCmdProxy::sigCommandEcho, this, &CGTclTextEdit::onCommandEcho);
    connect(proxy, &CGTclCmdProxy::sigResultEcho, this, &CGTclTextEdit::onResultEcho);
    installChannels();
}

CGTclTextEdit::~CGTclTextEdit() { removeChannels(); }

void CGTclTextEdit::setInterp(Tcl_Interp* interp) {
    if (interp == m_interp)
        return;
    removeChannels();
    m_interp = interp;
    installChannels();
}

Tcl_Interp* CGTclTextEdit::interp() const { return m_interp ? m_interp : CGTclCmdMan::currentInterp(); }

// ---- standard channels -----------------------------------------------------

// Consoles of this (the GUI) thread in the order they took over the
// standard channels; the last one is the one Tcl writes to.
static QList<CGTclTextEdit*> s_consoles;

static const int StdTypes[3] = {TCL_STDIN, TCL_STDOUT, TCL_STDERR};

void CGTclTextEdit::installChannels() {
    Tcl_Interp* target = interp();
    // Tcl keeps the standard channels per thread: take over those of this
    // thread, and make the interpreter know ours by name.
    static const char* const kinds[3] = {"stdin", "stdout", "stderr"};
    for (int i = 0; i < 3; ++i) {
        m_prev[i] = Tcl_GetStdChannel(StdTypes[i]);
        if (m_prev[i])
            Tcl_RegisterChannel(nullptr, m_prev[i]); // kept alive until restored
        m_chan[i] = makeChannel(this, kinds[i], i == 2, i == 0 ? TCL_READABLE : TCL_WRITABLE);
        Tcl_SetStdChannel(m_chan[i]->channel, StdTypes[i]);
    }
    s_consoles.append(this);
    if (target && !Tcl_InterpDeleted(target)) {
        m_preserved = target;
        Tcl_Preserve(target);
        for (CGTclConsoleChannel* ch : m_chan)
            Tcl_RegisterChannel(target, ch->channel);
        // Tcl caches the channel a name like "stdout" resolved to until that
        // channel changes; detaching and re-attaching the old channels makes
        // the next "puts" look the name up again and find the console.
        for (Tcl_Channel prev : m_prev) {
            if (prev && Tcl_IsChannelRegistered(target, prev)) {
                Tcl_UnregisterChannel(target, prev);
                Tcl_RegisterChannel(target, prev);
            }
        }
    }
}

void CGTclTextEdit::removeChannels() {
    if (!m_chan[0])
        return;
    Tcl_Interp* target = m_preserved;
    const bool alive = target && !Tcl_InterpDeleted(target);
    const int at = int(s_consoles.indexOf(this));
    CGTclTextEdit* above = at >= 0 && at + 1 < s_consoles.size() ? s_consoles.at(at + 1) : nullptr;
    s_consoles.removeAll(this);
    for (int i = 0; i < 3; ++i) {
        CGTclConsoleChannel* ch = m_chan[i];
        const Tcl_Channel chan = ch->channel;
        ch->console = nullptr;
        if (above && above->m_prev[i] == chan) {
            // A later console replaced ours: it restores our predecessor
            // when it goes, and our hold on that predecessor passes to it.
            above->m_prev[i] = m_prev[i];
            Tcl_UnregisterChannel(nullptr, chan);
        } else {
            if (Tcl_GetStdChannel(StdTypes[i]) == chan) {
                Tcl_SetStdChannel(m_prev[i], StdTypes[i]);
                if (alive && m_prev[i] && !Tcl_IsChannelRegistered(target, m_prev[i]))
                    Tcl_RegisterChannel(target, m_prev[i]);
            }
            if (m_prev[i])
                Tcl_UnregisterChannel(nullptr, m_prev[i]);
        }
        if (alive && Tcl_IsChannelRegistered(target, chan))
            Tcl_UnregisterChannel(target, chan);
        Tcl_UnregisterChannel(nullptr, chan); // our own hold: may close it and free ch
        m_chan[i] = nullptr;
        m_prev[i] = nullptr;
    }
    if (target) {
        Tcl_Release(target);
        m_preserved = nullptr;
    }
}

// ---- document layout -------------------------------------------------------
//
//   [history, read-only][line break kept for the prompt?]["% "][input]
//
// Output goes in front of the prompt line, so whatever the user is typing
// stays where it is.

int CGTclTextEdit::endPosition() const { return document()->characterCount() - 1; }

int CGTclTextEdit::inputStart() const {
    return m_hasPrompt ? m_prompt.position() + int(prompt().size()) : endPosition();
}

QString CGTclTextEdit::currentInput() const {
    if (!m_hasPrompt)
        return {};
    QTextCursor c(document());
    c.setPosition(inputStart());
    c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    // QTextCursor gives paragraph separators for line breaks.
    return c.selectedText().replace(QChar::ParagraphSeparator, QLatin1Char('\n'));
}

void CGTclTextEdit::setCurrentInput(const QString& text) {
    if (!m_hasPrompt)
        return;
    QTextCursor c(document());
    c.setPosition(inputStart());
    c.movePosition(QTextCursor::End, QTextCursor::KeepAnchor);
    c.insertText(text, format(InputRole));
    moveToEnd();
}

void CGTclTextEdit::moveToEnd() {
    QTextCursor c = textCursor();
    c.movePosition(QTextCursor::End);
    setTextCursor(c);
}

bool CGTclTextEdit::selectionInInput() const {
    const QTextCursor c = textCursor();
    const int start = inputStart();
    return m_hasPrompt && c.position() >= start && c.anchor() >= start;
}

void CGTclTextEdit::showPrompt() {
    flushOutput(); // whatever the command printed goes above the prompt
    QTextCursor c(document());
    c.movePosition(QTextCursor::End);
    m_breakBeforePrompt = m_lineOpen;
    if (m_lineOpen)
        c.insertText(QStringLiteral("\n"), format(OutputRole));
    c.insertText(prompt(), format(InputRole));
    m_prompt.setPosition(endPosition() - int(prompt().size()));
    m_hasPrompt = true;
    moveToEnd();
    setCurrentCharFormat(format(InputRole));
    updateInteraction();
}

QTextCharFormat CGTclTextEdit::format(Role role) const {
    QTextCharFormat f;
    f.setProperty(RoleProperty, int(role));
    if (role == ErrorRole)
        f.setForeground(errorColor());
    else if (role == EchoRole)
        f.setForeground(echoColor());
    else
        f.clearForeground(); // the palette's text colour, whichever theme
    return f;
}

static bool isDarkBase(const QPalette& pal) { return pal.color(QPalette::Base).lightness() < 128; }

QColor CGTclTextEdit::errorColor() const {
    return isDarkBase(palette()) ? QColor(0xff, 0x6e, 0x6e) : QColor(0xc0, 0x10, 0x10);
}

QColor CGTclTextEdit::echoColor() const {
    // Between text and background: readable, but set apart from what the
    // user typed.
    const QColor t = palette().color(QPalette::Text);
    const QColor b = palette().color(QPalette::Base);
    return QColor((t.red() * 2 + b.red()) / 3, (t.green() * 2 + b.green()) / 3, (t.blue() * 2 + b.blue()) / 3);
}

void CGTclTextEdit::recolor() {
    struct Span {
        int pos, len, role;
    };
    QList<Span> spans;
    for (QTextBlock b = document()->begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment f = it.fragment();
            const int role = f.charFormat().intProperty(RoleProperty);
            if (role == ErrorRole || role == EchoRole)
                spans.append({f.position(), f.length(), role});
        }
    }
    for (const Span& s : std::as_const(spans)) {
        QTextCursor c(document());
        c.setPosition(s.pos);
        c.setPosition(s.pos + s.len, QTextCursor::KeepAnchor);
        c.mergeCharFormat(format(Role(s.role)));
    }
}

void CGTclTextEdit::writeOutput(QString text, Role role) {
    text.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    text.remove(QLatin1Char('\r'));
    if (text.isEmpty())
        return;
    if (!m_pending.isEmpty() && m_pending.last().role == role)
        m_pending.last().text += text;
    else
        m_pending.append({text, role});
    m_pendingSize += text.size();
    if (m_pendingSize > MaxPending) {
        flushOutput();
    } else if (!m_flushQueued) {
        m_flushQueued = true;
        QTimer::singleShot(0, this, &CGTclTextEdit::flushOutput);
    }
}

void CGTclTextEdit::flushOutput() {
    m_flushQueued = false;
    if (m_pending.isEmpty())
        return;
    const QList<PendingOutput> pending = std::exchange(m_pending, {});
    m_pendingSize = 0;
    QScrollBar* bar = verticalScrollBar();
    const bool atBottom = bar->value() >= bar->maximum() - 2;
    for (const PendingOutput& p : pending)
        insertOutput(p.text, p.role);
    if (atBottom)
        bar->setValue(bar->maximum());
}

void CGTclTextEdit::insertOutput(const QString& text, Role role) {
    QTextCursor c(document());
    c.setPosition(m_prompt.position() - (m_breakBeforePrompt ? 1 : 0));
    c.insertText(text, format(role));
    m_lineOpen = !text.endsWith(QLatin1Char('\n'));
    if (m_hasPrompt) {
        if (m_lineOpen && !m_breakBeforePrompt) {
            c.setPosition(m_prompt.position());
            c.insertText(QStringLiteral("\n"), format(OutputRole));
            m_breakBeforePrompt = true;
        } else if (!m_lineOpen && m_breakBeforePrompt) {
            c.setPosition(m_prompt.position() - 1);
            c.setPosition(m_prompt.position(), QTextCursor::KeepAnchor);
            c.removeSelectedText();
            m_breakBeforePrompt = false;
        }
    }
}

void CGTclTextEdit::appendOutput(const QString& text, bool error) { writeOutput(text, error ? ErrorRole : OutputRole); }

void CGTclTextEdit::clearConsole() {
    if (m_busy)
        return;
    flushOutput();
    const QString input = currentInput();
    clear();
    m_prompt = QTextCursor(document());
    m_lineOpen = m_breakBeforePrompt = m_hasPrompt = false;
    showPrompt();
    setCurrentInput(input);
}

void CGTclTextEdit::onCommandEcho(const QString& cmd) { writeOutput(prompt() + cmd + QLatin1Char('\n'), EchoRole); }

void CGTclTextEdit::onResultEcho(const QString& result, int code) {
    if (code == TCL_OK) {
        if (!result.isEmpty())
            writeOutput(result + QLatin1Char('\n'), EchoRole);
    } else {
        writeOutput(result + QLatin1Char('\n'), ErrorRole);
    }
    flushOutput();
}

// ---- running commands ------------------------------------------------------

void CGTclTextEdit::handleEnter() {
    const QString input = currentInput();
    // Tcl decides: an open brace, quote or bracket, or a trailing backslash,
    // continues the command on the next line.
    if (!Tcl_CommandComplete(CGTclCmdProxy::toTcl(input + QLatin1Char('\n')).constData())) {
        moveToEnd();
        textCursor().insertText(QStringLiteral("\n"), format(InputRole));
        ensureCursorVisible();
        return;
    }
    runInput();
}

bool CGTclTextEdit::executeCommand(const QString& cmd) {
    if (m_busy || !m_hasPrompt)
        return false;
    setCurrentInput(cmd);
    runInput();
    return true;
}

void CGTclTextEdit::runInput() {
    const QString cmd = currentInput();
    if (!cmd.trimmed().isEmpty() && (m_history.isEmpty() || m_history.last() != cmd)) {
        m_history.append(cmd);
        if (m_history.size() > MaxHistory)
            m_history.removeFirst();
    }
    m_historyPos = int(m_history.size());
    m_savedInput.clear();

    // The typed line becomes history; output now goes to the end.
    flushOutput();
    QTextCursor c(document());
    c.movePosition(QTextCursor::End);
    c.insertText(QStringLiteral("\n"), format(InputRole));
    m_hasPrompt = false;
    m_breakBeforePrompt = false;
    m_lineOpen = false;
    m_prompt.movePosition(QTextCursor::End);

    int code = TCL_OK;
    QString result;
    if (!cmd.trimmed().isEmpty()) {
        m_busy = true;
        updateInteraction();
        QPointer<CGTclTextEdit> self(this);
        result = CGTclCmdProxy::evaluate(interp(), cmd, &code, true);
        if (!self)
            return; // the command closed the console
        m_busy = false;
        if (code != TCL_OK)
            writeOutput(result + QLatin1Char('\n'), ErrorRole);
        else if (!result.isEmpty())
            writeOutput(result + QLatin1Char('\n'), OutputRole);
    }
    showPrompt();
    ensureCursorVisible();
    emit sigCommandExecuted(cmd, code, result);
}

void CGTclTextEdit::historyUp() {
    if (m_historyPos <= 0)
        return;
    if (m_historyPos == m_history.size())
        m_savedInput = currentInput();
    --m_historyPos;
    setCurrentInput(m_history.at(m_historyPos));
}

void CGTclTextEdit::historyDown() {
    if (m_historyPos >= m_history.size())
        return;
    ++m_historyPos;
    setCurrentInput(m_historyPos == m_history.size() ? m_savedInput : m_history.at(m_historyPos));
}

// ---- editing ---------------------------------------------------------------

void CGTclTextEdit::updateInteraction() {
    // Outside the input (or while a command runs) the text is selectable
    // only: typing, cut, paste and delete are then impossible, from the
    // keyboard and from the context menu alike.
    const Qt::TextInteractionFlags flags = (!m_busy && selectionInInput())
                                               ? Qt::TextEditorInteraction
                                               : Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard;
    if (textInteractionFlags() != flags)
        setTextInteractionFlags(flags);
}

void CGTclTextEdit::keyPressEvent(QKeyEvent* event) {
    const int key = event->key();
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeyboardModifiers(Qt::KeypadModifier);
    if (m_busy || !m_hasPrompt) {
        if (key != Qt::Key_Return && key != Qt::Key_Enter)
            QPlainTextEdit::keyPressEvent(event); // read-only: moving and copying only
        return;
    }
    QTextCursor cursor = textCursor();
    const int start = inputStart();
    const bool inInput = selectionInInput();

    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        if (mods & Qt::ShiftModifier) {
            if (!inInput)
                moveToEnd();
            textCursor().insertText(QStringLiteral("\n"), format(InputRole));
        } else {
            handleEnter();
        }
        return;
    }
    if (mods == Qt::NoModifier && (key == Qt::Key_Up || key == Qt::Key_Down) && inInput) {
        QTextCursor first(document());
        first.setPosition(start);
        const bool onFirstLine = cursor.blockNumber() == first.blockNumber();
        const bool onLastLine = cursor.blockNumber() == document()->blockCount() - 1;
        if (key == Qt::Key_Up && onFirstLine) {
            historyUp();
            return;
        }
        if (key == Qt::Key_Down && onLastLine) {
            historyDown();
            return;
        }
        // Up from the second line would land inside the prompt: stop at the input.
        QPlainTextEdit::keyPressEvent(event);
        if (textCursor().position() < start) {
            QTextCursor c = textCursor();
            c.setPosition(start);
            setTextCursor(c);
        }
        return;
    }
    if (key == Qt::Key_Home && (mods == Qt::NoModifier || mods == Qt::ShiftModifier) && inInput) {
        QTextCursor first(document());
        first.setPosition(start);
        if (cursor.blockNumber() == first.blockNumber()) {
            cursor.setPosition(start, mods == Qt::ShiftModifier ? QTextCursor::KeepAnchor : QTextCursor::MoveAnchor);
            setTextCursor(cursor);
            return;
        }
    }
    if (key == Qt::Key_Escape && mods == Qt::NoModifier) {
        setCurrentInput(QString());
        m_historyPos = int(m_history.size());
        return;
    }
    if (key == Qt::Key_Backspace || key == Qt::Key_Delete || event->matches(QKeySequence::Cut)) {
        // A selection that reaches into the history is cut back to the input.
        if (cursor.hasSelection() && cursor.selectionEnd() > start && cursor.selectionStart() < start) {
            const int end = cursor.selectionEnd();
            cursor.setPosition(start);
            cursor.setPosition(end, QTextCursor::KeepAnchor);
            setTextCursor(cursor);
        } else if (!selectionInInput()) {
            if (event->matches(QKeySequence::Cut))
                copy();
            return;
        }
        if (key == Qt::Key_Backspace && !textCursor().hasSelection() && textCursor().position() <= start)
            return; // never into the prompt
        QPlainTextEdit::keyPressEvent(event);
        return;
    }
    if (event->matches(QKeySequence::Paste) && !inInput) {
        moveToEnd();
        paste();
        return;
    }
    const bool typesText = !event->text().isEmpty() && event->text().at(0).isPrint() &&
                           !(mods & (Qt::ControlModifier | Qt::MetaModifier | Qt::AltModifier));
    if ((typesText || key == Qt::Key_Tab) && !inInput)
        moveToEnd(); // typing anywhere goes to the input
    QPlainTextEdit::keyPressEvent(event);
}

void CGTclTextEdit::inputMethodEvent(QInputMethodEvent* event) {
    if (!m_busy && m_hasPrompt && !selectionInInput() && !event->commitString().isEmpty())
        moveToEnd();
    QPlainTextEdit::inputMethodEvent(event);
}

bool CGTclTextEdit::canInsertFromMimeData(const QMimeData* source) const { return source && source->hasText(); }

void CGTclTextEdit::insertFromMimeData(const QMimeData* source) {
    if (m_busy || !m_hasPrompt || !source || !source->hasText())
        return;
    if (!selectionInInput())
        moveToEnd();
    // Plain text only: formatting from elsewhere has no place in a command.
    textCursor().insertText(source->text(), format(InputRole));
    ensureCursorVisible();
}

void CGTclTextEdit::dropEvent(QDropEvent* event) {
    if (m_busy || !m_hasPrompt || !event->mimeData()->hasText()) {
        event->ignore();
        return;
    }
    QTextCursor c = cursorForPosition(event->position().toPoint());
    if (c.position() < inputStart())
        c.movePosition(QTextCursor::End);
    c.insertText(event->mimeData()->text(), format(InputRole));
    setTextCursor(c);
    // Always a copy: a move would cut the dragged text out of the history.
    event->setDropAction(Qt::CopyAction);
    event->accept();
    setFocus();
}

void CGTclTextEdit::changeEvent(QEvent* event) {
    QPlainTextEdit::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        recolor();
}
