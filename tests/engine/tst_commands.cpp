// Every ona_* verb through a real interpreter: a good command changes the
// model and fires the signals the tool window listens to; a bad one changes
// nothing, fires nothing and says why.

#include "enginetest.h"
#include "onajtag.h"
#include "tokenmodel.h"
#include "triggeremodel.h"
#include "triggersetting.h"
#include "triggerumodel.h"

#include <QtTest>

class TestCommands : public DemoSession {
    Q_OBJECT
private slots:
    void init();
    void openAndReadBack();
    void triggerUnits();
    void unitRadixConversion();
    void syntaxErrorCount();
    void renameUnit();
    void triggerExpressions();
    void triggerOptions();
    void samplesAndTriggers();
    void cores();
    void projectSettings();
    void tokenVerbs();
    void tokenSetInUse();
    void tokenFiles();
    void tokenNameCase();
    void hostileText();
    void closeVerbs();

private:
    // Counts every signal of OnaData while it lives.
    struct Spies {
        QSignalSpy set{OnaData::inst(), SIGNAL(setDirty(QStandardItem*))};
        QSignalSpy setting{OnaData::inst(), SIGNAL(settingDirty())};
        QSignalSpy coreSet{OnaData::inst(), SIGNAL(coreSetDirty(int))};
        QSignalSpy coreRun{OnaData::inst(), SIGNAL(coreRunDirty(int, bool))};
        QSignalSpy error{OnaData::inst(), SIGNAL(errorDirty())};
        QSignalSpy token{OnaData::inst(), SIGNAL(tokenDirty())};
        int total() const {
            return set.size() + setting.size() + coreSet.size() + coreRun.size() + error.size() + token.size();
        }
    };
    // Expects `words` to fail with a message containing `needle` and to
    // leave the engine untouched.
    void refuse(const QStringList& words, const QString& needle);
};

void TestCommands::init() { QVERIFY2(openDemo(), qPrintable(m_tcl.result())); }

void TestCommands::refuse(const QStringList& words, const QString& needle) {
    const QByteArray before = ProjectFiles::writeOna(OnaData::inst()->snapshot(m_demo->ona()));
    Spies spies;
    QVERIFY2(!m_tcl.call(words), qPrintable(words.join(' ')));
    QVERIFY2(m_tcl.result().contains(needle, Qt::CaseInsensitive),
             qPrintable(QStringLiteral("'%1' lacks '%2'").arg(m_tcl.result(), needle)));
    QCOMPARE(spies.total(), 0);
    QCOMPARE(ProjectFiles::writeOna(OnaData::inst()->snapshot(m_demo->ona())), before);
}

void TestCommands::openAndReadBack() {
    OnaData* d = OnaData::inst();
    QSignalSpy opened(d, SIGNAL(sigProjectOpened(const QString&)));
    QVERIFY(m_tcl.call({"ona_open_project", m_demo->ona()}));
    QCOMPARE(opened.size(), 1);
    QCOMPARE(opened.at(0).at(0).toString(), QFileInfo(m_demo->ona()).absoluteFilePath());
    QCOMPARE(d->getCurrentProject(), QFileInfo(m_demo->ona()).absoluteFilePath());
    QCOMPARE(d->getImplDirectory(), QFileInfo(m_demo->onl()).absolutePath());
    QCOMPARE(d->getNumCore(), 3);
    QCOMPARE(d->getCoreName(1), QStringLiteral("bus_la"));
    QCOMPARE(d->getCoreId(QStringLiteral("bus_la")), 1);
    QCOMPARE(d->getCurrentCore(), 0);
    QCOMPARE(d->getCorePtr(0)->getKind(), 1);
    QCOMPARE(d->getNumRunCore(), 2);
    QVERIFY(d->hasInsertCore(0));
    QVERIFY(d->isPORCore(1));
    QVERIFY(!d->getConnectPORCore(1));
    QCOMPARE(d->getNumError(), 0);
    QCOMPARE(d->getTUName(0), QStringLiteral("TU_state"));
    QCOMPARE(d->getTURadix(0), QStringLiteral("ONL_uart_state"));
    QCOMPARE(d->getTUValue(0), QStringLiteral("START"));
    QCOMPARE(d->getTUOperator(2), QStringLiteral("rising edge"));
    QCOMPARE(d->getTUName(99), QString()); // past the last row: empty
    QCOMPARE(d->getTEExpression(0), QStringLiteral("TU_state & !TU_valid"));
    QCOMPARE(d->getTEModel()->getNumChecked(), 1);
    QCOMPARE(d->getTUModel()->indexOfRadixByRow(1), 3);
    QCOMPARE(d->getTUModel()->indexOfRadixByRow(0), -1);
    QCOMPARE(d->getTUModel()->getSerialBit(3), 8);
    QCOMPARE(d->getTUModel()->getNumSignal(1), 8);
    QCOMPARE(d->getNumSample(), 2048);
    QCOMPARE(d->getPeriod(), 10);
    QCOMPARE(d->getClockUnit(), QStringLiteral("ns"));
    QVERIFY(d->checkONLTimeStamp() > 0xFFFFFFFFull); // all 64 bits in use
    QCOMPARE(d->getTokenModel()->numTokenSet(QStringLiteral("ENUM")), 1);
    QCOMPARE(d->getTokenModel()->getTokenSet(0, QStringLiteral("user")).at(1)->text(), QStringLiteral("8"));

    QCOMPARE(m_tcl.dictGet("ona_get project", "numcore"), QStringLiteral("3"));
    QVERIFY(m_tcl.eval("ona_get cores"));
    QCOMPARE(m_tcl.result(), QStringLiteral("uart_la bus_la board_ctrl"));
    QCOMPARE(m_tcl.dictGet("ona_get core bus_la", "por"), QStringLiteral("1"));
    QCOMPARE(m_tcl.dictGet("ona_get tu TU_data", "value"), QStringLiteral("5A"));
    QCOMPARE(m_tcl.dictGet("ona_get te TE_byte", "enable"), QStringLiteral("0"));
    QCOMPARE(m_tcl.dictGet("ona_get trigoptn", "position"), QStringLiteral("center"));
    QVERIFY(m_tcl.eval("dict get [ona_get tokensets] cmd tokens WRITE"));
    QCOMPARE(m_tcl.result(), QStringLiteral("b'00000010"));
    QVERIFY(!m_tcl.eval("ona_get tu NOPE"));
    QVERIFY(m_tcl.result().contains("NOPE"));
    QVERIFY(!m_tcl.eval("ona_get widgets"));
    QVERIFY(!m_tcl.eval("ona_get tu"));
}

void TestCommands::triggerUnits() {
    OnaData* d = OnaData::inst();
    {
        Spies spies;
        QVERIFY(m_tcl.eval("ona_set_tu -name TU_data -operator \"!=\""));
        QCOMPARE(d->getTUOperator(1), QStringLiteral("!="));
        QCOMPARE(spies.set.size(), 1);
        QCOMPARE(qvariant_cast<QStandardItem*>(spies.set.at(0).at(0)), d->getTUModel()->item(1, 2));
        QCOMPARE(spies.error.size(), 0);
    }
    QVERIFY(m_tcl.eval("ona_set_tu -name TU_data -value \"Cx\""));
    QCOMPARE(d->getTUValue(1), QStringLiteral("Cx"));
    QVERIFY(m_tcl.eval("ona_set_tu -name TU_data -operator >= -value 10")); // several options at once
    QCOMPARE(d->getTUOperator(1), QStringLiteral(">="));

    refuse({"ona_set_tu", "-name", "TU_data", "-operator", "=~"}, "unknown operator");
    refuse({"ona_set_tu", "-name", "TU_nope", "-value", "1"}, "TU_nope");
    refuse({"ona_set_tu", "-name", "TU_data", "-colour", "red"}, "unknown option");
    refuse({"ona_set_tu", "-name", "TU_data", "-radix", "Base64"}, "Base64");
    refuse({"ona_set_tu", "-name", "TU_data", "-radix", "ONL_uart_state"}, "3 bits");
    refuse({"ona_set_tu", "-name", "TU_rxword", "-operator", "<"}, "unknown operator"); // serial: == and != only
    refuse({"ona_set_tu", "-name", "TU_data", "-operator", "==", "-value"}, "needs a value");
    refuse({"ona_set_tu", "-operator", "==", "-value", "1"}, "-name is required");
    // A good option followed by a bad one changes nothing at all.
    refuse({"ona_set_tu", "-name", "TU_data", "-operator", "==", "-radix", "Nope"}, "Nope");
    QCOMPARE(d->getTUOperator(1), QStringLiteral(">="));
}

void TestCommands::unitRadixConversion() {
    OnaData* d = OnaData::inst();
    QVERIFY(m_tcl.eval("ona_set_tu -name TU_data -radix Bin"));
    QCOMPARE(d->getTUValue(1), QStringLiteral("01011010"));
    QVERIFY(m_tcl.eval("ona_set_tu -name TU_data -radix Dec"));
    QCOMPARE(d->getTUValue(1), QStringLiteral("90"));
    QVERIFY(m_tcl.eval("ona_set_tu -name TU_data -radix Hex -value 3x"));
    QVERIFY(m_tcl.eval("ona_set_tu -name TU_data -radix Dec")); // don't-cares cannot be decimal
    QCOMPARE(d->getTUValue(1), QStringLiteral("3x"));
    QCOMPARE(d->getNumError(), 1);

    // Enumeration back to binary keeps the meaning of the value.
    QVERIFY(m_tcl.eval("ona_set_tu -name TU_state -radix Bin"));
    QCOMPARE(d->getTUValue(0), QStringLiteral("001"));
    QVERIFY(m_tcl.eval("ona_set_tu -name TU_state -radix ONL_uart_state"));
    QCOMPARE(d->getTUValue(0), QStringLiteral("START"));

    // Onto a user token set: the token with that value is chosen.
    QVERIFY(m_tcl.eval("ona_set_core -name bus_la"));
    QVERIFY(m_tcl.eval("ona_set_tu -name TU_cmd -radix Hex"));
    QCOMPARE(d->getTUValue(3), QStringLiteral("02"));
    QVERIFY(m_tcl.eval("ona_set_tu -name TU_cmd -value 01"));
    QVERIFY(m_tcl.eval("ona_set_tu -name TU_cmd -radix cmd"));
    QCOMPARE(d->getTUValue(3), QStringLiteral("READ"));
    // Ranges convert both bounds.
    QVERIFY(m_tcl.eval("ona_set_tu -name TU_addr -radix Dec"));
    QCOMPARE(d->getTUValue(1), QStringLiteral("4096..8191"));
}

void TestCommands::syntaxErrorCount() {
    OnaData* d = OnaData::inst();
    Spies spies;
    QVERIFY(m_tcl.eval("ona_set_tu -name TU_data -value ZZ")); // accepted, but counted
    QCOMPARE(d->getTUValue(1), QStringLiteral("ZZ"));
    QCOMPARE(d->getTUModel()->getNumError(), 1);
    QCOMPARE(d->getNumError(), 1);
    QCOMPARE(spies.error.size(), 1);
    QVERIFY(!m_tcl.dictGet("ona_get tu TU_data", "message").isEmpty());

    QVERIFY(m_tcl.eval("ona_set_te -name TE_start -expression {TU_state &}"));
    QCOMPARE(d->getTEModel()->getNumError(), 1);
    QCOMPARE(d->getNumError(), 2);
    QCOMPARE(spies.error.size(), 2);

    // An edit that leaves the count as it is sends no errorDirty.
    QVERIFY(m_tcl.eval("ona_set_tu -name TU_data -value YY"));
    QCOMPARE(spies.error.size(), 2);

    QVERIFY(m_tcl.eval("ona_set_tu -name TU_data -value 5A"));
    QVERIFY(m_tcl.eval("ona_set_te -name TE_start -expression TU_state"));
    QCOMPARE(d->getNumError(), 0);
    QCOMPARE(spies.error.size(), 4);

    // Errors are per core: the other core stays clean.
    QVERIFY(m_tcl.eval("ona_set_tu -name TU_data -value ZZ"));
    QVERIFY(m_tcl.eval("ona_set_core -name bus_la"));
    QCOMPARE(d->getNumError(), 0);
    QCOMPARE(d->getNumError(0), 1);
}

void TestCommands::renameUnit() {
    OnaData* d = OnaData::inst();
    Spies spies;
    QVERIFY(m_tcl.eval("ona_rename_tu TU_state TU_fsm"));
    QCOMPARE(d->getTUName(0), QStringLiteral("TU_fsm"));
    // The expressions that named it follow.
    QCOMPARE(d->getTEExpression(0), QStringLiteral("TU_fsm & !TU_valid"));
    QCOMPARE(spies.set.size(), 2);
    QCOMPARE(d->getNumError(), 0);

    refuse({"ona_rename_tu", "TU_fsm", "tu_data"}, "already exists");
    refuse({"ona_rename_tu", "TU_fsm", "has blank"}, "invalid trigger unit name \"has blank\"");
    refuse({"ona_rename_tu", "TU_fsm", "THEN"}, "keyword");
    refuse({"ona_rename_tu", "TU_nope", "X"}, "TU_nope");
    refuse({"ona_rename_tu", "TU_fsm"}, "wrong # args");
    QVERIFY(m_tcl.eval("ona_rename_tu TU_fsm TU_fsm")); // same name: nothing to do

    QVERIFY(m_tcl.eval("ona_rename_te TE_start TE_go"));
    QCOMPARE(d->getTEName(0), QStringLiteral("TE_go"));
    refuse({"ona_rename_te", "TE_go", "te_byte"}, "already exists");
    refuse({"ona_rename_te", "TE_go", "9lives"}, "invalid trigger expression name");
}

void TestCommands::triggerExpressions() {
    OnaData* d = OnaData::inst();
    Spies spies;
    QVERIFY(m_tcl.eval("ona_set_te -name TE_byte -enable on"));
    QCOMPARE(d->getTEModel()->getNumChecked(), 2);
    QCOMPARE(qvariant_cast<QStandardItem*>(spies.set.at(0).at(0))->checkState(), Qt::Checked);
    QVERIFY(m_tcl.eval("ona_set_te -name TE_start -enable off"));
    QCOMPARE(d->getTEModel()->getNumChecked(), 1);
    QVERIFY(m_tcl.eval("ona_set_te -name TE_byte -expression \"TU_data THEN TU_valid #3\""));
    QCOMPARE(d->getTEExpression(1), QStringLiteral("TU_data THEN TU_valid #3"));
    QCOMPARE(d->getTEModel()->program(1).steps.size(), 2);
    refuse({"ona_set_te", "-name", "TE_byte", "-enable", "maybe"}, "on or off");
    refuse({"ona_set_te", "-name", "TE_zz", "-enable", "on"}, "TE_zz");
    refuse({"ona_set_te", "-name", "TE_byte", "-expression", QString(5000, QLatin1Char('a'))}, "longer");
}

void TestCommands::triggerOptions() {
    OnaData* d = OnaData::inst();
    QVERIFY(m_tcl.eval("ona_set_core -name bus_la"));
    TriggerSetting* s = d->getTSModel();
    Spies spies;
    QVERIFY(m_tcl.eval("ona_set_trigoptn -position post"));
    QCOMPARE(s->prePositionIndex, 2);
    QCOMPARE(spies.setting.size(), 1);
    QVERIFY(m_tcl.eval("ona_set_trigoptn -position 200"));
    QCOMPARE(s->userPosition, 200);
    QCOMPARE(d->getUserPosition(), 200);
    QCOMPARE(d->getMaxPosition(), 255);
    QCOMPARE(d->updateTriggerPosition(), 200); // the demo uses the user position
    QVERIFY(m_tcl.eval("ona_set_trigoptn -positionmode preset"));
    QCOMPARE(d->updateTriggerPosition(), 255 - 16);
    QVERIFY(m_tcl.eval("ona_set_trigoptn -teall and"));
    QCOMPARE(s->teCombination, 1);
    QVERIFY(m_tcl.eval("ona_set_trigoptn -finalcounter off"));
    QCOMPARE(s->finalCounterOn, 0);
    QVERIFY(m_tcl.eval("ona_set_trigoptn -finalcountervalue 8"));
    QCOMPARE(s->finalCounterPreset, 8);
    QVERIFY(m_tcl.eval("ona_set_trigoptn -connectpor on"));
    QVERIFY(d->getConnectPORCore(1));

    refuse({"ona_set_trigoptn", "-position", "256"}, "0 to 255");
    refuse({"ona_set_trigoptn", "-position", "middle"}, "middle");
    refuse({"ona_set_trigoptn", "-teall", "xor"}, "or or and");
    refuse({"ona_set_trigoptn", "-finalcountervalue", "9"}, "1 to 8");
    refuse({"ona_set_trigoptn", "-finalcountervalue", "0x2"}, "number");
    refuse({"ona_set_trigoptn", "-samples", "100"}, "power of two");
    refuse({"ona_set_trigoptn", "-samples", "2048"}, "64 to 1024");
    refuse({"ona_set_trigoptn", "-numtriggers", "65"}, "1 to 64");
    refuse({"ona_set_trigoptn", "-bogus", "1"}, "unknown option");
    refuse({"ona_set_trigoptn", "-teall", "or", "-samples", "3"}, "power of two");

    // The uart core has neither multiple triggers, a final counter nor POR.
    QVERIFY(m_tcl.eval("ona_set_core -name uart_la"));
    refuse({"ona_set_trigoptn", "-numtriggers", "2"}, "single trigger");
    refuse({"ona_set_trigoptn", "-finalcounter", "on"}, "no final event counter");
    refuse({"ona_set_trigoptn", "-connectpor", "on"}, "power-on-reset");

    // The view's own flags: written directly, announced by markDirty.
    const int before = spies.setting.size();
    d->getTSModel()->positionPreSelected = false;
    d->getTSModel()->markDirty();
    QCOMPARE(spies.setting.size(), before + 1);
}

void TestCommands::samplesAndTriggers() {
    OnaData* d = OnaData::inst();
    QVERIFY(m_tcl.eval("ona_set_core -name bus_la"));
    // 4096 samples of memory shared by all triggers.
    QVERIFY(m_tcl.eval("ona_set_trigoptn -samples 1024"));
    QCOMPARE(d->getNumSample(), 1024);
    QCOMPARE(d->getNumTrigger(-1), 4);
    QVERIFY(m_tcl.eval("ona_set_trigoptn -numtriggers 16")); // samples shrink to fit
    QCOMPARE(d->getNumSample(), 256);
    QCOMPARE(d->getNumTrigger(-1), 16);
    QVERIFY(m_tcl.eval("ona_set_trigoptn -numtriggers 64"));
    QCOMPARE(d->getNumSample(), 64);
    QVERIFY(m_tcl.eval("ona_set_trigoptn -position 63 -samples 512")); // triggers shrink to fit
    QCOMPARE(d->getNumTrigger(-1), 8);
    QCOMPARE(d->getUserPosition(), 63);
    QVERIFY(m_tcl.eval("ona_set_trigoptn -position 511 -samples 64")); // user position clamps
    QCOMPARE(d->getUserPosition(), 63);
    QCOMPARE(d->getMaxPosition(), 63);
}

void TestCommands::cores() {
    OnaData* d = OnaData::inst();
    Spies spies;
    TriggerUModel* uart = d->getTUModel();
    QVERIFY(m_tcl.eval("ona_set_core -name \"bus_la\""));
    QCOMPARE(d->getCurrentCore(), 1);
    QCOMPARE(spies.coreSet.size(), 1);
    QCOMPARE(spies.coreSet.at(0).at(0).toInt(), 1);
    QVERIFY(d->getTUModel() != uart);
    QCOMPARE(d->getTUName(0), QStringLiteral("TU_hs"));
    QVERIFY(m_tcl.eval("ona_set_core -name bus_la")); // already current: silent
    QCOMPARE(spies.coreSet.size(), 1);

    QVERIFY(m_tcl.eval("ona_set_core -name \"uart_la\" -run off"));
    QVERIFY(!d->isRunCore(0));
    QCOMPARE(d->getCurrentCore(), 1); // -run does not switch
    QCOMPARE(spies.coreRun.size(), 1);
    QCOMPARE(spies.coreRun.at(0).at(0).toInt(), 0);
    QCOMPARE(spies.coreRun.at(0).at(1).toBool(), false);
    QCOMPARE(d->getNumRunCore(), 1);
    QVERIFY(m_tcl.eval("ona_set_core -name uart_la -run on"));
    QCOMPARE(d->getNumRunCore(), 2);

    refuse({"ona_set_core", "-name", "gpu_la"}, "uart_la, bus_la");
    refuse({"ona_set_core", "-name", "uart_la", "-run", "yes please"}, "on or off");
    refuse({"ona_set_core", "-run", "on"}, "-name is required");
    refuse({"ona_set_core", "-name", "uart_la", "-speed", "fast"}, "unknown option");
}

void TestCommands::projectSettings() {
    OnaData* d = OnaData::inst();
    Spies spies;
    QVERIFY(m_tcl.eval("ona_set_project -cabletype USB2"));
    QVERIFY(m_tcl.eval("ona_set_project -cableport 3"));
    QVERIFY(m_tcl.eval("ona_set_project -tckdelay 7"));
    QVERIFY(m_tcl.eval("ona_set_project -period 25ps"));
    QCOMPARE(d->getCableType(), QStringLiteral("USB2"));
    QCOMPARE(d->getCablePort(), 3);
    QCOMPARE(d->getTCKDelay(), 7);
    QCOMPARE(d->getPeriod(), 25);
    QCOMPARE(d->getClockUnit(), QStringLiteral("ps"));
    QCOMPARE(spies.setting.size(), 4);
    QCOMPARE(d->getJTAG()->getUsbPorts().first(), QStringLiteral("FTUSB-0"));
    QVERIFY(m_tcl.eval("ona_set_project -cabletype VORANTE -cableport 760"));
    QVERIFY(d->getJTAG()->checkParPort(0x378));
    QVERIFY(!d->getJTAG()->checkParPort(0x2F8));

    refuse({"ona_set_project", "-cabletype", "usb"}, "USB, USB2 or VORANTE");
    refuse({"ona_set_project", "-tckdelay", "31"}, "1 to 30");
    refuse({"ona_set_project", "-period", "0ns"}, "period");
    refuse({"ona_set_project", "-period", "10ms"}, "period");
    refuse({"ona_set_project", "-cableport", "-1"}, "0 to 65535");
    refuse({"ona_set_project", "-tckdelay", "2", "-colour", "red"}, "unknown option");
}

void TestCommands::tokenVerbs() {
    OnaData* d = OnaData::inst();
    TokenModel* t = d->getTokenModel();
    Spies spies;
    QVERIFY(m_tcl.eval("ona_add_tokenset -tokenset TOKEN_SET_1"));
    QCOMPARE(spies.token.size(), 1);
    QCOMPARE(t->numTokenSet("user"), 2);
    QVERIFY(m_tcl.eval("ona_set_tokenset \"TOKEN_SET_1\" -bits \"2\""));
    QVERIFY(m_tcl.eval("ona_add_token TOKEN_SET_1 TOKEN_0=b'00"));
    QVERIFY(m_tcl.eval("ona_add_token TOKEN_SET_1 TOKEN_1=b'01"));
    QString name;
    QVERIFY(t->isTokenValExist(t->getTokenSet(QStringLiteral("TOKEN_SET_1"), "user"), QStringLiteral("h'1"), name));
    QCOMPARE(name, QStringLiteral("TOKEN_1"));
    QVERIFY(!t->isTokenValExist(t->getTokenSet(QStringLiteral("TOKEN_SET_1"), "user"), QStringLiteral("b'10"), name));
    QCOMPARE(t->getToken(1, 1, "user").at(2)->text(), QStringLiteral("b'01"));
    QVERIFY(m_tcl.eval("ona_set_token \"TOKEN_SET_1\" \"TOKEN_1\" -name \"ONE\""));
    QVERIFY(m_tcl.eval("ona_set_token \"TOKEN_SET_1\" \"ONE\" -value \"d'3\""));
    QCOMPARE(t->getToken(QStringLiteral("TOKEN_SET_1"), QStringLiteral("ONE"), "user").at(2)->text(),
             QStringLiteral("b'11"));
    QVERIFY(m_tcl.eval("ona_set_tokenset \"TOKEN_SET_1\" -name \"pairs\""));
    QVERIFY(m_tcl.eval("ona_set_tokenset pairs -bits 4"));
    QCOMPARE(t->getToken(QStringLiteral("pairs"), QStringLiteral("ONE"), "user").at(2)->text(),
             QStringLiteral("b'0011"));
    QVERIFY(m_tcl.eval("ona_del_token pairs TOKEN_0"));
    QCOMPARE(t->getTokenSet(QStringLiteral("pairs"), "user").at(0)->rowCount(), 1);
    QCOMPARE(spies.token.size(), 9);

    refuse({"ona_add_tokenset", "-tokenset", "pairs"}, "defined twice");
    refuse({"ona_add_tokenset", "-tokenset", "ONL_mine"}, "reserved");
    refuse({"ona_add_tokenset", "-tokenset", "Hex"}, "radix name");
    refuse({"ona_add_tokenset", "-tokenset", "wide", "-bits", "300"}, "1 to 256");
    refuse({"ona_add_token", "pairs", "TWO"}, "name=value");
    refuse({"ona_add_token", "pairs", "TWO=5"}, "radix prefix");
    refuse({"ona_add_token", "pairs", "TWO=b'0011"}, "used twice");
    refuse({"ona_add_token", "pairs", "TWO=h'1F"}, "does not fit");
    refuse({"ona_add_token", "nosuch", "A=b'1"}, "does not exist");
    refuse({"ona_set_token", "pairs", "ONE", "-name", "1abc"}, "invalid token name");
    refuse({"ona_set_token", "pairs", "ZERO", "-value", "b'1"}, "does not exist");
    refuse({"ona_set_tokenset", "pairs", "-bits", "1"}, "does not fit");
    refuse({"ona_set_tokenset", "pairs", "-name", "cmd"}, "defined twice");
    refuse({"ona_del_token", "pairs", "ZERO"}, "ZERO");
    refuse({"ona_del_tokenset", "nosuch"}, "does not exist");
    // A rename that succeeds followed by a bad width is undone whole.
    refuse({"ona_set_tokenset", "pairs", "-name", "quads", "-bits", "0"}, "1 to 256");
    QVERIFY(!t->getTokenSet(QStringLiteral("pairs"), "user").isEmpty());

    QVERIFY(m_tcl.eval("ona_del_tokenset -all"));
    QCOMPARE(t->numTokenSet("user"), 0);
    QCOMPARE(t->numTokenSet("ENUM"), 1); // enumerations belong to the design
}

void TestCommands::tokenSetInUse() {
    OnaData* d = OnaData::inst();
    QVERIFY(m_tcl.eval("ona_set_core -name bus_la"));
    QCOMPARE(d->getTURadix(3), QStringLiteral("cmd"));
    // A renamed token and a renamed set are followed by the unit using them.
    QVERIFY(m_tcl.eval("ona_set_token cmd WRITE -name STORE"));
    QCOMPARE(d->getTUValue(3), QStringLiteral("STORE"));
    QVERIFY(m_tcl.eval("ona_set_tokenset cmd -name command"));
    QCOMPARE(d->getTURadix(3), QStringLiteral("command"));
    QCOMPARE(d->getNumError(), 0);
    // Changing the width breaks the unit's radix: counted, not refused.
    QVERIFY(m_tcl.eval("ona_set_tokenset command -bits 9"));
    QCOMPARE(d->getNumError(), 1);
    QVERIFY(m_tcl.eval("ona_set_tokenset command -bits 8"));
    QCOMPARE(d->getNumError(), 0);
    // Deleting the set leaves the unit on Bin with the same value.
    QSignalSpy set(d, SIGNAL(setDirty(QStandardItem*)));
    QVERIFY(m_tcl.eval("ona_del_tokenset command"));
    QCOMPARE(d->getTURadix(3), QStringLiteral("Bin"));
    QCOMPARE(d->getTUValue(3), QStringLiteral("00000010"));
    QCOMPARE(set.size(), 2);
    QCOMPARE(d->getNumError(), 0);
}

void TestCommands::tokenFiles() {
    OnaData* d = OnaData::inst();
    const QString file = m_demo->path(QStringLiteral("my tokens [v1].ont"));
    QVERIFY(m_tcl.call({"ona_export_tokenset", file}));
    QVERIFY(QFileInfo::exists(file));
    QVERIFY(m_tcl.eval("ona_del_tokenset -all"));
    QVERIFY(m_tcl.call({"ona_import_tokenset", file}));
    QCOMPARE(d->getTokenModel()->numTokenSet("user"), 1);
    QCOMPARE(d->getTokenModel()->getTokenSet(0, "user").at(0)->rowCount(), 4);
    // Importing again replaces the set of the same name.
    QVERIFY(m_tcl.call({"ona_import_tokenset", file}));
    QCOMPARE(d->getTokenModel()->numTokenSet("user"), 1);

    refuse({"ona_import_tokenset", m_demo->path("missing.ont")}, "missing.ont");
    writeAll(
        m_demo->path("bad.ont"),
        R"({"format":"ondrel-ont","version":1,"token_sets":[{"name":"a","bits":2,"tokens":[{"name":"X","value":"b'111"}]}]})");
    refuse({"ona_import_tokenset", m_demo->path("bad.ont")}, "token_sets[0].tokens[0].value");
    refuse({"ona_import_tokenset", m_demo->onl()}, "ondrel-ont");
    refuse({"ona_export_tokenset", m_demo->path("no/such/folder/x.ont")}, "cannot write");
}

// Set and token names are case-sensitive in every verb, in radix texts and
// in the files: "cmd" and "CMD" are two sets.
void TestCommands::tokenNameCase() {
    OnaData* d = OnaData::inst();
    TokenModel* t = d->getTokenModel();
    QVERIFY(m_tcl.eval("ona_set_core -name bus_la"));
    QVERIFY2(m_tcl.eval("ona_add_tokenset -tokenset CMD -bits 8"), qPrintable(m_tcl.result()));
    QVERIFY(m_tcl.eval("ona_add_token CMD READ=h'11"));
    QVERIFY(m_tcl.eval("ona_add_token CMD read=h'12")); // tokens too: READ and read differ
    QCOMPARE(t->getTokenSet(QStringLiteral("CMD"), "user").at(0)->rowCount(), 2);
    QCOMPARE(t->getTokenSet(QStringLiteral("cmd"), "user").at(0)->rowCount(), 4);
    QVERIFY(m_tcl.eval("dict get [ona_get tokensets] CMD tokens read"));
    QCOMPARE(m_tcl.result(), QStringLiteral("b'00010010"));

    // A name differing only in case is not found, and the message names the near miss.
    refuse({"ona_add_token", "Cmd", "X=h'3"}, "names are case-sensitive: there is a set \"cmd\"");
    refuse({"ona_set_token", "cmd", "write", "-value", "h'7"}, "there is a token \"WRITE\"");
    refuse({"ona_del_token", "CMD", "Read"}, "does not exist");
    refuse({"ona_del_tokenset", "cMD"}, "does not exist");
    refuse({"ona_set_tu", "-name", "TU_cmd", "-radix", "Cmd"}, "neither Bin");
    refuse({"ona_set_tu", "-name", "TU_cmd", "-radix", "hex"}, "the radix is \"Hex\"");
    refuse({"ona_set_tokenset", "CMD", "-name", "cmd"}, "defined twice");
    refuse({"ona_add_tokenset", "-tokenset", "hex"}, "radix name"); // reads like a radix in any case

    // A unit takes the set exactly as named; its token names resolve in that set.
    QVERIFY(m_tcl.eval("ona_set_tu -name TU_cmd -radix CMD -value read"));
    QCOMPARE(d->getTURadix(3), QStringLiteral("CMD"));
    QCOMPARE(d->getNumError(), 0);
    QVERIFY(m_tcl.eval("ona_set_tu -name TU_cmd -value WRITE"));
    QCOMPARE(d->getNumError(), 1); // WRITE is a token of cmd, not of CMD
    QVERIFY(m_tcl.eval("ona_set_tu -name TU_cmd -value READ"));
    QCOMPARE(d->getNumError(), 0);

    // Deleting the other-case set leaves the unit alone; the file keeps both sets.
    QVERIFY(m_tcl.eval("ona_del_tokenset cmd"));
    QCOMPARE(d->getTURadix(3), QStringLiteral("CMD"));
    QVERIFY(m_tcl.eval("ona_add_tokenset -tokenset cmd -bits 8"));
    QVERIFY(m_tcl.eval("ona_save_project"));
    QVERIFY2(m_tcl.call({"ona_open_project", m_demo->ona()}), qPrintable(m_tcl.result()));
    QCOMPARE(t->numTokenSet("user"), 2);
    QVERIFY(m_tcl.eval("ona_set_core -name bus_la"));
    QCOMPARE(d->getTURadix(3), QStringLiteral("CMD"));
    QCOMPARE(d->getTUValue(3), QStringLiteral("READ"));

    // Importing replaces only the set of exactly the same name; a rename in case only is a rename.
    writeAll(
        m_demo->path("case.ont"),
        R"({"format":"ondrel-ont","version":1,"token_sets":[{"name":"Cmd","bits":2,"tokens":[]},{"name":"cmd","bits":3,"tokens":[]}]})");
    QVERIFY(m_tcl.call({"ona_import_tokenset", m_demo->path("case.ont")}));
    QCOMPARE(t->numTokenSet("user"), 3);
    QCOMPARE(t->getTokenSet(QStringLiteral("cmd"), "user").at(1)->text(), QStringLiteral("3"));
    QCOMPARE(t->getTokenSet(QStringLiteral("CMD"), "user").at(1)->text(), QStringLiteral("8"));
    QVERIFY(m_tcl.eval("ona_del_tokenset Cmd"));
    QVERIFY(m_tcl.eval("ona_set_tokenset CMD -name Cmd"));
    QCOMPARE(d->getTURadix(3), QStringLiteral("Cmd"));
}

void TestCommands::hostileText() {
    // Words with quotes, backslashes, dollars, brackets and blanks arrive
    // intact and never run as commands.
    const QStringList hostile{"[exit 3]", "$x", "a\"b", "C:\\new\\table", "two words", "{brace"};
    for (const QString& h : hostile) {
        refuse({"ona_rename_tu", "TU_data", h}, h);
        refuse({"ona_set_core", "-name", h}, h);
        refuse({"ona_set_tu", "-name", h, "-value", "1"}, h);
        refuse({"ona_add_tokenset", "-tokenset", h}, h);
        refuse({"ona_set_trigoptn", "-position", h}, h);
        QVERIFY(m_tcl.call({"ona_set_tu", "-name", "TU_data", "-value", h})); // any value text is kept
        QCOMPARE(OnaData::inst()->getTUValue(1), h);
    }
    // The same text escaped into a quoted word, the way the tool builds commands.
    QVERIFY(m_tcl.eval(QStringLiteral("ona_set_tu -name TU_data -value \"\\[exit 3\\] \\$x a\\\"b\"")));
    QCOMPARE(OnaData::inst()->getTUValue(1), QStringLiteral("[exit 3] $x a\"b"));
    const QString odd = m_demo->path(QStringLiteral("it's a \"$name\" [x].ona"));
    QVERIFY2(m_tcl.call({"ona_save_project", odd}), qPrintable(m_tcl.result()));
    QVERIFY(m_tcl.call({"ona_open_project", odd}));
    QCOMPARE(OnaData::inst()->getCurrentProject(), odd);
}

void TestCommands::closeVerbs() {
    QVERIFY(m_tcl.eval("ona_close_controller"));
    QCOMPARE(m_tcl.result(), QStringLiteral("0"));
    QSignalSpy closed(OnaData::inst(), SIGNAL(sigProjectClosed()));
    QVERIFY(m_tcl.eval("ona_close_project"));
    QCOMPARE(closed.size(), 1);
    QVERIFY(!OnaData::inst()->isProjectOpen());
    QCOMPARE(OnaData::inst()->getNumCore(), 0);
    QCOMPARE(OnaData::inst()->getTUModel(), nullptr);
    QVERIFY(m_tcl.eval("ona_close_project")); // nothing open: silent
    QCOMPARE(closed.size(), 1);
    QVERIFY(!m_tcl.eval("ona_set_tu -name TU_data -value 1"));
    QCOMPARE(m_tcl.result(), QStringLiteral("no project is open"));
    QVERIFY(!m_tcl.eval("ona_save_project"));
    QVERIFY(!m_tcl.eval("ona_add_tokenset -tokenset A"));
}

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_commands.moc"
