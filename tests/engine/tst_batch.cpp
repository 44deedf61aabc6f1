// A whole batch session as `ondrel --batch` runs it: one Tcl script that
// edits the demo, saves it under a new name, reopens it and reads the state
// back with ona_get. Also: a bad command stops the script with a clear
// message, and several interpreters share the one engine.

#include "enginetest.h"

#include <QtTest>

class TestBatch : public QObject {
    Q_OBJECT
private slots:
    void init() { OnaData::inst()->resetData(); }
    void editSaveReopen();
    void badCommandStopsTheScript();
    void packageAndInterpreters();
};

void TestBatch::editSaveReopen() {
    DemoCopy demo;
    TclSession tcl;
    const QString script = QStringLiteral(R"TCL(
        set demo {%1}
        set copy {%2}
        ona_open_project $demo
        ona_set_tu -name TU_data -operator "!="
        ona_set_tu -name TU_data -radix "Bin"
        ona_set_tu -name TU_data -value "1010xxxx"
        ona_set_te -name TE_byte -expression "TU_data THEN TU_valid #4"
        ona_set_te -name TE_byte -enable on
        ona_set_core -name "bus_la"
        ona_set_trigoptn -position center
        ona_set_trigoptn -positionmode preset
        ona_set_trigoptn -teall and
        ona_set_trigoptn -samples 512
        ona_set_trigoptn -numtriggers 8
        ona_set_trigoptn -finalcounter on
        ona_set_trigoptn -finalcountervalue 5
        ona_set_trigoptn -connectpor on
        ona_add_tokenset -tokenset "state" -bits 2
        ona_add_token state IDLE=b'00
        ona_add_token state BUSY=b'01
        ona_set_tokenset "state" -name "phase"
        ona_set_project -period 8ns
        ona_save_project $copy
        ona_close_project
        ona_open_project $copy
        set out {}
        ona_set_core -name uart_la
        lappend out [dict get [ona_get tu TU_data] operator] [dict get [ona_get tu TU_data] radix] \
                    [dict get [ona_get tu TU_data] value]
        lappend out [dict get [ona_get te TE_byte] expression] [dict get [ona_get te TE_byte] enable]
        ona_set_core -name bus_la
        set o [ona_get trigoptn]
        foreach k {position positionmode teall samples numtriggers finalcounter finalcountervalue connectpor} {
            lappend out [dict get $o $k]
        }
        lappend out [dict keys [dict get [ona_get tokensets] phase tokens]]
        lappend out [dict get [ona_get project] period][dict get [ona_get project] clockunit]
        lappend out [file tail [dict get [ona_get project] file]]
        set out
    )TCL")
                               .arg(demo.ona(), demo.path(QStringLiteral("edited copy.ona")));
    QVERIFY2(tcl.eval(script), qPrintable(tcl.result()));
    QCOMPARE(tcl.result(), QStringLiteral("!= Bin 1010xxxx {TU_data THEN TU_valid #4} 1 center preset and 512 8 on 5 1 "
                                          "{IDLE BUSY} 8ns {edited copy.ona}"));
    // The original demo file is untouched.
    QCOMPARE(readAll(demo.ona()), readAll(QStringLiteral(ONDREL_SOURCE_DIR "/examples/demo/demo.ona")));
}

void TestBatch::badCommandStopsTheScript() {
    DemoCopy demo;
    TclSession tcl;
    const QString script = QStringLiteral(R"TCL(
        ona_open_project {%1}
        ona_set_trigoptn -samples 3
        ona_set_tu -name TU_data -value FF
    )TCL")
                               .arg(demo.ona());
    QVERIFY(!tcl.eval(script));
    QCOMPARE(tcl.result(),
             QStringLiteral("ona_set_trigoptn: core \"uart_la\": this core captures one fixed window of 2048 samples"));
    QCOMPARE(OnaData::inst()->getTUValue(1), QStringLiteral("5A")); // the script stopped there
    QVERIFY(tcl.eval("set errorInfo"));
    QVERIFY(tcl.result().contains("ona_set_trigoptn -samples 3"));
}

void TestBatch::packageAndInterpreters() {
    DemoCopy demo;
    TclSession a, b;
    QVERIFY(a.eval("package present ona"));
    QCOMPARE(a.result(), QStringLiteral("1.0"));
    QVERIFY(a.call({"ona_open_project", demo.ona()}));
    QVERIFY(b.eval("ona_set_core -name bus_la")); // the same engine behind both
    QVERIFY(a.eval("dict get [ona_get project] currentcore"));
    QCOMPARE(a.result(), QStringLiteral("bus_la"));
    QCOMPARE(Ona_Init(nullptr), TCL_ERROR);
}

QTEST_GUILESS_MAIN(TestBatch)
#include "tst_batch.moc"
