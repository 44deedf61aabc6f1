// The tool window: command bridge, titles, modified state, reload questions,
// window settings, tab sets and docking, shutdown. Embedded windows talk to
// a recording host that forwards every command to a real engine.

#include "demofixture.h"
#include "guitest.h"
#include "recordinghost.h"

#include "controller/controllertab.h"
#include "shell/onagui.h"
#include "shell/rightview.h"

#include "basgui/dialogseam.h"
#include "onadata.h"
#include "pcsdata.h"
#include "pcsjtag.h"
#include "project/vemoprojectmanager.h"
#include "settings/baseusrsettings.h"
#include "tcl/cgtclcmdman.h"
#include "triggerumodel.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

#include <tcl.h>

using vemo::basgui::ScriptedDialogs;
using namespace vemo::toolona;
using namespace Qt::StringLiterals;

namespace {

QString demoFile(const char* name) { return QStringLiteral(ONDREL_SOURCE_DIR "/examples/demo/") + name; }

// Moves a file's modification time forward, as an outside edit would.
void touchLater(const QString& path, int seconds) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.setFileTime(QFileInfo(path).lastModified().addSecs(seconds), QFileDevice::FileModificationTime));
}

} // namespace

class TstOnaGui : public DemoTest {
    Q_OBJECT
private slots:
    void init() { freshHost(); }
    void cleanup() { closeDemo(); }

    void tclEvalBothModes() {
        // Embedded: the host gets the exact string, with or without a result.
        auto gui = embedded(copyDemo());
        QVERIFY(gui);
        m_host->commands.clear();
        QString result;
        QVERIFY(gui->tclEval(u"ona_get cores"_s, &result));
        QCOMPARE(result, u"uart_la bus_la board_ctrl"_s);
        QVERIFY(gui->tclEval(u"set x {ü [a]}"_s));
        QCOMPARE(m_host->commands, QStringList({u"ona_get cores"_s, u"set x {ü [a]}"_s}));
        QVERIFY(!gui->tclEval(u"ona_set_tu -name NOPE -value 1"_s, &result));
        QVERIFY2(result.contains(u"NOPE"_s), qPrintable(result));
        QCOMPARE(OnaGUI::instance(), gui.get());

        // An embedded window nobody answers fails instead of claiming success.
        {
            auto lonely = demofixture::makeGui(false);
            QVERIFY(!lonely->tclEval(u"set a 1"_s, &result));
        }
        gui.reset();

        // Stand-alone: the window's own interpreter, non-ASCII text intact.
        auto alone = demofixture::makeGui(true);
        QVERIFY(alone->initialize() && alone->tclEval(u"string length {Grüße/ß}"_s, &result));
        QCOMPARE(result, u"7"_s);
        // Where Tcl's own encoding is Latin-1 (a C locale), the text still
        // reaches it as UTF-8: read as Latin-1 it would be 9 characters long.
        const QByteArray systemEncoding = Tcl_GetEncodingName(nullptr);
        QCOMPARE(Tcl_SetSystemEncoding(nullptr, "iso8859-1"), TCL_OK);
        const bool latin1Ok = alone->tclEval(u"string length {Grüße/ß}"_s, &result);
        Tcl_SetSystemEncoding(nullptr, systemEncoding.constData());
        QVERIFY(latin1Ok);
        QCOMPARE(result, u"7"_s);
        // Engine notes are echoed into the console as text, never run.
        alone->doInfoChanged("note [set hacked 1] $nothing\n");
        QVERIFY(alone->tclEval(u"info exists hacked"_s, &result));
        QCOMPARE(result, u"0"_s);
        QVERIFY(!alone->tclEval(u"no_such_command"_s));
    }
    void titlesAndModifiedFlag() {
        // A file argument in quotes (as a shell left it) names the file within.
        const QString odd = copyDemo(u"with blank [x]"_s);
        QCOMPARE(demofixture::makeGui(false, {u'"' + odd + u'"'})->fullFileName(), QFileInfo(odd).absoluteFilePath());
        const QString ona = copyDemo();
        auto gui = demofixture::makeGui(true, {ona});
        QVERIFY(gui->initialize());
        const QString base = u"Ondrel Analyzer/Controller (Stand-alone)"_s;
        QCOMPARE(gui->fullTitle(), base + u" - "_s + ona);
        QVERIFY(gui->tclEval(u"ona_set_tu -name TU_data -value 7B"_s));
        QCOMPARE(gui->windowTitle(), base + u" - "_s + ona + u" *"_s);
        QCOMPARE(gui->title(), base + u" *"_s);
        QVERIFY(gui->onSave() && !gui->isModified());
        QCOMPARE(gui->windowTitle(), base + u" - "_s + ona);
        // The stand-alone window changes folder to the file's, quoted safely.
        QString pwd;
        QVERIFY(gui->tclEval(u"pwd"_s, &pwd));
        QCOMPARE(pwd, QFileInfo(ona).absolutePath());
    }
    void initializeFailures() {
        ScriptedDialogs dialogs;
        {
            // Embedded, nothing to open: the load error, initialize refuses.
            auto gui = demofixture::makeGui(false);
            m_host->attach(gui.get());
            QVERIFY(!gui->initialize());
            QCOMPARE(dialogs.asked.size(), 1);
            QCOMPARE(dialogs.asked.at(0).text, u"ERROR: Cannot open Analyzer file Untitled"_s);
        }
        dialogs.asked.clear();
        {
            // A named pipe given as the file: refused at once, never opened
            // (opening it would wait for a writer forever).
            const QString pipe = m_dir->filePath(u"pipe.ona"_s);
            QCOMPARE(QProcess::execute(u"mkfifo"_s, {pipe}), 0);
            auto gui = demofixture::makeGui(true);
            QVERIFY(gui->initialize());
            QString name = pipe;
            QVERIFY(!gui->doOpenFile(name, QString()));
            QCOMPARE(dialogs.asked.size(), 1);
            QCOMPARE(dialogs.asked.at(0).text, u"ERROR: Cannot open Analyzer file "_s + pipe);
        }
        dialogs.asked.clear();
        {
            // Embedded with a failing start-up command: refused, no box.
            auto gui = demofixture::makeGui(false, {}, u"ona_open_project {/no/such.ona}"_s);
            m_host->attach(gui.get());
            QVERIFY(!gui->initialize() && dialogs.asked.isEmpty());
        }
        {
            // Embedded with a start-up command that opens the project: it is
            // opened once, by that command.
            const QString ona = copyDemo();
            m_host->commands.clear();
            auto gui = demofixture::makeGui(false, {}, u"ona_open_project \"%1\""_s.arg(ona));
            m_host->attach(gui.get());
            QVERIFY(gui->initialize());
            QCOMPARE(gui->fullFileName(), ona);
            QCOMPARE(m_host->startingWith(u"ona_open_project"_s).size(), 1);
        }
        OnaData::inst()->resetData();
        {
            // The window hears the engine before the start-up command runs: an
            // edit the command makes after opening marks the file modified.
            const QString ona = copyDemo(u"edited"_s);
            auto gui = demofixture::makeGui(false, {},
                                            u"ona_open_project \"%1\"; ona_set_tu -name TU_data -value 11"_s.arg(ona));
            m_host->attach(gui.get());
            QVERIFY(gui->initialize());
            QCOMPARE(gui->fullFileName(), ona);
            QVERIFY(gui->isModified());
        }
        OnaData::inst()->resetData();
        {
            // Stand-alone with a failing start-up command: up, with no file.
            auto gui = demofixture::makeGui(true, {copyDemo(u"other"_s)}, u"error {start-up failed}"_s);
            QVERIFY(gui->initialize());
            QCOMPARE(gui->fullFileName(), QString());
            QVERIFY(OnaData::inst()->getCurrentProject().isEmpty());
        }
    }
    void modifiedFlagFollowsEveryEngineSignal() {
        auto gui = embedded(copyDemo());
        QVERIFY(gui && !gui->isModified());
        QSignalSpy changed(gui.get(), &OnaGUI::fileChanged);
        const QStringList edits = {
            u"ona_set_tu -name TU_data -value 11"_s,      // setDirty
            u"ona_set_trigoptn -position post"_s,         // settingDirty
            u"ona_add_tokenset -tokenset Mine -bits 8"_s, // tokenDirty
            u"ona_set_core -name bus_la"_s,               // coreSetDirty
            u"ona_set_core -name uart_la -run off"_s,     // coreRunDirty
        };
        for (const QString& edit : edits) {
            changed.clear();
            QVERIFY2(gui->onSave(), qPrintable(edit));
            QVERIFY(!gui->isModified());
            QVERIFY2(gui->tclEval(edit), qPrintable(gui->lastResult()));
            QVERIFY2(gui->isModified(), qPrintable(edit));
            QVERIFY(!changed.isEmpty());
            QCOMPARE(changed.last().at(0).toBool(), true);
        }
        // The engine's run-flag change reached the core check box, the core
        // change the selector.
        QCOMPARE(gui->coreCheckBoxes().at(0)->isChecked(), false);
        QCOMPARE(gui->coreSelector()->currentText(), u"bus_la"_s);
        // Save sends the exact command and clears the flag.
        m_host->commands.clear();
        QSignalSpy saved(gui.get(), &OnaGUI::sigFileSaved);
        QVERIFY(gui->onSave());
        QCOMPARE(m_host->commands, QStringList{u"ona_save_project \"%1\""_s.arg(gui->fullFileName())});
        QVERIFY(!gui->isModified());
        QCOMPARE(saved.size(), 1);
        QCOMPARE(changed.last().at(0).toBool(), false);
        QVERIFY(gui->CompareData());
    }
    void saveFailuresKeepEdits() {
        ScriptedDialogs dialogs;
        const QString ona = copyDemo(u"it's \"quoted\" $x [y]"_s);
        auto gui = embedded(ona);
        QVERIFY(gui);
        // File text reaches Tcl escaped, and still names the file.
        QCOMPARE(m_host->startingWith(u"ona_open_project"_s).value(0),
                 u"ona_open_project \"%1\""_s.arg(m_dir->filePath(u"it's \\\"quoted\\\" \\$x \\[y\\]/demo.ona"_s)));
        QCOMPARE(OnaData::inst()->getCurrentProject(), ona);
        QVERIFY(gui->tclEval(u"ona_set_tu -name TU_data -value 22"_s));

        // Save refused by the engine: maybeSave keeps the window, says so.
        m_host->refuse = [](const QString& c) { return c.startsWith(u"ona_save_project"_s); };
        dialogs.buttons.enqueue(QMessageBox::Yes);
        QVERIFY(!gui->maybeSave() && gui->isModified());
        QCOMPARE(dialogs.asked.first().text, u"Do you want to save your changes?"_s);
        QVERIFY(dialogs.asked.size() >= 2);

        // No: the close goes ahead and the flag is cleared.
        dialogs.asked.clear();
        dialogs.buttons.enqueue(QMessageBox::No);
        QVERIFY(gui->maybeSave() && !gui->isModified());

        // A failed save in fileOpen stops the open.
        gui->SetDirtyBit();
        QSignalSpy opens(gui.get(), &OnaGUI::sigOpenFile);
        dialogs.buttons.enqueue(QMessageBox::Yes);
        gui->fileOpen();
        QCOMPARE(opens.size(), 0);
        QVERIFY(gui->isModified());
        // Cancel stops it too; No goes on and keeps the flag until a file opens.
        dialogs.buttons.enqueue(QMessageBox::Cancel);
        gui->fileOpen();
        QCOMPARE(opens.size(), 0);
        dialogs.buttons.enqueue(QMessageBox::No);
        gui->fileOpen();
        QCOMPARE(opens.size(), 1);
        QVERIFY(gui->isModified());

        // A failed or cancelled save stops New, Close and the reload after a
        // debug-logic change as well: nothing is closed or opened.
        QSignalSpy news(gui.get(), &OnaGUI::sigNewFile);
        const QString onl = QFileInfo(ona).absolutePath() + u"/demo.onl"_s;
        touchLater(onl, 5);
        for (const auto answer : {QMessageBox::Yes, QMessageBox::Cancel}) {
            m_host->commands.clear();
            dialogs.buttons.enqueue(answer);
            gui->fileNew();
            QCOMPARE(news.size(), 0);
            dialogs.buttons.enqueue(answer);
            gui->fileClose();
            dialogs.customAnswers.enqueue(0); // reload now
            dialogs.buttons.enqueue(answer);
            gui->onActivated();
            QCOMPARE(dialogs.customAnswers.size(), 0);
            QCOMPARE(m_host->count(u"ona_close_project"_s), 0);
            QVERIFY(m_host->startingWith(u"ona_open_project"_s).isEmpty() && gui->isModified());
            QCOMPARE(OnaData::inst()->getCurrentProject(), ona);
        }
        m_host->refuse = nullptr;

        // Save As: cancelled keeps the name; a new name is used and kept.
        const QString before = gui->fullFileName();
        QVERIFY(!gui->fileSaveAs());
        QCOMPARE(gui->fullFileName(), before);
        const QString other = m_dir->filePath(u"other.ona"_s);
        // A new name is used and kept; a typed name without a suffix gets
        // ".ona"; the path reaches Tcl escaped.
        m_host->commands.clear();
        dialogs.files.enqueue(m_dir->filePath(u"saved \"as\" $x [y]"_s));
        QVERIFY(gui->fileSaveAs());
        QCOMPARE(
            m_host->commands,
            QStringList{u"ona_save_project \"%1\""_s.arg(m_dir->filePath(u"saved \\\"as\\\" \\$x \\[y\\].ona"_s))});
        QCOMPARE(gui->fullFileName(), m_dir->filePath(u"saved \"as\" $x [y].ona"_s));
        QVERIFY(!gui->isModified() && QFileInfo::exists(gui->fullFileName()));
        dialogs.files.enqueue(other);
        QVERIFY(gui->fileSaveAs());

        // A new file whose command fails leaves the previous state.
        QString name = m_dir->filePath(u"new.ona"_s);
        QVERIFY(!gui->doNewFile(name, u"ona_open_project {/no/such.onl}"_s));
        QCOMPARE(gui->fullFileName(), other);
        QVERIFY(!gui->isUntitled() && OnaData::inst()->ready);
        // An open that fails keeps the project the engine still has.
        QString missing = m_dir->filePath(u"missing.ona"_s);
        dialogs.asked.clear();
        QVERIFY(!gui->doOpenFile(missing, QString()));
        QCOMPARE(gui->fullFileName(), other);
        QCOMPARE(dialogs.asked.size(), 1);
        QCOMPARE(gui->coreCheckBoxes().size(), 3);

        // Closing sends the engine exactly one close.
        m_host->commands.clear();
        gui->SetDirtyBit();
        dialogs.buttons.enqueue(QMessageBox::No);
        gui->fileClose();
        QCOMPARE(m_host->count(u"ona_close_project"_s), 1);
        QVERIFY(OnaData::inst()->getCurrentProject().isEmpty());
    }
    void newProjectAsksBeforeReplacing() {
        ScriptedDialogs dialogs;
        const QString ona = copyDemo(u"fresh"_s);
        const QString onl = QFileInfo(ona).absolutePath() + u"/demo.onl"_s;
        const QByteArray before = readAll(ona);
        const auto unchanged = [&] { return readAll(ona) == before; };
        auto gui = embedded(ona);
        QVERIFY(gui);

        // File > New from demo.onl, as an application answers sigNewFile: the
        // proposed demo.ona exists, so Save asks, starting at that name.
        QString proposed = ona;
        QVERIFY(gui->doNewFile(proposed, u"ona_open_project \"%1\""_s.arg(onl)) && gui->isUntitled());
        QVERIFY(gui->tclEval(u"ona_set_tu -name TU_data -value 77"_s));
        m_host->commands.clear();
        dialogs.asked.clear();
        gui->onAutoSave(); // a timer never asks, and never overwrites
        QVERIFY(!gui->onSave());
        QCOMPARE(dialogs.asked.size(), 1);
        QCOMPARE(dialogs.asked.at(0).kind, u"save"_s);
        QCOMPARE(dialogs.asked.at(0).dir, ona);
        QVERIFY(m_host->startingWith(u"ona_save_project"_s).isEmpty() && unchanged() && gui->isModified());

        const QString mine = QFileInfo(ona).absolutePath() + u"/mine.ona"_s;
        dialogs.files.enqueue(QFileInfo(mine).absolutePath() + u"/mine"_s);
        QVERIFY(gui->onSave());
        QCOMPARE(m_host->commands, QStringList{u"ona_save_project \"%1\""_s.arg(mine)});
        QCOMPARE(gui->fullFileName(), mine);
        QVERIFY(unchanged());
        // Its own name from then on: saved without asking.
        dialogs.asked.clear();
        QVERIFY(gui->onSave() && dialogs.asked.isEmpty());

        // The same from the console: the engine refuses, and the window's Save
        // then asks too.
        QString why;
        QVERIFY(gui->tclEval(u"ona_open_project \"%1\""_s.arg(onl)));
        QVERIFY(!gui->tclEval(u"ona_save_project"_s, &why));
        QCOMPARE(why,
                 u"%1 already exists and this new project has never been saved: give a file name "
                 u"(ona_save_project FILE) or replace the file (ona_save_project -force)"_s.arg(ona));
        QVERIFY(!gui->onSave());
        QCOMPARE(dialogs.asked.size(), 1);
        QVERIFY(unchanged());
        // -force replaces it on purpose.
        QVERIFY(gui->tclEval(u"ona_save_project -force"_s));
        QVERIFY(!unchanged());

        // A proposed name nobody uses is simply taken.
        QVERIFY(QFile::remove(ona));
        proposed = ona;
        QVERIFY(gui->doNewFile(proposed, u"ona_open_project \"%1\""_s.arg(onl)));
        dialogs.asked.clear();
        QVERIFY(gui->onSave() && dialogs.asked.isEmpty() && QFileInfo::exists(ona));
    }
    void fileChangedOutside() {
        ScriptedDialogs dialogs;
        const QString ona = copyDemo();
        auto gui = embedded(ona);
        QVERIFY(gui);
        gui->onActivated();
        QVERIFY(dialogs.asked.isEmpty());

        // Changed outside, answered No: asked once, marked modified.
        touchLater(ona, 5);
        dialogs.buttons.enqueue(QMessageBox::No);
        gui->onActivated();
        QCOMPARE(dialogs.asked.size(), 1);
        QCOMPARE(dialogs.asked.at(0).text, u"The file was modified by another program. Do you want to reload it?"_s);
        QVERIFY(gui->isModified());
        gui->onActivated();
        gui->onActivated();
        QCOMPARE(dialogs.asked.size(), 1);

        // Changed again (an expression edited on disk), answered Yes: the
        // engine reads the file again and the flag is clean.
        QByteArray text = readAll(ona);
        QVERIFY(text.contains("\"TU_state & !TU_valid\""));
        QVERIFY(writeAll(ona, text.replace("\"TU_state & !TU_valid\"", "\"TU_valid\"")));
        touchLater(ona, 10);
        m_host->commands.clear();
        dialogs.buttons.enqueue(QMessageBox::Yes);
        gui->onActivated();
        QCOMPARE(dialogs.asked.size(), 2);
        QCOMPARE(m_host->commands.count(u"ona_open_project \"%1\""_s.arg(ona)), 1);
        QVERIFY(!gui->isModified());
        QCOMPARE(m_host->eval(u"dict get [ona_get te TE_start] expression"_s), u"TU_valid"_s);

        // A change the engine refuses to read: the user is told, the project in
        // memory stays and counts as modified.
        QVERIFY(writeAll(ona, text.replace("\"samples\": 2048", "\"samples\": 512")));
        touchLater(ona, 15);
        dialogs.buttons.enqueue(QMessageBox::Yes);
        gui->onActivated();
        QCOMPARE(dialogs.asked.size(), 4);
        QCOMPARE(dialogs.asked.at(3).icon, QMessageBox::Critical);
        QVERIFY2(dialogs.asked.at(3).text.contains(u"samples"_s), qPrintable(dialogs.asked.at(3).text));
        QVERIFY(gui->isModified());
        QCOMPARE(OnaData::inst()->getCurrentProject(), ona);
    }
    void debugLogicReloadQuestions() {
        ScriptedDialogs dialogs;
        const QString ona = copyDemo();
        const QString onl = QFileInfo(ona).absolutePath() + u"/demo.onl"_s;
        const QString head = u"Debug Logic files have been modified, "_s;
        VemoImplementation* impl = VemoProjectManager::getProjectManager().getDefaultImplementation();

        // Stand-alone wording; "Ignore once" asks again next time.
        {
            auto gui = demofixture::makeGui(true, {ona});
            QVERIFY(gui->initialize());
            touchLater(onl, 5);
            QVERIFY(gui->isOnlModified());
            dialogs.customAnswers.enqueue(1); // Ignore once
            gui->onActivated();
            QCOMPARE(dialogs.asked.size(), 1);
            QCOMPARE(dialogs.asked.at(0).buttons, QStringList({u"Yes"_s, u"Ignore once"_s, u"Never"_s}));
            QVERIFY(dialogs.asked.at(0).text.startsWith(head + u"which may be inconsistent with the current "
                                                               "analyzing project. you can choose:\n"_s));
            QVERIFY(dialogs.asked.at(0).text.endsWith(u"3) Never: Don't notice me untill I do the save action.\n"_s));
            QCOMPARE(gui->reloadStatus(), 2);
            // "Never": silent until the next save.
            dialogs.customAnswers.enqueue(2);
            gui->onActivated();
            QCOMPARE(dialogs.asked.size(), 2);
            gui->onActivated();
            gui->onActivated();
            QCOMPARE(dialogs.asked.size(), 2);
            QVERIFY(gui->onSave());
            QCOMPARE(gui->reloadStatus(), 0);
            // "Yes": the project is closed and opened again, with the new stamp.
            dialogs.customAnswers.enqueue(0);
            gui->onActivated();
            QCOMPARE(dialogs.asked.size(), 3);
            QVERIFY(!gui->isOnlModified());
            QCOMPARE(OnaData::inst()->getCurrentProject(), ona);
            gui->onActivated();
            QCOMPARE(dialogs.asked.size(), 3);

            // Stand-alone, activating the window runs the check by itself.
            touchLater(onl, 10);
            dialogs.customAnswers.enqueue(1);
            gui->show();
            gui->activateWindow();
            QTRY_COMPARE(dialogs.asked.size(), 4);
        }
        OnaData::inst()->resetData();

        // Embedded: the wording follows the host's bitstream task.
        struct Case {
            VemoImplementation::TaskStatus status;
            bool previousIgnore;
            QString continuation; // empty: no question
        };
        const QList<Case> cases = {
            {VemoImplementation::TaskOutOfDate, false, u"but the bitstream file is not updated"_s},
            {VemoImplementation::TaskNotRun, false, u"which may be inconsistent with current Analyzer project"_s},
            {VemoImplementation::TaskNotRun, true, u"and the bitstream file is updated"_s},
            {VemoImplementation::TaskRunning, false, QString()},
        };
        for (const Case& c : cases) {
            impl->setTaskStatus(u"Export"_s, u"Bitgen"_s, c.status);
            auto gui = embedded(copyDemo());
            QVERIFY(gui);
            touchLater(QFileInfo(gui->fullFileName()).absolutePath() + u"/demo.onl"_s, 5);
            dialogs.asked.clear();
            if (c.previousIgnore) {
                dialogs.customAnswers.enqueue(1);
                gui->onActivated();
                dialogs.asked.clear();
            }
            dialogs.customAnswers.enqueue(1);
            gui->onActivated();
            if (c.continuation.isEmpty()) {
                QVERIFY(dialogs.asked.isEmpty());
                continue;
            }
            QCOMPARE(dialogs.asked.size(), 1);
            QVERIFY2(dialogs.asked.at(0).text.startsWith(head + c.continuation), qPrintable(dialogs.asked.at(0).text));
            gui.reset();
            OnaData::inst()->resetData();
        }
    }
    void windowSettings() {
        QList<QString> args{copyDemo()};
        {
            auto gui = demofixture::makeGui(false, args);
            m_host->attach(gui.get());
            QVERIFY(gui->initialize());
            gui->resize(640, 480);
            gui->move(20, 30);
            gui->SaveWinSettings();
            vemo::basgui::BaseUsrSettings s(u"ONL_ANALYZER"_s);
            QStringList stored;
            for (const char* key : {"winwidth", "winheight", "winx", "winy", "winstate"})
                stored << s.value(QLatin1String(key)).toString();
            QCOMPARE(stored, QStringList({"640", "480", "20", "30", "0"}));
            QCOMPARE(s.value(u"lastfilepath"_s).toString(), OnaData::inst()->getCurrentDirectory());
        }
        {
            vemo::basgui::BaseUsrSettings s(u"ONL_ANALYZER"_s);
            s.setValue(u"winstate"_s, int(Qt::WindowMaximized));
            s.setValue(u"winwidth"_s, 300);
            s.sync();
            auto gui = demofixture::makeGui(false, args);
            m_host->attach(gui.get());
            gui->resize(500, 400);
            QVERIFY(gui->initialize());
            // Maximised: the stored size and place are not applied at all.
            QVERIFY(gui->windowState() & Qt::WindowMaximized);
            QCOMPARE(gui->size(), QSize(500, 400));
        }
    }
    void tabSetsByCoreKind() {
        // The demo's analyzer cores plus a controller core, as a new project.
        const QString onl = withControllerCore(demoFile("demo.onl"), m_dir->filePath(u"mixed.onl"_s));
        auto gui = demofixture::makeGui(false, {}, u"ona_open_project \"%1\""_s.arg(onl));
        m_host->attach(gui.get());
        QVERIFY2(gui->initialize(), qPrintable(m_host->commands.join('\n')));
        QCOMPARE(tabTexts(*gui), QStringList({u"LA Trigger"_s, u"LA Waveform"_s}));

        // The selector switches to the controller core: the controller set,
        // each tab disabled while the core defines nothing for it.
        QCOMPARE(m_host->sent([&] { gui->coreSelector()->setCurrentIndex(3); }), QStringList{u"ona_set_core -name \"ctrl\""_s});
        QCOMPARE(tabTexts(*gui), RightView::controllerTitles());
        for (int i = 0; i < 5; ++i)
            QVERIFY(!gui->rightView()->tabWidget()->isTabEnabled(i));
        QVERIFY(!gui->tuModel());
        // A simulator's waveform opened meanwhile is the set's last tab, in
        // front, until it is closed.
        const QString vcd = m_dir->filePath(u"sim.vcd"_s);
        QFile file(vcd);
        QVERIFY(file.open(QIODevice::WriteOnly) &&
                file.write("$timescale 1ns $end\n$var wire 1 ! a $end\n$enddefinitions $end\n#0\n1!\n#5\n") > 0);
        file.close();
        QVERIFY(gui->tclEval(u"ona_open_waveform \"%1\""_s.arg(vcd)));
        QCOMPARE(tabTexts(*gui), RightView::controllerTitles() << u"Simulation Waveform"_s);
        QCOMPARE(gui->rightView()->tabWidget()->currentIndex(), 5);
        // In front of it, Export... writes it back, not the capture; the
        // name gets its suffix.
        {
            ScriptedDialogs dialogs;
            dialogs.files.enqueue(m_dir->filePath(u"back \"[x]"_s));
            m_host->commands.clear();
            gui->onExportWaveform();
            const QString back = m_dir->filePath(u"back \"[x].vcd"_s);
            QCOMPARE(m_host->commands,
                     QStringList{u"ona_export_project -vcd \"%1\" -waveform"_s.arg(QString(back).replace(u'"', u"\\\""_s)
                                                                                     .replace(u'[', u"\\["_s)
                                                                                     .replace(u']', u"\\]"_s))});
            QFile written(back);
            QVERIFY(written.open(QIODevice::ReadOnly) && written.readAll().contains("#5"));
        }
        QVERIFY(gui->tclEval(u"ona_close_waveform"_s));
        QCOMPARE(tabTexts(*gui), RightView::controllerTitles());
        // Selecting index 2 of a controller set never starts the SERDES, even
        // while the project has one; the SERDES page itself does.
        PCSData* pcs = PCSData::inst();
        pcs->initSERDES(); // with no SERDES: says there is none
        const QString untouched = pcs->getRunErr();
        pcs->getJTAG()->setSERDES(u"quad0"_s);
        gui->rightView()->setSerdesPages(true);
        QSignalSpy zoom(gui.get(), &OnaGUI::zoomAvailable);
        gui->rightView()->tabWidget()->setCurrentIndex(2);
        QCOMPARE(zoom.last().at(0).toBool(), false);
        QCOMPARE(pcs->getRunErr(), untouched);
        QTabWidget* tabs = gui->rightView()->tabWidget();
        tabs->setCurrentIndex(tabs->count() - 2);
        QCOMPARE(tabs->tabText(tabs->currentIndex()), u"Serdes Debug"_s);
        QVERIFY(pcs->getRunErr() != untouched);
        pcs->getJTAG()->setSERDES(QString());
        gui->rightView()->setSerdesPages(false);

        // Back on an analyzer core from the engine side: the selector follows
        // and sends nothing back.
        QCOMPARE(m_host->sent([&] { QVERIFY(gui->tclEval(u"ona_set_core -name uart_la"_s)); }).size(), 1);
        QCOMPARE(gui->coreSelector()->currentIndex(), 0);
        QCOMPARE(tabTexts(*gui), QStringList({u"LA Trigger"_s, u"LA Waveform"_s}));
    }
    void undockAndRedock() {
        auto gui = demofixture::makeGui(false);
        RightView* view = gui->rightView();
        QTabWidget* tabs = view->tabWidget();
        QCOMPARE(tabs->count(), 7);
        ControllerTab* memory = view->pagesOf<ControllerTab>(PageSet::Controller).at(1);

        memory->dockButtonClicked(); // undock
        QVERIFY(!memory->isDocked() && memory->isWindow());
        QCOMPARE(tabs->indexOf(memory), -1);

        // Closing the floating window docks it back; with no project (no
        // current core) it is not shown in the tab widget.
        memory->close();
        QVERIFY(memory->isDocked() && !memory->isVisible());
        QCOMPARE(tabs->indexOf(memory), -1);

        // With a controller core current, only tabs last given that core return.
        QJsonObject root{{u"format"_s, u"ondrel-onl"_s},
                         {u"version"_s, 1},
                         {u"device"_s, u"ONX-SIM-25"_s},
                         {u"cores"_s, QJsonArray{QJsonObject{{u"name"_s, u"ctrl"_s}, {u"kind"_s, 2}}}}};
        const QString onl = m_dir->filePath(u"ctrl.onl"_s);
        writeJson(onl, root);
        m_host->attach(gui.get());
        QString result;
        QVERIFY2(gui->tclEval(u"ona_open_project \"%1\""_s.arg(onl), &result), qPrintable(result));
        QCOMPARE(tabTexts(*gui), RightView::controllerTitles());
        ControllerTab* hardIp = view->pagesOf<ControllerTab>(PageSet::Controller).at(4);
        hardIp->dockButtonClicked();
        memory->dockButtonClicked();
        QCOMPARE(tabs->count(), 3);
        memory->setCore({}); // now belongs to no core
        memory->dockButtonClicked();
        QCOMPARE(tabs->indexOf(memory), -1);
        hardIp->dockButtonClicked();
        QCOMPARE(tabs->indexOf(hardIp), 3);
        QCOMPARE(tabs->count(), 4);
    }
    void serdesPagesSurviveTabRebuilds() {
        auto gui = demofixture::makeGui(false);
        RightView* view = gui->rightView();
        view->setSerdesPages(true);
        const QStringList serdes{u"Serdes Debug"_s, u"Wishbone Debug"_s};
        view->showAnalyzerTabs();
        QCOMPARE(tabTexts(*gui), QStringList({u"LA Trigger"_s, u"LA Waveform"_s}) + serdes);
        view->showControllerTabs(QString(), false);
        QCOMPARE(tabTexts(*gui), RightView::controllerTitles() + serdes);
        // A dock rebuild with no current core (no project) keeps them too.
        view->pagesOf<ControllerTab>(PageSet::Controller).at(0)->dockButtonClicked();
        view->pagesOf<ControllerTab>(PageSet::Controller).at(0)->dockButtonClicked();
        QCOMPARE(tabTexts(*gui), serdes);
        view->setSerdesPages(false);
        QVERIFY(tabTexts(*gui).isEmpty());
    }
    void inactiveFileDisablesUntilNextOpen() {
        const QString ona = copyDemo();
        // The association is asked only when the open does not initialise the
        // demo's SERDES.
        vemo::basgui::BaseUsrSettings(u"ONL_ANALYZER"_s).setValue(u"initserdes"_s, 0);
        VemoImplementation* impl = VemoProjectManager::getProjectManager().getDefaultImplementation();
        impl->addResource(ona)->addAssociated(u"impl1"_s, false);
        auto gui = embedded(ona);
        QVERIFY(gui && !gui->isEnabled());
        impl->getResource(ona)->setAssociatedState(u"impl1"_s, true);
        QString again = ona;
        QVERIFY(gui->doOpenFile(again, QString()) && gui->isEnabled());
    }
    void shutdownClosesControllerOnce() {
        {
            auto gui = embedded(copyDemo());
            QVERIFY(gui);
            gui.reset();
            QCOMPARE(m_host->count(u"ona_close_controller"_s), 1);
            QVERIFY(OnaData::inst()->getCurrentProject().isEmpty());
        }
        m_host->commands.clear();
        {
            // Closing the project from the engine side runs the shutdown; the
            // destructor does not repeat it.
            auto gui = embedded(copyDemo(u"second"_s));
            QVERIFY(gui && gui->tclEval(u"ona_close_project"_s));
            QCOMPARE(m_host->count(u"ona_close_controller"_s), 1);
            for (auto* tab : gui->rightView()->pagesOf<ControllerTab>(PageSet::Controller))
                QVERIFY(tab->isClosingForGood());
            gui.reset();
            QCOMPARE(m_host->count(u"ona_close_controller"_s), 1);
        }
    }
    void closeFromTclKeepsUnsavedEdits() {
        ScriptedDialogs dialogs;
        const QString ona = copyDemo();
        const QByteArray original = readAll(ona);
        auto gui = embedded(ona);
        QVERIFY(gui && gui->tclEval(u"ona_set_tu -name TU_data -value 5B"_s) && gui->isModified());

        // Nobody to ask (a start-up script): refused with a reason, nothing asked.
        gui->setUnattended(true);
        QString result;
        QVERIFY(!gui->tclEval(u"ona_close_project"_s, &result));
        QVERIFY2(result.contains(u"unsaved changes"_s), qPrintable(result));
        QVERIFY(dialogs.asked.isEmpty() && OnaData::inst()->isProjectOpen());
        gui->setUnattended(false);

        // Asked while the project is still open, so "Yes" saves it.
        dialogs.buttons.enqueue(QMessageBox::Yes);
        QVERIFY2(gui->tclEval(u"ona_close_project"_s, &result), qPrintable(result));
        QCOMPARE(dialogs.asked.size(), 1);
        QVERIFY(!OnaData::inst()->isProjectOpen() && readAll(ona) != original);
    }
    void anyUnicodeInNamesAndValues() {
        // A folder with an emoji, CJK and a combining mark: the window opens,
        // edits and saves the project there, and the engine sees the same text.
        const QString folder = u"\U0001F600 \u6F22\u5B57 e\u0301"_s;
        const QString ona = copyDemo(folder);
        auto gui = embedded(ona);
        QVERIFY(gui);
        QCOMPARE(OnaData::inst()->getCurrentProject(), ona);
        const QString value = u"\U0001F680\u0301"_s;
        QVERIFY(gui->tclEval(u"ona_set_tu -name TU_data -value \"%1\""_s.arg(value)));
        QCOMPARE(OnaData::inst()->getTUValue(OnaData::inst()->getTUModel()->rowOf(u"TU_data"_s)), value);
        QVERIFY(gui->SaveFile() && QString::fromUtf8(readAll(ona)).contains(value));
        QCOMPARE(QDir(m_dir->filePath(folder)).entryList(QDir::Files),
                 (QStringList{"demo.ona", "demo.onl", "mpp_merge.json"}));
    }

private:
    // The demo project in a fresh folder (path of its .ona).
    QString copyDemo(const QString& folder = u"demo"_s) { return demofixture::copyDemo(m_dir->path(), folder); }
    // An embedded window handed `file` as its file argument (no start-up
    // command; initializeFailures covers that path).
    std::unique_ptr<OnaGUI> embedded(const QString& file) { return demofixture::embeddedGui(m_host.get(), file); }
};

QTEST_MAIN(TstOnaGui)
#include "tst_onagui.moc"
