// "Compare with Capture…" on the waveform page: the demo capture against a
// dump of its own tx and state with one tx sample changed. The dialog pairs
// them by name, sends the exact command, lists the one difference, marks it
// on the tx row and moves the data position there; a name with quotes and
// brackets reaches the engine as typed and its refusal stays in the dialog.

#include "demofixture.h"
#include "guitest.h"
#include "recordinghost.h"
#include "testtime.h"

#include "shell/onagui.h"
#include "shell/rightview.h"
#include "waveform/comparedialog.h"
#include "waveform/comparepainter.h"
#include "waveform/waveformsignal.h"
#include "waveform/waveformview.h"

#include "basgui/dialogseam.h"
#include "openwaveform.h"
#include "theme/themesetting.h"
#include "waveformmodel.h"

#include <QtTest>
#include <QtWidgets>

using namespace vemo::toolona;
using vemo::basgui::ScriptedDialogs;
using namespace Qt::StringLiterals;

class TestWaveformCompare : public DemoTest {
    Q_OBJECT

private slots:
    void cleanup() {
        OpenWaveform::set(nullptr);
        closeDemo();
    }

    // File > Open Waveform... sends ona_open_waveform with the chosen path as
    // typed (quotes, brackets and dollars included) and shows the dump on a
    // tab of its own; a refused file is said with its line; the reading
    // shows a dialog whose Cancel stops it and keeps the waveform open before.
    void menuOpensAndProgressCancels() {
        QVERIFY(openDemo());
        RecordingHost& host = *m_host;
        QAction* open = nullptr;
        for (QAction* a : m_gui->myMenuItems(vemo::basgui::FileMenu))
            if (a && a->text() == u"Open Waveform..."_s)
                open = a;
        QVERIFY(open);

        const QString dir = m_dir->filePath(u"sim \"[x]\" $y"_s);
        QVERIFY(QDir().mkpath(dir));
        const QString good = dir + u"/tb.vcd"_s;
        QVERIFY(writeAll(good,
                         "$timescale 10ns $end\n$scope module tb $end\n$var wire 4 # bus [3:0] $end\n"
                         "$upscope $end\n$enddefinitions $end\n#0\nbx #\n#7\nb1z01 #\n"));
        ScriptedDialogs dialogs;
        dialogs.files.enqueue(good);
        QStringList sent = host.sent([&] { open->trigger(); });
        QCOMPARE(sent, QStringList{u"ona_open_waveform \"%1/sim \\\"\\[x\\]\\\" \\$y/tb.vcd\""_s.arg(m_dir->path())});
        QVERIFY(OpenWaveform::current());
        QCOMPARE(host.eval(u"dict get [ona_get waveform] timescale"_s), u"10ns"_s);
        QCOMPARE(host.eval(u"ona_get waveform -var tb.bus -at 7"_s), u"1z01"_s);
        QCOMPARE(dialogs.asked.last().kind, u"open"_s);
        // The page of its own comes to front with the dump's scopes and
        // variables, timed by its timescale; its search is the dump's.
        QTabWidget* tabs = m_gui->rightView()->tabWidget();
        QCOMPARE(tabs->tabText(tabs->currentIndex()), u"Simulation Waveform"_s);
        auto* page = m_gui->findChild<WaveformView*>(u"SimulationWaveform"_s);
        QVERIFY(page && page->waveformModel());
        WaveformModel* m = page->waveformModel();
        QCOMPARE(m->rowCount(), 1);
        QCOMPARE(m->item(0)->text(), u"tb"_s);
        QCOMPARE(m->item(0)->child(0)->text(), u"bus"_s);
        QCOMPARE(m->getNumTime(), qint64(8));
        QCOMPARE(m->getClockPeriod(), 10);
        QCOMPARE(m->getClockUnit(), u"ns"_s);
        page->tree()->setCurrentIndex(m->index(0, 0, m->index(0, 0)));
        sent = host.sent([&] { QCOMPARE(page->findValue(u"0b1z01"_s, false), qint64(7)); });
        QCOMPARE(sent, QStringList{u"ona_find -waveform -signal tb.bus -value 1z01 -radix Bin -from 1"_s});
        QCOMPARE(m->getDataPos(), qint64(7));
        // The capture's page is untouched by it.
        QVERIFY(m_gui->rightView()->page<WaveformView>()->waveformModel() != m);
        QVERIFY2(m_gui->statusBar()->currentMessage().contains(
                     QLatin1String("waveform %1; variables: 1, value changes: 2, timescale: 10ns").arg(good)),
                 qPrintable(m_gui->statusBar()->currentMessage()));
        QVERIFY(dialogs.asked.last().filter.contains(QLatin1String("*.vcd")));

        // A file the reader refuses: said with its line, the open one kept.
        const QString bad = dir + u"/bad.vcd"_s;
        QVERIFY(writeAll(bad, "$var wire 1 ! a $end\n$enddefinitions $end\n#0\n1?\n"));
        dialogs.files.enqueue(bad);
        dialogs.buttons.enqueue(QMessageBox::Ok);
        open->trigger();
        QVERIFY2(dialogs.asked.last().text.contains(QLatin1String("line 4")), qPrintable(dialogs.asked.last().text));
        QCOMPARE(host.eval(u"dict get [ona_get waveform] file"_s), good);
        // Cancelled in the file dialog: nothing is sent.
        dialogs.files.enqueue(QString());
        QVERIFY(host.sent([&] { open->trigger(); }).isEmpty());

        // The window's progress: a dialog that Cancel answers, gone at the end.
        const OpenWaveform::LoadProgress progress = OpenWaveform::loadProgress();
        QVERIFY(progress);
        QVERIFY(progress(good, 10, 100));
        auto* shown = m_gui->findChild<QProgressDialog*>(u"WaveformLoadProgress"_s);
        QVERIFY(shown);
        QCOMPARE(shown->value(), 100);
        QVERIFY(shown->labelText().contains(QLatin1String("tb.vcd")));
        shown->cancel();
        QVERIFY(!progress(good, 20, 100));
        progress(good, -1, -1);
        QVERIFY(!m_gui->findChild<QProgressDialog*>(u"WaveformLoadProgress"_s));

        // A reading cancelled through it is dropped, the open waveform kept.
        OpenWaveform::setLoadProgress([](const QString&, qint64, qint64) { return false; });
        QVERIFY(writeAll(
            bad, QByteArray("$var wire 1 ! a $end\n$enddefinitions $end\n") + QByteArray(12 << 20, '\n') + "#1\n1!\n"));
        QVERIFY(host.eval(u"ona_open_waveform {%1}"_s.arg(bad))
                    .contains(QLatin1String("was cancelled; the waveform open before stays open")));
        QCOMPARE(host.eval(u"dict get [ona_get waveform] file"_s), good);

        // Closed, its tab goes; the others stay as they were.
        const int before = tabs->count();
        host.eval(u"ona_close_waveform"_s);
        QCOMPARE(tabs->count(), before - 1);
        QVERIFY(!tabTexts(*m_gui).contains(u"Simulation Waveform"_s));
    }

    void compareDialogMarksTheDifference() {
        QVERIFY(openDemo());
        RecordingHost& host = *m_host;
        host.eval(u"ona_run; ona_wait -timeout %1"_s.arg(testMs(20000)));
        m_gui->rightView()->tabWidget()->setCurrentIndex(1);
        auto* page = m_gui->rightView()->page<WaveformView>();
        QTRY_VERIFY(page->hasCapturedData());
        page->resize(1200, 700);
        page->show();
        WaveformModel* m = page->waveformModel();
        const auto t = m->traceData();
        const QVector<int> tx{t->channelOf(u"tx"_s)};
        const QVector<int> state{t->channelOf(u"state[2]"_s), t->channelOf(u"state[1]"_s), t->channelOf(u"state[0]"_s)};
        // Tick j holds sample j; tx reads otherwise at sample `changed` only.
        const qint64 changed = t->numSamples() / 3;
        QByteArray vcd =
            "$timescale 1ns $end\n$scope module tb $end\n$scope module dut $end\n"
            "$var wire 1 ! tx $end\n$var wire 3 \" state [2:0] $end\n$upscope $end\n$upscope $end\n"
            "$enddefinitions $end\n";
        for (qint64 j = 0; j < t->numSamples(); ++j) {
            const QByteArray txNow = t->bits(tx, j).toLatin1(), stateNow = t->bits(state, j).toLatin1();
            vcd += '#' + QByteArray::number(j) + '\n' + (j == changed ? (txNow == "1" ? "0" : "1") : txNow) + "!\nb" +
                   stateNow + " \"\n";
        }
        const QString file = m_dir->filePath(u"sim.vcd"_s);
        QFile out(file);
        QVERIFY(out.open(QIODevice::WriteOnly) && out.write(vcd) == vcd.size());
        out.close();
        QVERIFY(host.eval(u"ona_open_waveform {%1}"_s.arg(file)).contains(u"signals 2"_s));

        // The entry of the waveform column's menu opens the dialog.
        QMenu menu;
        QVERIFY(page->tree()->fillContextMenu(&menu, page->tree()->waveLeft() + 10, 10));
        ScriptedDialogs dialogs;
        QString shown;
        dialogs.onDialog = [&](QDialog* d) {
            shown = qobject_cast<CompareDialog*>(d) ? d->windowTitle() : u"another dialog"_s;
            return int(QDialog::Rejected);
        };
        QVERIFY(menuEntry(&menu, u"Compare with Capture…"_s));
        menuEntry(&menu, u"Compare with Capture…"_s)->trigger();
        QCOMPARE(shown, u"Compare with Capture"_s);

        CompareDialog dialog(page, page);
        QCOMPARE(dialog.mapTable()->rowCount(), 2);
        QCOMPARE(dialog.mapTable()->item(0, 0)->text(), u"tb.dut.state"_s);
        QCOMPARE(qobject_cast<QComboBox*>(dialog.mapTable()->cellWidget(1, 1))->currentText(), u"tx"_s);
        QVERIFY(dialog.periodButton()->isChecked()); // no variable is named like a clock
        // A capture sample (10 ns) in ticks of the dump (1 ns).
        QCOMPARE(dialog.periodEdit()->text(), u"10"_s);
        dialog.periodEdit()->setText(u"1"_s);
        dialog.alignBox()->setChecked(false);
        dialog.offsetEdit()->setText(u"0"_s);
        dialog.limitBox()->setValue(5);

        // A typed name with quotes and brackets reaches the engine as typed.
        dialog.addPair(u"x\"[exit]"_s, u"rx"_s);
        QCOMPARE(host.sent([&] { dialog.runCompare(); }),
                 QStringList{u"ona_compare -map \"tb.dut.state state tb.dut.tx tx x\\\\\\\"\\\\\\[exit\\\\\\] "
                             "rx\" -period 1 -offset 0 -limit 5"_s});
        QCOMPARE(dialog.errorLabel()->text(), u"ona_compare: the simulation has no variable \"x\"[exit]\""_s);
        dialog.mapTable()->removeRow(2);

        QCOMPARE(host.sent([&] { QVERIFY(dialog.runCompare()); }),
                 QStringList{u"ona_compare -map \"tb.dut.state state tb.dut.tx tx\" -period 1 -offset 0 "
                             "-limit 5"_s});
        QCOMPARE(dialog.errorLabel()->text(), QString());
        QTreeWidget* list = dialog.differences();
        QCOMPARE(list->topLevelItemCount(), 2);
        QCOMPARE(list->topLevelItem(0)->text(1), u"0 spans"_s);
        QTreeWidgetItem* txItem = list->topLevelItem(1);
        QCOMPARE(txItem->text(0), u"tx ↔ tb.dut.tx"_s);
        QCOMPARE(txItem->childCount(), 1);
        const QString capTx = t->bits(tx, changed);
        QCOMPARE(QStringList({txItem->child(0)->text(1), txItem->child(0)->text(2), txItem->child(0)->text(3)}),
                 QStringList({QString::number(changed), capTx, capTx == QLatin1String("1") ? "0" : "1"}));
        QVERIFY(dialog.summaryLabel()->text().contains(u"1 of 2 signals differ, in 1 span;"_s));
        // The view moved to the difference, and the tx row carries its band.
        QCOMPARE(m->getDataPos(), int(changed));
        const auto marks = CompareMarks::of(page)->marksFor(t);
        QCOMPARE(marks.size(), 1);
        QCOMPARE(marks.first().channels, tx);
        QCOMPARE(marks.first().spans, (QVector<QPair<qint64, qint64>>{{changed, changed}}));
        const QModelIndex txRow = rowNamed(m, u"tx"_s).siblingAtColumn(2);
        const QRect cell = page->tree()->visualRect(txRow);
        auto bandPixel = [&] {
            page->tree()->viewport()->repaint();
            const QImage img = page->tree()->viewport()->grab().toImage();
            // Right of the data position's line, inside the band.
            return img.pixelColor(page->tree()->waveLeft() +
                                      int(double(changed - m->getViewStart()) * page->tree()->pixelsPerSample()) + 1,
                                  cell.top() + 3);
        };
        const QColor marked = bandPixel();
        CompareMarks::of(page)->setMarks({}, t);
        const QColor plain = bandPixel();
        QVERIFY2(marked.red() > plain.red() + 20, qPrintable(marked.name() + QLatin1Char(' ') + plain.name()));

        // Zoomed to fit, a span at every fourth sample of the first half: the
        // bands cover that half without a gap, the other half stays plain.
        page->zoomFit();
        CompareMarks::Mark dense{tx, {}};
        const qint64 half = t->numSamples() / 2;
        for (qint64 s = 0; s < half; s += 4)
            dense.spans.append({s, s});
        CompareMarks::of(page)->setMarks({dense}, t);
        page->tree()->viewport()->repaint();
        const QImage img = page->tree()->viewport()->grab().toImage();
        auto xOf = [&](qint64 s) {
            return page->tree()->waveLeft() + int(double(s - m->getViewStart()) * page->tree()->pixelsPerSample());
        };
        auto red = [&](int x) {
            const QColor c = img.pixelColor(x, cell.top() + 3);
            return c.red() > c.green() + 40 && c.red() > c.blue() + 40;
        };
        int unmarked = 0, stray = 0;
        for (int x = xOf(0); x < xOf(half - 1); ++x)
            unmarked += !red(x);
        for (int x = xOf(half) + 5; x < xOf(t->numSamples() - 1); ++x)
            stray += red(x);
        QVERIFY2(unmarked <= 3, qPrintable(QString::number(unmarked))); // the trigger and data lines at most
        QCOMPARE(stray, 0);

        // One sample late, tx differs at every change: one listed, the rest
        // counted; choosing a listed span moves the data position there.
        dialog.offsetEdit()->setText(u"1"_s);
        dialog.limitBox()->setValue(1);
        QVERIFY(dialog.runCompare());
        txItem = list->topLevelItem(1);
        QCOMPARE(txItem->childCount(), 2);
        QVERIFY(txItem->child(1)->text(1).endsWith(u"more, not listed or marked"_s));
        m->setDataPos(0);
        emit list->itemActivated(txItem->child(0), 1);
        QCOMPARE(m->getDataPos(), txItem->child(0)->data(1, Qt::UserRole).toInt());
        QVERIFY(m->getDataPos() > 0);
        // Without a waveform there is nothing to compare, and the dialog says so.
        OpenWaveform::set(nullptr);
        CompareDialog none(page, page);
        QVERIFY(!none.compareButton()->isEnabled());
        QCOMPARE(none.mapTable()->rowCount(), 0);

        // Pictures of the dialog and the marked page (light and dark), when asked for.
        if (qEnvironmentVariableIsSet("ONDREL_COMPARE_SHOT")) {
            QVERIFY(host.eval(u"ona_open_waveform {%1}"_s.arg(file)).contains(u"signals 2"_s));
            dialog.offsetEdit()->setText(u"0"_s);
            QVERIFY(dialog.runCompare());
            dialog.show();
            const QString before = vemo::theme::ThemeSetting::style();
            for (const QString& theme : {u"light"_s, u"dark"_s}) {
                vemo::theme::ThemeSetting::setStyle(theme);
                vemo::theme::ThemeSetting::applyTo(qApp);
                QCoreApplication::processEvents();
                page->grab().save(u"%1-page-%2.png"_s.arg(qEnvironmentVariable("ONDREL_COMPARE_SHOT"), theme));
                dialog.grab().save(u"%1-dialog-%2.png"_s.arg(qEnvironmentVariable("ONDREL_COMPARE_SHOT"), theme));
            }
            vemo::theme::ThemeSetting::setStyle(before);
            vemo::theme::ThemeSetting::applyTo(qApp);
        }
    }
};

QTEST_MAIN(TestWaveformCompare)
#include "tst_waveform_compare.moc"
