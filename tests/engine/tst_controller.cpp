// The controller core of the demo through the real verbs: records read from
// the debug-logic file, the simulated LEDs, switches and user memory,
// $readmemh files written by the device and by hand, LED polling and its
// clean stops, and the injected failures the tool's tests rely on.

#include "enginetest.h"
#include "oncdata.h"
#include "simcontroller.h"

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
        const struct {
            QByteArray from, to, where;
        } faults[] = {
            {"\"width\": 32 }", "\"width\": 65 }", "cores[2].controller.memory.width"},
            {"\"start\": \"0x0000\"", "\"start\": \"0x0400\"", "cores[2].controller.memory.end: below the start"},
            {"\"end\": \"0x03FF\"", "\"end\": \"0x3FFFFF\"", "cores[2].controller.memory.end: more than"},
            {"\"sw7\"", "\"sw6\"", "cores[2].controller.switches.names[7]"},
            {"\"leds\": {", "\"lights\": {", "cores[2].controller.lights: unknown key"},
        };
        for (const auto& f : faults) {
            QByteArray bad = onl;
            bad.replace(f.from, f.to);
            QVERIFY(bad != onl);
            writeAll(m_demo->path(u"bad.onl"_s), bad);
            QByteArray ona = readAll(m_demo->ona());
            ona.replace("demo.onl", "bad.onl");
            writeAll(m_demo->path(u"bad.ona"_s), ona);
            QVERIFY(!m_tcl.call({"ona_open_project", m_demo->path(u"bad.ona"_s)}));
            QVERIFY2(m_tcl.result().contains(QString::fromLatin1(f.where)), qPrintable(m_tcl.result()));
            QCOMPARE(OnaData::inst()->getCurrentProject(), m_demo->ona());
        }
    }
    void ledsFollowSwitchesAndCounter() {
        freezeClock(0);
        QSignalSpy changed(ONCData::inst(), &ONCData::sigControllerDataChanged);
        QCOMPARE(m_tcl.steps({{"ona_run_controller -read_switch", "00"},
                              {"ona_run_controller -write_switch 0xa5; ona_run_controller -read_switch", "A5"}}),
                 QString());
        QCOMPARE(changed, (QList<QVariantList>{{u"switch"_s, u"a5"_s}}));
        // The counter moves the lower four LEDs; the upper four stay their switches.
        freezeClock(3 * 250);
        QCOMPARE(m_tcl.steps({
                     {"ona_run_controller -read_led", "A6"},
                     // The same value again changes nothing on the device side; refusals neither.
                     "ona_run_controller -write_switch 0xA5",
                     {"ona_run_controller -write_switch 0x1FF", "error: ona_run_controller -write_switch: "},
                     {"ona_run_controller -write_switch 0x", "error: ona_run_controller -write_switch: "},
                     {"ona_run_controller -write_switch 0xG1", "error: ona_run_controller -write_switch: "},
                     {"ona_run_controller -write_switch 0x100000000", "error: ona_run_controller -write_switch: "},
                     {"ona_run_controller -read_switch", "A5"},
                     {"ona_run_controller -read_led extra", "error: "},
                     {"ona_run_controller -blink", "error: "},
                     // An analyzer core has no controller device; the device kept its switches.
                     {"ona_set_core -name uart_la; ona_run_controller -read_led", "error: is not a controller core"},
                     {"ona_set_core -name board_ctrl; ona_run_controller -read_switch", "A5"},
                 }),
                 QString());
        QCOMPARE(changed.size(), 1);
    }
    void memoryWords() {
        QCOMPARE(m_tcl.steps({
                     {"ona_run_controller -init_mem 0x5a5a; ona_read_controller -addr 0", "00005A5A"},
                     {"ona_read_controller -addr 0x3ff", "00005A5A"},
                     {"ona_write_controller -addr 0x10 -data 0xDEADBEEF; ona_read_controller -addr 0x10", "DEADBEEF"},
                     {"ona_write_controller -data 0x1f -addr 0x3FF; ona_read_controller -addr 0x3ff", "0000001F"},
                     {"ona_read_controller -addr 0x400", "error: "},
                     {"ona_read_controller -addr 0x", "error: "},
                     {"ona_write_controller -addr 0x400 -data 0x1", "error: "},
                     {"ona_write_controller -addr 0x10 -data 0x100000000", "error: "},
                     {"ona_write_controller -addr 0x10", "error: "},
                     {"ona_run_controller -init_mem 0x1FFFFFFFF", "error: "},
                     {"list [ona_read_controller -addr 0x10] [ona_read_controller -addr 0x11]", "DEADBEEF 00005A5A"},
                 }),
                 QString());
    }
    void memFileRoundTrip() {
        for (int i = 0; i < 4; ++i)
            QVERIFY(m_tcl.call({"ona_write_controller", "-addr", u"0x%1"_s.arg(0x10 + i, 0, 16), "-data",
                                u"0x%1"_s.arg(0xA0 + i, 0, 16)}));
        // A folder with a blank, a quote, a bracket and a dollar reaches the
        // device as typed.
        QDir().mkpath(m_demo->path(u"my mem \"[x] $y"_s));
        const QString file = m_demo->path(u"my mem \"[x] $y/part.mem"_s);
        QVERIFY2(m_tcl.call({"ona_run_controller", "-dump_memfile", file, "-offset", "0x10", "-range", "4"}),
                 qPrintable(m_tcl.result()));
        QCOMPARE(readAll(file),
                 QByteArray("// Ondrel user memory dump ($readmemh): 4 words of 32 bits, memory base address 0x0\n"
                            "@10\n000000a0\n000000a1\n000000a2\n000000a3\n"));
        QVERIFY(m_tcl.eval("ona_run_controller -init_mem 0x0"));
        QVERIFY2(m_tcl.call({"ona_run_controller", "-load_memfile", file}), qPrintable(m_tcl.result()));
        QCOMPARE(words(0x10, 0x13, 0x14), u"000000A0 000000A3 00000000"_s);

        // The whole memory, then moved by an offset on load.
        const QString whole = m_demo->path(u"whole.mem"_s);
        QVERIFY(m_tcl.call({"ona_run_controller", "-dump_memfile", whole}));
        QCOMPARE(readAll(whole).count('\n'), 1 + 1 + 1024);
        QVERIFY(m_tcl.call({"ona_run_controller", "-load_memfile", file, "-offset", "0x100"}));
        QCOMPARE(words(0x110), u"000000A0"_s);

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

        // The width setting narrows the words written.
        ONCData::inst()->setMemWidth(16);
        QVERIFY(m_tcl.call({"ona_run_controller", "-dump_memfile", file, "-offset", "0", "-range", "1"}));
        QCOMPARE(readAll(file).split('\n').at(2), QByteArray("beef"));
        ONCData::inst()->setMemWidth(0);
    }
    void memFileRefusals() {
        QVERIFY(m_tcl.eval("ona_run_controller -init_mem 0x77"));
        const QString path = m_demo->path(u"bad.mem"_s);
        const struct {
            QByteArray text;
            QString needle;
            QStringList options;
        } cases[] = {
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
        for (const auto& c : cases) {
            writeAll(path, c.text);
            QVERIFY(!m_tcl.call(QStringList{"ona_run_controller", "-load_memfile", path} + c.options));
            QVERIFY2(m_tcl.result().contains(c.needle), qPrintable(m_tcl.result() + " / " + c.needle));
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
    void pollingStartsAndStops() {
        ONCData* c = ONCData::inst();
        QSignalSpy reads(c, &ONCData::pollingRead);
        c->setPollingSpeed(5);
        c->startLED(u"led_bank"_s);
        QVERIFY(c->isPolling() && reads.wait(2000));
        QCOMPARE(c->getPollingData().size(), 2);
        c->stopLED();
        QVERIFY(!c->isPolling());
        const int after = int(reads.size());
        QTest::qWait(200);
        QCOMPARE(reads.size(), after);

        // Speed 0 keeps the thread quiet; a speed change wakes it.
        c->setPollingSpeed(0);
        c->startLED(u"led_bank"_s);
        QTest::qWait(150);
        QCOMPARE(reads.size(), after);
        c->setPollingSpeed(5);
        QVERIFY(reads.wait(2000));

        // Closing the controller session and closing the project stop it too.
        QVERIFY(m_tcl.eval("ona_close_controller") && !c->isPolling());
        c->setPollingSpeed(5);
        c->startLED(u"led_bank"_s);
        QVERIFY(m_tcl.eval("ona_close_project") && !c->isPolling() && !c->device());
    }
    void injectedFailures() {
        ONCData* c = ONCData::inst();
        c->injectFailure(u"ona_run_controller -read_led"_s, ONCData::Failed);
        c->injectFailure(u"ona_run_controller -read_switch"_s, ONCData::ErrorText);
        c->injectFailure(u"ona_read_controller"_s, ONCData::Empty);
        QVERIFY(!m_tcl.eval("ona_run_controller -read_led") && m_tcl.eval("ona_run_controller -read_switch"));
        QCOMPARE(m_tcl.result(), u"ERROR: injected failure"_s);
        QVERIFY(m_tcl.eval("ona_read_controller -addr 0x0"));
        QCOMPARE(m_tcl.result(), QString());
        c->clearFailures();
        QVERIFY(m_tcl.eval("ona_run_controller -read_led") && m_tcl.eval("ona_read_controller -addr 0x0"));
        QCOMPARE(m_tcl.result(), u"00000000"_s);
    }

private:
    // Freezes the counter of the current device at `ms` milliseconds.
    void freezeClock(qint64 ms);
    // The words at `index`..., blank-separated.
    template <typename... I>
    QString words(I... index) {
        QStringList out;
        for (int i : {index...})
            out << (m_tcl.call({"ona_read_controller", "-addr", u"0x%1"_s.arg(i, 0, 16)}) ? m_tcl.result() : u"?"_s);
        return out.join(u' ');
    }
};

void TestController::freezeClock(qint64 ms) {
    auto dev = std::dynamic_pointer_cast<SimController>(ONCData::inst()->device());
    QVERIFY(dev);
    dev->setClock([ms] { return ms; });
}

QTEST_GUILESS_MAIN(TestController)
#include "tst_controller.moc"
