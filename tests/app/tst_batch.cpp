// The `ondrel` program from the outside: batch mode, command line, and the
// window's start-up, each run as a separate process.
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "testfiles.h"
#include "testtime.h"

using namespace Qt::StringLiterals;

namespace {

struct Run {
    int code = -1;
    QString out;
    QString err;
    bool finished = false;
};

} // namespace

class TstBatch : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        QVERIFY2(QFileInfo(ONDREL_BIN).isExecutable(), ONDREL_BIN);
    }
    void batchRunsScripts() {
        const QString s = script("answer.tcl", "puts [expr {6*7}]\n");
        Run r = run({"--batch", s});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QString("42\n"));
        QCOMPARE(r.err, QString()); // no warnings on a clean run

        // Arguments after the script are its argv, as under tclsh; the file is read as UTF-8.
        const QString a = script("args.tcl",
                                 "puts [list $argc $argv [file tail $argv0]]\n"
                                 "puts [string length \"Gr\xc3\xbc\xc3\x9f"
                                 "e\"]\n"
                                 "puts -nonewline stdout no-newline\n");
        r = run({"--batch", a, "--", "one", "two words", "-x"});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QString("3 {one {two words} -x} args.tcl\n5\nno-newline"));

        // The engine's commands are there.
        r = run({"--batch", script("engine.tcl", "puts [llength [info commands ona_*]]\n")});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.out.trimmed().toInt() > 0, qPrintable(r.out));
        // An engine error is a script error with the engine's message.
        r = run({"--batch", script("engine_err.tcl", "ona_open_project {/no/such/dir/x.ona}\n")});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("x.ona"), qPrintable(r.err));

        // No window system is needed.
        const QProcessEnvironment env = noDisplay();
        r = run({"--batch", script("nodisplay.tcl", "puts ok\n")}, env);
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QString("ok\n"));
        r = run({"--version"}, env);
        QCOMPARE(r.code, 0);
        QVERIFY2(QRegularExpression("^ondrel \\d+\\.\\d+\\.\\d+\\s*$").match(r.out).hasMatch(), qPrintable(r.out));
    }
    void batchErrorsAndExitCodes() {
        const QString s = script("fails.tcl",
                                 "puts {before the error}\n"
                                 "proc check {} { error \"value out of range\" }\n"
                                 "check\n"
                                 "puts {never printed}\n");
        Run r = run({"--batch", s});
        QCOMPARE(r.code, 1);
        QCOMPARE(r.out, QString("before the error\n"));
        QVERIFY2(r.err.contains("value out of range"), qPrintable(r.err));
        // errorInfo: where it happened.
        QVERIFY2(r.err.contains("(procedure \"check\" line 1)"), qPrintable(r.err));
        QVERIFY2(r.err.contains("line 3)"), qPrintable(r.err));

        // A syntax error in the file is an error too.
        r = run({"--batch", script("syntax.tcl", "puts {unclosed\n")});
        QVERIFY(r.code != 0);
        QVERIFY2(r.err.contains("missing close-brace"), qPrintable(r.err));

        // A missing script: a clear message, nothing else.
        const QString missing = m_dir.filePath("no such script.tcl");
        r = run({"--batch", missing});
        QVERIFY(r.code != 0);
        QCOMPARE(r.out, QString());
        QVERIFY2(r.err.contains(missing) && r.err.contains("no such file"), qPrintable(r.err));

        // A folder is not a script.
        r = run({"--batch", m_dir.path()});
        QVERIFY(r.code != 0);
        QVERIFY2(r.err.contains(m_dir.path()), qPrintable(r.err));

        r = run({"--batch", script("exit3.tcl", "puts -nonewline flushed\nexit 3\nputs {not reached}\n")});
        QCOMPARE(r.code, 3);
        QCOMPARE(r.out, QString("flushed")); // output written before exit is not lost
        // A caught error is no failure.
        r = run({"--batch", script("caught.tcl", "catch {error x} msg\nputs $msg\n")});
        QCOMPARE(r.code, 0);
        QCOMPARE(r.out, QString("x\n"));
    }
    void foreignDecoderLibraryRefusesDecodesOnly() {
#ifdef ONDREL_FOREIGN_SRD_DIR
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("LD_LIBRARY_PATH", ONDREL_FOREIGN_SRD_DIR);
        const Run r = run({"--batch", script("decode.tcl", "ona_open_project {" ONDREL_SOURCE_DIR
                                                           "/examples/demo/demo.ona}\n"
                                                           "puts [catch {ona_add_decoder uart -channels {rx rx}} m]\n"
                                                           "puts $m\n"
                                                           "puts [ona_get project]\n")},
                          env);
        QCOMPARE(r.code, 0);
        const QStringList lines = r.out.split('\n');
        QCOMPARE(lines.value(0), QString("1"));
        QVERIFY2(lines.value(1).startsWith("ona_add_decoder: the protocol decoder library ") &&
                     lines.value(1).contains(" lacks srd_init, srd_exit,"),
                 qPrintable(r.out + r.err));
        QVERIFY2(lines.value(2).contains("demo.ona"), qPrintable(r.out)); // the engine runs on
#else
        QSKIP("no decoder library to stand in for");
#endif
    }
    void commandLine() {
        const QString s = script("plain.tcl", "puts x\n");
        Run r = run({"--batch", s, "--script", s});
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.contains("--batch cannot be combined"));
        // An unknown option is a usage error (2, with the usage), display or not.
        for (const QProcessEnvironment& env : {QProcessEnvironment::systemEnvironment(), noDisplay()}) {
            r = run({"--no-such-option"}, env);
            QCOMPARE(r.code, 2);
            QVERIFY2(r.err.contains("no-such-option"), qPrintable(r.err));
            QVERIFY2(r.err.contains("Usage: ondrel") && r.err.contains("--quit-after-start"), qPrintable(r.err));
        }
        r = run({"--quit-after-start", "a.ona", "b.ona"});
        QCOMPARE(r.code, 2);
        QVERIFY(r.err.contains("only one analyzer file"));
    }
    void windowStartsAndRunsScript() {
        // Offscreen, the window comes up and the program leaves by itself.
        Run r = run({"--quit-after-start"});
        QCOMPARE(r.code, 0);

        // --script runs in the window's interpreter; its exit closes the window
        // and ends the program with that code.
        r = run({"--script", script("gui_exit.tcl", "puts {in the window}\nexit 3\n")});
        QCOMPARE(r.code, 3);

        // A failing script is reported and the window stays up.
        r = run({"--quit-after-start", "--script", script("gui_error.tcl", "error {script went wrong}\n")});
        QCOMPARE(r.code, 0);
        QVERIFY2(r.err.contains("script went wrong"), qPrintable(r.err));

        // A smoke test on a missing analyzer file fails, saying why.
        const QString missing = m_dir.filePath("missing.ona");
        r = run({"--quit-after-start", missing});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(missing) && r.err.contains("no such file"), qPrintable(r.err));

        // A file that is there but refused: the window still comes up with the
        // engine's reason, and a smoke test of it fails. A pipe never hangs it.
        const QString bad = script("bad.ona", "{ not an analyzer file");
        r = run({"--quit-after-start", bad});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("Cannot open \"" + bad + "\": ") && r.err.contains("JSON"), qPrintable(r.err));
        const QString pipe = m_dir.filePath("pipe.ona");
        QVERIFY(QProcess::execute(u"mkfifo"_s, {pipe}) == 0);
        r = run({"--quit-after-start", pipe});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains("not a regular file"), qPrintable(r.err));
    }
    void windowOpensAnalyzerFile() {
        // A folder whose name Tcl would substitute if it reached it unescaped.
        const QString dir = m_dir.filePath("my [demo] $x \\dir");
        QVERIFY(QDir().mkpath(dir));
        for (const char* name : {"demo.ona", "demo.onl"})
            QVERIFY(QFile::copy(QStringLiteral(ONDREL_SOURCE_DIR "/examples/demo/") + name, dir + "/" + name));
        // The window's script sees the project open and the folder made current.
        const QString check = script("check_open.tcl",
                                     u"if {[pwd] ne {%1}} { exit 8 }\n"
                                     "if {[dict get [ona_get project] file] ne {%2}} { exit 9 }\n"
                                     "exit 7\n"_s.arg(dir, dir + "/demo.ona")
                                         .toUtf8());
        Run r = run({dir + "/demo.ona", "--script", check});
        QVERIFY2(r.code == 7, qPrintable(QString("exit %1: %2").arg(r.code).arg(r.err)));
        QVERIFY2(!r.err.contains("Cannot open"), qPrintable(r.err));

        // A simulator's waveform opens beside no project, from the same
        // folder; one the reader refuses fails a smoke test, saying where.
        const QString vcd = dir + "/sim.VCD";
        QVERIFY(QFile::copy(script("sim.vcd",
                                   "$timescale 1ps $end\n$var wire 1 ! clk $end\n$enddefinitions $end\n"
                                   "#0\n0!\n#5000000000\n1!\n"),
                            vcd));
        const QString seen = script("check_vcd.tcl",
                                    u"if {[dict get [ona_get waveform] file] ne {%1}} { exit 8 }\n"
                                    "exit [expr {[dict get [ona_get waveform] end] == 5000000000 "
                                    "? 6 : 9}]\n"_s.arg(vcd)
                                        .toUtf8());
        r = run({vcd, "--script", seen});
        QVERIFY2(r.code == 6, qPrintable(QString("exit %1: %2").arg(r.code).arg(r.err)));
        const QString garbled = script("garbled.vcd", "$var wire 1 ! clk $end\n$enddefinitions $end\n#9\n#3\n");
        r = run({"--quit-after-start", garbled});
        QCOMPARE(r.code, 1);
        QVERIFY2(r.err.contains(garbled) && r.err.contains("line 4"), qPrintable(r.err));
        // A missing one is said once, not again by the reader.
        r = run({m_dir.filePath("missing.vcd"), "--script", script("quit.tcl", "exit 0\n")});
        QVERIFY2(r.err.count("missing.vcd") == 1, qPrintable(r.err));
    }

private:
    // No window system: a program that needed one would fail to start.
    static QProcessEnvironment noDisplay() {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove("DISPLAY");
        env.remove("WAYLAND_DISPLAY");
        env.insert("QT_QPA_PLATFORM", "xcb");
        return env;
    }
    QString script(const QString& name, const QByteArray& body);
    Run run(const QStringList& args, const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment());
    QTemporaryDir m_dir;
};

QString TstBatch::script(const QString& name, const QByteArray& body) {
    const QString path = m_dir.filePath(name);
    return writeAll(path, body) ? path : QString();
}

Run TstBatch::run(const QStringList& args, const QProcessEnvironment& env) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(ONDREL_BIN, args);
    Run r;
    if (!p.waitForStarted(10000))
        return r;
    r.finished = p.waitForFinished(testMs(60000));
    if (!r.finished)
        p.kill();
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

QTEST_GUILESS_MAIN(TstBatch)
#include "tst_batch.moc"
