// The Token Set Manager on the demo project, embedded in a recording host
// that forwards every command to a real engine: the exact command of every
// operation, generated names and values, escaping of names and paths, the
// removal questions and the resets of trigger units and waveform buses,
// refusals shown with the engine's message, import and export, the edit
// error title, and the tool window's action.

#include "demofixture.h"
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

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using vemo::basgui::ScriptedDialogs;
using vemo::toolona::OnaGUI;
using vemo::toolona::TokenDelegate;
using vemo::toolona::TokenDialog;
using vemo::toolona::TokenView;

namespace {

const QString kYesNo = QStringLiteral("\nSelect \"Yes\" to continue, \"No\" to cancel.");

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

QAction* menuEntry(QMenu* menu, const QString& text) {
    for (QAction* a : menu->actions())
        if (a->text() == text)
            return a;
    return nullptr;
}

} // namespace

class TstToken : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void addAndEditCommands();
    void namesAndPathsAreEscaped();
    void removalQuestionsAndResets();
    void refusalsShowTheEnginesMessage();
    void importExportRoundTrip();
    void menuAndToolAction();
    void newUserFlow();

private:
    // A capture of uart_la, whose TU_data, TU_rxword and bus rx_data are 8
    // bits wide like the demo's set "cmd".
    void captureUart();
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

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<RecordingHost> m_host;
    std::unique_ptr<OnaGUI> m_gui;
    std::unique_ptr<TokenDialog> m_dialog;
    // Answers any box a test did not script, so that none can block.
    std::unique_ptr<ScriptedDialogs> m_unscripted;
};

void TstToken::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_unscripted = std::make_unique<ScriptedDialogs>();
    VemoProjectManager::getProjectManager().reset();
    m_host = std::make_unique<RecordingHost>();
    m_gui = demofixture::embeddedGui(m_host.get(), demofixture::copyDemo(m_dir->path()));
    QVERIFY(m_gui);
    QVERIFY(OnaData::inst()->getNumCore() > 0);
    m_dialog = std::make_unique<TokenDialog>(m_gui.get(), m_gui.get());
    m_host->commands.clear();
}

void TstToken::cleanup() {
    m_dialog.reset();
    m_gui.reset();
    m_host.reset();
    OnaData::inst()->resetData();
    m_unscripted.reset();
    m_dir.reset();
}

void TstToken::captureUart() {
    m_host->eval(QStringLiteral("ona_set_core -name uart_la"));
    m_host->eval(QStringLiteral("ona_set_trigoptn -samples 64"));
    int code = 0;
    m_host->eval(QStringLiteral("ona_run"), &code);
    QCOMPARE(code, 0);
    QCOMPARE(m_host->eval(QStringLiteral("ona_wait -timeout %1").arg(testMs(20000))), QStringLiteral("Completed"));
    OnaData::inst()->collectCapture();
    QVERIFY(OnaData::inst()->getWDModel() && OnaData::inst()->getWDModel()->hasData());
    m_host->commands.clear();
}

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

void TstToken::addAndEditCommands() {
    TokenView* view = m_dialog->view();
    QVERIFY(!m_dialog->addTokenButton()->isEnabled());
    QVERIFY(!m_dialog->removeButton()->isEnabled());

    // With "cmd" and TOKEN_SET_2 (two sets) the count 2 is taken: TOKEN_SET_3.
    m_host->eval(QStringLiteral("ona_add_tokenset -tokenset TOKEN_SET_2"));
    m_dialog->addSetButton()->click();
    QCOMPARE(m_host->commands, QStringList{QStringLiteral("ona_add_tokenset -tokenset TOKEN_SET_3")});
    QCOMPARE(view->selectedSet(), setIndex(QStringLiteral("TOKEN_SET_3")).row());
    QVERIFY(m_dialog->addTokenButton()->isEnabled());
    QVERIFY(m_dialog->removeButton()->isEnabled());

    // A 2-bit set holding b'00 and b'01 gets b'10; the token selected, a
    // token's set is the one added to.
    QCOMPARE(commit(setIndex(QStringLiteral("TOKEN_SET_3"), 1), QStringLiteral(" 2 ")),
             QStringList{QStringLiteral("ona_set_tokenset \"TOKEN_SET_3\" -bits \"2\"")});
    m_host->commands.clear();
    m_dialog->addTokenButton()->click();
    m_dialog->addTokenButton()->click();
    QCOMPARE(view->selectedToken(), 1);
    m_dialog->addTokenButton()->click();
    QCOMPARE(m_host->commands, (QStringList{QStringLiteral("ona_add_token TOKEN_SET_3 TOKEN_0=b'00"),
                                            QStringLiteral("ona_add_token TOKEN_SET_3 TOKEN_1=b'01"),
                                            QStringLiteral("ona_add_token TOKEN_SET_3 TOKEN_2=b'10")}));
    QCOMPARE(view->selectedToken(), 2);
    // A token named like the next generated name is skipped over.
    QCOMPARE(commit(tokenIndex(QStringLiteral("TOKEN_SET_3"), QStringLiteral("TOKEN_0")), QStringLiteral("TOKEN_3")),
             QStringList{QStringLiteral("ona_set_token \"TOKEN_SET_3\" \"TOKEN_0\" -name \"TOKEN_3\"")});
    m_host->commands.clear();
    m_dialog->addTokenButton()->click();
    QCOMPARE(m_host->commands, QStringList{QStringLiteral("ona_add_token TOKEN_SET_3 TOKEN_4=b'11")});
    // Every value taken: nothing is sent and nothing said.
    m_host->commands.clear();
    ScriptedDialogs dialogs;
    m_dialog->addTokenButton()->click();
    QVERIFY(m_host->commands.isEmpty());
    QVERIFY(dialogs.asked.isEmpty());

    // Only count + 1 candidates are tried, so wide sets neither overflow nor
    // loop: a 31- and a 256-bit set find their value at once.
    QCOMPARE(TokenView::freeValue({QString(31, QLatin1Char('0'))}, 31),
             QStringLiteral("b'") + QString(30, QLatin1Char('0')) + QLatin1Char('1'));
    QCOMPARE(TokenView::freeValue({QStringLiteral("1"), QStringLiteral("0")}, 256),
             QStringLiteral("b'") + QString(254, QLatin1Char('0')) + QStringLiteral("10"));
    QCOMPARE(TokenView::freeValue({QStringLiteral("0"), QStringLiteral("1")}, 1), QString());

    // The four edits, sent only when the trimmed text differs exactly.
    const QModelIndex t1 = tokenIndex(QStringLiteral("TOKEN_SET_3"), QStringLiteral("TOKEN_1"));
    QCOMPARE(commit(t1, QStringLiteral("  TOKEN_1 ")), QStringList());
    QCOMPARE(commit(t1, QStringLiteral("busy")),
             QStringList{QStringLiteral("ona_set_token \"TOKEN_SET_3\" \"TOKEN_1\" -name \"busy\"")});
    QCOMPARE(commit(tokenIndex(QStringLiteral("TOKEN_SET_3"), QStringLiteral("busy"), 2), QStringLiteral("b'01")),
             QStringList());
    QCOMPARE(commit(setIndex(QStringLiteral("TOKEN_SET_3")), QStringLiteral("state")),
             QStringList{QStringLiteral("ona_set_tokenset \"TOKEN_SET_3\" -name \"state\"")});
    QCOMPARE(tokenNames(QStringLiteral("state")),
             (QStringList{QStringLiteral("TOKEN_3=b'00"), QStringLiteral("busy=b'01"), QStringLiteral("TOKEN_2=b'10"),
                          QStringLiteral("TOKEN_4=b'11")}));

    // A refused edit shows its red title and changes nothing; the next good
    // edit clears it.
    const QModelIndex busyValue = tokenIndex(QStringLiteral("state"), QStringLiteral("busy"), 2);
    QCOMPARE(commit(busyValue, QStringLiteral("b'111")),
             QStringList{QStringLiteral("ona_set_token \"state\" \"busy\" -value \"b'111\"")});
    QCOMPARE(m_dialog->groupBox()->label()->text(),
             QStringLiteral("<font color=\"red\">Error: Token value can not update sucessfully, check usage</font>"));
    QVERIFY(!m_dialog->groupBox()->label()->toolTip().isEmpty());
    QCOMPARE(busyValue.data().toString(), QStringLiteral("b'01"));
    commit(setIndex(QStringLiteral("state"), 1), QStringLiteral("x"));
    QCOMPARE(m_dialog->editError(), QStringLiteral("Error: Token set bits can not update sucessfully, check usage"));
    commit(setIndex(QStringLiteral("state")), QStringLiteral("cmd"));
    QCOMPARE(m_dialog->editError(), QStringLiteral("Error: Token set name can not update sucessfully, check usage"));
    commit(tokenIndex(QStringLiteral("state"), QStringLiteral("busy")), QStringLiteral("TOKEN_2"));
    QCOMPARE(m_dialog->editError(), QStringLiteral("Error: Token name can not update sucessfully, check usage"));
    QCOMPARE(commit(busyValue, QStringLiteral("d'1")),
             QStringList{QStringLiteral("ona_set_token \"state\" \"busy\" -value \"d'1\"")});
    QVERIFY(m_dialog->editError().isEmpty());
    QCOMPARE(m_dialog->groupBox()->label()->text(), QString());
}

void TstToken::namesAndPathsAreEscaped() {
    // Names the engine would refuse to create can still be in its model (an
    // old file); they are reached as themselves, never run.
    TokenModel* tokens = OnaData::inst()->getTokenModel();
    QList<TokenSetData> sets = tokens->sets(QStringLiteral("user"));
    TokenSetData odd;
    odd.name = QStringLiteral("a b[exit]");
    odd.bits = 2;
    odd.tokens = {{QStringLiteral("x $y"), QStringLiteral("00")}};
    sets << odd;
    tokens->setSets(QStringLiteral("user"), sets);
    m_dialog->view()->expandAll();

    // The generated token name is plain, the set's is not. The engine no
    // longer takes sets in such a state, and says so.
    ScriptedDialogs dialogs;
    select(setIndex(odd.name));
    m_dialog->addTokenButton()->click();
    QCOMPARE(m_host->commands, QStringList{QStringLiteral("ona_add_token \"a b\\[exit\\]\" TOKEN_1=b'01")});
    QCOMPARE(dialogs.asked.size(), 1);
    QVERIFY2(dialogs.asked.at(0).text.contains(QStringLiteral("a b[exit]")), qPrintable(dialogs.asked.at(0).text));
    QCOMPARE(tokenNames(odd.name), QStringList{QStringLiteral("x $y=b'00")});
    // A rename with Tcl-special text reaches the engine unchanged.
    m_host->commands.clear();
    QCOMPARE(commit(tokenIndex(odd.name, QStringLiteral("x $y")), QStringLiteral("[exit]\"")),
             QStringList{QStringLiteral("ona_set_token \"a b\\[exit\\]\" \"x \\$y\" -name \"\\[exit\\]\\\"\"")});
    QVERIFY(!m_dialog->editError().isEmpty());
    QVERIFY(!m_dialog->groupBox()->label()->toolTip().isEmpty());

    m_host->commands.clear();
    dialogs.asked.clear();
    select(tokenIndex(odd.name, QStringLiteral("x $y")));
    m_dialog->removeButton()->click();
    QCOMPARE(m_host->commands, QStringList{QStringLiteral("ona_del_token \"a b\\[exit\\]\" \"x \\$y\"")});
    QCOMPARE(tokenNames(odd.name), QStringList());
    select(setIndex(odd.name));
    m_dialog->removeButton()->click();
    QCOMPARE(m_host->commands.value(1), QStringLiteral("ona_del_tokenset \"a b\\[exit\\]\""));
    QVERIFY(!setIndex(odd.name).isValid());
    QVERIFY(dialogs.asked.isEmpty());
}

void TstToken::removalQuestionsAndResets() {
    OnaData* d = OnaData::inst();
    captureUart();
    m_host->eval(QStringLiteral("ona_set_tu -name TU_data -radix cmd -value WRITE"));
    m_host->eval(QStringLiteral("ona_set_tu -name TU_rxword -radix cmd -value READ"));
    QCOMPARE(d->getTURadix(d->getTUModel()->rowOf(QStringLiteral("TU_rxword"))), QStringLiteral("cmd"));
    // rx_data lies below one-bit rows, whose radix text is empty.
    const int bus = busRow(QStringLiteral("rx_data"));
    QVERIFY(bus > 0);
    QVERIFY(d->getWaveformRadix(0).isEmpty());
    setBusRadix(bus, QStringLiteral("cmd"));
    m_host->commands.clear();

    // A token in use: No at the question removes and resets nothing and
    // keeps the selection.
    ScriptedDialogs dialogs;
    const QModelIndex write = tokenIndex(QStringLiteral("cmd"), QStringLiteral("WRITE"));
    select(write);
    dialogs.buttons << QMessageBox::No;
    m_dialog->removeButton()->click();
    QVERIFY(m_host->commands.isEmpty());
    QCOMPARE(dialogs.asked.size(), 1);
    QCOMPARE(dialogs.asked.at(0).caption, QStringLiteral("Warning"));
    QCOMPARE(dialogs.asked.at(0).text,
             QStringLiteral("The Token \"WRITE\" in Token Set \"cmd\" is used in Trigger Unit \"TU_data\" ") + kYesNo);
    QCOMPARE(m_dialog->view()->selectedSet(), write.parent().row());
    QCOMPARE(m_dialog->view()->selectedToken(), write.row());
    QVERIFY(m_dialog->view()->selectionModel()->isRowSelected(write.row(), write.parent()));
    // Yes: the unit that uses the token (not the one using another token of
    // the set) goes to binary, then the token goes.
    dialogs.buttons << QMessageBox::Yes;
    m_dialog->removeButton()->click();
    QCOMPARE(m_host->commands, (QStringList{QStringLiteral("ona_set_tu -name TU_data -radix \"Bin\""),
                                            QStringLiteral("ona_del_token cmd WRITE")}));
    QCOMPARE(d->getTURadix(d->getTUModel()->rowOf(QStringLiteral("TU_data"))), QStringLiteral("Bin"));
    QCOMPARE(d->getTUValue(d->getTUModel()->rowOf(QStringLiteral("TU_data"))), QStringLiteral("00000010"));
    QCOMPARE(m_dialog->view()->selectedSet(), -1);
    QCOMPARE(m_dialog->view()->selectedToken(), -1);
    QVERIFY(!m_dialog->removeButton()->isEnabled());

    // The set used by two units and a bus: one question, one Yes for all.
    m_host->eval(QStringLiteral("ona_set_tu -name TU_data -radix cmd -value BURST"));
    m_host->commands.clear();
    dialogs.asked.clear();
    select(setIndex(QStringLiteral("cmd")));
    dialogs.buttons << QMessageBox::No;
    m_dialog->removeButton()->click();
    QVERIFY(m_host->commands.isEmpty());
    QCOMPARE(d->getWaveformRadix(bus), QStringLiteral("cmd"));
    QCOMPARE(dialogs.asked.value(0).text,
             QStringLiteral("The Token Set \"cmd\" is used in Trigger Unit \"TU_data\"") + kYesNo);
    dialogs.buttons << QMessageBox::Yes;
    m_dialog->removeButton()->click();
    QCOMPARE(dialogs.asked.size(), 2);
    QCOMPARE(m_host->commands, (QStringList{QStringLiteral("ona_set_tu -name TU_data -radix \"Bin\""),
                                            QStringLiteral("ona_set_tu -name TU_rxword -radix \"Bin\""),
                                            QStringLiteral("ona_del_tokenset cmd")}));
    QCOMPARE(d->getWaveformRadix(bus), QStringLiteral("Bin"));
    QVERIFY(!setIndex(QStringLiteral("cmd")).isValid());

    // A set used only by a bus asks about the bus.
    m_host->eval(QStringLiteral("ona_add_tokenset -tokenset op -bits 8"));
    setBusRadix(bus, QStringLiteral("op"));
    dialogs.asked.clear();
    select(setIndex(QStringLiteral("op")));
    dialogs.buttons << QMessageBox::Yes;
    m_dialog->removeButton()->click();
    QCOMPARE(dialogs.asked.value(0).text,
             QStringLiteral("The Token Set \"op\" is used in Waveform Signal \"rx_data\"") + kYesNo);
    QCOMPARE(d->getWaveformRadix(bus), QStringLiteral("Bin"));

    // Remove All: one question, then every use of every set is reset like a
    // single removal, and every set goes.
    m_host->eval(QStringLiteral("ona_add_tokenset -tokenset A -bits 8; ona_add_token A ONE=b'00000001"));
    m_host->eval(QStringLiteral("ona_add_tokenset -tokenset B -bits 8; ona_add_token B TWO=b'00000010"));
    m_host->eval(QStringLiteral("ona_set_tu -name TU_data -radix A -value ONE"));
    setBusRadix(bus, QStringLiteral("B"));
    m_host->commands.clear();
    dialogs.asked.clear();
    QMenu* menu = m_dialog->view()->buildContextMenu(nullptr);
    dialogs.buttons << QMessageBox::No;
    m_dialog->view()->runContextAction(menuEntry(menu, QStringLiteral("Remove All")));
    QVERIFY(m_host->commands.isEmpty());
    QCOMPARE(userSets()->rowCount(), 2);
    dialogs.buttons << QMessageBox::Yes;
    m_dialog->view()->runContextAction(menuEntry(menu, QStringLiteral("Remove All")));
    delete menu;
    QCOMPARE(dialogs.asked.size(), 2);
    QCOMPARE(dialogs.asked.at(1).text, QStringLiteral("All the token data will be deleted") + kYesNo);
    QCOMPARE(m_host->commands, (QStringList{QStringLiteral("ona_set_tu -name TU_data -radix \"Bin\""),
                                            QStringLiteral("ona_del_tokenset -all")}));
    QCOMPARE(userSets()->rowCount(), 0);
    QCOMPARE(d->getWaveformRadix(bus), QStringLiteral("Bin"));
    QCOMPARE(d->getTURadix(d->getTUModel()->rowOf(QStringLiteral("TU_data"))), QStringLiteral("Bin"));
}

void TstToken::refusalsShowTheEnginesMessage() {
    ScriptedDialogs dialogs;
    // A refused removal keeps the selection and says why; nothing is reset.
    m_host->eval(QStringLiteral("ona_set_core -name bus_la"));
    m_host->eval(QStringLiteral("ona_set_tu -name TU_cmd -radix cmd -value NOP"));
    m_host->commands.clear();
    m_host->refuse = [](const QString& cmd) { return cmd.startsWith(QLatin1String("ona_set_tu")); };
    const QModelIndex nop = tokenIndex(QStringLiteral("cmd"), QStringLiteral("NOP"));
    select(nop);
    dialogs.buttons << QMessageBox::Yes;
    m_dialog->removeButton()->click();
    QCOMPARE(m_host->commands, QStringList{QStringLiteral("ona_set_tu -name TU_cmd -radix \"Bin\"")});
    QCOMPARE(dialogs.asked.size(), 2);
    QCOMPARE(dialogs.asked.at(1).caption, QStringLiteral("Ondrel Analyzer"));
    QCOMPARE(dialogs.asked.at(1).text, QStringLiteral("refused by the test"));
    QVERIFY(nop.isValid());
    QCOMPARE(m_dialog->view()->selectedToken(), nop.row());

    m_host->refuse = [](const QString& cmd) { return cmd.startsWith(QLatin1String("ona_del")); };
    m_host->commands.clear();
    dialogs.asked.clear();
    dialogs.buttons << QMessageBox::Yes;
    m_dialog->removeButton()->click();
    QCOMPARE(m_host->commands.last(), QStringLiteral("ona_del_token cmd NOP"));
    QCOMPARE(dialogs.asked.value(1).text, QStringLiteral("refused by the test"));
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
    QCOMPARE(tokenNames(QStringLiteral("cmd")).size(), 4);

    // The engine's own refusal (a capture running) comes through as well.
    // rx_data is never 0x77: the capture waits until it is stopped.
    m_host->refuse = nullptr;
    int code = 0;
    m_host->eval(QStringLiteral("ona_set_core -name bus_la -run off; ona_set_core -name uart_la; "
                                "ona_set_tu -name TU_data -value 77; ona_set_te -name TE_start -expression TU_data; "
                                "ona_run"),
                 &code);
    QCOMPARE(code, 0);
    dialogs.asked.clear();
    m_dialog->addSetButton()->click();
    m_host->eval(QStringLiteral("ona_stop; ona_wait -timeout %1").arg(testMs(20000)));
    QCOMPARE(dialogs.asked.size(), 1);
    QCOMPARE(dialogs.asked.at(0).caption, QStringLiteral("Ondrel Analyzer"));
    QVERIFY(!dialogs.asked.at(0).text.isEmpty());
    QCOMPARE(userSets()->rowCount(), 1);
}

void TstToken::importExportRoundTrip() {
    ScriptedDialogs dialogs;
    QVERIFY(QDir().mkpath(m_dir->filePath(QStringLiteral("my \"tokens\""))));
    const QString file = m_dir->filePath(QStringLiteral("my \"tokens\"/set 1.ont"));
    QMenu* menu = m_dialog->view()->buildContextMenu(nullptr);

    // Cancelled file dialogs send nothing.
    m_dialog->view()->runContextAction(menuEntry(menu, QStringLiteral("Export")));
    m_dialog->view()->runContextAction(menuEntry(menu, QStringLiteral("Import")));
    QVERIFY(m_host->commands.isEmpty());
    QCOMPARE(dialogs.asked.at(0).caption, QStringLiteral("Export Tokens"));
    QCOMPARE(dialogs.asked.at(1).caption, QStringLiteral("Import Tokens"));
    QCOMPARE(dialogs.asked.at(1).filter, QStringLiteral("Ondrel Token File (*.ont);;All Files (*)"));
    QCOMPARE(dialogs.asked.at(1).dir, OnaData::inst()->getCurrentDirectory());

    const QStringList before = tokenNames(QStringLiteral("cmd"));
    dialogs.files << file;
    m_dialog->view()->runContextAction(menuEntry(menu, QStringLiteral("Export")));
    QCOMPARE(m_host->commands, QStringList{QStringLiteral("ona_export_tokenset \"%1\"")
                                               .arg(m_dir->filePath(QStringLiteral("my \\\"tokens\\\"/set 1.ont")))});
    QVERIFY(QFileInfo::exists(file));
    dialogs.buttons << QMessageBox::Yes;
    m_dialog->view()->runContextAction(menuEntry(menu, QStringLiteral("Remove All")));
    QCOMPARE(userSets()->rowCount(), 0);
    m_host->commands.clear();
    dialogs.files << file;
    m_dialog->view()->runContextAction(menuEntry(menu, QStringLiteral("Import")));
    QCOMPARE(m_host->commands, QStringList{QStringLiteral("ona_import_tokenset \"%1\"")
                                               .arg(m_dir->filePath(QStringLiteral("my \\\"tokens\\\"/set 1.ont")))});
    QCOMPARE(tokenNames(QStringLiteral("cmd")), before);

    // Failures say the engine's reason.
    const int asked = dialogs.asked.size();
    dialogs.files << m_dir->filePath(QStringLiteral("missing.ont"));
    m_dialog->view()->runContextAction(menuEntry(menu, QStringLiteral("Import")));
    dialogs.files << m_dir->filePath(QStringLiteral("no such folder/x.ont"));
    m_dialog->view()->runContextAction(menuEntry(menu, QStringLiteral("Export")));
    delete menu;
    QCOMPARE(dialogs.asked.size(), asked + 4);
    QCOMPARE(dialogs.asked.at(asked + 1).caption, QStringLiteral("Ondrel Analyzer"));
    QVERIFY(dialogs.asked.at(asked + 1).text.contains(QStringLiteral("missing.ont")));
    QCOMPARE(dialogs.asked.at(asked + 3).caption, QStringLiteral("Ondrel Analyzer"));
    QVERIFY(!dialogs.asked.at(asked + 3).text.isEmpty());
}

void TstToken::menuAndToolAction() {
    TokenView* view = m_dialog->view();
    auto texts = [](QMenu* m) {
        QStringList out;
        for (QAction* a : m->actions())
            out << (a->isSeparator() ? QStringLiteral("-") : a->text() + (a->isEnabled() ? "" : " (off)"));
        return out;
    };
    std::unique_ptr<QMenu> menu(view->buildContextMenu(nullptr));
    QCOMPARE(texts(menu.get()), (QStringList{"Add Token Set", "Add Token (off)", "-", "Remove All", "Remove (off)", "-",
                                             "Import", "Export"}));
    select(tokenIndex(QStringLiteral("cmd"), QStringLiteral("READ")));
    menu.reset(view->buildContextMenu(nullptr));
    QCOMPARE(texts(menu.get()),
             (QStringList{"Add Token Set", "Add Token", "-", "Remove All", "Remove", "-", "Import", "Export"}));
    // "Add Token" adds to the selected token's set, "Add Token Set" a set.
    view->runContextAction(menuEntry(menu.get(), QStringLiteral("Add Token")));
    view->runContextAction(menuEntry(menu.get(), QStringLiteral("Add Token Set")));
    QCOMPARE(m_host->commands, (QStringList{QStringLiteral("ona_add_token cmd TOKEN_4=b'00000100"),
                                            QStringLiteral("ona_add_tokenset -tokenset TOKEN_SET_1")}));

    // The window's action opens the dialog while the project has a core.
    ScriptedDialogs dialogs;
    QString title;
    dialogs.onDialog = [&](QDialog* dialog) {
        title = dialog->windowTitle();
        return int(QDialog::Rejected);
    };
    m_gui->tableAction(vemo::toolona::TokenSetManagerAction)->trigger();
    QCOMPARE(title, QStringLiteral("Token Set Manager"));
    QCOMPARE(dialogs.asked.size(), 1);
    QCOMPARE(dialogs.asked.at(0).kind, QStringLiteral("dialog"));
    OnaData::inst()->resetData();
    QCOMPARE(OnaData::inst()->getNumCore(), 0);
    m_gui->tableAction(vemo::toolona::TokenSetManagerAction)->trigger();
    QCOMPARE(dialogs.asked.size(), 1);
}

void TstToken::newUserFlow() {
    // As a new user would: a 3-bit set OPCODE with three tokens as the radix
    // of the state unit and of the bit counter bus, a capture and a text
    // export that names the tokens.
    OnaData* d = OnaData::inst();
    m_dialog->addSetButton()->click();
    commit(setIndex(QStringLiteral("TOKEN_SET_1")), QStringLiteral("OPCODE"));
    commit(setIndex(QStringLiteral("OPCODE"), 1), QStringLiteral("3"));
    select(setIndex(QStringLiteral("OPCODE")));
    for (int i = 0; i < 3; ++i)
        m_dialog->addTokenButton()->click();
    const QStringList names{"IDLE", "READ", "WRITE"};
    for (int i = 0; i < 3; ++i)
        commit(tokenIndex(QStringLiteral("OPCODE"), QStringLiteral("TOKEN_%1").arg(i)), names.at(i));
    QCOMPARE(tokenNames(QStringLiteral("OPCODE")), (QStringList{"IDLE=b'000", "READ=b'001", "WRITE=b'010"}));
    QVERIFY(m_dialog->editError().isEmpty());

    // The unit's value START (b'001) now reads READ; the trigger still fires.
    QVERIFY(m_gui->tclEval(QStringLiteral("ona_set_tu -name TU_state -radix \"OPCODE\"")));
    QCOMPARE(d->getTUValue(d->getTUModel()->rowOf(QStringLiteral("TU_state"))), QStringLiteral("READ"));
    m_host->eval(QStringLiteral("ona_set_trigoptn -samples 512"));
    int code = 0;
    m_host->eval(QStringLiteral("ona_run"), &code);
    QCOMPARE(code, 0);
    QCOMPARE(m_host->eval(QStringLiteral("ona_wait -timeout %1").arg(testMs(20000))), QStringLiteral("Completed"));
    auto* wave = qobject_cast<vemo::toolona::WaveformView*>(m_gui->rightView()->page(QStringLiteral("LA Waveform")));
    QVERIFY(wave);
    QTRY_VERIFY(wave->hasCapturedData());
    const int bus = busRow(QStringLiteral("bit_cnt"));
    QVERIFY(bus >= 0);
    setBusRadix(bus, QStringLiteral("OPCODE"));

    // The text export names the same values.
    const QString text = m_dir->filePath(QStringLiteral("flow.txt"));
    QVERIFY(m_gui->tclEval(QStringLiteral("ona_export_project -txt \"%1\" -siglist bit_cnt").arg(text)));
    QFile f(text);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QByteArray exported = f.readAll();
    for (const char* v : {"\tIDLE\n", "\tREAD\n", "\tWRITE\n", "\t3\n", "\t7\n"})
        QVERIFY2(exported.contains(v), v);
}

QTEST_MAIN(TstToken)
#include "tst_token.moc"
