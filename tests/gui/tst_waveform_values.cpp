// What the waveform page tells a reader: bus values cut to their leading
// digits, a data column as wide as its values, ENUM signals read through
// their sets, a ruler in time units, and the reports of export, capture end
// and a run waiting for its trigger.

#include "demofixture.h"
#include "guitest.h"
#include "recordinghost.h"
#include "testtime.h"

#include "shell/onagui.h"
#include "shell/rightview.h"
#include "waveform/wavedialogs.h"
#include "waveform/waveformdelegate.h"
#include "waveform/waveformruler.h"
#include "waveform/waveformsignal.h"
#include "waveform/waveformview.h"

#include "basgui/dialogseam.h"
#include "message/messagewindow.h"
#include "onadata.h"
#include "projectfiles.h"
#include "tokenmodel.h"

#include <QtTest>
#include <QtWidgets>

using namespace vemo::toolona;
using vemo::basgui::ScriptedDialogs;
using namespace Qt::StringLiterals;

namespace {

// "w" a 32-bit bus counting by 0x01010101 every 64 samples, "st" a 2-bit
// signal and "flag" a one-bit one, both of the ENUM set ONL_S.
std::shared_ptr<TraceData> valueTrace(int samples) {
    QStringList names;
    for (int b = 31; b >= 0; --b)
        names << u"w[%1]"_s.arg(b);
    names << u"st[1]"_s << u"st[0]"_s << u"flag"_s;
    auto t = std::make_shared<TraceData>(names, samples);
    for (int s = 0; s < samples; ++s) {
        const quint32 v = quint32(0xDEADBEEF + quint32(s / 64) * 0x01010101u);
        for (int b = 0; b < 32; ++b)
            if ((v >> (31 - b)) & 1)
                t->channelWords(b)[s / 64] |= quint64(1) << (s % 64);
        if ((s / 100) & 1)
            t->channelWords(33)[s / 64] |= quint64(1) << (s % 64);
    }
    t->finish();
    return t;
}

const QList<QPair<QString, int>> kWidths{{"w", 32}, {"st", 2}, {"flag", 1}};

QStringList messagesSince(int first) {
    auto* window = vemo::message::MessageWindow::getInstance();
    QStringList out;
    for (int r = first; r < window->messageCount(); ++r)
        out << window->messageText(r);
    return out;
}

} // namespace

class TstWaveformValues : public DemoTest {
    Q_OBJECT
private slots:
    void cleanup() {
        closeDemo();
        OnaData::inst()->getTokenModel()->setSets(u"ENUM"_s, {});
    }
    // The leading digits of a label are the page's drawing, compared with a
    // plain one in tst_waveform_paint.
    void theDataColumnFitsItsValues() {
        WaveformModel model;
        WaveformView page(nullptr);
        show(&page, &model, 4096);
        WaveformSignal* tree = page.tree();
        auto* delegate = qobject_cast<WaveformDelegate*>(tree->itemDelegate());
        const QModelIndex w = rowNamed(&model, u"w"_s);
        QCOMPARE(delegate->dataText(w), u"DEADBEEF"_s);
        // The column holds the widest hexadecimal value of the 32-bit bus.
        const int hex = tree->columnWidth(1);
        QVERIFY2(hex > WaveformSignal::kMinDataWidth, qPrintable(QString::number(hex)));
        QVERIFY(hex >= tree->fontMetrics().horizontalAdvance(u"DEADBEEF"_s) + 16);
        // In binary it widens (within its cap), and narrows back in hexadecimal.
        SigTreeData d = WaveformModel::rowData(w);
        d.radix = 2;
        model.setRowData(w, d);
        QVERIFY(tree->columnWidth(1) >= tree->fontMetrics().horizontalAdvance(QString(32, u'0')));
        QVERIFY(tree->columnWidth(1) <= WaveformSignal::kMaxDataWidth);
        d.radix = 16;
        model.setRowData(w, d);
        QCOMPARE(tree->columnWidth(1), hex);
    }

    void enumSignalsReadAsTheirTokenNames() {
        // The debug-logic file names a signal's enumeration; the reader
        // refuses a set that is not there or not as wide as the signal.
        auto parse = [](int width, const char* set, ProjectFiles::OnlDesign* design, QString* error) {
            const QString onl = QStringLiteral(R"({"format": "ondrel-onl", "version": 1, "device": "ONX-SIM-25",
                "enum_token_sets": [{"name": "ONL_S", "bits": 2, "tokens": [{"name": "IDLE", "value": "b'00"},
                                                                             {"name": "BUSY", "value": "b'01"}]}],
                "cores": [{"name": "la", "kind": 1, "sample_depth": {"min": 64, "max": 64},
                           "signals": [{"name": "st", "width": %1, "enum": "%2"}]}]})");
            return ProjectFiles::parseOnl(onl.arg(width).arg(QLatin1String(set)).toUtf8(), u"t.onl"_s, design, error);
        };
        ProjectFiles::OnlDesign design;
        QString error;
        QVERIFY2(parse(2, "ONL_S", &design, &error), qPrintable(error));
        QCOMPARE(design.cores.at(0).signalList.at(0).enumSet, u"ONL_S"_s);
        QVERIFY(!parse(3, "ONL_S", &design, &error));
        QCOMPARE(error, u"t.onl: cores[0].signals[0].enum: enumeration \"ONL_S\" is 2 bits wide, the signal 3"_s);
        QVERIFY(!parse(2, "ONL_T", &design, &error));
        QVERIFY2(error.contains(u"\"ONL_T\" is no enumeration of this file"_s), qPrintable(error));

        // Such a signal is a bus read through its set, its members hidden;
        // a one-bit one too.
        OnaData::inst()->getTokenModel()->setSets(u"ENUM"_s,
                                                  {{u"ONL_S"_s, 2, {{u"IDLE"_s, u"00"_s}, {u"BUSY"_s, u"01"_s}}},
                                                   {u"ONL_F"_s, 1, {{u"OFF"_s, u"0"_s}, {u"ON"_s, u"1"_s}}}});
        WaveformModel model;
        model.setSignalEnums({{u"st"_s, u"ONL_S"_s}, {u"flag"_s, u"ONL_F"_s}});
        WaveformView page(nullptr);
        show(&page, &model, 256, false);
        QCOMPARE(rowNames(&model), QStringList({"w", "st", "flag"}));
        QCOMPARE(rowNames(&model, rowNamed(&model, u"flag"_s)), QStringList({"flag"}));
        auto* delegate = qobject_cast<WaveformDelegate*>(page.tree()->itemDelegate());
        const QModelIndex st = rowNamed(&model, u"st"_s);
        QCOMPARE(WaveformModel::rowData(st).radixName, u"ONL_S"_s);
        QCOMPARE(delegate->dataText(st), u"IDLE"_s);
        model.setDataPos(150);
        QCOMPARE(delegate->dataText(st), u"BUSY"_s);
        QCOMPARE(delegate->dataText(rowNamed(&model, u"flag"_s)), u"OFF"_s);
        QVERIFY(page.tree()->isRowHidden(0, st));
        // Shown in a numeric radix, the bus shows its members again.
        SigTreeData d = WaveformModel::rowData(st);
        d.radix = 16;
        d.radixName.clear();
        model.setRowData(st, d);
        QVERIFY(!page.tree()->isRowHidden(0, st));
        QCOMPARE(delegate->dataText(st), u"1"_s);
    }

    void rulerShowsTimeWithAClockPeriod() {
        QCOMPARE(WaveformRuler::timeStep(1433e3), 2e6);
        QCOMPARE(WaveformRuler::timeStep(4.1), 5.0);
        QCOMPARE(WaveformRuler::timeStep(100.0), 100.0);
        QCOMPARE(WaveformRuler::timeText(1.5e6, 5e5), u"1.5 \u00b5s"_s);
        QCOMPARE(WaveformRuler::timeText(500e3, 5e5), u"500 ns"_s);
        QCOMPARE(WaveformRuler::timeText(1.02e6, 2e4), u"1.02 \u00b5s"_s);
        QCOMPARE(WaveformRuler::timeText(250, 50), u"250 ps"_s);
        QCOMPARE(WaveformRuler::timeText(3e9, 1e9), u"3 ms"_s);

        WaveformModel model;
        WaveformView page(nullptr);
        show(&page, &model, 2048, false);
        WaveformRuler* ruler = page.tree()->ruler();
        const QRect rect(200, 0, 1000, 30);
        // Without a period the lower row's samples are all there is.
        QVERIFY(ruler->timeTicks(rect).isEmpty());
        QVERIFY(!ruler->ticks(rect).isEmpty());

        // 10 ns a sample over 2048 samples: 20.48 us in 1000 px.
        model.setClockPeriod(10);
        model.setClockUnit(u"ns"_s);
        const auto ticks = ruler->timeTicks(rect);
        QVERIFY(ticks.size() >= 5);
        const double px = 1000.0 / 2048;
        for (int i = 0; i < ticks.size(); ++i) {
            QCOMPARE(ticks.at(i).ps, 2e6 * (i + 1));
            QCOMPARE(ticks.at(i).label, u"%1 \u00b5s"_s.arg(2 * (i + 1)));
            QVERIFY(qAbs(ticks.at(i).x - (rect.left() + ticks.at(i).ps / 1e4 * px)) <= 1.0);
        }
        // Picoseconds: the same window reads in nanoseconds.
        model.setClockUnit(u"ps"_s);
        QCOMPARE(ruler->timeTicks(rect).at(0).label, u"2 ns"_s);
        // Zoomed in to 64 samples, the step is 100 ns.
        model.setClockUnit(u"ns"_s);
        model.zoomBox(1000, 1000, 64);
        const auto zoomed = ruler->timeTicks(rect);
        QVERIFY(zoomed.size() >= 2);
        QCOMPARE(zoomed.at(1).ps - zoomed.at(0).ps, 1e5);
        QVERIFY(zoomed.at(1).x - zoomed.at(0).x >= WaveformRuler::kTimeSpacing);

        // Hovering the ruler over the waveforms says what its rows count.
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        const QPoint over(ruler->sectionViewportPosition(2) + 50, 5);
        QHelpEvent tip(QEvent::ToolTip, over, ruler->mapToGlobal(over));
        QCoreApplication::sendEvent(ruler, &tip);
        QVERIFY2(QToolTip::text().contains(u"Upper row: time"_s), qPrintable(QToolTip::text()));
    }

    void exportCaptureEndAndTheWaitAreReported() {
        ScriptedDialogs dialogs;
        // Embedded, the host shows the messages: here a window of the test's.
        static QMainWindow host; // outlives the window's dock
        auto* messages = vemo::message::MessageWindow::getInstance();
        if (!messages->isInitialized())
            messages->initialize(&host, nullptr, nullptr, 15);
        QVERIFY(openDemo(u"uart_la"_s, false));
        const int first = messages->messageCount();

        // A run whose trigger never comes (rx_data is never 0x77): the status
        // counts the seconds, the tool tip and one message say what for.
        m_host->eval(
            u"ona_set_core -name bus_la -run off; ona_set_tu -name TU_data -value 77; "
            "ona_set_te -name TE_start -expression TU_data"_s);
        m_gui->runAnalyzer();
        // The count's first value depends on when the panel is next told:
        // any whole number of seconds will do, a loaded machine is late.
        static const QRegularExpression counted(u"^Running [1-9][0-9]* s$"_s);
        QVERIFY(
            QTest::qWaitFor([&] { return counted.match(m_gui->progressBar()->format()).hasMatch(); }, testMs(10000)));
        static const QRegularExpression tip(
            u"^Waiting [1-9][0-9]* s for the trigger: uart_la: TE_start \\(TU_data\\)$"_s);
        QVERIFY2(tip.match(m_gui->progressBar()->toolTip()).hasMatch(), qPrintable(m_gui->progressBar()->toolTip()));
        QCOMPARE(messagesSince(first).filter(u"Waiting"_s),
                 QStringList({"Waiting for the trigger: uart_la: TE_start (TU_data)"}));
        m_gui->stopAction()->trigger();
        QVERIFY(QTest::qWaitFor([&] { return m_gui->runAction()->isVisible(); }, testMs(10000)));
        QVERIFY(messagesSince(first).contains(u"Capture stopped: nothing uploaded"_s));
        QVERIFY(m_gui->progressBar()->toolTip().isEmpty());

        // A capture that completes reports its frames and samples.
        m_host->eval(u"ona_set_te -name TE_start -expression {TU_state & !TU_valid}"_s);
        m_gui->runAnalyzer();
        QVERIFY(QTest::qWaitFor([&] { return m_gui->progressBar()->format() == u"Completed"_s; }, testMs(30000)));
        QVERIFY2(messagesSince(first).contains(u"Capture complete: 1 trigger, 2,048 samples"_s),
                 qPrintable(messagesSince(first).join(u'\n')));

        // Export with "Selected signals" writes exactly those and says so.
        const QString file = m_dir->filePath(u"sel [1].vcd"_s);
        dialogs.onDialog = [&](QDialog* dialog) {
            auto* exporter = qobject_cast<ExportDlg*>(dialog);
            if (!exporter)
                return int(QDialog::Rejected);
            exporter->rangeCombo()->setCurrentIndex(1);
            exporter->fileEdit()->setText(file);
            exporter->doAccept();
            return dialog->result();
        };
        auto* page = m_gui->rightView()->page<WaveformView>();
        for (const char* n : {"tx", "rx"})
            page->tree()->selectionModel()->select(rowNamed(page->waveformModel(), QLatin1String(n)),
                                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
        page->runExportDialog();
        QStringList vars;
        for (const QString& line : QString::fromUtf8(readAll(file)).split(QLatin1Char('\n')))
            if (line.startsWith(QLatin1String("$var")))
                vars << line.section(QLatin1Char(' '), 4, 4);
        QCOMPARE(vars, (QStringList{u"tx"_s, u"rx"_s}));
        QCOMPARE(messagesSince(first).constLast(),
                 u"Waveform exported to %1: 2 signals, 2,048 samples"_s.arg(QDir::toNativeSeparators(file)));
    }

private:
    // `page` on `model` with `samples` of valueTrace, sized; shown when `shown`.
    void show(WaveformView* page, WaveformModel* model, int samples, bool shown = true) {
        model->setTrace(valueTrace(samples), kWidths);
        page->resize(1200, 500);
        page->setWaveformModel(model);
        if (shown) {
            page->show();
            QVERIFY(QTest::qWaitForWindowExposed(page));
        }
    }
};

QTEST_MAIN(TstWaveformValues)
#include "tst_waveform_values.moc"
