// The run panel driven by the engine's real acquisition thread: every
// status text, stop and manual trigger while a trigger never comes, the
// checks before a run, the core check boxes and selector on the wire, and
// power-on-reset runs.

#include "demofixture.h"
#include "guitest.h"
#include "recordinghost.h"
#include "testtime.h"

#include "kit/toolgateway.h"
#include "shell/onagui.h"
#include "shell/rightview.h"
#include "trigger/triggerview.h"

#include "basgui/dialogseam.h"
#include "message/messagewindow.h"
#include "onadata.h"
#include "onajtag.h"
#include "waveformmodel.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

using vemo::basgui::ScriptedDialogs;
using namespace vemo::toolona;
using namespace Qt::StringLiterals;

class TstRun : public DemoTest {
    Q_OBJECT
public slots:
    void notePanel() {
        if (!m_watched)
            return;
        // The state's words; the percentage is followed on its own.
        QString text = m_watched->progressBar()->format();
        text.remove(u" %p%"_s);
        text.remove(QRegularExpression(u" [\\d:]+ (s|min|h)$"_s)); // the seconds a run waits
        if (m_texts.isEmpty() || m_texts.constLast() != text)
            m_texts << text;
    }

private slots:
    void init() {
        freshHost();
        m_texts.clear();
    }
    void cleanup() {
        OnaData* data = OnaData::inst();
        disconnect(data->getAcqThread(), nullptr, this, nullptr);
        disconnect(data->getJTAG(), nullptr, this, nullptr);
        m_watched = nullptr;
        closeDemo();
    }

    void captureShowsEveryState() {
        ScriptedDialogs dialogs;
        QVERIFY(openDemo({}, false));
        // bus_la alone, three frames on a rare write (about a third of a second
        // apart on the simulated bus), so the panel sees each frame arrive.
        m_host->eval(
            u"ona_set_core -name uart_la -run off; ona_set_core -name bus_la; "
            "ona_set_tu -name TU_magic -radix Bin; "
            "ona_set_tu -name TU_magic -value 1101111010101101100xxxxxxxxxxxxx; "
            "ona_set_te -name TE_write -enable off; ona_set_te -name TE_magic -expression TU_magic; "
            "ona_set_te -name TE_magic -enable on; ona_set_trigoptn -numtriggers 3 -samples 64"_s);
        recordPanel(m_gui.get());
        m_host->commands.clear();
        m_gui->ResetDirtyBit();
        QSignalSpy updates(OnaData::inst()->getJTAG(), &OnaJTAG::updatePanel);
        QSignalSpy done(OnaData::inst()->getAcqThread(), SIGNAL(doneThread(int)));

        m_gui->runAction()->trigger();
        notePanel();
        QCOMPARE(m_host->commands, QStringList({u"ona_run"_s}));
        QCOMPARE(m_gui->progressBar()->format(), u"Connecting"_s);
        QVERIFY(m_gui->isModified() && !m_gui->runAction()->isEnabled());
        for (QCheckBox* box : m_gui->coreCheckBoxes())
            QVERIFY(!box->isEnabled());
        QCOMPARE(m_gui->rightView()->tabWidget()->currentIndex(), 1);

        // Running: Stop in place of Run, Manual Trigger on.
        QVERIFY(QTest::qWaitFor([&] { return m_gui->stopAction()->isVisible(); }, testMs(10000)));
        QVERIFY(!m_gui->runAction()->isVisible() && m_gui->triggerAction()->isEnabled());
        QVERIFY(QTest::qWaitFor([&] { return m_texts.contains(u"Sampling 2 triggers"_s); }, testMs(30000)));
        QVERIFY(waitIdle(m_gui.get()));

        QVERIFY2(m_texts.contains(u"Sampling 1 trigger"_s), qPrintable(m_texts.join(", ")));
        QCOMPARE(m_texts.constLast(), u"Completed"_s);
        // Every text is one of the panel's, in run order, with the right plural.
        static const QRegularExpression sampling(u"^Sampling (\\d+) trigger(s?)$"_s);
        int lastFrames = 0;
        for (const QString& text : std::as_const(m_texts)) {
            const QRegularExpressionMatch m = sampling.match(text);
            if (m.hasMatch()) {
                const int n = m.captured(1).toInt();
                QCOMPARE(m.captured(2).isEmpty(), n == 1);
                QVERIFY(n >= lastFrames);
                lastFrames = n;
            } else {
                QVERIFY2(QStringList({"Connecting", "Configuring", "Running", "Uploading", "Completed"}).contains(text),
                         qPrintable(text));
            }
        }
        QVERIFY(errorBoxes(dialogs).isEmpty());
        // Progress is rate-limited, not one update per sample; the run ends once.
        QVERIFY2(updates.count() < 40, qPrintable(QString::number(updates.count())));
        QCOMPARE(done.count(), 1);

        // The end gives the controls back and the capture to the pages.
        checkRunBack(m_gui.get());
        QVERIFY(!m_gui->triggerAction()->isEnabled());
        QCOMPARE(m_gui->wdModel()->getNumTriggerFrame(), 3);
        // No cores were switched for this run, so none are switched back.
        QVERIFY(m_host->startingWith(u"ona_set_core"_s).isEmpty());
    }
    void stopAndManualTriggerWhileWaiting() {
        ScriptedDialogs dialogs;
        QVERIFY(openDemo({}, false));
        // rx_data is never 0x77: the trigger never comes.
        m_host->eval(
            u"ona_set_core -name bus_la -run off; "
            "ona_set_tu -name TU_data -value 77; ona_set_te -name TE_start -expression TU_data"_s);
        // Idle, neither sends anything.
        m_host->commands.clear();
        m_gui->stopAnalyzer();
        m_gui->manualTrigger();
        QVERIFY(m_host->commands.isEmpty());

        m_gui->runAnalyzer();
        QVERIFY(
            QTest::qWaitFor([&] { return m_gui->progressBar()->format() == QLatin1String("Running"); }, testMs(10000)));
        // A script's wait that runs out says so.
        int code = 0;
        const QString waited = m_host->eval(u"ona_wait -timeout 100"_s, &code);
        QVERIFY(code != 0);
        QVERIFY2(waited.contains(u"still running"_s), qPrintable(waited));
        m_gui->triggerAction()->trigger();
        QVERIFY(waitIdle(m_gui.get()));
        QCOMPARE(m_gui->progressBar()->format(), u"Upload stopped"_s);
        QCOMPARE(m_host->commands, QStringList({u"ona_run"_s, u"ona_manualtrig"_s}));
        QVERIFY(m_gui->wdModel()->hasData());
        const int uploaded = m_gui->wdModel()->getNumTime();

        m_host->commands.clear();
        m_gui->runAnalyzer();
        QVERIFY(QTest::qWaitFor([&] { return m_gui->stopAction()->isEnabled(); }, testMs(10000)));
        m_gui->stopAction()->trigger();
        QVERIFY(waitIdle(m_gui.get()));
        QCOMPARE(m_gui->progressBar()->format(), u"Stopped"_s);
        QCOMPARE(m_host->commands, QStringList({u"ona_run"_s, u"ona_stop"_s}));
        // Nothing uploaded: the earlier capture stays.
        QCOMPARE(m_gui->wdModel()->getNumTime(), uploaded);
        QVERIFY(errorBoxes(dialogs).isEmpty());
    }
    void checksBeforeARun() {
        ScriptedDialogs dialogs;
        QVERIFY(openDemo({}, false));
        m_host->commands.clear();

        // A value that does not parse.
        m_host->eval(u"ona_set_tu -name TU_data -value zz"_s);
        m_gui->runAnalyzer();
        QCOMPARE(errorBoxes(dialogs), QStringList({"Please fix 1 error in Trigger Setup of active core."}));
        QVERIFY(m_host->commands.isEmpty());
        m_host->eval(u"ona_set_tu -name TU_data -value 5A"_s);

        // No enabled expression.
        dialogs.asked.clear();
        m_host->eval(u"ona_set_te -name TE_start -enable off"_s);
        m_gui->runAnalyzer();
        QCOMPARE(errorBoxes(dialogs), QStringList({"Please enable at least one TE expression."}));
        QVERIFY(m_host->commands.isEmpty());
        m_host->eval(u"ona_set_te -name TE_start -enable on"_s);

        // The engine refuses the run: its message, and the panel back as it was.
        dialogs.asked.clear();
        m_host->refuse = [](const QString& cmd) { return cmd == QLatin1String("ona_run"); };
        m_gui->runAnalyzer();
        QCOMPARE(m_host->commands, QStringList({u"ona_run"_s}));
        QCOMPARE(errorBoxes(dialogs), QStringList({"refused by the test"}));
        QCOMPARE(m_gui->progressBar()->format(), u"Ready"_s);
        checkRunBack(m_gui.get());
        QVERIFY(!m_gui->stopAction()->isVisible());
        m_host->refuse = nullptr;

        // The cable is not connected: the run still starts after the refusal,
        // fails in the engine's thread and
        // the window shows the engine's "ERROR:" text, with the controls back.
        dialogs.asked.clear();
        m_host->eval(u"ona_set_project -cableport 3"_s);
        m_gui->runAnalyzer();
        QVERIFY(waitIdle(m_gui.get()));
        QCOMPARE(m_gui->progressBar()->format(), u"Error!"_s);
        const QStringList boxes = errorBoxes(dialogs);
        QCOMPARE(boxes.size(), 1);
        QVERIFY(boxes.first().startsWith(QLatin1String("ERROR: cable EzUSB-3 is not connected")));
        checkRunBack(m_gui.get());
    }
    void coreBoxesAndSelector() {
        QVERIFY(openDemo({}, false));
        const QList<QCheckBox*> boxes = m_gui->coreCheckBoxes();
        QComboBox* selector = m_gui->coreSelector();

        // The user's clicks: exactly one command each.
        QCOMPARE(m_host->sent([&] { boxes.at(0)->click(); }), QStringList({"ona_set_core -name \"uart_la\" -run off"}));
        QVERIFY(!OnaData::inst()->isRunCore(0) && m_gui->runAction()->isEnabled());
        boxes.at(1)->click();
        QVERIFY(!m_gui->runAction()->isEnabled()); // the last one unchecked
        boxes.at(0)->click();
        QCOMPARE(m_host->commands.constLast(), u"ona_set_core -name \"uart_la\" -run on"_s);
        QVERIFY(m_gui->runAction()->isEnabled());
        // A name reaches Tcl as one quoted word, whatever it holds.
        m_host->eval(u"ona_set_core -name uart_la -run off"_s);
        boxes.at(1)->setText(u"odd \"core\" [x] $y"_s);
        boxes.at(1)->click();
        QCOMPARE(m_host->commands.constLast(), u"ona_set_core -name \"odd \\\"core\\\" \\[x\\] \\$y\" -run on"_s);
        boxes.at(1)->setText(u"bus_la"_s);
        boxes.at(1)->click();
        boxes.at(1)->click();
        m_host->eval(u"ona_set_core -name uart_la -run on"_s);
        QVERIFY(OnaData::inst()->isRunCore(0) && OnaData::inst()->isRunCore(1));

        // The engine's own changes move the widgets and send nothing back.
        m_host->commands.clear();
        m_host->eval(u"ona_set_core -name bus_la -run on"_s);
        QVERIFY(boxes.at(1)->isChecked());
        m_host->eval(u"ona_set_core -name bus_la"_s);
        QCOMPARE(selector->currentIndex(), 1);
        QVERIFY(m_host->commands.isEmpty());

        // The selector switches the engine's core.
        m_gui->ResetDirtyBit();
        selector->setCurrentIndex(0);
        QCOMPARE(m_host->commands, QStringList({"ona_set_core -name \"uart_la\""}));
        QCOMPARE(OnaData::inst()->getCurrentCore(), 0);
        QVERIFY(m_gui->isModified());

        // No core index: the selector keeps naming the engine's core, and an
        // emptied selector sends no nameless command.
        m_host->commands.clear();
        m_gui->doCoreSetChanged(-1);
        QCOMPARE(selector->currentIndex(), 0);
        selector->setCurrentIndex(-1);
        m_gui->setOnlCore(-1);
        QVERIFY(m_host->commands.isEmpty());

        // Closing the file removes the core widgets.
        QPointer<QComboBox> gone(selector);
        m_gui->CloseFile();
        QVERIFY(m_gui->coreCheckBoxes().isEmpty() && !gone);
    }
    void powerOnResetRuns() {
        // A project whose bus_la connects at power-on reset.
        const QString ona = demofixture::copyDemo(m_dir->path(), u"demo"_s, false);
        m_host->eval(
            u"ona_open_project {%1}; ona_set_core -name bus_la; "
            "ona_set_trigoptn -connectpor on; ona_save_project; ona_close_project"_s.arg(ona));
        m_host->commands.clear();
        auto gui = demofixture::embeddedGui(m_host.get(), ona);
        QVERIFY(gui);
        // Opened: the others off, a run at once.
        QCOMPARE(m_host->commands.mid(1, 2), QStringList({"ona_set_core -name \"uart_la\" -run off", u"ona_run"_s}));
        QVERIFY(waitIdle(gui.get()));
        // At its end they are back on, and forgotten.
        QCOMPARE(m_host->commands.constLast(), u"ona_set_core -name \"uart_la\" -run on"_s);
        QVERIFY(OnaData::inst()->isRunCore(0) && gui->coreCheckBoxes().at(0)->isChecked());
        QVERIFY(gui->porCoreList().isEmpty());

        // The user turns uart_la off; a later run leaves it off.
        gui->coreCheckBoxes().at(0)->click();
        m_host->commands.clear();
        gui->runAnalyzer();
        QVERIFY(waitIdle(gui.get()));
        QCOMPARE(m_host->commands, QStringList({u"ona_run"_s}));
        QVERIFY(!OnaData::inst()->isRunCore(0));

        // Reopened with uart_la already off: nothing to switch, nothing to
        // restore, and no other project's names.
        gui->SetDirtyBit();
        QString same = ona;
        m_host->commands.clear();
        QVERIFY(gui->doOpenFile(same, QString()) && waitIdle(gui.get()));
        QVERIFY(m_host->startingWith(u"ona_set_core"_s).isEmpty() && gui->porCoreList().isEmpty());

        // A refused power-on-reset run gives the cores back at once.
        m_host->eval(u"ona_set_core -name uart_la -run on"_s);
        m_host->commands.clear();
        m_host->refuse = [](const QString& cmd) { return cmd == QLatin1String("ona_run"); };
        ScriptedDialogs dialogs;
        QVERIFY(gui->doOpenFile(same, QString()));
        QCOMPARE(m_host->startingWith(u"ona_set_core"_s),
                 QStringList({"ona_set_core -name \"uart_la\" -run off", "ona_set_core -name \"uart_la\" -run on"}));
        QVERIFY(OnaData::inst()->isRunCore(0) && gui->porCoreList().isEmpty());
        QCOMPARE(errorBoxes(dialogs), QStringList({"refused by the test"}));
        m_host->refuse = nullptr;
        gui.reset();

        // A project with a controller core (no trigger setting at all) starts
        // its power-on-reset run all the same, and leaves that core alone.
        const QString mixedOnl =
            withControllerCore(QFileInfo(ona).absolutePath() + u"/demo.onl"_s, m_dir->filePath(u"mixed.onl"_s));
        const QString mixed = m_dir->filePath(u"mixed.ona"_s);
        QCOMPARE(m_host->eval(u"ona_open_project {%1}; ona_set_core -name bus_la; "
                              "ona_set_trigoptn -connectpor on; ona_save_project; ona_close_project"_s.arg(mixedOnl)),
                 QString());
        m_host->commands.clear();
        gui = demofixture::embeddedGui(m_host.get(), mixed);
        QVERIFY(gui);
        QCOMPARE(m_host->commands.mid(1, 2), QStringList({"ona_set_core -name \"uart_la\" -run off", u"ona_run"_s}));
        QVERIFY(waitIdle(gui.get()) && m_host->startingWith(u"ona_set_core -name \"ctrl\""_s).isEmpty());
        QVERIFY(OnaData::inst()->isRunCore(0));
    }
    void progressLockAndIdleBar() {
        ScriptedDialogs dialogs;
        auto gui = demofixture::standaloneGui(demofixture::copyDemo(m_dir->path(), u"demo"_s, false));
        QVERIFY(gui);
        QString result;
        QVERIFY(gui->tclEval(u"ona_set_core -name bus_la -run off"_s, &result));
        gui->runAnalyzer();
        QVERIFY(waitIdle(gui.get()));
        QCOMPARE(gui->progressBar()->value(), 100);
        // bus_la has no capture: its status on a still bar, never a busy one.
        gui->coreSelector()->setCurrentIndex(1);
        QCOMPARE(gui->progressBar()->maximum(), 100);
        QCOMPARE(gui->progressBar()->text(), u"Ready"_s);

        // A long capture: its percentage rises in the bar while the trigger
        // page is read-only and edits are refused, with the reason shown.
        const QString onl = demofixture::writeDeepOnl(m_dir->filePath(u"deep.onl"_s), 1 << 22);
        QString name = m_dir->filePath(u"deep.ona"_s);
        QVERIFY(gui->doNewFile(name, u"ona_open_project \"%1\""_s.arg(onl)));
        QVERIFY(gui->tclEval(u"ona_set_trigoptn -samples 4194304"_s, &result));
        TriggerView* trigger = gui->rightView()->page<TriggerView>();
        auto* messages = vemo::message::MessageWindow::getInstance();
        const int messagesBefore = messages->messageCount();
        gui->runAnalyzer();
        static const QRegularExpression percent(u"^(Running|Sampling 1 trigger) (\\d+)%$"_s);
        QList<int> shown;
        bool lockedSeen = false, refusedSeen = false;
        QElapsedTimer clock;
        clock.start();
        while (!(!OnaData::inst()->isBusy() && gui->runAction()->isVisible()) && clock.elapsed() < 60000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            const QRegularExpressionMatch m = percent.match(gui->progressBar()->text());
            if (m.hasMatch() && (shown.isEmpty() || shown.constLast() != m.captured(2).toInt()))
                shown << m.captured(2).toInt();
            if (gui->stopAction()->isVisible() && OnaData::inst()->isBusy()) {
                lockedSeen = lockedSeen || (!trigger->editingEnabled() && !trigger->settingControlsEnabled());
                if (!refusedSeen) {
                    refusedSeen = !sendCommand(gui.get(), u"ona_set_tu -name TU_any -value 1"_s);
                    QVERIFY(!refusedSeen || OnaData::inst()->getTUValue(0) == QLatin1String("xxxx"));
                }
            }
        }
        QVERIFY(waitIdle(gui.get()));
        QVERIFY2(shown.size() >= 3, qPrintable(QString::number(shown.size())));
        for (int i = 1; i < shown.size(); ++i)
            QVERIFY(shown.at(i) > shown.at(i - 1));
        QVERIFY(lockedSeen && refusedSeen);
        // A script polling the capture reads where it ended.
        QVERIFY(
            gui->tclEval(u"set c [ona_get capture]; list [dict get $c phase] [dict get $c samplesdone] "
                         u"[dict get $c samplestotal] [dict get $c samples]"_s,
                         &result));
        QCOMPARE(result, u"done 4194304 4194304 4194304"_s);
        const QString refusal = u"a capture is running: stop it or wait for it"_s;
        QCOMPARE(gui->statusBar()->currentMessage(), refusal);
        bool inMessages = false;
        for (int row = messagesBefore; row < messages->messageCount(); ++row)
            inMessages = inMessages || messages->messageText(row).contains(refusal);
        QVERIFY(inMessages);
        // Editable again once the run is over.
        QVERIFY(trigger->editingEnabled() && trigger->settingControlsEnabled());
    }

private:
    // Texts the panel shows, in order, from now until the end of the run.
    void recordPanel(OnaGUI* gui);
    bool waitIdle(OnaGUI* gui, int ms = -1);
    QStringList errorBoxes(const ScriptedDialogs& dialogs) const;
    // Run is back, and every core but the controller (which has no run) can
    // be chosen again.
    static void checkRunBack(OnaGUI* gui) {
        QVERIFY(gui->runAction()->isEnabled());
        for (QCheckBox* box : gui->coreCheckBoxes())
            QCOMPARE(box->isEnabled(), box->text() != QLatin1String("board_ctrl"));
    }

    QStringList m_texts;
    QPointer<OnaGUI> m_watched;
};

void TstRun::recordPanel(OnaGUI* gui) {
    // Connected after the window's own slots: queued in the same order, so
    // each note is taken right after the window redrew its panel.
    m_watched = gui;
    OnaData* data = OnaData::inst();
    connect(data->getAcqThread(), SIGNAL(runThread()), this, SLOT(notePanel()));
    connect(data->getAcqThread(), SIGNAL(doneThread(int)), this, SLOT(notePanel()));
    connect(data->getJTAG(), &OnaJTAG::updatePanel, this, &TstRun::notePanel);
    connect(data->getJTAG(), &OnaJTAG::redrawPanel, this, &TstRun::notePanel);
}

bool TstRun::waitIdle(OnaGUI* gui, int ms) {
    // The end of a run is its final text with Run back: the engine may be
    // idle already while the window has not yet heard of the end.
    static const QStringList ends{"Completed", "Stopped", "Upload stopped", "Error!"};
    return QTest::qWaitFor(
        [gui] {
            return !OnaData::inst()->isBusy() && ends.contains(gui->progressBar()->format()) &&
                   gui->runAction()->isVisible() && !gui->stopAction()->isVisible();
        },
        ms < 0 ? testMs(30000) : ms);
}

QStringList TstRun::errorBoxes(const ScriptedDialogs& dialogs) const {
    QStringList out;
    for (const auto& a : dialogs.asked)
        if (a.icon == QMessageBox::Critical)
            out << a.text;
    return out;
}

QTEST_MAIN(TstRun)
#include "tst_run.moc"
