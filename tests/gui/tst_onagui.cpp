// The tool window: command bridge, titles, modified state, reload questions,
// window settings, tab sets and docking, shutdown. Embedded windows talk to
// a recording host that forwards every command to a real engine.

#include "demofixture.h"
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

#include <QAction>
#include <QCheckBox>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProgressBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

#include <tcl.h>

using vemo::basgui::ScriptedDialogs;
using vemo::toolona::OnaGUI;
using vemo::toolona::RightView;

namespace {

QString demoFile(const char* name) { return QStringLiteral(ONDREL_SOURCE_DIR "/examples/demo/") + name; }

QStringList tabTexts(const OnaGUI& gui) {
    QStringList out;
    QTabWidget* tabs = gui.rightView()->tabWidget();
    for (int i = 0; i < tabs->count(); ++i)
        out << tabs->tabText(i);
    return out;
}

// Moves a file's modification time forward, as an outside edit would.
void touchLater(const QString& path, int seconds) {
    QFile f(path);
    QVERIFY(f.open(QIODevice::ReadWrite));
    QVERIFY(f.setFileTime(QFileInfo(path).lastModified().addSecs(seconds), QFileDevice::FileModificationTime));
}

} // namespace

class TstOnaGui : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void tclEvalBothModes();
    void constructorArguments();
    void titlesAndModifiedFlag();
    void initializeFailures();
    void modifiedFlagFollowsEveryEngineSignal();
    void saveFailuresKeepEdits();
    void newProjectAsksBeforeReplacing();
    void fileChangedOutside();
    void debugLogicReloadQuestions();
    void windowSettings();
    void tabSetsByCoreKind();
    void undockAndRedock();
    void runPanelAndSerdesProgress();
    void serdesPagesSurviveTabRebuilds();
    void inactiveFileDisablesUntilNextOpen();
    void shutdownClosesControllerOnce();
    void closeFromTclKeepsUnsavedEdits();
    void anyUnicodeInNamesAndValues();

private:
    // The demo project in a fresh folder (path of its .ona).
    QString copyDemo(const QString& folder = QStringLiteral("demo"));
    // An embedded window handed `file` as its file argument (no start-up
    // command; initializeFailures covers that path).
    std::unique_ptr<OnaGUI> embedded(const QString& file, bool init = true);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<RecordingHost> m_host;
};

void TstOnaGui::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_host = std::make_unique<RecordingHost>();
    QVERIFY(m_host->interp());
    // Each test starts from default window settings.
    vemo::basgui::BaseUsrSettings settings(QStringLiteral("ONL_ANALYZER"));
    for (const char* key :
         {"winx", "winy", "winwidth", "winheight", "winstate", "lastfilepath", "lastimplpath", "initserdes"})
        settings.remove(QLatin1String(key));
    settings.sync();
    VemoProjectManager::getProjectManager().reset();
}

void TstOnaGui::cleanup() {
    m_host.reset();
    OnaData::inst()->resetData();
    m_dir.reset();
}

QString TstOnaGui::copyDemo(const QString& folder) { return demofixture::copyDemo(m_dir->path(), folder); }

std::unique_ptr<OnaGUI> TstOnaGui::embedded(const QString& file, bool init) {
    return demofixture::embeddedGui(m_host.get(), file, init);
}

void TstOnaGui::tclEvalBothModes() {
    // Embedded: the host gets the exact string, with or without a result.
    auto gui = embedded(copyDemo());
    QVERIFY(gui);
    m_host->commands.clear();
    QString result;
    QVERIFY(gui->tclEval(QStringLiteral("ona_get cores"), &result));
    QCOMPARE(result, QStringLiteral("uart_la bus_la board_ctrl"));
    QVERIFY(gui->tclEval(QStringLiteral("set x {ü [a]}")));
    QCOMPARE(m_host->commands, QStringList({QStringLiteral("ona_get cores"), QStringLiteral("set x {ü [a]}")}));
    QVERIFY(!gui->tclEval(QStringLiteral("ona_set_tu -name NOPE -value 1"), &result));
    QVERIFY2(result.contains(QStringLiteral("NOPE")), qPrintable(result));
    QCOMPARE(OnaGUI::instance(), gui.get());

    // An embedded window nobody answers fails instead of claiming success.
    QList<QString> none;
    QString unused;
    {
        OnaGUI lonely(nullptr, none, unused, false, QString());
        QVERIFY(!lonely.tclEval(QStringLiteral("set a 1"), &result));
    }
    gui.reset();

    // Stand-alone: the window's own interpreter, non-ASCII text intact.
    QList<QString> args;
    OnaGUI alone(nullptr, args, unused, true, QString());
    QVERIFY(alone.initialize());
    QVERIFY(alone.interp());
    QVERIFY(alone.tclEval(QStringLiteral("string length {Grüße/ß}"), &result));
    QCOMPARE(result, QStringLiteral("7"));
    QVERIFY(alone.tclEval(QStringLiteral("set y \"Ä€\""), &result));
    QCOMPARE(result, QStringLiteral("Ä€"));
    // Where Tcl's own encoding is Latin-1 (a C locale), the text still
    // reaches it as UTF-8: read as Latin-1 it would be 9 characters long.
    const QByteArray systemEncoding = Tcl_GetEncodingName(nullptr);
    QCOMPARE(Tcl_SetSystemEncoding(nullptr, "iso8859-1"), TCL_OK);
    const bool latin1Ok = alone.tclEval(QStringLiteral("string length {Grüße/ß}"), &result);
    Tcl_SetSystemEncoding(nullptr, systemEncoding.constData());
    QVERIFY(latin1Ok);
    QCOMPARE(result, QStringLiteral("7"));
    // Engine notes are echoed into the console as text, never run.
    alone.doInfoChanged("note [set hacked 1] $nothing\n");
    QVERIFY(alone.tclEval(QStringLiteral("info exists hacked"), &result));
    QCOMPARE(result, QStringLiteral("0"));
    QVERIFY(!alone.tclEval(QStringLiteral("no_such_command")));
    QVERIFY(alone.tclEval(QStringLiteral("llength [info commands ona_*]"), &result));
    QVERIFY(result.toInt() > 10);
}

void TstOnaGui::constructorArguments() {
    const QString ona = copyDemo(QStringLiteral("with blank [x]"));
    QString unused;
    {
        QList<QString> args{QLatin1Char('"') + ona + QLatin1Char('"')};
        OnaGUI gui(nullptr, args, unused, false, QString());
        QCOMPARE(gui.fullFileName(), QFileInfo(ona).absoluteFilePath());
        QCOMPARE(gui.fileName(), QStringLiteral("demo.ona"));
        QVERIFY(!gui.isUntitled());
        QCOMPARE(gui.fileTime(), QFileInfo(ona).lastModified());
    }
    {
        QList<QString> args{m_dir->filePath(QStringLiteral("missing.ona"))};
        OnaGUI gui(nullptr, args, unused, false, QString());
        QCOMPARE(gui.fullFileName(), QStringLiteral("Untitled"));
        QVERIFY(gui.isUntitled());
    }
    {
        QList<QString> args;
        OnaGUI gui(nullptr, args, unused, false, QString());
        QCOMPARE(gui.fullFileName(), QStringLiteral("Untitled"));
        QVERIFY(gui.isUntitled());
        QCOMPARE(gui.windowTitle(), QStringLiteral("Ondrel Analyzer/Controller"));
        QCOMPARE(gui.toolName(), QStringLiteral("ONL_ANALYZER"));
    }
}

void TstOnaGui::titlesAndModifiedFlag() {
    const QString ona = copyDemo();
    QList<QString> args{ona};
    QString unused;
    OnaGUI gui(nullptr, args, unused, true, QString());
    QVERIFY(gui.initialize());
    const QString base = QStringLiteral("Ondrel Analyzer/Controller (Stand-alone)");
    QCOMPARE(gui.fullTitle(), base + QStringLiteral(" - ") + ona);
    QCOMPARE(gui.title(), base);
    QSignalSpy titles(&gui, &OnaGUI::sigTitleChange);
    QVERIFY(gui.tclEval(QStringLiteral("ona_set_tu -name TU_data -value 7B")));
    QVERIFY(gui.isModified());
    QCOMPARE(gui.fullTitle(), base + QStringLiteral(" - ") + ona + QStringLiteral(" *"));
    QCOMPARE(gui.title(), base + QStringLiteral(" *"));
    QCOMPARE(gui.windowTitle(), gui.fullTitle());
    QVERIFY(!titles.isEmpty());
    QVERIFY(gui.onSave());
    QVERIFY(!gui.isModified());
    QCOMPARE(gui.windowTitle(), base + QStringLiteral(" - ") + ona);
    // The stand-alone window changes folder to the file's, quoted safely.
    QString pwd;
    QVERIFY(gui.tclEval(QStringLiteral("pwd"), &pwd));
    QCOMPARE(pwd, QFileInfo(ona).absolutePath());
}

void TstOnaGui::initializeFailures() {
    ScriptedDialogs dialogs;
    QString unused;
    {
        // Embedded, nothing to open: the load error, initialize refuses.
        QList<QString> args;
        OnaGUI gui(nullptr, args, unused, false, QString());
        m_host->attach(&gui);
        QVERIFY(!gui.initialize());
        QCOMPARE(dialogs.asked.size(), 1);
        QCOMPARE(dialogs.asked.at(0).caption, QStringLiteral("Ondrel Analyzer"));
        QCOMPARE(dialogs.asked.at(0).icon, QMessageBox::Critical);
        QCOMPARE(dialogs.asked.at(0).text, QStringLiteral("ERROR: Cannot open Analyzer file Untitled"));
    }
    dialogs.asked.clear();
    {
        // A named pipe given as the file: refused at once, never opened
        // (opening it would wait for a writer forever).
        const QString pipe = m_dir->filePath(QStringLiteral("pipe.ona"));
        QCOMPARE(QProcess::execute(QStringLiteral("mkfifo"), {pipe}), 0);
        QList<QString> args;
        OnaGUI gui(nullptr, args, unused, true, QString());
        QVERIFY(gui.initialize());
        QString name = pipe;
        QVERIFY(!gui.doOpenFile(name, QString()));
        QCOMPARE(dialogs.asked.size(), 1);
        QCOMPARE(dialogs.asked.at(0).text, QStringLiteral("ERROR: Cannot open Analyzer file ") + pipe);
    }
    dialogs.asked.clear();
    {
        // Embedded with a failing start-up command: refused, no box.
        QList<QString> args;
        OnaGUI gui(nullptr, args, unused, false, QStringLiteral("ona_open_project {/no/such.ona}"));
        m_host->attach(&gui);
        QVERIFY(!gui.initialize());
        QVERIFY(dialogs.asked.isEmpty());
    }
    {
        // Embedded with a start-up command that opens the project: it is
        // opened once, by that command.
        const QString ona = copyDemo();
        m_host->commands.clear();
        QList<QString> args;
        OnaGUI gui(nullptr, args, unused, false, QStringLiteral("ona_open_project \"%1\"").arg(ona));
        m_host->attach(&gui);
        QVERIFY(gui.initialize());
        QCOMPARE(gui.fullFileName(), ona);
        QCOMPARE(m_host->startingWith(QStringLiteral("ona_open_project")).size(), 1);
        QCOMPARE(gui.coreCheckBoxes().size(), 3);
        QVERIFY(gui.coreSelector());
    }
    OnaData::inst()->resetData();
    {
        // The window hears the engine before the start-up command runs: an
        // edit the command makes after opening marks the file modified.
        const QString ona = copyDemo(QStringLiteral("edited"));
        QList<QString> args;
        OnaGUI gui(nullptr, args, unused, false,
                   QStringLiteral("ona_open_project \"%1\"; ona_set_tu -name TU_data -value 11").arg(ona));
        m_host->attach(&gui);
        QVERIFY(gui.initialize());
        QCOMPARE(gui.fullFileName(), ona);
        QVERIFY(gui.isModified());
    }
    OnaData::inst()->resetData();
    {
        // Stand-alone with a failing start-up command: up, with no file.
        QList<QString> args{copyDemo(QStringLiteral("other"))};
        OnaGUI gui(nullptr, args, unused, true, QStringLiteral("error {start-up failed}"));
        QVERIFY(gui.initialize());
        QCOMPARE(gui.fullFileName(), QString());
        QVERIFY(!gui.isModified());
        QVERIFY(OnaData::inst()->getCurrentProject().isEmpty());
    }
    {
        // Stand-alone with nothing given: up and empty, no error box.
        dialogs.asked.clear();
        QList<QString> args;
        OnaGUI gui(nullptr, args, unused, true, QString());
        QVERIFY(gui.initialize());
        QCOMPARE(gui.fullFileName(), QString());
        QVERIFY(dialogs.asked.isEmpty());
    }
}

void TstOnaGui::modifiedFlagFollowsEveryEngineSignal() {
    auto gui = embedded(copyDemo());
    QVERIFY(gui);
    QVERIFY(!gui->isModified());
    QSignalSpy changed(gui.get(), &OnaGUI::fileChanged);
    const QStringList edits = {
        QStringLiteral("ona_set_tu -name TU_data -value 11"),      // setDirty
        QStringLiteral("ona_set_trigoptn -position post"),         // settingDirty
        QStringLiteral("ona_add_tokenset -tokenset Mine -bits 8"), // tokenDirty
        QStringLiteral("ona_set_core -name bus_la"),               // coreSetDirty
        QStringLiteral("ona_set_core -name uart_la -run off"),     // coreRunDirty
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
    QCOMPARE(gui->coreSelector()->currentText(), QStringLiteral("bus_la"));
    // Save sends the exact command and clears the flag.
    m_host->commands.clear();
    QSignalSpy saved(gui.get(), &OnaGUI::sigFileSaved);
    QVERIFY(gui->onSave());
    QCOMPARE(m_host->commands, QStringList{QStringLiteral("ona_save_project \"%1\"").arg(gui->fullFileName())});
    QVERIFY(!gui->isModified());
    QCOMPARE(saved.size(), 1);
    QCOMPARE(changed.last().at(0).toBool(), false);
    QVERIFY(gui->CompareData());
}

void TstOnaGui::saveFailuresKeepEdits() {
    ScriptedDialogs dialogs;
    const QString ona = copyDemo(QStringLiteral("it's \"quoted\" $x [y]"));
    auto gui = embedded(ona);
    QVERIFY(gui);
    // File text reaches Tcl escaped, and still names the file.
    QCOMPARE(m_host->startingWith(QStringLiteral("ona_open_project")).value(0),
             QStringLiteral("ona_open_project \"%1\"")
                 .arg(m_dir->filePath(QStringLiteral("it's \\\"quoted\\\" \\$x \\[y\\]/demo.ona"))));
    QCOMPARE(OnaData::inst()->getCurrentProject(), ona);
    QVERIFY(gui->tclEval(QStringLiteral("ona_set_tu -name TU_data -value 22")));

    // Save refused by the engine: maybeSave keeps the window, says so.
    m_host->refuse = [](const QString& c) { return c.startsWith(QStringLiteral("ona_save_project")); };
    dialogs.buttons.enqueue(QMessageBox::Yes);
    QVERIFY(!gui->maybeSave());
    QVERIFY(gui->isModified());
    QCOMPARE(dialogs.asked.first().text, QStringLiteral("Do you want to save your changes?"));
    QVERIFY(dialogs.asked.size() >= 2);

    // No: the close goes ahead and the flag is cleared.
    dialogs.asked.clear();
    dialogs.buttons.enqueue(QMessageBox::No);
    QVERIFY(gui->maybeSave());
    QVERIFY(!gui->isModified());

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
    QVERIFY(gui->tuModel());

    // A failed or cancelled save stops New, Close and the reload after a
    // debug-logic change as well: nothing is closed or opened.
    QSignalSpy news(gui.get(), &OnaGUI::sigNewFile);
    const QString onl = QFileInfo(ona).absolutePath() + QStringLiteral("/demo.onl");
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
        QCOMPARE(m_host->count(QStringLiteral("ona_close_project")), 0);
        QVERIFY(m_host->startingWith(QStringLiteral("ona_open_project")).isEmpty());
        QVERIFY(gui->isModified());
        QCOMPARE(OnaData::inst()->getCurrentProject(), ona);
    }
    m_host->refuse = nullptr;

    // Save As: cancelled keeps the name; a new name is used and kept.
    const QString before = gui->fullFileName();
    QVERIFY(!gui->fileSaveAs());
    QCOMPARE(gui->fullFileName(), before);
    const QString other = m_dir->filePath(QStringLiteral("other.ona"));
    dialogs.files.enqueue(other);
    QVERIFY(gui->fileSaveAs());
    QCOMPARE(gui->fullFileName(), other);
    QVERIFY(!gui->isModified());
    QVERIFY(QFileInfo::exists(other));
    QCOMPARE(dialogs.asked.last().caption, QStringLiteral("Save Ondrel Analyzer File"));
    QCOMPARE(dialogs.asked.last().filter, QStringLiteral("Ondrel Analyzer File (*.ona);;All Files (*)"));
    // A typed name without a suffix gets ".ona"; the path reaches Tcl escaped.
    m_host->commands.clear();
    dialogs.files.enqueue(m_dir->filePath(QStringLiteral("saved \"as\" $x [y]")));
    QVERIFY(gui->fileSaveAs());
    QCOMPARE(m_host->commands,
             QStringList{QStringLiteral("ona_save_project \"%1\"")
                             .arg(m_dir->filePath(QStringLiteral("saved \\\"as\\\" \\$x \\[y\\].ona")))});
    QCOMPARE(gui->fullFileName(), m_dir->filePath(QStringLiteral("saved \"as\" $x [y].ona")));
    QVERIFY(QFileInfo::exists(gui->fullFileName()));
    dialogs.files.enqueue(other);
    QVERIFY(gui->fileSaveAs());

    // A new file whose command fails leaves the previous state.
    QString name = m_dir->filePath(QStringLiteral("new.ona"));
    QVERIFY(!gui->doNewFile(name, QStringLiteral("ona_open_project {/no/such.onl}")));
    QCOMPARE(gui->fullFileName(), other);
    QVERIFY(!gui->isUntitled());
    QVERIFY(OnaData::inst()->ready);
    // An open that fails keeps the project the engine still has.
    QString missing = m_dir->filePath(QStringLiteral("missing.ona"));
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
    QCOMPARE(m_host->count(QStringLiteral("ona_close_project")), 1);
    QVERIFY(OnaData::inst()->getCurrentProject().isEmpty());
}

void TstOnaGui::newProjectAsksBeforeReplacing() {
    ScriptedDialogs dialogs;
    const QString ona = copyDemo(QStringLiteral("fresh"));
    const QString onl = QFileInfo(ona).absolutePath() + QStringLiteral("/demo.onl");
    QFile original(ona);
    QVERIFY(original.open(QIODevice::ReadOnly));
    const QByteArray before = original.readAll();
    original.close();
    const auto unchanged = [&] {
        QFile f(ona);
        return f.open(QIODevice::ReadOnly) && f.readAll() == before;
    };
    auto gui = embedded(ona);
    QVERIFY(gui);

    // File > New from demo.onl, as an application answers sigNewFile: the
    // proposed demo.ona exists, so Save asks, starting at that name.
    QString proposed = ona;
    QVERIFY(gui->doNewFile(proposed, QStringLiteral("ona_open_project \"%1\"").arg(onl)));
    QVERIFY(gui->isUntitled());
    QVERIFY(gui->tclEval(QStringLiteral("ona_set_tu -name TU_data -value 77")));
    m_host->commands.clear();
    dialogs.asked.clear();
    gui->onAutoSave(); // a timer never asks, and never overwrites
    QVERIFY(!gui->onSave());
    QCOMPARE(dialogs.asked.size(), 1);
    QCOMPARE(dialogs.asked.at(0).kind, QStringLiteral("save"));
    QCOMPARE(dialogs.asked.at(0).dir, ona);
    QVERIFY(m_host->startingWith(QStringLiteral("ona_save_project")).isEmpty());
    QVERIFY(unchanged());
    QVERIFY(gui->isModified());

    const QString mine = QFileInfo(ona).absolutePath() + QStringLiteral("/mine.ona");
    dialogs.files.enqueue(QFileInfo(mine).absolutePath() + QStringLiteral("/mine"));
    QVERIFY(gui->onSave());
    QCOMPARE(m_host->commands, QStringList{QStringLiteral("ona_save_project \"%1\"").arg(mine)});
    QCOMPARE(gui->fullFileName(), mine);
    QVERIFY(unchanged());
    // Its own name from then on: saved without asking.
    dialogs.asked.clear();
    QVERIFY(gui->onSave());
    QVERIFY(dialogs.asked.isEmpty());

    // The same from the console: the engine refuses, and the window's Save
    // then asks too.
    QVERIFY(gui->tclEval(QStringLiteral("ona_open_project \"%1\"").arg(onl)));
    QVERIFY(!gui->tclEval(QStringLiteral("ona_save_project")));
    QVERIFY(!gui->onSave());
    QCOMPARE(dialogs.asked.size(), 1);
    QVERIFY(unchanged());

    // A proposed name nobody uses is simply taken.
    QVERIFY(QFile::remove(ona));
    proposed = ona;
    QVERIFY(gui->doNewFile(proposed, QStringLiteral("ona_open_project \"%1\"").arg(onl)));
    dialogs.asked.clear();
    QVERIFY(gui->onSave());
    QVERIFY(dialogs.asked.isEmpty());
    QVERIFY(QFileInfo::exists(ona));
}

void TstOnaGui::fileChangedOutside() {
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
    QCOMPARE(dialogs.asked.at(0).text,
             QStringLiteral("The file was modified by another program. Do you want to reload it?"));
    QVERIFY(gui->isModified());
    gui->onActivated();
    gui->onActivated();
    QCOMPARE(dialogs.asked.size(), 1);

    // Changed again (an expression edited on disk), answered Yes: the
    // engine reads the file again and the flag is clean.
    QFile f(ona);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QByteArray text = f.readAll();
    f.close();
    QVERIFY(text.contains("\"TU_state & !TU_valid\""));
    text.replace("\"TU_state & !TU_valid\"", "\"TU_valid\"");
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text);
    f.close();
    touchLater(ona, 10);
    m_host->commands.clear();
    dialogs.buttons.enqueue(QMessageBox::Yes);
    gui->onActivated();
    QCOMPARE(dialogs.asked.size(), 2);
    QCOMPARE(m_host->commands.count(QStringLiteral("ona_open_project \"%1\"").arg(ona)), 1);
    QVERIFY(!gui->isModified());
    QCOMPARE(m_host->eval(QStringLiteral("dict get [ona_get te TE_start] expression")), QStringLiteral("TU_valid"));

    // A change the engine refuses to read: the user is told, the project in
    // memory stays and counts as modified.
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(text.replace("\"samples\": 2048", "\"samples\": 512"));
    f.close();
    touchLater(ona, 15);
    dialogs.buttons.enqueue(QMessageBox::Yes);
    gui->onActivated();
    QCOMPARE(dialogs.asked.size(), 4);
    QCOMPARE(dialogs.asked.at(3).icon, QMessageBox::Critical);
    QVERIFY2(dialogs.asked.at(3).text.contains(QStringLiteral("samples")), qPrintable(dialogs.asked.at(3).text));
    QVERIFY(gui->isModified());
    QCOMPARE(OnaData::inst()->getCurrentProject(), ona);
}

void TstOnaGui::debugLogicReloadQuestions() {
    ScriptedDialogs dialogs;
    const QString ona = copyDemo();
    const QString onl = QFileInfo(ona).absolutePath() + QStringLiteral("/demo.onl");
    const QString head = QStringLiteral("Debug Logic files have been modified, ");
    VemoImplementation* impl = VemoProjectManager::getProjectManager().getDefaultImplementation();

    // Stand-alone wording; "Ignore once" asks again next time.
    {
        QList<QString> args{ona};
        QString unused;
        OnaGUI gui(nullptr, args, unused, true, QString());
        QVERIFY(gui.initialize());
        touchLater(onl, 5);
        QVERIFY(gui.isOnlModified());
        dialogs.customAnswers.enqueue(1); // Ignore once
        gui.onActivated();
        QCOMPARE(dialogs.asked.size(), 1);
        QCOMPARE(dialogs.asked.at(0).kind, QStringLiteral("custom"));
        QCOMPARE(dialogs.asked.at(0).buttons,
                 QStringList({QStringLiteral("Yes"), QStringLiteral("Ignore once"), QStringLiteral("Never")}));
        QVERIFY(dialogs.asked.at(0).text.startsWith(head + QStringLiteral("which may be inconsistent with the current "
                                                                          "analyzing project. you can choose:\n")));
        QVERIFY(dialogs.asked.at(0).text.endsWith(
            QStringLiteral("3) Never: Don't notice me untill I do the save action.\n")));
        QCOMPARE(gui.reloadStatus(), 2);
        // "Never": silent until the next save.
        dialogs.customAnswers.enqueue(2);
        gui.onActivated();
        QCOMPARE(dialogs.asked.size(), 2);
        gui.onActivated();
        gui.onActivated();
        QCOMPARE(dialogs.asked.size(), 2);
        QVERIFY(gui.onSave());
        QCOMPARE(gui.reloadStatus(), 0);
        // "Yes": the project is closed and opened again, with the new stamp.
        dialogs.customAnswers.enqueue(0);
        gui.onActivated();
        QCOMPARE(dialogs.asked.size(), 3);
        QVERIFY(!gui.isOnlModified());
        QCOMPARE(gui.fullFileName(), ona);
        QCOMPARE(OnaData::inst()->getCurrentProject(), ona);
        QCOMPARE(gui.coreCheckBoxes().size(), 3);
        gui.onActivated();
        QCOMPARE(dialogs.asked.size(), 3);

        // Stand-alone, activating the window runs the check by itself.
        touchLater(onl, 10);
        dialogs.customAnswers.enqueue(1);
        gui.show();
        gui.activateWindow();
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
        {VemoImplementation::TaskOutOfDate, false, QStringLiteral("but the bitstream file is not updated")},
        {VemoImplementation::TaskNotRun, false,
         QStringLiteral("which may be inconsistent with current Analyzer project")},
        {VemoImplementation::TaskNotRun, true, QStringLiteral("and the bitstream file is updated")},
        {VemoImplementation::TaskFailed, false,
         QStringLiteral("which may be inconsistent with current Analyzer project")},
        {VemoImplementation::TaskRunning, false, QString()},
    };
    for (const Case& c : cases) {
        impl->setTaskStatus(QStringLiteral("Export"), QStringLiteral("Bitgen"), c.status);
        auto gui = embedded(copyDemo());
        QVERIFY(gui);
        touchLater(QFileInfo(gui->fullFileName()).absolutePath() + QStringLiteral("/demo.onl"), 5);
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

void TstOnaGui::windowSettings() {
    QList<QString> args{copyDemo()};
    QString unused;
    {
        OnaGUI gui(nullptr, args, unused, false, QString());
        m_host->attach(&gui);
        QVERIFY(gui.initialize());
        QCOMPARE(gui.size(), QSize(900, 700));
        QCOMPARE(gui.pos(), QPoint(170, 80));
        gui.resize(640, 480);
        gui.move(20, 30);
        gui.SaveWinSettings();
        vemo::basgui::BaseUsrSettings s(QStringLiteral("ONL_ANALYZER"));
        QCOMPARE(s.value(QStringLiteral("winwidth")).toInt(), 640);
        QCOMPARE(s.value(QStringLiteral("winheight")).toInt(), 480);
        QCOMPARE(s.value(QStringLiteral("winx")).toInt(), 20);
        QCOMPARE(s.value(QStringLiteral("winy")).toInt(), 30);
        QCOMPARE(s.value(QStringLiteral("winstate")).toInt(), 0);
        QCOMPARE(s.value(QStringLiteral("initserdes")).toInt(), 1);
        QCOMPARE(s.value(QStringLiteral("lastfilepath")).toString(), OnaData::inst()->getCurrentDirectory());
        QVERIFY(s.contains(QStringLiteral("lastimplpath")));
    }
    {
        vemo::basgui::BaseUsrSettings s(QStringLiteral("ONL_ANALYZER"));
        s.setValue(QStringLiteral("winstate"), int(Qt::WindowMaximized));
        s.setValue(QStringLiteral("winwidth"), 300);
        s.sync();
        OnaGUI gui(nullptr, args, unused, false, QString());
        m_host->attach(&gui);
        gui.resize(500, 400);
        QVERIFY(gui.initialize());
        // Maximised: the stored size and place are not applied at all.
        QVERIFY(gui.windowState() & Qt::WindowMaximized);
        QCOMPARE(gui.size(), QSize(500, 400));
    }
}

void TstOnaGui::tabSetsByCoreKind() {
    // The demo's analyzer cores plus a controller core, as a new project.
    QFile in(demoFile("demo.onl"));
    QVERIFY(in.open(QIODevice::ReadOnly));
    QJsonObject root = QJsonDocument::fromJson(in.readAll()).object();
    QJsonArray cores = root.value(QStringLiteral("cores")).toArray();
    cores.append(QJsonObject{{QStringLiteral("name"), QStringLiteral("ctrl")}, {QStringLiteral("kind"), 2}});
    root.insert(QStringLiteral("cores"), cores);
    root.remove(QStringLiteral("serdes")); // the core kinds' tabs alone
    const QString onl = m_dir->filePath(QStringLiteral("mixed.onl"));
    QFile out(onl);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(QJsonDocument(root).toJson());
    out.close();

    QList<QString> args;
    QString unused;
    OnaGUI gui(nullptr, args, unused, false, QStringLiteral("ona_open_project \"%1\"").arg(onl));
    m_host->attach(&gui);
    QVERIFY2(gui.initialize(), qPrintable(m_host->commands.join('\n')));
    QCOMPARE(tabTexts(gui), QStringList({QStringLiteral("LA Trigger"), QStringLiteral("LA Waveform")}));
    QVERIFY(gui.tuModel());
    QCOMPARE(gui.rightView()->tabWidget()->count(), 2);

    // The selector switches to the controller core: the controller set,
    // each tab disabled while the core defines nothing for it.
    m_host->commands.clear();
    gui.coreSelector()->setCurrentIndex(3);
    QCOMPARE(m_host->commands, QStringList{QStringLiteral("ona_set_core -name \"ctrl\"")});
    QCOMPARE(tabTexts(gui), RightView::controllerTitles());
    for (int i = 0; i < 5; ++i)
        QVERIFY(!gui.rightView()->tabWidget()->isTabEnabled(i));
    QVERIFY(!gui.tuModel());
    QCOMPARE(
        gui.rightView()->pagesOf<vemo::toolona::ControllerTab>(vemo::toolona::PageSet::Controller).at(0)->coreName(),
        QStringLiteral("ctrl"));
    // Selecting index 2 of a controller set never starts the SERDES, even
    // while the project has one; the SERDES page itself does.
    PCSData* pcs = PCSData::inst();
    pcs->initSERDES(); // with no SERDES: says there is none
    const QString untouched = pcs->getRunErr();
    pcs->getJTAG()->setSERDES(QStringLiteral("quad0"));
    gui.rightView()->setSerdesPages(true);
    QSignalSpy zoom(&gui, &OnaGUI::zoomAvailable);
    gui.rightView()->tabWidget()->setCurrentIndex(2);
    QCOMPARE(zoom.last().at(0).toBool(), false);
    QCOMPARE(pcs->getRunErr(), untouched);
    QTabWidget* tabs = gui.rightView()->tabWidget();
    tabs->setCurrentIndex(tabs->count() - 2);
    QCOMPARE(tabs->tabText(tabs->currentIndex()), QStringLiteral("Serdes Debug"));
    QVERIFY(pcs->getRunErr() != untouched);
    pcs->getJTAG()->setSERDES(QString());
    gui.rightView()->setSerdesPages(false);

    // Back on an analyzer core from the engine side: the selector follows
    // and sends nothing back.
    m_host->commands.clear();
    QVERIFY(gui.tclEval(QStringLiteral("ona_set_core -name uart_la")));
    QCOMPARE(m_host->commands.size(), 1);
    QCOMPARE(gui.coreSelector()->currentIndex(), 0);
    QCOMPARE(tabTexts(gui), QStringList({QStringLiteral("LA Trigger"), QStringLiteral("LA Waveform")}));
}

void TstOnaGui::undockAndRedock() {
    QList<QString> args;
    QString unused;
    OnaGUI gui(nullptr, args, unused, false, QString());
    RightView* view = gui.rightView();
    QTabWidget* tabs = view->tabWidget();
    QCOMPARE(tabs->count(), 7);
    vemo::toolona::ControllerTab* memory =
        view->pagesOf<vemo::toolona::ControllerTab>(vemo::toolona::PageSet::Controller).at(1);
    QCOMPARE(memory->tabTitle(), QStringLiteral("User Memory"));

    memory->dockButtonClicked(); // undock
    QVERIFY(!memory->isDocked());
    QVERIFY(memory->isWindow());
    QCOMPARE(memory->windowTitle(), QStringLiteral("User Memory"));
    QCOMPARE(memory->pos(), QPoint(80, 80));
    QCOMPARE(memory->width(), 855);
    QCOMPARE(tabs->indexOf(memory), -1);
    QCOMPARE(memory->dockButton()->toolTip(), QStringLiteral("Attach View"));

    // Closing the floating window docks it back; with no project (no
    // current core) it is not shown in the tab widget.
    memory->close();
    QVERIFY(memory->isDocked());
    QVERIFY(!memory->isVisible());
    QCOMPARE(memory->dockButton()->toolTip(), QStringLiteral("Detach View"));
    QCOMPARE(tabs->indexOf(memory), -1);

    // With a controller core current, only tabs last given that core return.
    QJsonObject root{{QStringLiteral("format"), QStringLiteral("ondrel-onl")},
                     {QStringLiteral("version"), 1},
                     {QStringLiteral("device"), QStringLiteral("ONX-SIM-25")},
                     {QStringLiteral("cores"), QJsonArray{QJsonObject{{QStringLiteral("name"), QStringLiteral("ctrl")},
                                                                      {QStringLiteral("kind"), 2}}}}};
    const QString onl = m_dir->filePath(QStringLiteral("ctrl.onl"));
    QFile out(onl);
    QVERIFY(out.open(QIODevice::WriteOnly));
    out.write(QJsonDocument(root).toJson());
    out.close();
    m_host->attach(&gui);
    QString result;
    QVERIFY2(gui.tclEval(QStringLiteral("ona_open_project \"%1\"").arg(onl), &result), qPrintable(result));
    QCOMPARE(tabTexts(gui), RightView::controllerTitles());
    vemo::toolona::ControllerTab* hardIp =
        view->pagesOf<vemo::toolona::ControllerTab>(vemo::toolona::PageSet::Controller).at(4);
    hardIp->dockButtonClicked();
    QCOMPARE(hardIp->pos(), QPoint(170, 170));
    memory->dockButtonClicked();
    QCOMPARE(tabs->count(), 3);
    memory->setCore({}); // now belongs to no core
    memory->dockButtonClicked();
    QCOMPARE(tabs->indexOf(memory), -1);
    hardIp->dockButtonClicked();
    QCOMPARE(tabs->indexOf(hardIp), 3);
    QCOMPARE(tabs->count(), 4);
}

void TstOnaGui::runPanelAndSerdesProgress() {
    ScriptedDialogs dialogs; // a SERDES error of an earlier read is shown in a box
    QList<QString> args;
    QString unused;
    OnaGUI gui(nullptr, args, unused, false, QString());
    QCOMPARE(gui.progressBar()->format(), QStringLiteral("Ready"));
    gui.doPCSPanel(1);
    QCOMPARE(gui.progressBar()->format(), QStringLiteral("ERROR!"));
    gui.doPCSPanel(6);
    QCOMPARE(gui.progressBar()->format(), QStringLiteral("Initializing SERDES"));
    QVERIFY(!gui.stopAction()->isVisible());
    QVERIFY(!gui.triggerAction()->isEnabled());
}

void TstOnaGui::serdesPagesSurviveTabRebuilds() {
    QList<QString> args;
    QString unused;
    OnaGUI gui(nullptr, args, unused, false, QString());
    RightView* view = gui.rightView();
    view->setSerdesPages(true);
    const QStringList serdes{QStringLiteral("Serdes Debug"), QStringLiteral("Wishbone Debug")};
    view->showAnalyzerTabs();
    QCOMPARE(tabTexts(gui), QStringList({QStringLiteral("LA Trigger"), QStringLiteral("LA Waveform")}) + serdes);
    view->showControllerTabs(QString(), false);
    QCOMPARE(tabTexts(gui), RightView::controllerTitles() + serdes);
    // A dock rebuild with no current core (no project) keeps them too.
    view->pagesOf<vemo::toolona::ControllerTab>(vemo::toolona::PageSet::Controller).at(0)->dockButtonClicked();
    view->pagesOf<vemo::toolona::ControllerTab>(vemo::toolona::PageSet::Controller).at(0)->dockButtonClicked();
    QCOMPARE(tabTexts(gui), serdes);
    view->setSerdesPages(false);
    QVERIFY(tabTexts(gui).isEmpty());
}

void TstOnaGui::inactiveFileDisablesUntilNextOpen() {
    const QString ona = copyDemo();
    // The association is asked only when the open does not initialise the
    // demo's SERDES.
    vemo::basgui::BaseUsrSettings(QStringLiteral("ONL_ANALYZER")).setValue(QStringLiteral("initserdes"), 0);
    VemoImplementation* impl = VemoProjectManager::getProjectManager().getDefaultImplementation();
    impl->addResource(ona)->addAssociated(QStringLiteral("impl1"), false);
    auto gui = embedded(ona);
    QVERIFY(gui);
    QVERIFY(!gui->isEnabled());
    impl->getResource(ona)->setAssociatedState(QStringLiteral("impl1"), true);
    QString again = ona;
    QVERIFY(gui->doOpenFile(again, QString()));
    QVERIFY(gui->isEnabled());
}

void TstOnaGui::shutdownClosesControllerOnce() {
    {
        auto gui = embedded(copyDemo());
        QVERIFY(gui);
        gui.reset();
        QCOMPARE(m_host->count(QStringLiteral("ona_close_controller")), 1);
        QVERIFY(OnaData::inst()->getCurrentProject().isEmpty());
    }
    m_host->commands.clear();
    {
        // Closing the project from the engine side runs the shutdown; the
        // destructor does not repeat it.
        auto gui = embedded(copyDemo(QStringLiteral("second")));
        QVERIFY(gui);
        QVERIFY(gui->tclEval(QStringLiteral("ona_close_project")));
        QCOMPARE(m_host->count(QStringLiteral("ona_close_controller")), 1);
        for (auto* tab : gui->rightView()->pagesOf<vemo::toolona::ControllerTab>(vemo::toolona::PageSet::Controller))
            QVERIFY(tab->isClosingForGood());
        gui.reset();
        QCOMPARE(m_host->count(QStringLiteral("ona_close_controller")), 1);
    }
}

void TstOnaGui::closeFromTclKeepsUnsavedEdits() {
    ScriptedDialogs dialogs;
    const QString ona = copyDemo();
    const QByteArray original = [&] {
        QFile f(ona);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    auto gui = embedded(ona);
    QVERIFY(gui);
    QVERIFY(gui->tclEval(QStringLiteral("ona_set_tu -name TU_data -value 5B")));
    QVERIFY(gui->isModified());

    // Nobody to ask (a start-up script): refused with a reason, nothing asked.
    gui->setUnattended(true);
    QString result;
    QVERIFY(!gui->tclEval(QStringLiteral("ona_close_project"), &result));
    QVERIFY2(result.contains(QStringLiteral("unsaved changes")), qPrintable(result));
    QVERIFY(dialogs.asked.isEmpty());
    QVERIFY(OnaData::inst()->isProjectOpen());
    gui->setUnattended(false);

    // Asked while the project is still open, so "Yes" saves it.
    dialogs.buttons.enqueue(QMessageBox::Yes);
    QVERIFY2(gui->tclEval(QStringLiteral("ona_close_project"), &result), qPrintable(result));
    QCOMPARE(dialogs.asked.size(), 1);
    QVERIFY(!OnaData::inst()->isProjectOpen());
    QFile saved(ona);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QVERIFY(saved.readAll() != original);
}

void TstOnaGui::anyUnicodeInNamesAndValues() {
    // A folder with an emoji, CJK and a combining mark: the window opens,
    // edits and saves the project there, and the engine sees the same text.
    const QString folder = QStringLiteral("\U0001F600 \u6F22\u5B57 e\u0301");
    const QString ona = copyDemo(folder);
    auto gui = embedded(ona);
    QVERIFY(gui);
    QCOMPARE(OnaData::inst()->getCurrentProject(), ona);
    const QString value = QStringLiteral("\U0001F680\u0301");
    QVERIFY(gui->tclEval(QStringLiteral("ona_set_tu -name TU_data -value \"%1\"").arg(value)));
    QCOMPARE(OnaData::inst()->getTUValue(OnaData::inst()->getTUModel()->rowOf(QStringLiteral("TU_data"))), value);
    QVERIFY(gui->SaveFile());
    QFile saved(ona);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QVERIFY(QString::fromUtf8(saved.readAll()).contains(value));
    QCOMPARE(QDir(m_dir->filePath(folder)).entryList(QDir::Files),
             (QStringList{"demo.ona", "demo.onl", "mpp_merge.json"}));
}

QTEST_MAIN(TstOnaGui)
#include "tst_onagui.moc"
