#include "tcl/cgtclcmdman.h"
#include "tcl/cgtclcmdproxy.h"
#include "tcl/cgtcltextedit.h"

#include <QSignalSpy>
#include <QTextBlock>
#include <QtTest>

namespace {

int helloCmd(ClientData, Tcl_Interp* interp, int, Tcl_Obj* const*) {
    Tcl_SetObjResult(interp, Tcl_NewStringObj("hello from testpkg", -1));
    return TCL_OK;
}

int testPkgInit(Tcl_Interp* interp) {
    Tcl_CreateObjCommand(interp, "tp_hello", helloCmd, nullptr, nullptr);
    return TCL_OK;
}

int failingPkgInit(Tcl_Interp* interp) {
    Tcl_SetObjResult(interp, Tcl_NewStringObj("no device", -1));
    return TCL_ERROR;
}

// The colour of the character that starts `needle`'s last occurrence.
QColor colourOf(QPlainTextEdit* edit, const QString& needle) {
    const int pos = edit->toPlainText().lastIndexOf(needle);
    if (pos < 0)
        return {};
    QTextCursor c(edit->document());
    c.setPosition(pos + 1);
    return c.charFormat().foreground().color();
}

bool hasForeground(QPlainTextEdit* edit, const QString& needle) {
    const int pos = edit->toPlainText().lastIndexOf(needle);
    QTextCursor c(edit->document());
    c.setPosition(pos + 1);
    return c.charFormat().hasProperty(QTextFormat::ForegroundBrush);
}

QString lastLine(QPlainTextEdit* edit) { return edit->document()->lastBlock().text(); }

} // namespace

class TstTcl : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        CGTclCmdMan::registerPackage("testpkg", testPkgInit);
        CGTclCmdMan::registerPackage(" failpkg ", failingPkgInit);
        QVERIFY(CGTclCmdMan::isRegistered("failpkg"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("not registered"));
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("failed to initialise: no device"));
        QByteArray prog("/opt/ondrel/bin/ondrel");
        QByteArray arg1("first arg");
        char* argv[] = {prog.data(), arg1.data(), nullptr};
        m_interp = CGTclCmdMan::createInterp(2, argv, "nosuch, testpkg,failpkg,,testpkg");
        QVERIFY(m_interp);
        QCOMPARE(CGTclCmdMan::currentInterp(), m_interp);
    }
    void packagesAndArguments() {
        // An unknown package is reported, a failing one too, and neither stops the others.
        QCOMPARE(CGTclCmdMan::lastUnknownPackages(), QStringList{"nosuch"});
        QCOMPARE(CGTclCmdMan::lastWarnings().size(), 2);
        int code = -1;
        auto* proxy = CGTclCmdProxy::getInstance(this);
        QCOMPARE(proxy->callTclCommand("tp_hello", &code, true, true), QString("hello from testpkg"));
        QCOMPARE(proxy->callTclCommand("list $argv0 $argc $argv", &code, true, true),
                 QString("/opt/ondrel/bin/ondrel 1 {{first arg}}"));
        // The Tcl library was found: procedures of init.tcl are there.
        QCOMPARE(proxy->callTclCommand("llength [info procs unknown]", &code, true, true), QString("1"));

        // A second interpreter becomes current; deleting it forgets it.
        Tcl_Interp* other = CGTclCmdMan::createInterp(0, nullptr, "");
        QCOMPARE(CGTclCmdMan::currentInterp(), other);
        QVERIFY(CGTclCmdMan::lastUnknownPackages().isEmpty());
        CGTclCmdMan::deleteInterp(other);
        QCOMPARE(CGTclCmdMan::currentInterp(), nullptr);
        QCOMPARE(proxy->callTclCommand("set x 1", &code, true, true), QString("no Tcl interpreter"));
        QCOMPARE(code, 1);
        CGTclCmdMan::setCurrentInterp(m_interp);
    }
    void proxyResultsAndCodes() {
        auto* proxy = CGTclCmdProxy::getInstance(this);
        int code = -1;
        // Result, code and error trace; a bare break at top level is an error,
        // not a silent success.
        const QList<std::tuple<const char*, const char*, int, const char*>> cases = {
            {"expr {6*7}", "42", 0, ""},
            {"error \"x\"", "x", 1, "x\n    while executing"},
            {"nosuchcommand 1", "invalid command name \"nosuchcommand\"", 1, "invalid"},
            {"break", nullptr, 1, ""}};
        for (const auto& [command, expected, exitCode, errorInfo] : cases) {
            const QString result = proxy->callTclCommand(command, &code, true, true);
            QCOMPARE(code, exitCode);
            if (expected)
                QCOMPARE(result, QString(expected));
            QVERIFY(exitCode ? proxy->lastErrorInfo().startsWith(errorInfo) : proxy->lastErrorInfo().isEmpty());
        }

        // "global" evaluates at global level even when called from inside a procedure.
        proxy->callTclCommand("proc viaProxy {global} { set local 1; ::testEval $global }", &code, true, true);
        QCOMPARE(code, 0);
        Tcl_CreateObjCommand(
            m_interp, "testEval",
            [](ClientData, Tcl_Interp*, int objc, Tcl_Obj* const* objv) -> int {
                int global = 0;
                Tcl_GetBooleanFromObj(nullptr, objv[objc - 1], &global);
                int rc = 0;
                CGTclCmdProxy::getInstance(nullptr)->callTclCommand("info exists local", &rc, true, global != 0);
                return rc;
            },
            nullptr, nullptr);
        QCOMPARE(proxy->callTclCommand("viaProxy 1", &code, true, false), QString("0"));
        QCOMPARE(proxy->callTclCommand("viaProxy 0", &code, true, false), QString("1"));
        Tcl_DeleteCommand(m_interp, "testEval");

        // Wrong thread: refused, not run.
        QString threadResult;
        int threadCode = -1;
        QThread* t =
            QThread::create([&] { threadResult = proxy->callTclCommand("set ran 1", &threadCode, true, true); });
        t->start();
        QVERIFY(t->wait(5000));
        delete t;
        QCOMPARE(threadCode, 1);
        QVERIFY(threadResult.contains("thread"));
        QCOMPARE(proxy->callTclCommand("info exists ran", &code, true, true), QString("0"));
    }
    void utf8RoundTrip() {
        auto* proxy = CGTclCmdProxy::getInstance(this);
        int code = -1;
        const QString text = QString::fromUtf8("Grüße Ωμέγα 日本語 😀 end");
        QCOMPARE(proxy->callTclCommand(QString("set s {%1}").arg(text), &code, true, true), text);
        QCOMPARE(proxy->callTclCommand("string length [string range $s 0 4]", &code, true, true), QString("5"));
        // An error message keeps its non-ASCII text too.
        QCOMPARE(proxy->callTclCommand(QString::fromUtf8("error \"Fehler: Datei fehlt – ä\""), &code, true, true),
                 QString::fromUtf8("Fehler: Datei fehlt – ä"));
        // A NUL character survives Tcl's internal encoding. (Quoting user text:
        // tst_tclcommand, whose tclQuoted is escapeForQuotes.)
        QCOMPARE(proxy->callTclCommand("format %c%s 0 x", &code, true, true), QString(QChar(0)) + "x");
    }
    void consoleRunsOnlyCompleteCommands() {
        CGTclTextEdit console(nullptr, m_interp);
        QSignalSpy ran(&console, &CGTclTextEdit::sigCommandExecuted);
        // Types `text` and presses Enter, as at the keyboard.
        const auto line = [&](const char* text) {
            QTest::keyClicks(&console, text);
            QTest::keyClick(&console, Qt::Key_Return);
        };

        line("if {1} {");
        QCOMPARE(ran.count(), 0);
        line("set done yes");
        QCOMPARE(ran.count(), 0);
        QCOMPARE(console.currentInput(), QString("if {1} {\nset done yes\n"));
        line("}");
        QCOMPARE(ran.count(), 1);
        QCOMPARE(ran.at(0).at(0).toString(), QString("if {1} {\nset done yes\n}"));
        QVERIFY(console.toPlainText().endsWith("% if {1} {\nset done yes\n}\nyes\n% "));

        // An unterminated quote and a trailing backslash continue too.
        line("set q \"a");
        line("b\" ; set z 1 \\");
        QCOMPARE(ran.count(), 1);
        line("; set q");
        QCOMPARE(ran.count(), 2);
        QCOMPARE(ran.at(1).at(2).toString(), QString("a\nb"));

        // An error shows in red; the prompt comes back.
        QVERIFY(console.executeCommand("error boom"));
        QCOMPARE(ran.at(2).at(1).toInt(), 1);
        QCOMPARE(colourOf(&console, "boom\n"), console.errorColor());
        QCOMPARE(lastLine(&console), QString("% "));
        QVERIFY(!console.isBusy());
    }
    void consoleHistory() {
        CGTclTextEdit console(nullptr, m_interp);
        console.executeCommand("set a 1");
        console.executeCommand("set b 2");
        console.executeCommand("set b 2"); // repeated: kept once
        console.executeCommand("   ");     // blank: not kept
        QCOMPARE(console.history(), (QStringList{"set a 1", "set b 2"}));

        // Up stays at the oldest; Down comes back to what was typed; Esc clears.
        QTest::keyClicks(&console, "half typed");
        QStringList seen;
        for (Qt::Key key : {Qt::Key_Up, Qt::Key_Up, Qt::Key_Up, Qt::Key_Down, Qt::Key_Down, Qt::Key_Escape}) {
            QTest::keyClick(&console, key);
            seen << console.currentInput();
        }
        QCOMPARE(seen, (QStringList{"set b 2", "set a 1", "set a 1", "set b 2", "half typed", ""}));

        // Recalled multi-line input: Up inside it moves the cursor, not the history.
        console.executeCommand("list 1 \\\n2");
        seen.clear();
        for (int i = 0; i < 3; ++i) {
            QTest::keyClick(&console, Qt::Key_Up);
            seen << console.currentInput();
        }
        QCOMPARE(seen, (QStringList{"list 1 \\\n2", "list 1 \\\n2", "set b 2"}));
    }
    void consoleOutputChannels() {
        CGTclTextEdit console(nullptr, m_interp);
        console.executeCommand("puts hello; puts stderr oops; puts stdout done");
        QVERIFY(console.toPlainText().endsWith("hello\noops\ndone\n% "));
        // A chatty command: every line arrives, in order.
        console.executeCommand("for {set i 0} {$i < 5000} {incr i} { puts \"line $i\" }");
        QVERIFY(console.toPlainText().contains("\nline 0\nline 1\n"));
        QVERIFY(console.toPlainText().endsWith("\nline 4998\nline 4999\n% "));
        QCOMPARE(colourOf(&console, "oops"), console.errorColor());
        QVERIFY(!hasForeground(&console, "hello")); // plain output uses the palette's text colour

        // stdin reads as empty instead of blocking the window.
        console.executeCommand("gets stdin line");
        QVERIFY(console.toPlainText().endsWith("gets stdin line\n-1\n% "));

        // Output that arrives while the user types goes above the prompt; an
        // unfinished line is continued, and the prompt keeps its own line.
        QTest::keyClicks(&console, "partial");
        int code = 0;
        auto* proxy = CGTclCmdProxy::getInstance(this);
        proxy->callTclCommand("puts -nonewline abc", &code, true, true);
        // Shown once the event loop runs again.
        QTRY_VERIFY(console.toPlainText().endsWith("\nabc\n% partial"));
        const QList<QPair<const char*, const char*>> writes = {
            {"puts -nonewline def", "\nabcdef\n% partial"},
            {"puts {}", "\nabcdef\n% partial"},
            {"puts -nonewline g; puts h; puts -nonewline i", "\nabcdef\ngh\ni\n% partial"},
            {"puts {}", "\nabcdef\ngh\ni\n% partial"}};
        for (const auto& [command, tail] : writes) {
            proxy->callTclCommand(command, &code, true, true);
            console.flushOutput();
            QVERIFY2(console.toPlainText().endsWith(tail), command);
        }
        QCOMPARE(console.currentInput(), QString("partial"));

        // Non-ASCII text written to a channel arrives intact.
        console.setCurrentInput(QString());
        console.executeCommand(QString::fromUtf8("puts \"Grüße 日本\""));
        QVERIFY(console.toPlainText().endsWith(QString::fromUtf8("Grüße 日本\n% ")));
    }
    void consoleKeepsHistoryReadOnly() {
        CGTclTextEdit console(nullptr, m_interp);
        console.executeCommand("set keep 1");
        const QString before = console.toPlainText();

        // Typing with the cursor in the history goes to the input.
        QTextCursor c = console.textCursor();
        c.setPosition(1);
        console.setTextCursor(c);
        QVERIFY(console.isReadOnly());
        QTest::keyClicks(&console, "xy");
        QCOMPARE(console.currentInput(), QString("xy"));
        QVERIFY(!console.isReadOnly());

        // Backspace stops at the prompt.
        for (int i = 0; i < 5; ++i)
            QTest::keyClick(&console, Qt::Key_Backspace);
        QVERIFY(console.toPlainText().endsWith("\n% "));

        // Delete on a selection reaching into the history removes only the input.
        QTest::keyClicks(&console, "abc");
        console.selectAll();
        QTest::keyClick(&console, Qt::Key_Delete);
        QCOMPARE(console.toPlainText(), before);

        // Home goes to the start of the input, not before the prompt.
        QTest::keyClicks(&console, "tail");
        QTest::keyClick(&console, Qt::Key_Home);
        QTest::keyClicks(&console, "head ");
        QCOMPARE(console.currentInput(), QString("head tail"));

        // Paste with the cursor in the history: plain text, into the input.
        console.setCurrentInput(QString());
        c = console.textCursor();
        c.setPosition(0);
        console.setTextCursor(c);
        auto* mime = new QMimeData; // the clipboard takes it
        mime->setHtml("<b>set pasted 1</b>");
        mime->setText("set pasted 1");
        QApplication::clipboard()->setMimeData(mime, QClipboard::Clipboard);
        QTest::keyClick(&console, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(console.currentInput(), QString("set pasted 1"));
        QVERIFY(console.toPlainText().startsWith(before.left(before.size() - 2)));
        QApplication::clipboard()->clear();
    }
    void consoleEchoesGuiCommands() {
        CGTclTextEdit console(nullptr, m_interp);
        QTest::keyClicks(&console, "mine");
        auto* proxy = CGTclCmdProxy::getInstance(this);
        int code = 0;
        proxy->callTclCommand("set echoed 5", &code, false, true);
        QVERIFY(console.toPlainText().endsWith("% set echoed 5\n5\n% mine"));
        QCOMPARE(colourOf(&console, "set echoed 5"), console.echoColor());
        proxy->callTclCommand("error {gui failed}", &code, false, true);
        QCOMPARE(colourOf(&console, "gui failed"), console.errorColor());
        // Silent commands show only their own output.
        proxy->callTclCommand("set hidden 6", &code, true, true);
        QVERIFY(!console.toPlainText().contains("hidden"));
        QCOMPARE(console.currentInput(), QString("mine"));
    }
    void consoleFollowsDarkPalette() {
        CGTclTextEdit console(nullptr, m_interp);
        console.executeCommand("error light");
        const QColor lightRed = console.errorColor();
        QPalette dark = console.palette();
        dark.setColor(QPalette::Base, QColor(0x20, 0x20, 0x20));
        dark.setColor(QPalette::Text, QColor(0xe0, 0xe0, 0xe0));
        console.setPalette(dark);
        const QColor darkRed = console.errorColor();
        QVERIFY(darkRed != lightRed);
        QVERIFY(darkRed.lightness() > 128); // readable on the dark background
        QCOMPARE(colourOf(&console, "light\n"), darkRed);
    }
    void channelsOutliveConsole() {
        auto* proxy = CGTclCmdProxy::getInstance(this);
        int code = -1;
        {
            CGTclTextEdit console(nullptr, m_interp);
            proxy->callTclCommand("set ch [fconfigure stdout]", &code, true, true);
            QCOMPARE(code, 0);
        }
        // The process's own channels are back.
        proxy->callTclCommand("puts -nonewline {}; flush stdout; fconfigure stderr -blocking", &code, true, true);
        QCOMPARE(code, 0);
        // Consoles coming and going in any order: output reaches the newest one alive.
        auto* a = new CGTclTextEdit(nullptr, m_interp);
        auto* b = new CGTclTextEdit(nullptr, m_interp);
        delete b;
        proxy->callTclCommand("puts to_a", &code, true, true);
        a->flushOutput();
        QVERIFY(a->toPlainText().contains("to_a"));
        b = new CGTclTextEdit(nullptr, m_interp);
        delete a;
        proxy->callTclCommand("puts to_b; puts stderr err_b", &code, true, true);
        b->flushOutput();
        QVERIFY(b->toPlainText().contains("to_b\nerr_b"));
        delete b;
        proxy->callTclCommand("puts -nonewline {}; puts -nonewline stderr {}", &code, true, true);
        QCOMPARE(code, 0);
    }

private:
    Tcl_Interp* m_interp = nullptr;
};

QTEST_MAIN(TstTcl)
#include "tst_tcl.moc"
