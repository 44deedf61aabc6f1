// Menus, tool bars and the host connections of the tool window: the lists
// per mode, the 14 connections, each shared action acting once per click,
// and when the availability signals say what.

#include "demofixture.h"
#include "recordinghost.h"
#include "testtime.h"

#include "shell/onagui.h"
#include "shell/rightview.h"

#include "shell/optionsdialog.h"

#include "basgui/basemainwindow.h"
#include "basgui/dialogseam.h"
#include "onadata.h"
#include "settings/baseusrsettings.h"
#include "theme/themesetting.h"
#include "waveformmodel.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

using vemo::basgui::ScriptedDialogs;
using vemo::basgui::StdMenu;
using namespace vemo::toolona;
using namespace Qt::StringLiterals;

namespace {

QStringList texts(const QList<QAction*>& actions) {
    QStringList out;
    for (QAction* a : actions)
        out << (a ? a->text() : u"<null>"_s);
    return out;
}

// Last value of a bool signal caught by `spy`.
bool last(const QSignalSpy& spy) { return spy.constLast().constFirst().toBool(); }

} // namespace

class TstMenus : public DemoTest {
    Q_OBJECT
private slots:
    void init() { freshHost(); }
    void cleanup() { closeDemo(); }

    void listsPerMode() {
        const QString ona = demofixture::copyDemo(m_dir->path());
        auto embedded = demofixture::embeddedGui(m_host.get(), ona);
        QVERIFY(embedded);
        auto standalone = demofixture::standaloneGui(ona);
        QVERIFY(standalone);

        for (OnaGUI* gui : {embedded.get(), standalone.get()}) {
            const bool alone = gui == standalone.get();
            // Each call returns its own list, however often the host asks; the
            // embedded window leaves New, Open and Options to its host.
            for (int round = 0; round < 2; ++round) {
                QCOMPARE(gui->stdMenuItems(vemo::basgui::FileMenu).size(), alone ? 5 : 3);
                QCOMPARE(texts(gui->myMenuItems(vemo::basgui::ToolsMenu)).contains("Options..."), alone);
            }
            const QStringList view = texts(gui->myMenuItems(vemo::basgui::ViewMenu));
            QCOMPARE(view.mid(0, 3), QStringList({"Next Edge", "Previous Edge", "Find Value..."}));
            if (alone)
                QCOMPARE(view.value(3), u"Tcl Console"_s);
            else
                QCOMPARE(view.size(), 3);
            // Offered only while a capture is shown.
            QVERIFY(!gui->tableAction(FindValueAction)->isEnabled());

            // The menus the host built from the lists.
            QVERIFY(gui->stdMenu(vemo::basgui::ToolsMenu)->actions().contains(gui->tableAction(33)));
            QCOMPARE(gui->stdMenu(vemo::basgui::FileMenu)->actions().contains(gui->sharedAction("new")), alone);
            // The special tool bar on its own row, with the run panel.
            QVERIFY(gui->toolBarBreak(gui->specialToolBar()));
            const QList<QAction*> panel = gui->specialToolBar()->actions();
            QVERIFY(panel.indexOf(gui->runAction()) >= 0 &&
                    panel.indexOf(gui->runAction()) < panel.indexOf(gui->stopAction()));
            QVERIFY(panel.indexOf(gui->stopAction()) < panel.indexOf(gui->triggerAction()));
            QCOMPARE(gui->specialToolBar()->widgetForAction(panel.first()), gui->progressBar());
        }
    }
    void fourteenConnectionsActingOnce() {
        QVERIFY(openDemo());
        // Every entry names a real signal and slot: the host makes all 14.
        QVERIFY(m_gui->connectSharedAction());
        QCOMPARE(m_gui->connectedCount(), 14);

        // The availability signals reach the shared actions.
        m_gui->SetDirtyBit();
        QVERIFY(m_gui->sharedAction("save")->isEnabled());
        m_gui->ResetDirtyBit();
        QVERIFY(!m_gui->sharedAction("save")->isEnabled());
        m_gui->sharedAction("about")->setEnabled(false);
        m_gui->sharedAction("save as")->setEnabled(false);
        m_gui->refreshConnections();
        QVERIFY(m_gui->sharedAction("about")->isEnabled() && m_gui->sharedAction("save as")->isEnabled());
        QVERIFY(!m_gui->sharedAction("save")->isEnabled());
        // Connected, the host's actions show the tool's state at once.
        QVERIFY(!m_gui->sharedAction("zoom in")->isEnabled()); // no capture yet

        // Each shared action acts once.
        ScriptedDialogs dialogs;
        m_host->commands.clear();
        m_gui->SetDirtyBit();
        m_gui->sharedAction("save")->trigger();
        QCOMPARE(m_host->startingWith("ona_save_project").size(), 1);
        QVERIFY(!m_gui->isModified());

        // Save As asks once; cancelled, nothing is saved.
        m_gui->sharedAction("save as")->trigger();
        int asked = 0;
        for (const auto& a : dialogs.asked)
            asked += a.kind == QLatin1String("save");
        QCOMPARE(asked, 1);
        QCOMPARE(m_host->startingWith("ona_save_project").size(), 1);

        // About shows one box.
        dialogs.asked.clear();
        m_gui->sharedAction("about")->trigger();
        QCOMPARE(dialogs.asked.size(), 1);
        QCOMPARE(dialogs.asked.at(0).kind, u"dialog"_s);

        // Zoom moves one step per click.
        QVERIFY(capture(m_gui.get()));
        WaveformModel* model = m_gui->wdModel();
        QVERIFY(model && model->hasData());
        m_gui->sharedAction("zoom fit")->trigger();
        const int all = model->getViewCount();
        QVERIFY(all > 4);
        m_gui->sharedAction("zoom in")->trigger();
        QCOMPARE(model->getViewCount(), all / 2);
        m_gui->sharedAction("zoom in")->trigger();
        QCOMPARE(model->getViewCount(), all / 4);
        m_gui->sharedAction("zoom out")->trigger();
        QCOMPARE(model->getViewCount(), all / 2);
        // Zoom to the trigger frame shows the one frame of this capture.
        m_gui->viewZoomtrigger();
        QCOMPARE(model->getViewCount(), all);
    }
    void zoomFollowsTabCoreRunAndFile() {
        QVERIFY(openDemo() && m_gui->connectSharedAction());
        QAction* zoom = m_gui->sharedAction("zoom in");
        QSignalSpy spy(m_gui.get(), &OnaGUI::zoomAvailable);
        QTabWidget* tabs = m_gui->rightView()->tabWidget();

        // No capture: never available, whatever the tab.
        tabs->setCurrentIndex(1);
        QVERIFY(!zoom->isEnabled());

        // A run turns it off when it starts and on at its end (waveform in front).
        spy.clear();
        QVERIFY(capture(m_gui.get()) && !spy.isEmpty());
        QCOMPARE(spy.constFirst().constFirst().toBool(), false);
        QCOMPARE(tabs->currentIndex(), 1);
        QVERIFY(last(spy) && zoom->isEnabled());

        // Tab: only the waveform page zooms.
        tabs->setCurrentIndex(0);
        QVERIFY(!zoom->isEnabled());
        tabs->setCurrentIndex(1);
        QVERIFY(zoom->isEnabled());

        // Core: the other core has captured nothing of its own unless it ran.
        QComboBox* selector = m_gui->coreSelector();
        QVERIFY(selector);
        const bool busRan = OnaData::inst()->isRunCore(1);
        selector->setCurrentIndex(1);
        QCOMPARE(OnaData::inst()->getCurrentCore(), 1);
        tabs->setCurrentIndex(1);
        QCOMPARE(zoom->isEnabled(), busRan && m_gui->wdModel() && m_gui->wdModel()->hasData());
        selector->setCurrentIndex(0);
        tabs->setCurrentIndex(1);
        QVERIFY(zoom->isEnabled());

        // Tool switch and attach re-evaluate it.
        spy.clear();
        m_gui->onToolSwitched(true);
        QVERIFY(!spy.isEmpty() && last(spy));
        tabs->setCurrentIndex(0);
        spy.clear();
        m_gui->onToolSwitched(true);
        QVERIFY(!spy.isEmpty() && !last(spy));

        // File: a freshly opened project has no capture in front.
        QString name = demofixture::copyDemo(m_dir->path(), u"other"_s);
        QVERIFY(m_gui->doOpenFile(name, QString()) && !zoom->isEnabled());
    }
    void undoRedoAndOwnActions() {
        const QString ona = demofixture::copyDemo(m_dir->path());
        auto gui = demofixture::embeddedGui(m_host.get(), ona);
        QVERIFY(gui);
        QSignalSpy undo(gui.get(), &OnaGUI::undoAvailable);
        QSignalSpy redo(gui.get(), &OnaGUI::redoAvailable);
        gui->onUndoChanged(true);
        gui->onRedoChanged(true);
        QVERIFY(last(undo) && last(redo));
        gui->onUndoChanged(false);
        QVERIFY(!last(undo));

        // A file that cannot be written keeps undo and redo unavailable.
        // (Only where permissions bind: root may write anything.)
        QFile::setPermissions(ona, QFileDevice::ReadOwner);
        if (!QFileInfo(ona).isWritable()) {
            gui->onActivated();
            QVERIFY(gui->isReadOnlyFile());
            gui->onUndoChanged(true);
            gui->onRedoChanged(true);
            QVERIFY(!last(undo) && !last(redo));
        }
        QFile::setPermissions(ona, QFileDevice::ReadOwner | QFileDevice::WriteOwner);

        // programDevice called directly (no action behind it): an empty tip, no crash.
        QSignalSpy tips(gui.get(), &OnaGUI::sigStatusTips);
        gui->programDevice();
        QCOMPARE(tips.size(), 1);

        // Stand-alone, a writable file announces that editing is available.
        auto alone = demofixture::makeGui(true, {demofixture::copyDemo(m_dir->path(), u"alone"_s)});
        QSignalSpy edit(alone.get(), &OnaGUI::editAvailable);
        QVERIFY(alone->initialize() && !edit.isEmpty());
        QCOMPARE(edit.constLast().constFirst().toBool(), true);

        // Options...: with nobody listening, the stand-alone tool's own dialog
        // edits the settings it reads and stores them where they live.
        vemo::basgui::ScriptedDialogs dialogs;
        QCOMPARE(alone->initSerdesPreference(), 1);
        const QString themeBefore = vemo::theme::ThemeSetting::style();
        const QString otherTheme = themeBefore == QLatin1String("dark") ? u"light"_s : u"dark"_s;
        dialogs.onDialog = [&](QDialog* d) {
            auto* options = qobject_cast<OptionsDialog*>(d);
            if (!options)
                return int(QDialog::Rejected);
            options->themeCombo()->setCurrentIndex(options->themeCombo()->findData(otherTheme));
            options->initSerdesCheck()->setChecked(false);
            return int(QDialog::Accepted);
        };
        alone->tableAction(91)->trigger();
        QCOMPARE(dialogs.asked.size(), 1);
        QCOMPARE(dialogs.asked.at(0).kind, u"dialog"_s);
        QCOMPARE(alone->initSerdesPreference(), 0);
        QCOMPARE(vemo::basgui::BaseUsrSettings(u"ONL_ANALYZER"_s).value(u"initserdes"_s).toInt(), 0);
        QCOMPARE(vemo::basgui::BaseUsrSettings(u"host"_s).value(u"theme_style"_s).toString(), otherTheme);
        // Cancelled: nothing changes.
        dialogs.onDialog = [](QDialog* d) {
            if (auto* options = qobject_cast<OptionsDialog*>(d))
                options->initSerdesCheck()->setChecked(true);
            return int(QDialog::Rejected);
        };
        alone->tableAction(91)->trigger();
        QCOMPARE(alone->initSerdesPreference(), 0);
        vemo::theme::ThemeSetting::setStyle(themeBefore);

        // An application that listens gets the signal instead.
        QSignalSpy options(alone.get(), &OnaGUI::sigOptionDialog);
        alone->tableAction(91)->trigger();
        QCOMPARE(options.size(), 1);
        QCOMPARE(dialogs.asked.size(), 2);
    }

private:
    // Runs a capture through the panel and waits for its end.
    bool capture(OnaGUI* gui);
};

bool TstMenus::capture(OnaGUI* gui) {
    gui->runAnalyzer();
    // Until the window has heard of the end, not only the engine.
    if (!QTest::qWaitFor(
            [gui] {
                return gui->progressBar()->format() == QLatin1String("Completed") && gui->runAction()->isVisible() &&
                       !OnaData::inst()->isBusy();
            },
            testMs(20000)))
        return false;
    return gui->progressBar()->format() == QLatin1String("Completed");
}

QTEST_MAIN(TstMenus)
#include "tst_menus.moc"
