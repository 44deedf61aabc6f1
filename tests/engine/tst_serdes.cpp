// The SERDES verbs where the pages cannot reach: the description read from
// the debug-logic file, refused settings, a Wishbone bus closed on every
// failure, refused register files and the limits of SERDES scripts. The
// pages' own round trips are in the window's SERDES test.

#include "enginetest.h"
#include "pcsdata.h"
#include "pcsjtag.h"
#include "simserdes.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestSerdes : public DemoSession {
    Q_OBJECT
private slots:
    void init() { QVERIFY2(openDemo(), qPrintable(m_tcl.result())); }
    void descriptionFromTheProject() {
        PCSData* pcs = PCSData::inst();
        QCOMPARE(pcs->getJTAG()->getSERDES(), u"DCU0: 0 1; DCU1: 0 1"_s);
        // Nothing read yet: the settings have no value.
        QCOMPARE(pcs->getValue("tx_precur"), -1);

        // A design with only DCU 1, channel 1.
        SerdesLayout one;
        QString why;
        QVERIFY(SerdesLayout::parse(QJsonDocument::fromJson(R"({"dcus":[{"dcu":1,"channels":[1]}]})").object(), &one,
                                    &why));
        QVERIFY(one.has(1, 1) && !one.has(1, 0) && !one.hasDcu(0));
        for (const char* bad : {R"({"dcus":[{"dcu":2,"channels":[0]}]})", R"({"dcus":[{"dcu":0,"channels":[0,0]}]})",
                                R"({"dcus":[{"dcu":0,"channels":[0]},{"dcu":0,"channels":[1]}]})",
                                R"({"dcus":[{"dcu":0,"channels":[]}]})", R"({"dcus":[]})", R"({"quads":[]})",
                                R"({"dcus":[{"dcu":0.5,"channels":[0]}]})"}) {
            SerdesLayout l;
            QVERIFY2(!SerdesLayout::parse(QJsonDocument::fromJson(bad).object(), &l, &why), bad);
            QVERIFY(why.startsWith(QLatin1String("serdes")));
        }
        // A project with a bad description does not open; the open one stays.
        QByteArray onl = readAll(m_demo->onl());
        onl.replace("\"dcu\": 1,", "\"dcu\": 7,");
        writeAll(m_demo->path("bad.onl"), onl);
        QVERIFY(!m_tcl.call({"ona_open_project", m_demo->path("bad.onl")}));
        QVERIFY2(m_tcl.result().contains(QLatin1String("serdes.dcus[1].dcu")), qPrintable(m_tcl.result()));
        QCOMPARE(pcs->getJTAG()->getSERDES(), u"DCU0: 0 1; DCU1: 0 1"_s);

        // Closing the project takes the SERDES with it.
        QVERIFY(m_tcl.call({"ona_close_project"}) && pcs->getJTAG()->getSERDES().isEmpty());
        QVERIFY(!set("tx_term", "50ohms") && m_tcl.result().contains(QLatin1String("no SERDES")) && !pcs->initSERDES());
        QVERIFY(pcs->getRunErr().startsWith(QLatin1String("ERROR:")));
    }
    void refusedSettingsChangeNothing() {
        PCSData* pcs = PCSData::inst();
        QVERIFY(pcs->initSERDES());
        QSignalSpy dirty(pcs, &PCSData::pcsDirty);
        // Amplitudes only as the block takes them: no blank, sign or leading zero.
        const QList<QStringList> refused = {{"tx_diffamp", " 120"}, {"tx_diffamp", "+120"},
                                            {"tx_diffamp", "0120"}, {"tx_diffamp", "105"},
                                            {"tx_diffamp", "10"},   {"tx_diffamp", "1320"},
                                            {"tx_diffamp", "-1"},   {"tx_diffamp", ""},
                                            {"tx_diffamp", "0x64"}, {"tx_term", "50 ohms", "50ohms, 75ohms, 5Kohms"},
                                            {"tx_invert", "1"},     {"tx_pll_reset", "yes"},
                                            {"rx_leq", "\"6dB\""},  {"no_such", "on", "unknown control"},
                                            {"dcua", "2"},          {"channel", "01"}};
        for (const QStringList& r : refused) {
            QVERIFY2(!set(r.at(0), r.at(1)), qPrintable(r.join(' ')));
            QVERIFY2(m_tcl.result().contains(r.value(2, r.at(0))), qPrintable(m_tcl.result()));
        }
        QVERIFY(!m_tcl.call({"ona_set_pcs", "-control", "tx_term"}));
        QVERIFY(!m_tcl.call({"ona_set_pcs", "-control", "tx_term", "-control", "tx_term"}) && dirty.isEmpty());
        QCOMPARE(pcs->getValue("tx_diffamp"), 500);
        QVERIFY(set("tx_diffamp", "0") && set("tx_diffamp", "9") && set("tx_diffamp", "100"));
    }
    void wishboneBusClosesOnEveryFailure() {
        PCSData* pcs = PCSData::inst();
        QVERIFY(!m_tcl.call({"ona_pcs", "read", "-byte", "1", "-addr", "0"}));
        QVERIFY(m_tcl.result().contains(QLatin1String("not open")));
        // The tool's scripts, failing half-way: the bus is closed all the same.
        const QString readScript = "ona_open_pcs\n  ona_pcs read -byte \"1\" -addr \"%1\"\n  ona_pcs close";
        const QString writeScript =
            "ona_open_pcs\n  ona_pcs write -byte \"1\" -addr \"%1\" -data \"%2\"\n  ona_pcs close";
        const QStringList failing = {
            readScript.arg("0008"),         // no register there
            readScript.arg("20000"),        // no DCU 2
            readScript.arg(""),             // empty address
            writeScript.arg("0007", "00"),  // status register
            writeScript.arg("0000", "03"),  // tx_term 3 does not exist
            writeScript.arg("0000", "20"),  // a reserved bit
            writeScript.arg("0006", "10"),  // no such reset
            writeScript.arg("0000", "100"), // more than a byte
            writeScript.arg("0000", ""),    // empty data
            "ona_open_pcs\n  ona_pcs read -byte \"2\" -addr \"0000\"\n  ona_pcs close",
        };
        for (const QString& script : failing) {
            QVERIFY2(!m_tcl.eval(script), qPrintable(script));
            QVERIFY2(!pcs->isWishboneOpen(), qPrintable(script));
        }
        QVERIFY(pcs->initSERDES());
        QCOMPARE(pcs->getValue("tx_term"), 0);
        QVERIFY(m_tcl.eval(readScript.arg("0205")) == false && m_tcl.eval(readScript.arg("0200")));
        QCOMPARE(m_tcl.result(), QString()); // the close answers last
        QCOMPARE(pcs->getWBData(), u"00"_s);
        QVERIFY(!pcs->isWishboneOpen());
        // Reopening an open bus is allowed: a stray open never locks it.
        QVERIFY(m_tcl.eval("ona_open_pcs; ona_open_pcs; ona_pcs read -addr 0002"));
        QCOMPARE(m_tcl.result(), u"1E"_s); // 500 mV
        QVERIFY(m_tcl.eval("ona_pcs close"));
    }
    void registerFileRefusals() {
        PCSData* pcs = PCSData::inst();
        QVERIFY(pcs->initSERDES() && set("rx_term", "75ohms"));
        QSignalSpy dirty(pcs, &PCSData::pcsDirty);
        const QString file = m_demo->path("bad.srv");
        const QList<QPair<QByteArray, QString>> bad = {
            {"0000 00\n0001 xz\n", "line 2: expected a hexadecimal address and data byte"},
            {"0000 00\n0003 00 00\n", "line 2: expected"},
            {"# c\n0007 00\n", "line 2: no setting register at address 0007"},
            {"0006 00\n", "line 1: no setting register"},
            {"2000 00\n", "line 1: no setting register"},
            {"0000 00\n\n0000 01\n", "line 3: address 0000 is given twice"},
            {"0000 03\n", "line 1: register 0000: tx_term cannot be 3"},
            {"0002 47\n", "line 1: register 0002: tx_diffamp cannot be 71"},
            {"0005 20\n", "line 1: register 0005: bits 20 are reserved"},
            {QByteArray("0003 0\0"
                        "1\n",
                        9),
             "line 1: contains a NUL character"},
            {"# only a comment\n", "holds no register"},
            {"0x0000 00\n", "line 1: expected"},
        };
        for (const auto& [content, why] : bad) {
            // A good first line before the fault: nothing of it may be taken.
            const bool numbered = why.startsWith(QLatin1String("line "));
            writeAll(file, numbered ? "0003 03\n" + content : content);
            QVERIFY2(!m_tcl.call({"ona_import_pcs", file}), content.constData());
            QString expected = why;
            if (numbered) {
                const int n = why.mid(5, why.indexOf(QLatin1Char(':')) - 5).toInt();
                expected = u"line %1%2"_s.arg(n + 1).arg(why.mid(why.indexOf(QLatin1Char(':'))));
            }
            QVERIFY2(m_tcl.result().contains(expected), qPrintable(m_tcl.result() + " / " + expected));
        }
        QVERIFY(dirty.isEmpty());
        QCOMPARE(pcs->getValue("rx_term"), 2);
        QVERIFY(!m_tcl.call({"ona_import_pcs", m_demo->path("missing.srv")}));
        QVERIFY(!m_tcl.call({"ona_import_pcs", m_demo->path("")}) && !m_tcl.call({"ona_import_pcs", ""}));
        QVERIFY(!m_tcl.call({"ona_export_pcs", m_demo->path("no/such/folder/x.srv")}));
        QVERIFY(!m_tcl.call({"ona_export_pcs", "   "}));
    }
    void scriptFiles() {
        PCSData* pcs = PCSData::inst();
        QVERIFY(pcs->initSERDES());
        const QString script = m_demo->path("tune [it] $x.tcl");
        writeAll(script,
                 "# a loop over both DCUs\n"
                 "foreach d {0 1} {\n"
                 "  ona_open_pcs\n"
                 "  ona_pcs write -byte 1 -addr ${d}003 -data 03\n"
                 "  ona_pcs close\n"
                 "}\n"
                 "ona_set_pcs -control tx_term -option \"75ohms\"\n"
                 "ona_run_pcs\n"
                 "ona_open_pcs\n"
                 "ona_pcs read -byte 1 -addr 0000\n");
        QVERIFY2(m_tcl.call({"ona_run_pcs", "-file", script}), qPrintable(m_tcl.result()));
        QCOMPARE(m_tcl.result(), u"01"_s);
        QCOMPARE(pcs->getValue("rx_term"), 3);
        QCOMPARE(wbRead("1003"), u"03"_s);
        QCOMPARE(wbRead("0000"), u"01"_s);
        // A script that left the bus open does not leave it so.
        QVERIFY(!pcs->isWishboneOpen());

        writeAll(script, "ona_open_pcs\n\nona_pcs write -byte 1 -addr 0007 -data 00\nona_pcs close\n");
        QVERIFY(!m_tcl.call({"ona_run_pcs", "-file", script}));
        QVERIFY2(m_tcl.result().contains(QLatin1String("tune [it] $x.tcl line 3: ona_pcs write: register 0007 is a "
                                                       "status register")),
                 qPrintable(m_tcl.result()));
        QVERIFY(!pcs->isWishboneOpen());
        // Only bus work: no files, processes, nested scripts or interpreters.
        const QString target = m_demo->path("written.srv");
        writeAll(m_demo->path("in.srv"), "0003 03\n");
        const QStringList bodies =
            u"exec ls|open /etc/passwd|ona_close_project|ona_run_pcs -file x.tcl|source x.tcl|glob *|cd /|pwd|"
            u"load x.so|socket localhost 80|exit|puts hello|interp create x|zlib gzip x|encoding system utf-8|"
            u"file tempfile x|chan create write x|package require http"_s.split(u'|') +
            QStringList{"ona_export_pcs {" + target + "}", "ona_import_pcs {" + m_demo->path("in.srv") + "}",
                        "file delete {" + target + "}"};
        for (const QString& body : bodies) {
            writeAll(script, body.toUtf8());
            QVERIFY2(!m_tcl.call({"ona_run_pcs", "-file", script}), qPrintable(body));
        }
        QVERIFY(!QFileInfo::exists(target) && OnaData::inst()->isProjectOpen());
        QVERIFY(!m_tcl.call({"ona_run_pcs", "-file", m_demo->path("none.tcl")}));
        QVERIFY(!m_tcl.call({"ona_run_pcs", "-file"}) && !m_tcl.call({"ona_run_pcs", "-fast"}));
    }
    // A script that runs away ends at a limit with an error naming it and the
    // file, the window's events are handled meanwhile, and a Stop ends it.
    void runawayScriptsEndAtTheirLimits() {
        QVERIFY(PCSData::inst()->initSERDES());
        const PCSData::ScriptLimits defaults = PCSData::scriptLimits();
        PCSData::ScriptLimits small;
        small.commands = 200000;
        small.seconds = 2;
        small.valueBytes = 1 << 20;
        small.memoryBytes = 64 << 20;
        PCSData::setScriptLimits(small);
        const QString script = m_demo->path("runaway.tcl");
        const auto run = [&](const QByteArray& body) {
            writeAll(script, body);
            return m_tcl.call({"ona_run_pcs", "-file", script});
        };
        const QList<QPair<QByteArray, QString>> runaways = {
            {"set s [string repeat x 100000000]; while 1 {append s $s}", "limit of 1048576 bytes"},
            {"set s [string repeat x 1000]\nwhile 1 {append s $s}",
             "runaway.tcl line 2: the script built a value larger"},
            {"set s x; while 1 {catch {append s $s}}", "limit of 1048576 bytes"},
            {"set s x; while 1 {set s [string cat $s $s]}", "limit of 1048576 bytes"},
            {"set l [lrepeat 2000 [string repeat y 1000]]", "limit of 1048576 bytes"},
            {"set l [lrepeat 100 abc]; join $l [string repeat z 100000]", "limit of 1048576 bytes"},
            {"set x [string repeat a 100000]; for {set i 0} {$i < 20} {incr i} {lappend l $x}; string length $l",
             "limit of 1048576 bytes"},
            {"string map [list a [string repeat b 100000]] [string repeat a 100]", "limit of 1048576 bytes"},
            {"format %200000000s x", "limit of 1048576 bytes"},
            {"binary format x200000000", "limit of 1048576 bytes"},
            {"regsub -all . [string repeat a 10000] [string repeat b 1000]", "limit of 1048576 bytes"},
            {"for {set i 0} {1} {incr i} {set v($i) [string repeat x 500000]}", "limit of 67108864 bytes"},
            {"set i 0; while 1 {incr i}", "runaway.tcl line 1: the script ran more than its limit of 200000 commands"},
            {"vwait forever", "invalid command name \"vwait\""},
            {"after 60000", "invalid command name \"after\""},
            {"update", "invalid command name \"update\""},
        };
        QElapsedTimer clock;
        for (const auto& [body, message] : runaways) {
            clock.start();
            QVERIFY2(!run(body), body.constData());
            QVERIFY2(m_tcl.result().contains(message), qPrintable(m_tcl.result()));
            QVERIFY2(clock.elapsed() < 4000, body.constData());
        }
        small.commands = 1 << 30;
        PCSData::setScriptLimits(small);
        QVERIFY(!run("while 1 {}"));
        QVERIFY2(m_tcl.result().contains("runaway.tcl line 1: the script ran longer than its limit of 2 seconds"),
                 qPrintable(m_tcl.result()));

        // Stop, sent while the script runs, as the window would.
        small.seconds = 30;
        PCSData::setScriptLimits(small);
        QVERIFY(m_tcl.call({"ona_run_pcs", "-stop"})); // none running: not kept for the next
        int ticks = 0;
        QTimer ticker;
        QObject::connect(&ticker, &QTimer::timeout, [&] {
            if (++ticks == 5)
                m_tcl.call({"ona_run_pcs", "-stop"});
        });
        ticker.start(20);
        clock.start();
        QVERIFY(!run("ona_open_pcs\nwhile 1 {ona_pcs read -addr 0000}"));
        QVERIFY2(m_tcl.result().contains("runaway.tcl line 2: the script was stopped"), qPrintable(m_tcl.result()));
        QVERIFY(ticks >= 5 && clock.elapsed() < 3000 && !PCSData::inst()->isWishboneOpen());
        // Within its limits a script runs as before.
        QVERIFY2(run("set n 0; for {set i 0} {$i < 1000} {incr i} {append s x; incr n}; set n"),
                 qPrintable(m_tcl.result()));
        QCOMPARE(m_tcl.result(), u"1000"_s);
        PCSData::setScriptLimits(defaults);
    }

private:
    bool set(const QString& key, const QString& option) {
        return m_tcl.call({"ona_set_pcs", "-control", key, "-option", option});
    }
    QString wbRead(const QString& addr) {
        m_tcl.call({"ona_open_pcs"});
        const bool ok = m_tcl.call({"ona_pcs", "read", "-byte", "1", "-addr", addr});
        const QString r = m_tcl.result();
        m_tcl.call({"ona_pcs", "close"});
        return ok ? r : u"<error: %1>"_s.arg(r);
    }
};

QTEST_GUILESS_MAIN(TestSerdes)
#include "tst_serdes.moc"
