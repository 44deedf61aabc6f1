// The ona_* verbs through a real interpreter, where the pages cannot reach:
// a bad command changes nothing, fires nothing and says why; radix
// conversion, error counts, renames and token sets in use; names are
// case-sensitive. A token radix reads the same in the trigger table, the
// waveform and the text export.

#include "enginetest.h"
#include "tokenmodel.h"
#include "triggeremodel.h"
#include "triggersetting.h"
#include "triggerumodel.h"
#include "waveformmodel.h"

#include <QtTest>

using namespace Qt::StringLiterals;

class TestCommands : public DemoSession {
    Q_OBJECT
private slots:
    void init() { QVERIFY2(openDemo(), qPrintable(m_tcl.result())); }
    void openAndReadBack() {
        OnaData* d = OnaData::inst();
        QSignalSpy opened(d, SIGNAL(sigProjectOpened(const QString&)));
        QVERIFY(m_tcl.call({"ona_open_project", m_demo->ona()}));
        QCOMPARE(opened, QList<QVariantList>{{QFileInfo(m_demo->ona()).absoluteFilePath()}});
        QCOMPARE(d->getCurrentProject(), QFileInfo(m_demo->ona()).absoluteFilePath());
        QCOMPARE(d->getImplDirectory(), QFileInfo(m_demo->onl()).absolutePath());
        QVERIFY(d->isPORCore(1) && !d->getConnectPORCore(1));
        QCOMPARE(d->getTUName(99), QString()); // past the last row: empty
        QCOMPARE(d->getTUModel()->indexOfRadixByRow(0), -1);
        QVERIFY(d->checkONLTimeStamp() > 0xFFFFFFFFull); // all 64 bits in use
        // The rest of ona_get is read back in the batch session test.
        QVERIFY(!m_tcl.eval("ona_get tu NOPE") && m_tcl.result().contains("NOPE") && !m_tcl.eval("ona_get widgets"));
        QVERIFY(!m_tcl.eval("ona_get tu"));
    }
    // Refused verbs say why and change nothing.
    void refusals() {
        refuse({"ona_set_tu", "-name", "TU_data", "-operator", "=~"}, "unknown operator");
        refuse({"ona_set_tu", "-name", "TU_nope", "-value", "1"}, "TU_nope");
        refuse({"ona_set_tu", "-name", "TU_data", "-colour", "red"},
               "ona_set_tu: unknown option \"-colour\": expected -operator, -radix or -value");
        refuse({"ona_set_tu", "-name", "TU_data", "-radix", "Base64"}, "Base64");
        refuse({"ona_set_tu", "-name", "TU_data", "-radix", "ONL_uart_state"}, "3 bits");
        refuse({"ona_set_tu", "-name", "TU_rxword", "-operator", "<"}, "unknown operator"); // serial: == and != only
        refuse({"ona_set_tu", "-name", "TU_data", "-operator", "==", "-value"}, "needs a value");
        refuse({"ona_set_tu", "-operator", "==", "-value", "1"}, "-name is required");
        // A good option followed by a bad one changes nothing at all.
        refuse({"ona_set_tu", "-name", "TU_data", "-operator", "==", "-radix", "Nope"}, "Nope");
        refuse({"ona_set_te", "-name", "TE_byte", "-enable", "maybe"}, "on or off");
        refuse({"ona_set_te", "-name", "TE_zz", "-enable", "on"}, "TE_zz");
        refuse({"ona_set_te", "-name", "TE_byte", "-expression", QString(5000, QLatin1Char('a'))}, "longer");
        refuse({"ona_set_core", "-name", "gpu_la"}, "uart_la, bus_la");
        refuse({"ona_set_core", "-name", "uart_la", "-run", "yes please"}, "on or off");
        refuse({"ona_set_core", "-run", "on"}, "-name is required");
        refuse({"ona_set_core", "-name", "uart_la", "-speed", "fast"}, "unknown option");
        refuse({"ona_set_project", "-cabletype", "usb"}, "USB, USB2, VORANTE or REMOTE");
        refuse({"ona_set_project", "-tckdelay", "31"}, "1 to 30");
        refuse({"ona_set_project", "-period", "0ns"}, "period");
        refuse({"ona_set_project", "-period", "10ms"}, "period");
        refuse({"ona_set_project", "-cableport", "-1"}, "0 to 65535");
        refuse({"ona_set_project", "-tckdelay", "2", "-colour", "red"}, "unknown option");
    }
    void unitRadixConversion() {
        QCOMPARE(
            m_tcl.steps({
                {"ona_set_tu -name TU_data -radix Dec; _tu TU_data value", "90"},
                // Don't-cares cannot be decimal: kept, and counted.
                {"ona_set_tu -name TU_data -radix Hex -value 3x; ona_set_tu -name TU_data -radix Dec; _tu TU_data "
                 "value",
                 "3x"},
                {"_prj numerror", "1"},
                // Enumeration back to binary keeps the meaning of the value.
                {"ona_set_tu -name TU_state -radix Bin; _tu TU_state value", "001"},
                {"ona_set_tu -name TU_state -radix ONL_uart_state; _tu TU_state value", "START"},
                // Onto a user token set: the token with that value is chosen.
                {"ona_set_core -name bus_la; ona_set_tu -name TU_cmd -radix Hex; _tu TU_cmd value", "02"},
                {"ona_set_tu -name TU_cmd -value 01; ona_set_tu -name TU_cmd -radix cmd; _tu TU_cmd value", "READ"},
                // A value no token names stays as it was (a hexadecimal text is
                // no token), and the unit says why.
                {"ona_set_tu -name TU_cmd -radix Hex -value 7F; ona_set_tu -name TU_cmd -radix cmd; _tu TU_cmd value "
                 "error",
                 "7F 1"},
                // Ranges convert both bounds.
                {"ona_set_tu -name TU_addr -radix Dec; _tu TU_addr value", "4096..8191"},
            }),
            QString());
    }
    void syntaxErrorCount() {
        OnaData* d = OnaData::inst();
        Spies spies;
        const QList<std::tuple<const char*, int, int>> edits = {
            {"ona_set_tu -name TU_data -value ZZ", 1, 1}, // accepted, but counted
            {"ona_set_te -name TE_start -expression {TU_state &}", 2, 2},
            {"ona_set_tu -name TU_data -value YY", 2, 2}, // the count stays: no errorDirty
            {"ona_set_tu -name TU_data -value 5A", 1, 3},
            {"ona_set_te -name TE_start -expression TU_state", 0, 4},
        };
        for (const auto& [script, errors, notes] : edits) {
            QVERIFY(m_tcl.eval(script));
            QCOMPARE((QList<int>{d->getNumError(), int(spies.error.size())}), (QList<int>{errors, notes}));
        }
        // Errors are per core, and the unit says why.
        QVERIFY(m_tcl.eval("ona_set_tu -name TU_data -value ZZ"));
        QVERIFY(!m_tcl.dictGet("ona_get tu TU_data", "message").isEmpty() && m_tcl.eval("ona_set_core -name bus_la"));
        QCOMPARE(d->getNumError(), 0);
        QCOMPARE(d->getNumError(0), 1);
    }
    void renameUnit() {
        OnaData* d = OnaData::inst();
        Spies spies;
        // The expressions that named the unit follow.
        QVERIFY(m_tcl.eval("ona_rename_tu TU_state TU_fsm; concat [_te TE_start expression] [_prj numerror]"));
        QCOMPARE(m_tcl.result(), u"TU_fsm & !TU_valid 0"_s);
        QCOMPARE(d->getTUName(0), u"TU_fsm"_s);
        QCOMPARE(spies.set.size(), 2);

        refuse({"ona_rename_tu", "TU_fsm", "tu_data"}, "already exists");
        refuse({"ona_rename_tu", "TU_fsm", "has blank"}, "invalid trigger unit name \"has blank\"");
        refuse({"ona_rename_tu", "TU_fsm", "THEN"}, "keyword");
        refuse({"ona_rename_tu", "TU_nope", "X"}, "TU_nope");
        refuse({"ona_rename_tu", "TU_fsm"}, "wrong # args");
        QVERIFY(m_tcl.eval("ona_rename_tu TU_fsm TU_fsm")); // same name: nothing to do

        QVERIFY(m_tcl.eval("ona_rename_te TE_start TE_go"));
        QCOMPARE(d->getTEName(0), u"TE_go"_s);
        refuse({"ona_rename_te", "TE_go", "te_byte"}, "already exists");
        refuse({"ona_rename_te", "TE_go", "9lives"}, "invalid trigger expression name");
    }
    void triggerOptions() {
        OnaData* d = OnaData::inst();
        QVERIFY(m_tcl.eval("ona_set_core -name bus_la"));
        Spies spies;
        refuse({"ona_set_trigoptn", "-position", "256"}, "0 to 255");
        refuse({"ona_set_trigoptn", "-position", "middle"}, "middle");
        refuse({"ona_set_trigoptn", "-teall", "xor"}, "or or and");
        refuse({"ona_set_trigoptn", "-finalcountervalue", "9"}, "1 to 8");
        refuse({"ona_set_trigoptn", "-finalcountervalue", "0x2"}, "number");
        refuse({"ona_set_trigoptn", "-samples", "100"}, "power of two");
        refuse({"ona_set_trigoptn", "-samples", "2048"}, "64 to 1024");
        refuse({"ona_set_trigoptn", "-numtriggers", "65"}, "1 to 64");
        refuse({"ona_set_trigoptn", "-bogus", "1"},
               "expected -position, -positionmode, -teall, -samples, -numtriggers, -finalcounter, "
               "-finalcountervalue or -connectpor");
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
    void tokenVerbs() {
        OnaData* d = OnaData::inst();
        TokenModel* t = d->getTokenModel();
        Spies spies;
        QVERIFY(m_tcl.eval("ona_add_tokenset -tokenset TOKEN_SET_1"));
        QCOMPARE(spies.token.size(), 1);
        QCOMPARE(t->numTokenSet("user"), 2);
        QVERIFY(
            m_tcl.eval("ona_set_tokenset \"TOKEN_SET_1\" -bits \"2\"; ona_add_token TOKEN_SET_1 TOKEN_0=b'00; "
                       "ona_add_token TOKEN_SET_1 TOKEN_1=b'01"));
        QString name;
        QVERIFY(t->isTokenValExist(t->getTokenSet(u"TOKEN_SET_1"_s, "user"), u"h'1"_s, name));
        QCOMPARE(name, u"TOKEN_1"_s);
        QVERIFY(!t->isTokenValExist(t->getTokenSet(u"TOKEN_SET_1"_s, "user"), u"b'10"_s, name));
        const QString tokens = u"; dict get [ona_get tokensets] %1 tokens"_s;
        QCOMPARE(m_tcl.steps({{"ona_set_token \"TOKEN_SET_1\" \"TOKEN_1\" -name \"ONE\"; ona_set_token \"TOKEN_SET_1\" "
                               "\"ONE\" -value \"d'3\"" +
                                   tokens.arg("TOKEN_SET_1"),
                               "TOKEN_0 b'00 ONE b'11"},
                              {"ona_set_tokenset \"TOKEN_SET_1\" -name \"pairs\"; ona_set_tokenset pairs -bits 4; "
                               "ona_del_token pairs TOKEN_0" +
                                   tokens.arg("pairs"),
                               "ONE b'0011"}}),
                 QString());
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
        QVERIFY(!t->getTokenSet(u"pairs"_s, "user").isEmpty());

        QVERIFY(m_tcl.eval("ona_del_tokenset -all"));
        QCOMPARE(t->numTokenSet("user"), 0);
        QCOMPARE(t->numTokenSet("ENUM"), 1); // enumerations belong to the design
    }
    void tokenSetInUse() {
        QCOMPARE(
            m_tcl.steps({"ona_set_core -name bus_la",
                         {"_tu TU_cmd radix", "cmd"},
                         // A renamed token and a renamed set are followed by the unit using them.
                         {"ona_set_token cmd WRITE -name STORE; _tu TU_cmd value", "STORE"},
                         {"ona_set_tokenset cmd -name command; concat [_tu TU_cmd radix] [_prj numerror]", "command 0"},
                         // Changing the width breaks the unit's radix: counted, not refused.
                         {"ona_set_tokenset command -bits 9; _prj numerror", "1"},
                         {"ona_set_tokenset command -bits 8; _prj numerror", "0"}}),
            QString());
        // Deleting the set leaves the unit on Bin with the same value.
        QSignalSpy set(OnaData::inst(), SIGNAL(setDirty(QStandardItem*)));
        QVERIFY(m_tcl.eval("ona_del_tokenset command; concat [_tu TU_cmd radix value] [_prj numerror]"));
        QCOMPARE(m_tcl.result(), u"Bin 00000010 0"_s);
        QCOMPARE(set.size(), 2);
    }
    void tokenFiles() {
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
    void tokenNameCase() {
        OnaData* d = OnaData::inst();
        TokenModel* t = d->getTokenModel();
        QVERIFY(m_tcl.eval("ona_set_core -name bus_la"));
        // Tokens too: READ and read differ.
        QVERIFY(
            m_tcl.eval("ona_add_tokenset -tokenset CMD -bits 8; ona_add_token CMD READ=h'11; ona_add_token CMD "
                       "read=h'12; set s [ona_get tokensets]; list [dict size [dict get $s CMD tokens]] "
                       "[dict size [dict get $s cmd tokens]] [dict get $s CMD tokens read]"));
        QCOMPARE(m_tcl.result(), u"2 4 b'00010010"_s);

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
        QCOMPARE(
            m_tcl.steps(
                {{"ona_set_tu -name TU_cmd -radix CMD -value read; concat [_tu TU_cmd radix] [_prj numerror]", "CMD 0"},
                 // WRITE is a token of cmd, not of CMD.
                 {"ona_set_tu -name TU_cmd -value WRITE; _prj numerror", "1"},
                 {"ona_set_tu -name TU_cmd -value READ; _prj numerror", "0"},
                 // Deleting the other-case set leaves the unit alone; the file keeps both sets.
                 {"ona_del_tokenset cmd; _tu TU_cmd radix", "CMD"},
                 {"ona_add_tokenset -tokenset cmd -bits 8; ona_save_project; ona_open_project [_prj file]; "
                  "ona_set_core -name bus_la; concat [dict size [ona_get tokensets]] [_tu TU_cmd radix value]",
                  "2 CMD READ"}}),
            QString());

        // Importing replaces only the set of exactly the same name; a rename in case only is a rename.
        writeAll(
            m_demo->path("case.ont"),
            R"({"format":"ondrel-ont","version":1,"token_sets":[{"name":"Cmd","bits":2,"tokens":[]},{"name":"cmd","bits":3,"tokens":[]}]})");
        QVERIFY(m_tcl.call({"ona_import_tokenset", m_demo->path("case.ont")}));
        QCOMPARE(t->numTokenSet("user"), 3);
        QCOMPARE(t->getTokenSet(u"cmd"_s, "user").at(1)->text(), u"3"_s);
        QCOMPARE(t->getTokenSet(u"CMD"_s, "user").at(1)->text(), u"8"_s);
        QVERIFY(m_tcl.eval("ona_del_tokenset Cmd") && m_tcl.eval("ona_set_tokenset CMD -name Cmd"));
        QCOMPARE(d->getTURadix(3), u"Cmd"_s);
    }
    void hostileText() {
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
        const QString odd = m_demo->path(u"it's a \"$name\" [x].ona"_s);
        QVERIFY2(m_tcl.call({"ona_save_project", odd}), qPrintable(m_tcl.result()));
        QVERIFY(m_tcl.call({"ona_open_project", odd}));
        QCOMPARE(OnaData::inst()->getCurrentProject(), odd);
    }
    void closeVerbs() {
        QSignalSpy closed(OnaData::inst(), SIGNAL(sigProjectClosed()));
        // A second close with nothing open is silent.
        QCOMPARE(m_tcl.steps({{"ona_close_controller", "0"},
                              "ona_close_project; ona_close_project",
                              {"ona_set_tu -name TU_data -value 1", "error: no project is open"},
                              {"ona_save_project", "error: "},
                              {"ona_add_tokenset -tokenset A", "error: "}}),
                 QString());
        QCOMPARE(closed.size(), 1);
        QVERIFY(!OnaData::inst()->isProjectOpen());
        QCOMPARE(OnaData::inst()->getNumCore(), 0);
        QCOMPARE(OnaData::inst()->getTUModel(), nullptr);
    }

    void valueText() {
        TokenModel* t = OnaData::inst()->getTokenModel();
        bool named = false;
        // The demo's user set "cmd" (8 bits: NOP, READ, WRITE, BURST).
        QCOMPARE(t->valueText(u"cmd"_s, u"00000010"_s, &named), u"WRITE"_s);
        QVERIFY(named);
        // A value no token has reads in hexadecimal, for every width.
        QCOMPARE(t->valueText(u"cmd"_s, u"10100101"_s, &named), u"A5"_s);
        QVERIFY(!named);
        QCOMPARE(t->valueText(u"cmd"_s, u"10111"_s), u"17"_s);
        QCOMPARE(t->tokenByBits(u"cmd"_s, u"10100101"_s), QString());
        // Values compare as numbers: a bus narrower or wider than the set (its
        // width was changed after it was chosen) still finds the token.
        QCOMPARE(t->valueText(u"cmd"_s, u"11"_s), u"BURST"_s);
        QCOMPARE(t->valueText(u"cmd"_s, u"0000000000"_s), u"NOP"_s);
        // Names are case-sensitive; an unknown set names nothing.
        QCOMPARE(t->valueText(u"CMD"_s, u"00000010"_s, &named), u"02"_s);
        QVERIFY(!named);
        // ENUM sets for "ONL_" names; an integer enumeration reads an unnamed
        // value in decimal.
        QCOMPARE(t->valueText(u"ONL_uart_state"_s, u"001"_s), u"START"_s);
        QList<TokenSetData> enums = t->sets(u"ENUM"_s);
        TokenSetData level;
        level.name = u"ONL_INT_level"_s;
        level.bits = 8;
        level.tokens = {{u"FULL"_s, u"11111111"_s}};
        enums << level;
        t->setSets(u"ENUM"_s, enums);
        QCOMPARE(t->valueText(u"ONL_INT_level"_s, u"00010100"_s), u"20"_s);
        QCOMPARE(t->valueText(u"ONL_INT_level"_s, u"11111111"_s), u"FULL"_s);
        // The waveform's lookup is the same function.
        QCOMPARE(OnaData::matchToken(8, u"ONL_INT_level"_s, u"00010100"_s), u"20"_s);
        QCOMPARE(OnaData::matchToken(8, u"cmd"_s, u"00000001"_s), u"READ"_s);
    }
    void exportAndWaveformAgree() {
        OnaData* d = OnaData::inst();
        QVERIFY(m_tcl.eval("ona_set_core -name bus_la") && m_tcl.eval("ona_set_trigoptn -samples 64"));
        QVERIFY2(m_tcl.capture(), qPrintable(m_tcl.result()));
        d->collectCapture();
        WaveformModel* m = d->getWDModel();
        QVERIFY(m && m->hasData());
        // "beat" counts up one per sample: every value of "cmd" and unnamed ones.
        QModelIndex beat;
        for (int r = 0; r < m->rowCount(); ++r)
            if (WaveformModel::rowData(m->index(r, 0)).name == QLatin1String("beat"))
                beat = m->index(r, 0);
        QVERIFY(beat.isValid());
        SigTreeData row = WaveformModel::rowData(beat);
        row.radix = 0;
        row.radixName = u"cmd"_s;
        m->setRowData(beat, row);
        QCOMPARE(d->getWaveformRadix(beat.row()), u"cmd"_s);

        const QString file = m_demo->path(u"beat.txt"_s);
        QVERIFY2(m_tcl.call({"ona_export_project", "-txt", file, "-siglist", "beat"}), qPrintable(m_tcl.result()));
        const QList<QByteArray> lines = readAll(file).split('\n');
        int rows = 0, named = 0;
        for (const QByteArray& line : lines) {
            const QList<QByteArray> cells = line.split('\t');
            if (line.startsWith('#') || cells.size() != 3 || cells.at(0) == "frame")
                continue;
            const int sample = rows++;
            const QString bits = m->getBits(beat, sample);
            // The export shows what the waveform's data column and labels show.
            const QString shown = OnaData::matchToken(8, u"cmd"_s, bits);
            QCOMPARE(QString::fromUtf8(cells.at(2)), shown);
            named += d->getTokenModel()->tokenByBits(u"cmd"_s, bits).isEmpty() ? 0 : 1;
        }
        QCOMPARE(rows, m->getNumTime());
        QVERIFY(named > 0 && named < rows);

        // Renaming the set keeps the bus on it, under the new name.
        QVERIFY2(m_tcl.eval("ona_set_tokenset cmd -name opcode"), qPrintable(m_tcl.result()));
        QCOMPARE(d->getWaveformRadix(beat.row()), u"opcode"_s);

        // The set going away sends the bus back to binary.
        d->resetWaveformRadix(beat.row());
        QCOMPARE(d->getWaveformRadix(beat.row()), u"Bin"_s);
    }

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

void TestCommands::refuse(const QStringList& words, const QString& needle) {
    const QByteArray before = ProjectFiles::writeOna(OnaData::inst()->snapshot(m_demo->ona()));
    Spies spies;
    QVERIFY2(!m_tcl.call(words), qPrintable(words.join(' ')));
    QVERIFY2(m_tcl.result().contains(needle, Qt::CaseInsensitive),
             qPrintable(u"'%1' lacks '%2'"_s.arg(m_tcl.result(), needle)));
    QCOMPARE(spies.total(), 0);
    QCOMPARE(ProjectFiles::writeOna(OnaData::inst()->snapshot(m_demo->ona())), before);
}

QTEST_GUILESS_MAIN(TestCommands)
#include "tst_commands.moc"
