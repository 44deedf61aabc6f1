// File > Open Waveform... sends ona_open_waveform with the chosen path as
// typed (quotes, brackets and dollars included); a refused file is said with
// its line; the reading shows a dialog whose Cancel stops it and keeps the
// waveform open before.

#include "demofixture.h"
#include "guitest.h"
#include "recordinghost.h"

#include "shell/onagui.h"
#include "shell/rightview.h"
#include "waveform/waveformsignal.h"
#include "waveform/waveformview.h"

#include "basgui/dialogseam.h"
#include "openwaveform.h"
#include "waveformmodel.h"

#include <QtTest>
#include <QtWidgets>

using namespace vemo::toolona;
using vemo::basgui::ScriptedDialogs;

class TestOpenWaveform : public DemoTest {
    Q_OBJECT

private slots:
    void cleanup() {
        OpenWaveform::set(nullptr);
        closeDemo();
    }

    void menuOpensAndProgressCancels() {
        QVERIFY(openDemo());
        RecordingHost& host = *m_host;
        QAction* open = menuAction(m_gui->myMenuItems(vemo::basgui::FileMenu), QStringLiteral("Open Waveform..."));
        QVERIFY(open);

        const QString dir = m_dir->filePath(QStringLiteral("sim \"[x]\" $y"));
        QVERIFY(QDir().mkpath(dir));
        const QString good = dir + QStringLiteral("/tb.vcd");
        QVERIFY(writeFile(good,
                          "$timescale 10ns $end\n$scope module tb $end\n$var wire 4 # bus [3:0] $end\n"
                          "$upscope $end\n$enddefinitions $end\n#0\nbx #\n#7\nb1z01 #\n"));
        ScriptedDialogs dialogs;
        dialogs.files.enqueue(good);
        QStringList sent = host.sent([&] { open->trigger(); });
        QCOMPARE(
            sent,
            QStringList{QStringLiteral("ona_open_waveform \"%1/sim \\\"\\[x\\]\\\" \\$y/tb.vcd\"").arg(m_dir->path())});
        QVERIFY(OpenWaveform::current());
        QCOMPARE(host.eval(QStringLiteral("dict get [ona_get waveform] timescale")), QStringLiteral("10ns"));
        QCOMPARE(host.eval(QStringLiteral("ona_get waveform -var tb.bus -at 7")), QStringLiteral("1z01"));
        QCOMPARE(dialogs.asked.last().kind, QStringLiteral("open"));
        // The page of its own comes to front with the dump's scopes and
        // variables, timed by its timescale; its search is the dump's.
        QTabWidget* tabs = m_gui->rightView()->tabWidget();
        QCOMPARE(tabs->tabText(tabs->currentIndex()), QStringLiteral("Simulation Waveform"));
        auto* page = m_gui->findChild<WaveformView*>(QStringLiteral("SimulationWaveform"));
        QVERIFY(page && page->waveformModel());
        WaveformModel* m = page->waveformModel();
        QCOMPARE(m->rowCount(), 1);
        QCOMPARE(m->item(0)->text(), QStringLiteral("tb"));
        QCOMPARE(m->item(0)->child(0)->text(), QStringLiteral("bus"));
        QCOMPARE(m->getNumTime(), qint64(8));
        QCOMPARE(m->getClockPeriod(), 10);
        QCOMPARE(m->getClockUnit(), QStringLiteral("ns"));
        page->tree()->setCurrentIndex(m->index(0, 0, m->index(0, 0)));
        sent = host.sent([&] { QCOMPARE(page->findValue(QStringLiteral("0b1z01"), false), qint64(7)); });
        QCOMPARE(sent, QStringList{QStringLiteral("ona_find -waveform -signal tb.bus -value 1z01 -radix Bin -from 1")});
        QCOMPARE(m->getDataPos(), qint64(7));
        // The capture's page is untouched by it.
        QVERIFY(m_gui->rightView()->page<WaveformView>()->waveformModel() != m);
        QVERIFY2(m_gui->statusBar()->currentMessage().contains(
                     QLatin1String("waveform %1; variables: 1, value changes: 2, timescale: 10ns").arg(good)),
                 qPrintable(m_gui->statusBar()->currentMessage()));
        QVERIFY(dialogs.asked.last().filter.contains(QLatin1String("*.vcd")));

        // A file the reader refuses: said with its line, the open one kept.
        const QString bad = dir + QStringLiteral("/bad.vcd");
        QVERIFY(writeFile(bad, "$var wire 1 ! a $end\n$enddefinitions $end\n#0\n1?\n"));
        dialogs.files.enqueue(bad);
        dialogs.buttons.enqueue(QMessageBox::Ok);
        open->trigger();
        QVERIFY2(dialogs.asked.last().text.contains(QLatin1String("line 4")), qPrintable(dialogs.asked.last().text));
        QCOMPARE(host.eval(QStringLiteral("dict get [ona_get waveform] file")), good);
        // Cancelled in the file dialog: nothing is sent.
        dialogs.files.enqueue(QString());
        QVERIFY(host.sent([&] { open->trigger(); }).isEmpty());

        // The window's progress: a dialog that Cancel answers, gone at the end.
        const OpenWaveform::LoadProgress progress = OpenWaveform::loadProgress();
        QVERIFY(progress);
        QVERIFY(progress(good, 10, 100));
        auto* shown = m_gui->findChild<QProgressDialog*>(QStringLiteral("WaveformLoadProgress"));
        QVERIFY(shown);
        QCOMPARE(shown->value(), 100);
        QVERIFY(shown->labelText().contains(QLatin1String("tb.vcd")));
        shown->cancel();
        QVERIFY(!progress(good, 20, 100));
        progress(good, -1, -1);
        QVERIFY(!m_gui->findChild<QProgressDialog*>(QStringLiteral("WaveformLoadProgress")));

        // A reading cancelled through it is dropped, the open waveform kept.
        OpenWaveform::setLoadProgress([](const QString&, qint64, qint64) { return false; });
        QVERIFY(writeFile(
            bad, QByteArray("$var wire 1 ! a $end\n$enddefinitions $end\n") + QByteArray(12 << 20, '\n') + "#1\n1!\n"));
        QVERIFY(host.eval(QStringLiteral("ona_open_waveform {%1}").arg(bad))
                    .contains(QLatin1String("was cancelled; the waveform open before stays open")));
        QCOMPARE(host.eval(QStringLiteral("dict get [ona_get waveform] file")), good);

        // Closed, its tab goes; the others stay as they were.
        const int before = tabs->count();
        host.eval(QStringLiteral("ona_close_waveform"));
        QCOMPARE(tabs->count(), before - 1);
        for (int i = 0; i < tabs->count(); ++i)
            QVERIFY(tabs->tabText(i) != QLatin1String("Simulation Waveform"));
    }

private:
    static QAction* menuAction(const QList<QAction*>& actions, const QString& text) {
        for (QAction* a : actions)
            if (a && a->text() == text)
                return a;
        return nullptr;
    }
};

QTEST_MAIN(TestOpenWaveform)
#include "tst_openwaveform.moc"
