// The controller core's checks the controller pages cannot make: faulty
// records in the debug-logic file, and $readmemh files as people write them
// and as they must be refused. The pages' round trips on the simulated
// device are in the window's controller test.

#include "enginetest.h"
#include "oncdata.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class TestController : public DemoSession {
    Q_OBJECT
private slots:
    void init() { QVERIFY2(openDemo("board_ctrl"), qPrintable(m_tcl.result())); }
    void cleanup() {
        ONCData::inst()->clearFailures();
        ONCData::inst()->stopLED();
    }
    void recordsFromTheProject() {
        QCOMPARE(m_tcl.dictGet("ona_get core board_ctrl", "kind"), u"2"_s);
        QCOMPARE(m_tcl.dictGet("ona_get core board_ctrl", "leds"), u"led0 led1 led2 led3 led4 led5 led6 led7"_s);
        QCOMPARE(m_tcl.dictGet("ona_get core board_ctrl", "switches"), u"sw0 sw1 sw2 sw3 sw4 sw5 sw6 sw7"_s);
        QCOMPARE(m_tcl.dictGet("ona_get core board_ctrl", "memory"),
                 u"start 00000000 end 000003FF width 32 depth 1024"_s);

        // A faulty record refuses the whole file, naming where; the open project stays.
        const QByteArray onl = readAll(m_demo->onl());
        const QList<std::tuple<QByteArray, QByteArray, QByteArray>> faults = {
            {"\"width\": 32 }", "\"width\": 65 }", "cores[2].controller.memory.width"},
            {"\"start\": \"0x0000\"", "\"start\": \"0x0400\"", "cores[2].controller.memory.end: below the start"},
            {"\"end\": \"0x03FF\"", "\"end\": \"0x3FFFFF\"", "cores[2].controller.memory.end: more than"},
            {"\"sw7\"", "\"sw6\"", "cores[2].controller.switches.names[7]"},
            {"\"leds\": {", "\"lights\": {", "cores[2].controller.lights: unknown key"},
        };
        for (const auto& [from, to, where] : faults) {
            QByteArray bad = onl;
            bad.replace(from, to);
            QVERIFY(bad != onl);
            writeAll(m_demo->path(u"bad.onl"_s), bad);
            QByteArray ona = readAll(m_demo->ona());
            ona.replace("demo.onl", "bad.onl");
            writeAll(m_demo->path(u"bad.ona"_s), ona);
            QVERIFY(!m_tcl.call({"ona_open_project", m_demo->path(u"bad.ona"_s)}));
            QVERIFY2(m_tcl.result().contains(QString::fromLatin1(where)), qPrintable(m_tcl.result()));
            QCOMPARE(OnaData::inst()->getCurrentProject(), m_demo->ona());
        }
    }
    void memFilesReadAndRefused() {
        // A file as simulators and people write it: comments of both kinds,
        // several words per line, underscores, upper and lower case, addresses.
        const QString hand = m_demo->path(u"hand.mem"_s);
        writeAll(hand,
                 "/* boot image\n   two lines */\n"
                 "@0 dead_beef 0000_0001 // first two\n"
                 "\r\n"
                 "@3FE\tCAFE f00d\n");
        QVERIFY2(m_tcl.call({"ona_run_controller", "-load_memfile", hand}), qPrintable(m_tcl.result()));
        QCOMPARE(words(0, 1, 0x3fe, 0x3ff), u"DEADBEEF 00000001 0000CAFE 0000F00D"_s);

        // Files that are refused load nothing.
        QVERIFY(m_tcl.eval("ona_run_controller -init_mem 0x77"));
        const QString path = m_demo->path(u"bad.mem"_s);
        const QList<std::tuple<QByteArray, QString, QStringList>> cases = {
            {"00\n11\n2g\n", u"bad.mem:3: 'g' is not a hexadecimal digit"_s, {}},
            {"// c\n123456789\n", u"bad.mem:2: word 123456789 is wider than the 32-bit memory"_s, {}},
            {"@3FF\n1\n2\n", u"bad.mem:3: address 0x400 is outside"_s, {}},
            {"@400 1\n", u"bad.mem:1: address 0x400 is outside"_s, {}},
            {"1 2 3\n", u"bad.mem:1: address 0x12 is outside"_s, {"-offset", "0x10", "-range", "2"}},
            {"1x\n", u"bad.mem:1: unknown (x)"_s, {}},
            {"1 /* open\n\n", u"bad.mem:3: a /* comment is not closed"_s, {}},
            {"// nothing\n", u"bad.mem: no data words"_s, {}},
            {"@ 1\n", u"bad.mem:1: '@' without an address"_s, {}},
            // A character that is no digit is shown as itself or by its code.
            {"\xEF\xBB\xBF"
             "12\n",
             u"bad.mem:1: U+FEFF is not a hexadecimal digit"_s,
             {}},
            {"1\xC3\xA9\n", u"bad.mem:1: '\u00E9' (U+00E9) is not a hexadecimal digit"_s, {}},
            {"1\x01\n", u"bad.mem:1: U+0001 is not"_s, {}},
            {"1\xFF\n", u"bad.mem:1: byte 0xFF is not"_s, {}},
            {"0x12\n", u"bad.mem:1: the 0x prefix is not allowed"_s, {}},
            {"@0x10 1\n", u"bad.mem:1: the 0x prefix is not allowed"_s, {}},
            {QByteArray(1024 * 80 + 64 * 1024 + 1, ' ') + "1\n", u"larger than"_s, {}},
        };
        for (const auto& [text, needle, options] : cases) {
            writeAll(path, text);
            QVERIFY(!m_tcl.call(QStringList{"ona_run_controller", "-load_memfile", path} + options));
            QVERIFY2(m_tcl.result().contains(needle), qPrintable(m_tcl.result() + " / " + needle));
            // Nothing before the faulty line was loaded.
            QCOMPARE(words(0, 0x10), u"00000077 00000077"_s);
        }
        QVERIFY(!m_tcl.call({"ona_run_controller", "-load_memfile", m_demo->path(u"none.mem"_s)}));
        QVERIFY(!m_tcl.call({"ona_run_controller", "-load_memfile", m_demo->path(QString())})); // a folder
        QVERIFY(!m_tcl.call({"ona_run_controller", "-dump_memfile", " "}));
        QVERIFY(!m_tcl.call({"ona_run_controller", "-dump_memfile", path, "-offset", "0x400"}));
        QVERIFY(!m_tcl.call({"ona_run_controller", "-dump_memfile", path, "-offset", "0x3FF", "-range", "2"}));
        QVERIFY(!m_tcl.call({"ona_run_controller", "-dump_memfile", path, "-range", "0"}));
        QVERIFY(!m_tcl.call({"ona_run_controller", "-dump_memfile", path, "-size", "1"}));
        for (const char* offset : {"0xFFFFFFFFFFFFFFFF", "0x100000000", "123456789ABCDEF0123"}) {
            QVERIFY(!m_tcl.call({"ona_run_controller", "-dump_memfile", path, "-offset", offset}));
            QVERIFY2(m_tcl.result().contains("is too large"), qPrintable(m_tcl.result()));
        }
        QVERIFY(!m_tcl.call({"ona_run_controller", "-dump_memfile", path, "-offset", "0x1G"}));
        QVERIFY2(m_tcl.result().contains("takes a hexadecimal word offset"), qPrintable(m_tcl.result()));
        ONCData::inst()->setMemWidth(33);
        QVERIFY(!m_tcl.call({"ona_run_controller", "-dump_memfile", path}));
        ONCData::inst()->setMemWidth(0);
    }

private:
    // The words at `index`..., blank-separated.
    template <typename... I>
    QString words(I... index) {
        QStringList out;
        for (int i : {index...})
            out << (m_tcl.call({"ona_read_controller", "-addr", u"0x%1"_s.arg(i, 0, 16)}) ? m_tcl.result() : u"?"_s);
        return out.join(u' ');
    }
};

QTEST_GUILESS_MAIN(TestController)
#include "tst_controller.moc"
