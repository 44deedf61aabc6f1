// The Token Set Manager on the demo project, embedded in a recording host
// that forwards every command to a real engine: the exact command of every
// operation, generated names and values, escaping of names and paths, the
// removal questions and the resets of trigger units and waveform buses,
// refusals shown with the engine's message, import and export, the edit
// error title, and the tool window's action.

#include "demofixture.h"
#include "guitest.h"
#include "recordinghost.h"
#include "testtime.h"

#include "kit/labelgroupbox.h"
#include "shell/onagui.h"
#include "shell/rightview.h"
#include "token/tokendelegate.h"
#include "token/tokendialog.h"
#include "token/tokenview.h"
#include "waveform/waveformview.h"

#include "basgui/dialogseam.h"
#include "onadata.h"
#include "project/vemoprojectmanager.h"
#include "tokenmodel.h"
#include "triggerumodel.h"
#include "waveformmodel.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

using vemo::basgui::ScriptedDialogs;
using namespace vemo::toolona;
using namespace Qt::StringLiterals;

namespace {

const QString kYesNo = u"\nSelect \"Yes\" to continue, \"No\" to cancel."_s;

QStandardItemModel* userSets() { return OnaData::inst()->getTokenModel()->getUserModel(); }

QModelIndex setIndex(const QString& name, int column = 0) {
    QStandardItemModel* m = userSets();
    for (int r = 0; r < m->rowCount(); ++r)
        if (m->item(r, 0)->text() == name)
            return m->index(r, column);
    return {};
}

QModelIndex tokenIndex(const QString& set, const QString& token, int column = 0) {
    const QModelIndex s = setIndex(set);
    for (int r = 0; r < userSets()->rowCount(s); ++r)
        if (userSets()->index(r, 0, s).data().toString() == token)
            return userSets()->index(r, column, s);
    return {};
}

QStringList tokenNames(const QString& set) {
    QStringList out;
    const QModelIndex s = setIndex(set);
    for (int r = 0; r < userSets()->rowCount(s); ++r)
        out << userSets()->index(r, 0, s).data().toString() + QLatin1Char('=') +
                   userSets()->index(r, 2, s).data().toString();
    return out;
}

} // namespace

class TstToken : public DemoTest {
    Q_OBJECT
private slots:
    void init() {
        m_unscripted = std::make_unique<ScriptedDialogs>();
        VemoProjectManager::getProjectManager().reset();
        QVERIFY(openDemo());
        m_dialog = std::make_unique<TokenDialog>(m_gui.get(), m_gui.get());
        m_host->commands.clear();
    }
    void cleanup() {
        m_dialog.reset();
        closeDemo();
        m_unscripted.reset();
    }

    void addAndEditCommands() {
        TokenView* view = m_dialog->view();
        QVERIFY(!m_dialog->addTokenButton()->isEnabled());

        // With "cmd" and TOKEN_SET_2 (two sets) the count 2 is taken: TOKEN_SET_3.
        m_host->eval(u"ona_add_tokenset -tokenset TOKEN_SET_2"_s);
        m_dialog->addSetButton()->click();
        QCOMPARE(m_host->commands, QStringList{u"ona_add_tokenset -tokenset TOKEN_SET_3"_s});
        QCOMPARE(view->selectedSet(), setIndex(u"TOKEN_SET_3"_s).row());

        // A 2-bit set holding b'00 and b'01 gets b'10; the token selected, a
        // token's set is the one added to.
        QCOMPARE(commit(setIndex(u"TOKEN_SET_3"_s, 1), u" 2 "_s),
                 QStringList{u"ona_set_tokenset \"TOKEN_SET_3\" -bits \"2\""_s});
        m_host->commands.clear();
        m_dialog->addTokenButton()->click();
        m_dialog->addTokenButton()->click();
        QCOMPARE(view->selectedToken(), 1);
        m_dialog->addTokenButton()->click();
        QCOMPARE(m_host->commands,
                 (QStringList{u"ona_add_token TOKEN_SET_3 TOKEN_0=b'00"_s, u"ona_add_token TOKEN_SET_3 TOKEN_1=b'01"_s,
                              u"ona_add_token TOKEN_SET_3 TOKEN_2=b'10"_s}));
        QCOMPARE(view->selectedToken(), 2);
        // A token named like the next generated name is skipped over.
        QCOMPARE(commit(tokenIndex(u"TOKEN_SET_3"_s, u"TOKEN_0"_s), u"TOKEN_3"_s),
                 QStringList{u"ona_set_token \"TOKEN_SET_3\" \"TOKEN_0\" -name \"TOKEN_3\""_s});
        QCOMPARE(m_host->sent([&] { m_dialog->addTokenButton()->click(); }), QStringList{u"ona_add_token TOKEN_SET_3 TOKEN_4=b'11"_s});
        // Every value taken: nothing is sent and nothing said.
        m_host->commands.clear();
        ScriptedDialogs dialogs;
        m_dialog->addTokenButton()->click();
        QVERIFY(m_host->commands.isEmpty() && dialogs.asked.isEmpty());

        // Only count + 1 candidates are tried, so wide sets neither overflow nor
        // loop: a 31- and a 256-bit set find their value at once.
        QCOMPARE(TokenView::freeValue({QString(31, QLatin1Char('0'))}, 31),
                 u"b'"_s + QString(30, QLatin1Char('0')) + QLatin1Char('1'));
        QCOMPARE(TokenView::freeValue({u"1"_s, u"0"_s}, 256), u"b'"_s + QString(254, QLatin1Char('0')) + u"10"_s);
        QCOMPARE(TokenView::freeValue({u"0"_s, u"1"_s}, 1), QString());

        // The four edits, sent only when the trimmed text differs exactly.
        const QModelIndex t1 = tokenIndex(u"TOKEN_SET_3"_s, u"TOKEN_1"_s);
        QCOMPARE(commit(t1, u"  TOKEN_1 "_s), QStringList());
        QCOMPARE(commit(t1, u"busy"_s), QStringList{u"ona_set_token \"TOKEN_SET_3\" \"TOKEN_1\" -name \"busy\""_s});
        QCOMPARE(commit(tokenIndex(u"TOKEN_SET_3"_s, u"busy"_s, 2), u"b'01"_s), QStringList());
        QCOMPARE(commit(setIndex(u"TOKEN_SET_3"_s), u"state"_s),
                 QStringList{u"ona_set_tokenset \"TOKEN_SET_3\" -name \"state\""_s});
        QCOMPARE(tokenNames(u"state"_s),
                 (QStringList{u"TOKEN_3=b'00"_s, u"busy=b'01"_s, u"TOKEN_2=b'10"_s, u"TOKEN_4=b'11"_s}));

        // A refused edit shows its red title and changes nothing; the next good
        // edit clears it.
        const QModelIndex busyValue = tokenIndex(u"state"_s, u"busy"_s, 2);
        QCOMPARE(commit(busyValue, u"b'111"_s), QStringList{u"ona_set_token \"state\" \"busy\" -value \"b'111\""_s});
        QCOMPARE(m_dialog->groupBox()->label()->text(),
                 u"<font color=\"red\">Error: Token value can not update sucessfully, check usage</font>"_s);
        QCOMPARE(busyValue.data().toString(), u"b'01"_s);
        commit(setIndex(u"state"_s, 1), u"x"_s);
        QCOMPARE(m_dialog->editError(), u"Error: Token set bits can not update sucessfully, check usage"_s);
        commit(setIndex(u"state"_s), u"cmd"_s);
        QCOMPARE(m_dialog->editError(), u"Error: Token set name can not update sucessfully, check usage"_s);
        commit(tokenIndex(u"state"_s, u"busy"_s), u"TOKEN_2"_s);
        QCOMPARE(m_dialog->editError(), u"Error: Token name can not update sucessfully, check usage"_s);
        QCOMPARE(commit(busyValue, u"d'1"_s), QStringList{u"ona_set_token \"state\" \"busy\" -value \"d'1\""_s});
        QVERIFY(m_dialog->editError().isEmpty());
        QCOMPARE(m_dialog->groupBox()->label()->text(), QString());
    }
    void namesAndPathsAreEscaped() {
        // Names the engine would refuse to create can still be in its model (an
        // old file); they are reached as themselves, never run.
        TokenModel* tokens = OnaData::inst()->getTokenModel();
        QList<TokenSetData> sets = tokens->sets(u"user"_s);
        TokenSetData odd;
        odd.name = u"a b[exit]"_s;
        odd.bits = 2;
        odd.tokens = {{u"x $y"_s, u"00"_s}};
        sets << odd;
        tokens->setSets(u"user"_s, sets);
        m_dialog->view()->expandAll();

        // The generated token name is plain, the set's is not. The engine no
        // longer takes sets in such a state, and says so.
        ScriptedDialogs dialogs;
        select(setIndex(odd.name));
        m_dialog->addTokenButton()->click();
        QCOMPARE(m_host->commands, QStringList{u"ona_add_token \"a b\\[exit\\]\" TOKEN_1=b'01"_s});
        QCOMPARE(dialogs.asked.size(), 1);
        QVERIFY2(dialogs.asked.at(0).text.contains(u"a b[exit]"_s), qPrintable(dialogs.asked.at(0).text));
        QCOMPARE(tokenNames(odd.name), QStringList{u"x $y=b'00"_s});
        // A rename with Tcl-special text reaches the engine unchanged.
        m_host->commands.clear();
        QCOMPARE(commit(tokenIndex(odd.name, u"x $y"_s), u"[exit]\""_s),
                 QStringList{u"ona_set_token \"a b\\[exit\\]\" \"x \\$y\" -name \"\\[exit\\]\\\"\""_s});
        QVERIFY(!m_dialog->editError().isEmpty());

        m_host->commands.clear();
        dialogs.asked.clear();
        select(tokenIndex(odd.name, u"x $y"_s));
        m_dialog->removeButton()->click();
        QCOMPARE(m_host->commands, QStringList{u"ona_del_token \"a b\\[exit\\]\" \"x \\$y\""_s});
        QCOMPARE(tokenNames(odd.name), QStringList());
        select(setIndex(odd.name));
        m_dialog->removeButton()->click();
        QCOMPARE(m_host->commands.value(1), u"ona_del_tokenset \"a b\\[exit\\]\""_s);
        QVERIFY(!setIndex(odd.name).isValid() && dialogs.asked.isEmpty());
    }
    void removalQuestionsAndResets() {
        OnaData* d = OnaData::inst();
        captureUart();
        m_host->eval(u"ona_set_tu -name TU_data -radix cmd -value WRITE"_s);
        m_host->eval(u"ona_set_tu -name TU_rxword -radix cmd -value READ"_s);
        QCOMPARE(d->getTURadix(d->getTUModel()->rowOf(u"TU_rxword"_s)), u"cmd"_s);
        // rx_data lies below one-bit rows, whose radix text is empty.
        const int bus = busRow(u"rx_data"_s);
        QVERIFY(bus > 0 && d->getWaveformRadix(0).isEmpty());
        setBusRadix(bus, u"cmd"_s);
        m_host->commands.clear();

        // A token in use: No at the question removes and resets nothing and
        // keeps the selection.
        ScriptedDialogs dialogs;
        const QModelIndex write = tokenIndex(u"cmd"_s, u"WRITE"_s);
        select(write);
        dialogs.buttons << QMessageBox::No;
        m_dialog->removeButton()->click();
        QVERIFY(m_host->commands.isEmpty());
        QCOMPARE(dialogs.asked.size(), 1);
        QCOMPARE(dialogs.asked.at(0).text,
                 u"The Token \"WRITE\" in Token Set \"cmd\" is used in Trigger Unit \"TU_data\" "_s + kYesNo);
        QCOMPARE(m_dialog->view()->selectedToken(), write.row());
        // Yes: the token goes, then the unit that used it (not the one using
        // another token of the set) is in binary.
        dialogs.buttons << QMessageBox::Yes;
        m_dialog->removeButton()->click();
        QCOMPARE(m_host->commands,
                 (QStringList{u"ona_del_token cmd WRITE"_s, u"ona_set_tu -name TU_data -radix \"Bin\""_s}));
        QCOMPARE(d->getTURadix(d->getTUModel()->rowOf(u"TU_data"_s)), u"Bin"_s);
        QCOMPARE(d->getTUValue(d->getTUModel()->rowOf(u"TU_data"_s)), u"00000010"_s);
        QVERIFY(!m_dialog->removeButton()->isEnabled());

        // The set used by two units and a bus: one question, one Yes for all.
        m_host->eval(u"ona_set_tu -name TU_data -radix cmd -value BURST"_s);
        m_host->commands.clear();
        dialogs.asked.clear();
        select(setIndex(u"cmd"_s));
        dialogs.buttons << QMessageBox::No;
        m_dialog->removeButton()->click();
        QVERIFY(m_host->commands.isEmpty());
        QCOMPARE(d->getWaveformRadix(bus), u"cmd"_s);
        QCOMPARE(dialogs.asked.value(0).text, u"The Token Set \"cmd\" is used in Trigger Unit \"TU_data\""_s + kYesNo);
        dialogs.buttons << QMessageBox::Yes;
        m_dialog->removeButton()->click();
        QCOMPARE(dialogs.asked.size(), 2);
        QCOMPARE(m_host->commands, (QStringList{u"ona_del_tokenset cmd"_s, u"ona_set_tu -name TU_data -radix \"Bin\""_s,
                                                u"ona_set_tu -name TU_rxword -radix \"Bin\""_s}));
        QCOMPARE(d->getWaveformRadix(bus), u"Bin"_s);
        QVERIFY(!setIndex(u"cmd"_s).isValid());

        // A set used only by a bus asks about the bus.
        m_host->eval(u"ona_add_tokenset -tokenset op -bits 8"_s);
        setBusRadix(bus, u"op"_s);
        dialogs.asked.clear();
        select(setIndex(u"op"_s));
        dialogs.buttons << QMessageBox::Yes;
        m_dialog->removeButton()->click();
        QCOMPARE(dialogs.asked.value(0).text,
                 u"The Token Set \"op\" is used in Waveform Signal \"rx_data\""_s + kYesNo);
        QCOMPARE(d->getWaveformRadix(bus), u"Bin"_s);

        // Remove All: one question, then every use of every set is reset like a
        // single removal, and every set goes.
        m_host->eval(u"ona_add_tokenset -tokenset A -bits 8; ona_add_token A ONE=b'00000001"_s);
        m_host->eval(u"ona_add_tokenset -tokenset B -bits 8; ona_add_token B TWO=b'00000010"_s);
        m_host->eval(u"ona_set_tu -name TU_data -radix A -value ONE"_s);
        setBusRadix(bus, u"B"_s);
        m_host->commands.clear();
        dialogs.asked.clear();
        QMenu* menu = m_dialog->view()->buildContextMenu(nullptr);
        dialogs.buttons << QMessageBox::No;
        m_dialog->view()->runContextAction(menuEntry(menu, u"Remove All"_s));
        QVERIFY(m_host->commands.isEmpty());
        QCOMPARE(userSets()->rowCount(), 2);
        dialogs.buttons << QMessageBox::Yes;
        m_dialog->view()->runContextAction(menuEntry(menu, u"Remove All"_s));
        delete menu;
        QCOMPARE(dialogs.asked.size(), 2);
        QCOMPARE(dialogs.asked.at(1).text, u"All the token data will be deleted"_s + kYesNo);
        QCOMPARE(m_host->commands,
                 (QStringList{u"ona_del_tokenset -all"_s, u"ona_set_tu -name TU_data -radix \"Bin\""_s}));
        QCOMPARE(userSets()->rowCount(), 0);
        QCOMPARE(d->getWaveformRadix(bus), u"Bin"_s);
        QCOMPARE(d->getTURadix(d->getTUModel()->rowOf(u"TU_data"_s)), u"Bin"_s);
    }
    void refusalsShowTheEnginesMessage() {
        ScriptedDialogs dialogs;
        // A refused removal keeps the selection and says why; nothing is reset.
        m_host->eval(u"ona_set_core -name bus_la"_s);
        m_host->eval(u"ona_set_tu -name TU_cmd -radix cmd -value NOP"_s);
        m_host->commands.clear();
        // The unit that uses the token keeps its set and value.
        m_host->refuse = [](const QString& cmd) { return cmd.startsWith(QLatin1String("ona_del")); };
        const QModelIndex nop = tokenIndex(u"cmd"_s, u"NOP"_s);
        select(nop);
        dialogs.buttons << QMessageBox::Yes;
        m_dialog->removeButton()->click();
        QCOMPARE(m_host->commands, QStringList{u"ona_del_token cmd NOP"_s});
        QCOMPARE(dialogs.asked.size(), 2);
        QCOMPARE(dialogs.asked.at(1).text, u"refused by the test"_s);
        OnaData* d = OnaData::inst();
        QCOMPARE(d->getTURadix(d->getTUModel()->rowOf(u"TU_cmd"_s)), u"cmd"_s);
        QCOMPARE(d->getTUValue(d->getTUModel()->rowOf(u"TU_cmd"_s)), u"NOP"_s);
        QVERIFY(nop.isValid());
        QCOMPARE(m_dialog->view()->selectedToken(), nop.row());

        // A refused add selects nothing new.
        m_host->refuse = [](const QString& cmd) { return cmd.startsWith(QLatin1String("ona_add")); };
        dialogs.asked.clear();
        m_dialog->addTokenButton()->click();
        m_dialog->addSetButton()->click();
        QCOMPARE(dialogs.asked.size(), 2);
        QCOMPARE(m_dialog->view()->selectedToken(), nop.row());
        QCOMPARE(userSets()->rowCount(), 1);
        QCOMPARE(tokenNames(u"cmd"_s).size(), 4);
    }
    void importExportRoundTrip() {
        ScriptedDialogs dialogs;
        QVERIFY(QDir().mkpath(m_dir->filePath(u"my \"tokens\""_s)));
        const QString file = m_dir->filePath(u"my \"tokens\"/set 1.ont"_s);
        QMenu* menu = m_dialog->view()->buildContextMenu(nullptr);

        // Cancelled file dialogs send nothing.
        m_dialog->view()->runContextAction(menuEntry(menu, u"Export"_s));
        m_dialog->view()->runContextAction(menuEntry(menu, u"Import"_s));
        QVERIFY(m_host->commands.isEmpty());
        QCOMPARE(dialogs.asked.at(1).dir, OnaData::inst()->getCurrentDirectory());

        const QStringList before = tokenNames(u"cmd"_s);
        dialogs.files << file;
        m_dialog->view()->runContextAction(menuEntry(menu, u"Export"_s));
        QCOMPARE(m_host->commands,
                 QStringList{u"ona_export_tokenset \"%1\""_s.arg(m_dir->filePath(u"my \\\"tokens\\\"/set 1.ont"_s))});
        QVERIFY(QFileInfo::exists(file));
        dialogs.buttons << QMessageBox::Yes;
        m_dialog->view()->runContextAction(menuEntry(menu, u"Remove All"_s));
        QCOMPARE(userSets()->rowCount(), 0);
        m_host->commands.clear();
        dialogs.files << file;
        m_dialog->view()->runContextAction(menuEntry(menu, u"Import"_s));
        QCOMPARE(m_host->commands,
                 QStringList{u"ona_import_tokenset \"%1\""_s.arg(m_dir->filePath(u"my \\\"tokens\\\"/set 1.ont"_s))});
        QCOMPARE(tokenNames(u"cmd"_s), before);

        // Failures say the engine's reason.
        const int asked = dialogs.asked.size();
        dialogs.files << m_dir->filePath(u"missing.ont"_s);
        m_dialog->view()->runContextAction(menuEntry(menu, u"Import"_s));
        dialogs.files << m_dir->filePath(u"no such folder/x.ont"_s);
        m_dialog->view()->runContextAction(menuEntry(menu, u"Export"_s));
        delete menu;
        QCOMPARE(dialogs.asked.size(), asked + 4);
        QVERIFY(dialogs.asked.at(asked + 1).text.contains(u"missing.ont"_s));
        QVERIFY(!dialogs.asked.at(asked + 3).text.isEmpty());
    }
    void menuAndToolAction() {
        TokenView* view = m_dialog->view();
        auto texts = [](QMenu* m) {
            QStringList out;
            for (QAction* a : m->actions())
                out << (a->isSeparator() ? u"-"_s : a->text() + (a->isEnabled() ? "" : " (off)"));
            return out;
        };
        std::unique_ptr<QMenu> menu(view->buildContextMenu(nullptr));
        QCOMPARE(texts(menu.get()), (QStringList{"Add Token Set", "Add Token (off)", "-", "Remove All", "Remove (off)",
                                                 "-", "Import", "Export"}));
        select(tokenIndex(u"cmd"_s, u"READ"_s));
        menu.reset(view->buildContextMenu(nullptr));
        QCOMPARE(texts(menu.get()),
                 (QStringList{"Add Token Set", "Add Token", "-", "Remove All", "Remove", "-", "Import", "Export"}));
        // "Add Token" adds to the selected token's set, "Add Token Set" a set.
        view->runContextAction(menuEntry(menu.get(), u"Add Token"_s));
        view->runContextAction(menuEntry(menu.get(), u"Add Token Set"_s));
        QCOMPARE(m_host->commands,
                 (QStringList{u"ona_add_token cmd TOKEN_4=b'00000100"_s, u"ona_add_tokenset -tokenset TOKEN_SET_1"_s}));

        // The window's action opens the dialog while the project has a core.
        ScriptedDialogs dialogs;
        QString title;
        dialogs.onDialog = [&](QDialog* dialog) {
            title = dialog->windowTitle();
            return int(QDialog::Rejected);
        };
        m_gui->tableAction(TokenSetManagerAction)->trigger();
        QCOMPARE(title, u"Token Set Manager"_s);
        QCOMPARE(dialogs.asked.size(), 1);
        OnaData::inst()->resetData();
        m_gui->tableAction(TokenSetManagerAction)->trigger();
        QCOMPARE(dialogs.asked.size(), 1);
    }
    void newUserFlow() {
        // As a new user would: a 3-bit set OPCODE with three tokens as the radix
        // of the state unit and of the bit counter bus, a capture and a text
        // export that names the tokens.
        OnaData* d = OnaData::inst();
        m_dialog->addSetButton()->click();
        commit(setIndex(u"TOKEN_SET_1"_s), u"OPCODE"_s);
        commit(setIndex(u"OPCODE"_s, 1), u"3"_s);
        select(setIndex(u"OPCODE"_s));
        for (int i = 0; i < 3; ++i)
            m_dialog->addTokenButton()->click();
        const QStringList names{"IDLE", "READ", "WRITE"};
        for (int i = 0; i < 3; ++i)
            commit(tokenIndex(u"OPCODE"_s, u"TOKEN_%1"_s.arg(i)), names.at(i));
        QCOMPARE(tokenNames(u"OPCODE"_s), (QStringList{"IDLE=b'000", "READ=b'001", "WRITE=b'010"}));
        QVERIFY(m_dialog->editError().isEmpty());

        // The unit's value START (b'001) now reads READ; the trigger still fires.
        QVERIFY(m_gui->tclEval(u"ona_set_tu -name TU_state -radix \"OPCODE\""_s));
        QCOMPARE(d->getTUValue(d->getTUModel()->rowOf(u"TU_state"_s)), u"READ"_s);
        m_host->eval(u"ona_set_trigoptn -samples 512"_s);
        QCOMPARE(m_host->eval(u"ona_run; ona_wait -timeout %1"_s.arg(testMs(20000))), u"Completed"_s);
        auto* wave = qobject_cast<WaveformView*>(m_gui->rightView()->page(u"LA Waveform"_s));
        QVERIFY(wave);
        QTRY_VERIFY(wave->hasCapturedData());
        const int bus = busRow(u"bit_cnt"_s);
        QVERIFY(bus >= 0);
        setBusRadix(bus, u"OPCODE"_s);

        // The text export names the same values.
        const QString text = m_dir->filePath(u"flow.txt"_s);
        QVERIFY(m_gui->tclEval(u"ona_export_project -txt \"%1\" -siglist bit_cnt"_s.arg(text)));
        const QByteArray exported = readAll(text);
        for (const char* v : {"\tIDLE\n", "\tREAD\n", "\tWRITE\n", "\t3\n", "\t7\n"})
            QVERIFY2(exported.contains(v), v);
        QVERIFY(exported.contains("frame\tsample\tbit_cnt\n"));
        // A signal that does not exist: refused, and the file is left as it was.
        QVERIFY(!m_gui->tclEval(u"ona_export_project -txt \"%1\" -siglist \"bit_cnt nosuch\""_s.arg(text)));
        QCOMPARE(readAll(text), exported);
    }

private:
    // A capture of uart_la, whose TU_data, TU_rxword and bus rx_data are 8
    // bits wide like the demo's set "cmd".
    void captureUart() {
        m_host->eval(u"ona_set_core -name uart_la"_s);
        m_host->eval(u"ona_set_trigoptn -samples 64"_s);
        QCOMPARE(m_host->eval(u"ona_run; ona_wait -timeout %1"_s.arg(testMs(20000))), u"Completed"_s);
        OnaData::inst()->collectCapture();
        QVERIFY(OnaData::inst()->getWDModel() && OnaData::inst()->getWDModel()->hasData());
        m_host->commands.clear();
    }
    void select(const QModelIndex& index) {
        m_dialog->view()->selectionModel()->setCurrentIndex(
            index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    }
    // Commits `text` into the cell as the cell's line edit would; returns the
    // commands sent.
    QStringList commit(const QModelIndex& index, const QString& text);
    int busRow(const QString& name) const;
    // Shows waveform row `bus` through the token set `set`.
    static void setBusRadix(int bus, const QString& set) {
        WaveformModel* wave = OnaData::inst()->getWDModel();
        SigTreeData row = WaveformModel::rowData(wave->index(bus, 0));
        row.radix = 0;
        row.radixName = set;
        wave->setRowData(wave->index(bus, 0), row);
    }

    std::unique_ptr<TokenDialog> m_dialog;
    // Answers any box a test did not script, so that none can block.
    std::unique_ptr<ScriptedDialogs> m_unscripted;
};

int TstToken::busRow(const QString& name) const {
    for (int j = 0; j < OnaData::inst()->getWDModel()->rowCount(); ++j)
        if (OnaData::inst()->getWaveformSignal(j) == name)
            return j;
    return -1;
}

QStringList TstToken::commit(const QModelIndex& index, const QString& text) {
    const int before = m_host->commands.size();
    QLineEdit edit;
    edit.setText(text);
    m_dialog->view()->itemDelegate()->setModelData(&edit, userSets(), index);
    return m_host->commands.mid(before);
}

QTEST_MAIN(TstToken)
#include "tst_token.moc"
