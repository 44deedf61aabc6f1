#include <QtTest>

#include <tcl.h>

#include "kit/tclcommand.h"
#include "tclwords.h"

using namespace vemo::toolona;
using namespace Qt::StringLiterals;

// Checks quoting against a real interpreter: whatever the user typed must
// arrive as exactly one word with exactly its text, and run nothing.
class TestTclCommand : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        m_interp = Tcl_CreateInterp();
        // A command that returns its arguments, and a trap that must never run.
        QCOMPARE(Tcl_Eval(m_interp, "proc probe {args} {return $args}; proc trap {} {set ::ran 1}; set ::ran 0"),
                 TCL_OK);
    }
    void cleanupTestCase() { Tcl_DeleteInterp(m_interp); }
    void hostileTextArrivesIntact_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("command") << "[trap]";
        QTest::newRow("exit") << "[exit 3]";
        QTest::newRow("variable") << "$x";
        QTest::newRow("quote") << "a\"b";
        QTest::newRow("windows path") << "C:\\new\\table";
        QTest::newRow("blanks") << "my signal name";
        QTest::newRow("braces") << "{a} }{";
        QTest::newRow("semicolon") << "a; trap";
        QTest::newRow("trailing backslash") << "dir\\";
        QTest::newRow("non-ascii") << QString::fromUtf8("Zähler µs");
        QTest::newRow("percent") << "%1 and %2";
        QTest::newRow("newline") << "two\nlines";
    }
    void hostileTextArrivesIntact() {
        QFETCH(QString, text);
        const QString quoted = tclCommand("probe -name \"%1\" %2", tclQuoted(text), tclWord(text));
        QCOMPARE(tclWords(quoted, m_interp), (QStringList{"-name", text, text}));
        QCOMPARE(QString::fromUtf8(Tcl_GetVar(m_interp, "ran", TCL_GLOBAL_ONLY)), QString("0"));
    }
    void ordinaryValuesKeepTheExactWireFormat() {
        QCOMPARE(tclCommand("ona_set_tu -name %1 %2 \"%3\"", tclWord("TU1"), QString("-operator"), tclQuoted("==")),
                 QString("ona_set_tu -name TU1 -operator \"==\""));
        QCOMPARE(tclCommand("ona_rename_tu %1 %2", tclWord("TU1"), tclWord("state_hit")),
                 QString("ona_rename_tu TU1 state_hit"));
        QCOMPARE(tclCommand("ona_open_project \"%1\"", tclQuoted("/home/u/demo.ona")),
                 QString("ona_open_project \"/home/u/demo.ona\""));
        // One-pass substitution: a value holding %2 is not filled again.
        QCOMPARE(tclCommand("%1 %2", QString("a%2"), QString("b")), QString("a%2 b"));
        QVERIFY(!isTclPlainWord("") && !isTclPlainWord("a b") && isTclPlainWord("u_core0/TU-1.x:y"));
    }

private:
    Tcl_Interp* m_interp = nullptr;
};

QTEST_GUILESS_MAIN(TestTclCommand)
#include "tst_tclcommand.moc"
