// Project files: byte-stable round trips, and bad files refused with the
// open project kept.

#include "enginetest.h"
#include "triggersetting.h"
#include "triggerumodel.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestProjectFiles : public DemoSession {
    Q_OBJECT
private slots:
    void init() { QVERIFY2(openDemo(), qPrintable(m_tcl.result())); }
    void roundTripIsByteStable() {
        // The shipped demo is exactly what a save writes.
        const QByteArray shipped = readAll(QStringLiteral(ONDREL_SOURCE_DIR "/examples/demo/demo.ona"));
        QVERIFY(m_tcl.call({"ona_save_project", m_demo->path("again.ona")}));
        QCOMPARE(readAll(m_demo->path("again.ona")), shipped);
        // Change a bit of everything, save under a new name, reopen: every edit
        // reads back, and a second save writes the same bytes.
        QVERIFY2(
            m_tcl.eval(
                "ona_set_tu -name TU_data -operator != -radix Bin -value 1x1x0000; ona_rename_tu TU_valid TU_v\n"
                "ona_set_te -name TE_byte -enable on -expression {TU_v THEN TU_data #5}\n"
                "ona_set_core -name bus_la; ona_set_tu -name TU_magic -value \"quote\\\" and \\[bracket\\]\"\n"
                "ona_set_trigoptn -position 99; ona_set_trigoptn -position center -positionmode preset -teall and\n"
                "ona_set_trigoptn -samples 512 -numtriggers 8 -finalcounter on -finalcountervalue 5 -connectpor on\n"
                "ona_set_core -name uart_la -run off; ona_add_tokenset -tokenset flags -bits 2\n"
                "ona_add_token flags BOTH=b'11; ona_set_tokenset flags -name pair\n"
                "ona_set_project -cabletype USB2 -cableport 1 -tckdelay 4 -period 8ps"),
            qPrintable(m_tcl.result()));
        const QString a = m_demo->path("edited copy.ona"), b = m_demo->path("b.ona");
        QVERIFY(m_tcl.call({"ona_save_project", a}));
        const QByteArray first = readAll(a);
        OnaData::inst()->resetData();
        QVERIFY(m_tcl.call({"ona_open_project", a}));
        QVERIFY2(
            m_tcl.eval(
                "ona_set_core -name uart_la\n"
                "set out [list [_tu TU_data operator radix value] [_te TE_byte expression enable] "
                "[_prj numruncore]]\n"
                "ona_set_core -name bus_la\n"
                "lappend out [_opt position userposition positionmode teall samples numtriggers "
                "finalcounter finalcountervalue] [dict get [ona_get core bus_la] connectpor] [_tu TU_magic value]\n"
                "lappend out [dict keys [dict get [ona_get tokensets] pair tokens]] "
                "[_prj cabletype cableport tckdelay period clockunit] [file tail [_prj file]]"),
            qPrintable(m_tcl.result()));
        QCOMPARE(m_tcl.result(),
                 u"{!= Bin 1x1x0000} {TU_v THEN TU_data #5 1} 1 {center 99 preset and 512 8 on 5} 1 "
                 u"{quote\" and [bracket]} BOTH {USB2 1 4 8 ps} {edited copy.ona}"_s);
        QVERIFY(m_tcl.call({"ona_save_project", b}));
        QCOMPARE(readAll(b), first);
        // The file it came from is untouched.
        QCOMPARE(readAll(m_demo->ona()), shipped);
    }
    void saveAsAndOpenDebugLogicAlone() {
        OnaData* d = OnaData::inst();
        QSignalSpy renamed(d, SIGNAL(sigFileNameChanged(const QString&)));
        QSignalSpy saved(d, SIGNAL(sigProjectSaved(const QString&)));
        QDir(m_demo->path(QString())).mkpath("sub/dir");
        const QString moved = m_demo->path("sub/dir/moved.ona");
        QVERIFY(m_tcl.call({"ona_save_project", moved}));
        QCOMPARE(renamed.size(), 1);
        QCOMPARE(saved, QList<QVariantList>{{moved}});
        QCOMPARE(d->getCurrentDirectory(), m_demo->path("sub/dir"));
        QCOMPARE(d->getImplDirectory(), QFileInfo(m_demo->onl()).absolutePath());
        // The debug-logic file is found again through the relative path.
        QVERIFY(readAll(moved).contains("\"onl\": \"../../demo.onl\""));
        d->resetData();
        QVERIFY2(m_tcl.call({"ona_open_project", moved}), qPrintable(m_tcl.result()));
        // Saving under the same name again renames nothing.
        QVERIFY(m_tcl.eval("ona_save_project"));
        QCOMPARE(renamed.size(), 1);
        QVERIFY(!m_tcl.call({"ona_save_project", m_demo->path("sub")})); // a folder
        QVERIFY(m_tcl.result().contains("folder"));

        // The debug-logic file opened alone is a new project named beside it.
        QVERIFY(m_tcl.call({"ona_open_project", m_demo->onl()}));
        QCOMPARE(d->getCurrentProject(), m_demo->ona()); // new project named beside it
        QCOMPARE(d->getTokenModel()->numTokenSet("user"), 0);
        QCOMPARE(d->getTUValue(1), u"5A"_s); // units as inserted
        QCOMPARE(d->getNumError(), 0);
    }
    void badAnalyzerFiles_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QJsonValue>("value");
        QTest::addColumn<QString>("fault");
        QTest::newRow("format") << "format" << QJsonValue("ondrel-onl") << "format";
        QTest::newRow("version") << "version" << QJsonValue(2) << "version";
        QTest::newRow("onl missing") << "onl" << QJsonValue(QJsonValue::Undefined) << "onl: missing";
        QTest::newRow("onl elsewhere") << "onl" << QJsonValue("nowhere.onl") << "nowhere.onl";
        QTest::newRow("onl type") << "onl" << QJsonValue(7) << "expected a string";
        QTest::newRow("cable type") << "cable/type" << QJsonValue("SERIAL") << "cable.type";
        QTest::newRow("tck range") << "cable/tckdelay" << QJsonValue(99) << "cable.tckdelay";
        QTest::newRow("period fraction") << "clock/period" << QJsonValue(2.5) << "clock.period";
        QTest::newRow("cores type") << "cores" << QJsonValue("all") << "cores: expected an array";
        QTest::newRow("core run type") << "cores/0/run" << QJsonValue("yes") << "cores[0].run";
        QTest::newRow("unknown key") << "cores/0/colour" << QJsonValue("red") << "unknown key";
        QTest::newRow("operator") << "cores/0/trigger_units/1/operator" << QJsonValue("=~") << "operator";
        QTest::newRow("radix") << "cores/0/trigger_units/1/radix" << QJsonValue("Base64") << "Base64";
        QTest::newRow("unit name") << "cores/0/trigger_units/1/name" << QJsonValue("a b") << "a b";
        QTest::newRow("duplicate unit") << "cores/0/trigger_units/1/name" << QJsonValue("TU_state") << "twice";
        QTest::newRow("unit type") << "cores/0/trigger_units/1" << QJsonValue(5)
                                   << "trigger_units[1]: expected an object";
        QTest::newRow("samples") << "cores/0/options/samples" << QJsonValue(3000) << "samples";
        QTest::newRow("position") << "cores/1/options/user_position" << QJsonValue(5000) << "user position";
        QTest::newRow("numtriggers") << "cores/1/options/num_triggers" << QJsonValue(64) << "do not fit";
        QTest::newRow("huge count") << "cores/1/options/samples" << QJsonValue(1e300) << "whole number";
        QTest::newRow("token value") << "user_token_sets/0/tokens/0/value" << QJsonValue("b'2") << "tokens[0].value";
        QTest::newRow("token twice") << "user_token_sets/0/tokens/1/name" << QJsonValue("NOP") << "twice";
        QTest::newRow("set clashes") << "user_token_sets/0/name" << QJsonValue("ONL_uart_state") << "reserved";
        QTest::newRow("por unsupported") << "cores/0/options/connect_por" << QJsonValue(true) << "POR";
    }
    void badAnalyzerFiles() {
        QFETCH(QString, path);
        QFETCH(QJsonValue, value);
        QFETCH(QString, fault);
        OnaData* d = OnaData::inst();
        QVERIFY(m_tcl.eval("ona_set_tu -name TU_data -value 77")); // the open project, edited
        const QString bad = m_demo->path("bad.ona");
        writeAll(bad, patched(readAll(m_demo->ona()), path, value));
        QSignalSpy opened(d, SIGNAL(sigProjectOpened(const QString&)));
        QVERIFY(!m_tcl.call({"ona_open_project", bad}));
        QVERIFY2(m_tcl.result().contains(fault), qPrintable(m_tcl.result()));
        QVERIFY2(m_tcl.result().contains("bad.ona") || m_tcl.result().contains("nowhere.onl"),
                 qPrintable(m_tcl.result()));
        QCOMPARE(opened.size(), 0);
        QCOMPARE(d->getCurrentProject(), m_demo->ona());
        QCOMPARE(d->getTUValue(1), u"77"_s);
    }
    void badDebugLogicFiles_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<QJsonValue>("value");
        QTest::addColumn<QString>("fault");
        QTest::newRow("device type") << "device" << QJsonValue(1) << "device";
        QTest::newRow("core kind") << "cores/0/kind" << QJsonValue(3) << "cores[0].kind";
        QTest::newRow("core name") << "cores/1/name" << QJsonValue("uart_la") << "twice";
        QTest::newRow("width zero") << "cores/0/signals/0/width" << QJsonValue(0) << "signals[0].width";
        QTest::newRow("width huge") << "cores/0/signals/0/width" << QJsonValue(1e12) << "signals[0].width";
        QTest::newRow("unknown signal") << "cores/1/trigger_units/0/signals/0" << QJsonValue("strobe") << "strobe";
        QTest::newRow("bit range") << "cores/1/trigger_units/3/signals/0" << QJsonValue("wdata[40:0]")
                                   << "bits outside";
        QTest::newRow("serial width") << "cores/1/trigger_units/0/serial" << QJsonValue(8) << "serial";
        QTest::newRow("enum width") << "cores/1/trigger_units/1/radix" << QJsonValue("ONL_uart_state") << "3 bits";
        QTest::newRow("depth") << "cores/0/sample_depth/max" << QJsonValue(1000) << "powers of two";
        QTest::newRow("depth order") << "cores/0/sample_depth/min" << QJsonValue(4096) << "min <= max";
        QTest::newRow("triggers") << "cores/1/max_triggers" << QJsonValue(65) << "maximum number of triggers";
        QTest::newRow("driver") << "cores/0/simulation/rx/kind" << QJsonValue("magic") << "simulation.rx.kind";
        QTest::newRow("driver signal") << "cores/0/simulation/nosig" << QJsonValue(QJsonObject{{"kind", "clock"}})
                                       << "nosig";
        QTest::newRow("enum name") << "enum_token_sets/0/name" << QJsonValue("uart_state") << "ONL_";
        QTest::newRow("signals missing") << "cores/0/signals" << QJsonValue(QJsonValue::Undefined)
                                         << "signals: missing";
    }
    void badDebugLogicFiles() {
        QFETCH(QString, path);
        QFETCH(QJsonValue, value);
        QFETCH(QString, fault);
        const QByteArray good = readAll(m_demo->onl());
        writeAll(m_demo->onl(), patched(good, path, value));
        QVERIFY(!m_tcl.call({"ona_open_project", m_demo->ona()}));
        QVERIFY2(m_tcl.result().contains(fault) && m_tcl.result().contains("demo.onl"), qPrintable(m_tcl.result()));
        QCOMPARE(OnaData::inst()->getNumCore(), 3); // the project opened before is still there
        QCOMPARE(OnaData::inst()->getTUName(0), u"TU_state"_s);
    }
    void truncatedFilesNeverLoad() {
        // Every prefix of every file is refused cleanly (the fuzzers go further).
        for (const QString& name : {u"demo.ona"_s, u"demo.onl"_s}) {
            const QByteArray full = readAll(m_demo->path(name));
            for (int len = 0; len < full.size() - 2; len += 97) {
                ProjectFiles::OnaProject p;
                ProjectFiles::OnlDesign d;
                QString error;
                const bool ok = name.endsWith("ona") ? ProjectFiles::parseOna(full.left(len), name, &p, &error)
                                                     : ProjectFiles::parseOnl(full.left(len), name, &d, &error);
                QVERIFY(!ok && error.startsWith(name));
            }
        }
        writeAll(m_demo->path("cut.ona"), readAll(m_demo->ona()).left(300));
        QVERIFY(!m_tcl.call({"ona_open_project", m_demo->path("cut.ona")}));
        QVERIFY(m_tcl.result().contains("not valid JSON"));
        writeAll(m_demo->path("big.ona"), QByteArray(ProjectFiles::kMaxFileSize + 10, ' '));
        QVERIFY(!m_tcl.call({"ona_open_project", m_demo->path("big.ona")}) && m_tcl.result().contains("larger than"));
        QCOMPARE(OnaData::inst()->getCurrentProject(), m_demo->ona());
    }
    void debugLogicFileChangedSinceSaved() {
        // The design lost a core and a unit since the analyzer file was saved:
        // the rest still opens, with a note, and the lost setup is dropped.
        QByteArray onl = readAll(m_demo->onl());
        QJsonObject root = QJsonDocument::fromJson(onl).object();
        QJsonArray cores = root.value("cores").toArray();
        cores.removeAt(1);
        QJsonObject uart = cores.at(0).toObject();
        QJsonArray units = uart.value("trigger_units").toArray();
        units.removeAt(3);
        uart["trigger_units"] = units;
        cores[0] = uart;
        root["cores"] = cores;
        writeAll(m_demo->onl(), QJsonDocument(root).toJson());
        QSignalSpy info(OnaData::inst(), SIGNAL(infoDirty(const char*)));
        QVERIFY2(m_tcl.call({"ona_open_project", m_demo->ona()}), qPrintable(m_tcl.result()));
        QCOMPARE(OnaData::inst()->getNumCore(), 2);
        QCOMPARE(info.size(), 2);
        QCOMPARE(OnaData::inst()->getTUModel()->rowCount(), 3);
        // The debug-logic file's time stamp follows the file.
        OnaData* d = OnaData::inst();
        const quint64 before = d->checkONLTimeStamp();
        QVERIFY(before != 0);
        QCOMPARE(d->checkONLTimeStamp(), before);
        writeAll(m_demo->onl(), readAll(m_demo->onl()) + "\n");
        QVERIFY(d->checkONLTimeStamp() != before);
        QCOMPARE(m_tcl.dictGet("ona_get project", "timestamp"), QString::number(d->checkONLTimeStamp()));
        QFile::remove(m_demo->onl());
        QCOMPARE(d->checkONLTimeStamp(), quint64(0));
    }

private:
    // Replaces one value in a JSON file (path like "cores/0/name").
    static QByteArray patched(const QByteArray& json, const QString& path, const QJsonValue& value);
};

QByteArray TestProjectFiles::patched(const QByteArray& json, const QString& path, const QJsonValue& value) {
    std::function<QJsonValue(QJsonValue, QStringList)> set = [&](QJsonValue v, QStringList keys) -> QJsonValue {
        if (keys.isEmpty())
            return value;
        const QString k = keys.takeFirst();
        if (v.isArray()) {
            QJsonArray a = v.toArray();
            a[k.toInt()] = set(a.at(k.toInt()), keys);
            return a;
        }
        QJsonObject o = v.toObject();
        if (keys.isEmpty() && value.isUndefined())
            o.remove(k);
        else
            o[k] = set(o.value(k), keys);
        return o;
    };
    const QJsonValue root = set(QJsonDocument::fromJson(json).object(), path.split('/'));
    return QJsonDocument(root.toObject()).toJson();
}

QTEST_GUILESS_MAIN(TestProjectFiles)
#include "tst_projectfiles.moc"
