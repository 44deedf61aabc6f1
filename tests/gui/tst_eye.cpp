// The eye-opening monitor on the demo's PCS channel, offscreen (the eye
// diagram shows its data without a surface here; tst_eye_gl draws it):
// the run dialog's commands and states, stop and close during a scan, a
// failed scan that must not show the previous result, import with the
// file's own measurement, and the raw data table.

#include "demofixture.h"
#include "guitest.h"
#include "recordinghost.h"

#include "eye/eomdatadlg.h"
#include "eye/eyediagramdlg.h"
#include "eye/eyescalebar.h"
#include "eye/eyesurface.h"
#include "eye/pcscheomdlg.h"
#include "hardip/hardiptab.h"
#include "hardip/mpphyx4widget.h"
#include "hardip/pcschwidget.h"
#include "shell/onagui.h"
#include "shell/rightview.h"

#include "basgui/dialogseam.h"
#include "eyemonitor.h"
#include "onadata.h"
#include "oncdata.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

using namespace vemo::toolona;
using vemo::basgui::ScriptedDialogs;
using namespace Qt::StringLiterals;

class TstEye : public DemoTest {
    Q_OBJECT
private slots:
    void init() {
        qunsetenv("ONA_DEBUG_MODE");
        EyeMonitor::inst()->setPacing(0);
        QVERIFY(openDemo(u"board_ctrl"_s));
        QVERIFY(pcs());
        m_dialogs = std::make_unique<ScriptedDialogs>();
    }
    void cleanup() {
        EyeMonitor::inst()->stopEOM();
        m_dialogs.reset();
        closeDemo();
        QVERIFY(!QApplication::overrideCursor());
    }
    void scanShowsItsEye() {
        QString label, units;
        int points = 0, peak = 0;
        double scaleTop = 0;
        bool checkedRunDialog = false;
        m_dialogs->onDialog = [&](QDialog* d) {
            if (auto* run = qobject_cast<PCSCHEomDlg*>(d)) {
                checkedRunDialog = run->windowTitle() == QLatin1String("Eye-Opening Monitor") &&
                                   run->qualityCombo()->currentText() == QLatin1String("Normal") &&
                                   !run->channelCombo() && run->importButton()->isHidden() &&
                                   run->runButton()->text() == QLatin1String("&Run");
                run->onRunEOM();
                return run->result();
            }
            if (auto* eye = qobject_cast<EyeDiagramDlg*>(d)) {
                label = eye->measurementLabel()->text();
                units = eye->unitsLabel()->text();
                scaleTop = eye->scaleBar()->top();
                points = eye->model()->rowCount();
                peak = eye->maxHeight();
            }
            return int(QDialog::Rejected);
        };
        QVERIFY(pcs()->eomButton()->isEnabled());
        pcs()->eomButton()->click();
        QVERIFY(checkedRunDialog);
        QCOMPARE(eyeCommands(), (QStringList{"ona_set_controller -hard_ip PCSCH_0 -eye_quality normal",
                                             "ona_run_controller -eye_monitor PCSCH_0"}));
        const QString width = m_host->eval("dict get [ona_get eye PCSCH_0] width");
        const QString height = m_host->eval("dict get [ona_get eye PCSCH_0] height");
        QVERIFY(width.toInt() > 0 && height.toInt() > 0);
        QCOMPARE(label, u"Eye width: %1  Eye height: %2\n"_s.arg(width, height));
        // A normal scan's step: 1/32 UI and 1 V / 32 = 31.25 mV.
        QVERIFY2(
            units.contains(u"Width %1 steps = %2 UI"_s.arg(width, QString::number(width.toInt() / 32.0, 'f', 3))) &&
                units.contains(
                    u"Height %1 steps = %2 mV"_s.arg(height, QString::number(height.toInt() * 31.25, 'f', 1))),
            qPrintable(units));
        QCOMPARE(points, 33 * 65);
        QCOMPARE(peak, 50); // the closed edge: half the bits wrong
        QCOMPARE(scaleTop, 50.0);
    }
    void failedScanShowsNoResult() {
        // A good scan first, so that a stale result file and an empty run error
        // text exist.
        QVERIFY(m_host->eval("ona_run_controller -eye_monitor PCSCH_0").endsWith(".csv"));
        ONCData::inst()->injectFailure(u"ona_run_controller -eye_monitor"_s, ONCData::Failed);
        bool diagram = false;
        QString status;
        bool idle = false;
        m_dialogs->onDialog = [&](QDialog* d) {
            if (auto* run = qobject_cast<PCSCHEomDlg*>(d)) {
                run->onRunEOM();
                status = run->statusLabel()->text();
                idle = run->runButton()->text() == QLatin1String("&Run") && run->cancelButton()->isEnabled();
                return run->result();
            }
            diagram = true;
            return int(QDialog::Rejected);
        };
        pcs()->eomButton()->click();
        QVERIFY(!diagram && idle);
        QVERIFY2(status.contains("color:red") && status.contains("injected failure"), qPrintable(status));
    }
    void stopCloseAndABusyEngine() {
        EyeMonitor::inst()->setPacing(1);
        bool diagram = false, stopShown = false, unwinding = false, progressShown = false;
        int rejected = 0;
        m_dialogs->onDialog = [&](QDialog* d) {
            auto* run = qobject_cast<PCSCHEomDlg*>(d);
            if (!run) {
                diagram = true;
                return int(QDialog::Rejected);
            }
            connect(run, &QDialog::rejected, [&] { ++rejected; });
            run->qualityCombo()->setCurrentText(u"High"_s);
            QTimer::singleShot(300, run, [&, run] {
                stopShown = run->runButton()->text() == QLatin1String("&Stop") && !run->cancelButton()->isEnabled() &&
                            !run->qualityCombo()->isEnabled() && EyeMonitor::inst()->progress() < 100;
                progressShown = !run->progressBar()->isHidden() && run->progressBar()->value() > 0;
                // Escape while scanning means Stop, not "close and later accept".
                run->reject();
                // Run while the stopped scan unwinds starts nothing.
                unwinding = !run->runButton()->isEnabled() && run->progressBar()->isHidden();
                run->onRunEOM();
                run->close();
            });
            run->onRunEOM();
            return run->result();
        };
        QElapsedTimer t;
        t.start();
        pcs()->eomButton()->click();
        QVERIFY(t.elapsed() < 5000 && !diagram);
        QVERIFY(stopShown && progressShown && unwinding);
        QCOMPARE(rejected, 0);
        QCOMPARE(int(eyeCommands().count("ona_run_controller -eye_monitor PCSCH_0")), 1);
        QVERIFY(!ONCData::inst()->isBusy());
        QVERIFY(ONCData::inst()->getRunErr().contains("stopped"));

        // A scan the engine runs for a script: the dialog's Run issues nothing.
        m_host->eval("ona_set_controller -hard_ip PCSCH_1 -eye_quality high");
        m_host->eval("ona_run_controller -eye_monitor PCSCH_1 -nowait");
        QVERIFY(ONCData::inst()->isBusy());
        PCSCHEomDlg dialog(pcs(), {}, false);
        dialog.setGateway(m_gui.get());
        QVERIFY(m_host->sent([&] { dialog.onRunEOM(); }).filter(u"-eye_"_s).isEmpty());
        QCOMPARE(dialog.runButton()->text(), u"&Run"_s);
        QVERIFY(dialog.qualityCombo()->isEnabled() && dialog.statusLabel()->text().isEmpty());
    }
    void quadCommandsAndLanes() {
        QCOMPARE(PCSCHEomDlg::laneOf("L3"), 3);
        QCOMPARE(PCSCHEomDlg::laneOf("X3"), 0);
        QCOMPARE(PCSCHEomDlg::laneOf("Lx"), 0);
        qputenv("ONA_DEBUG_MODE", "");
        PCSCHEomDlg channel(pcs(), {}, false);
        QVERIFY(!channel.importButton()->isHidden());
        qunsetenv("ONA_DEBUG_MODE");
        m_dialogs->files.enqueue(QString());
        channel.importEOMFile(); // cancelled: nothing happens

        // The quad panel's own button: lane 1 scanned, its text result drawn.
        auto* mpphy = hardIpPanel<MPPHYX4Widget>(*m_gui, u"MPPHY_0"_s);
        QVERIFY(mpphy && mpphy->eomButton()->isEnabled());
        int points = 0;
        m_dialogs->onDialog = [&](QDialog* d) {
            if (auto* run = qobject_cast<PCSCHEomDlg*>(d)) {
                run->channelCombo()->setCurrentText("L1");
                run->qualityCombo()->setCurrentText("Low");
                run->onRunEOM();
                return run->result();
            }
            if (auto* eye = qobject_cast<EyeDiagramDlg*>(d))
                points = eye->model()->rowCount();
            return int(QDialog::Rejected);
        };
        m_host->commands.clear();
        mpphy->eomButton()->click();
        QCOMPARE(eyeCommands(), (QStringList{"ona_set_controller -hard_ip MPPHY_0 -eye_quality low",
                                             "ona_set_controller -hard_ip MPPHY_0 -eye_lane 1",
                                             "ona_run_controller -eye_monitor MPPHY_0"}));
        QVERIFY(m_host->eval("dict get [ona_get eye MPPHY_0] file").endsWith(".txt"));
        QVERIFY(points > 0);
        // The quality chosen last is offered at the next opening.
        QCOMPARE(PCSCHEomDlg(pcs(), {}, false).qualityCombo()->currentText(), u"Low"_s);
    }
    void importShowsTheFilesOwnEye() {
        qputenv("ONA_DEBUG_MODE", "1");
        QVERIFY(m_host->eval("ona_run_controller -eye_monitor PCSCH_0").endsWith(".csv"));
        const QString file = writeFile("import.csv", "0,0,32,32,e,f\n3, 2,f4240,0,1,0\n-2,4,1,1,5,5\n7,1,1,1,1\n");
        QList<QString> labels, units;
        double scaleTop = 0;
        const QString exported = m_dir->filePath("raw.csv");
        QList<int> heights;
        QStringList cells;
        QString rawTitle;
        m_dialogs->onDialog = [&](QDialog* d) {
            if (auto* eye = qobject_cast<EyeDiagramDlg*>(d)) {
                labels << eye->measurementLabel()->text();
                units << eye->unitsLabel()->text();
                scaleTop = eye->scaleBar()->top();
                for (int r = 0; r < eye->model()->rowCount(); ++r)
                    heights << eye->model()->item(r)->data(Qt::DisplayRole).toInt();
                eye->onViewRawDataButtonClicked();
            } else if (auto* raw = qobject_cast<EomDataDlg*>(d)) {
                rawTitle = raw->windowTitle();
                QTableWidget* t = raw->table();
                cells << QString::number(t->columnCount()) << t->horizontalHeaderItem(2)->text();
                for (int c = 0; c < 7; ++c)
                    cells << (t->item(1, c) ? t->item(1, c)->text() : u"-"_s);
                cells << (t->item(3, 5) ? u"sixth"_s : u"none"_s);
                m_dialogs->files.enqueue(exported);
                raw->exportButton()->click();
            }
            return int(QDialog::Rejected);
        };
        PCSCHEomDlg dialog(pcs(), {}, false);
        QVERIFY(!dialog.importButton()->isHidden());
        m_dialogs->files.enqueue(file);
        dialog.importEOMFile();
        // Not the last scan's measurement: the imported file has none.
        QCOMPARE(labels, QList<QString>{u"Eye width: 0  Eye height: 0\n"_s});
        QVERIFY2(units.first().contains("does not say what a step is"), qPrintable(units.first()));
        QCOMPARE(heights, (QList<int>{29, 1, 0, 0}));
        QCOMPARE(scaleTop, 29.0);
        QCOMPARE(rawTitle, file);
        QCOMPARE(cells, (QStringList{"7", "nsamples_cur", "3", "2", "f4240", "0", "1", "0", "1e-06", "none"}));
        QCOMPARE(readAll(exported), QByteArray("x,y,nsamples_cur,nsamples_pre,nerrors_cur,nerrors_pre,error_ratio\n"
                                               "0,0,32,32,e,f,0.29\n3,2,f4240,0,1,0,1e-06\n-2,4,1,1,5,5,5\n"
                                               "7,1,1,1,1,,\n"));
        // The debug dump, written whole.
        QCOMPARE(readAll(file + ".txt"), QByteArray("0 0 29\n3 2 1\n-2 4 0\n7 1 0\n"));

        // A file that does not parse is refused, naming the line; none missing.
        labels.clear();
        m_dialogs->files.enqueue(writeFile("bad.csv", "0,0,1,1,0,0\n1,1,1,1,nan,0\n"));
        dialog.importEOMFile();
        QVERIFY(labels.isEmpty());
        QCOMPARE(m_dialogs->asked.last().kind, u"message"_s);
        QVERIFY2(m_dialogs->asked.last().text.contains("line 2"), qPrintable(m_dialogs->asked.last().text));
        pcs()->loadEomCsvFile(m_dir->filePath("missing.csv"));
        QCOMPARE(m_dialogs->asked.last().text, u"Error: Cannot read eom file."_s);
        QVERIFY(labels.isEmpty());
    }
    void textVariantBounds() {
        // Fewer comb values than the grid: the missing points are 0, nothing
        // is read past the list.
        // Under the dark theme's light text the measurement stays readable on its white.
        const QPalette light = QApplication::palette();
        QPalette dark = light;
        dark.setColor(QPalette::WindowText, Qt::white);
        QApplication::setPalette(dark);
        EyeDiagramDlg eye(QString(), {"0.5", "0.25"}, {"-0.5", "0", "0.5"}, {"-0.3", "0.1"}, "eomFile", nullptr);
        eye.ensurePolished();
        eye.measurementLabel()->ensurePolished();
        QApplication::setPalette(light);
        QCOMPARE(eye.measurementLabel()->palette().color(QPalette::WindowText), QColor(Qt::black));
        QCOMPARE(eye.model()->rowCount(), 6);
        QCOMPARE(eye.model()->item(0)->data(Qt::DisplayRole).toDouble(), 5000.0);
        QCOMPARE(eye.model()->item(5)->data(Qt::DisplayRole).toDouble(), 0.0);
        QCOMPARE(eye.model()->item(3)->data(Qt::UserRole + 2).toDouble(), 0.1); // rows by y, then x
        QCOMPARE(eye.maxHeight(), 5000);
        QCOMPARE(eye.scaleBar()->tickLabels(), (QStringList{"0", "1250", "2500", "3750", "5000"}));
        QCOMPARE(eye.scaleBar()->stops(), eyeGradientStops(true));
        QCOMPARE(eye.measurementLabel()->text(), u"Eye width: 0  Eye height: 0\n"_s);
        // Height labels fit their range.
        QCOMPARE(EyeDiagramDlg::heightFormat(1), u"%.2f"_s);
        QCOMPARE(EyeDiagramDlg::heightFormat(20), u"%.1f"_s);
        QCOMPARE(EyeDiagramDlg::heightFormat(5000), u"%d"_s);
    }

private:
    PCSCHWidget* pcs() const { return hardIpPanel<PCSCHWidget>(*m_gui, u"PCSCH_0"_s); }
    QStringList eyeCommands() const { return m_host->commands.filter(u"-eye_"_s); }
    QString writeFile(const QString& name, const QByteArray& data) {
        const QString path = m_dir->filePath(name);
        return writeAll(path, data) ? path : QString();
    }

    std::unique_ptr<ScriptedDialogs> m_dialogs;
};

QTEST_MAIN(TstEye)
#include "tst_eye.moc"
