// Moving through a capture on the waveform page: pointer modes with
// synthesised mouse and wheel events, the context menu per state, the
// radix, clock and export dialogs with their exact commands, and on the
// demo capture the edge steps, the find bar and the measurement.

#include "demofixture.h"
#include "guitest.h"
#include "recordinghost.h"
#include "tclwords.h"
#include "testtime.h"

#include "shell/onagui.h"
#include "shell/rightview.h"
#include "waveform/wavecursorpanel.h"
#include "waveform/wavedialogs.h"
#include "waveform/waveformdelegate.h"
#include "waveform/waveformruler.h"
#include "waveform/waveformsignal.h"
#include "waveform/waveformview.h"
#include "waveform/wavemeasure.h"

#include "onadata.h"

#include <QtTest>
#include <QtWidgets>

using namespace vemo::toolona;
using namespace Qt::StringLiterals;

namespace {

// a, b one-bit signals, "st" a 2-bit bus, "e" a 2-bit bus shown through an
// ENUM set; 256 samples in `frames` trigger frames.
std::shared_ptr<TraceData> trace(int frames) {
    const QStringList names{u"a"_s, u"b"_s, u"st[1]"_s, u"st[0]"_s, u"e[1]"_s, u"e[0]"_s};
    auto t = std::make_shared<TraceData>(names, 256);
    for (int ch = 0; ch < names.size(); ++ch)
        for (int w = 0; w < 4; ++w)
            t->channelWords(ch)[w] = 0x0F0F0F0F0F0F0F0Full << ch;
    for (int f = 0; f < frames; ++f) {
        t->frameStarts << f * (256 / frames);
        t->triggerPositions << f * (256 / frames) + 10;
    }
    t->finish();
    return t;
}

} // namespace

class TstWaveformNav : public DemoTest {
    Q_OBJECT
private slots:
    void init() { m_gateway = RecordingGateway(); }
    void cleanup() {
        closeDemo();
        m_page.reset();
        m_model.reset();
    }
    void mouseAndWheelInEachPointerMode() {
        build(1, false);
        m_model->zoomFit(m_tree->waveWidth());
        // Before the first paint nothing is known of the column: a press does
        // nothing at all.
        m_model->setDataPos(7);
        mouse(QEvent::MouseButtonPress, 600, Qt::LeftButton, Qt::LeftButton);
        QCOMPARE(m_model->getDataPos(), 7);
        QCOMPARE(m_tree->anchorX(), -1);
        mouse(QEvent::MouseButtonRelease, 600, Qt::LeftButton, Qt::NoButton);

        m_page->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
        paint();
        const WavePaintParams w = m_tree->waveParams();
        QVERIFY(w.isValid());
        // Select: a click sets the data position; a click on a cursor swaps it
        // with the data position.
        click(xOf(20));
        QCOMPARE(m_model->getDataPos(), 20);
        m_model->addCurPos(50);
        click(xOf(50));
        QCOMPARE(m_model->getDataPos(), 50);
        QCOMPARE(m_model->getCurPos(), QList<qint64>{20});
        // A measurement drag: ruler at the press, data under the pointer, and
        // the ruler gone on release. Past the right edge is the last sample.
        mouse(QEvent::MouseButtonPress, xOf(30), Qt::LeftButton, Qt::LeftButton);
        mouse(QEvent::MouseMove, xOf(90), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(m_model->getRulerPos(), 30);
        QCOMPARE(m_model->getDataPos(), 90);
        QCOMPARE(m_tree->ruler()->pointerX(), xOf(90));
        mouse(QEvent::MouseMove, w.cell.right() + 300, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(m_model->getDataPos(), 255);
        mouse(QEvent::MouseButtonRelease, w.cell.right() + 300, Qt::LeftButton, Qt::NoButton);
        QCOMPARE(m_model->getRulerPos(), 0);
        QCOMPARE(m_tree->anchorX(), -1);
        // A press left of the waveform column moves nothing.
        click(20);
        QCOMPARE(m_model->getDataPos(), 255);

        // Zoom: a click without movement zooms nothing; a band zooms to it.
        m_tree->setPointerMode(WaveformSignal::ZoomMode);
        click(xOf(100));
        QCOMPARE(m_model->getViewCount(), 256);
        const int x0 = xOf(100), x1 = xOf(164);
        mouse(QEvent::MouseButtonPress, x0, Qt::LeftButton, Qt::LeftButton);
        mouse(QEvent::MouseMove, x1, Qt::NoButton, Qt::LeftButton);
        int b0 = 0, b1 = 0;
        QVERIFY(m_tree->zoomBand(&b0, &b1) && b0 == x0 && b1 == x1);
        mouse(QEvent::MouseButtonRelease, x1, Qt::LeftButton, Qt::NoButton);
        const int span = int((x1 - x0) / w.px);
        QCOMPARE(m_model->getViewCount(), span);
        QCOMPARE(m_model->getViewStart(), w.sampleAt((x0 + x1) / 2) - span / 2);
        QVERIFY(!m_tree->zoomBand(&b0, &b1));

        // Pan: under the threshold nothing moves; each crossing moves once;
        // Ctrl (as the event says) jumps to either end.
        m_tree->setPointerMode(WaveformSignal::PanMode);
        m_page->grab();
        const double t = qMin(5.0, m_model->getPanLimit());
        const int start = m_model->getViewStart();
        const int step = qMax(1, m_model->getViewCount() / 4);
        const int px = 400;
        mouse(QEvent::MouseButtonPress, px, Qt::LeftButton, Qt::LeftButton);
        mouse(QEvent::MouseMove, px + int(t), Qt::NoButton, Qt::LeftButton);
        QCOMPARE(m_model->getViewStart(), start);
        mouse(QEvent::MouseMove, px + int(t) + 1, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(m_model->getViewStart(), start + step);
        mouse(QEvent::MouseMove, px + 2 * int(t) + 3, Qt::NoButton, Qt::LeftButton);
        QCOMPARE(m_model->getViewStart(), start + 2 * step);
        mouse(QEvent::MouseMove, px - 20, Qt::NoButton, Qt::LeftButton, Qt::ControlModifier);
        QCOMPARE(m_model->getViewStart(), 0);
        mouse(QEvent::MouseMove, px + 20, Qt::NoButton, Qt::LeftButton, Qt::ControlModifier);
        QCOMPARE(m_model->getViewEnd(), 255);
        mouse(QEvent::MouseButtonRelease, px + 20, Qt::LeftButton, Qt::NoButton);
        // Moving without a button pans nothing.
        const int here = m_model->getViewStart();
        mouse(QEvent::MouseMove, px - 100, Qt::NoButton, Qt::NoButton);
        QCOMPARE(m_model->getViewStart(), here);

        // Wheel: only a vertical turn with Ctrl in the event zooms.
        m_tree->setPointerMode(WaveformSignal::SelectMode);
        m_model->zoomFit(m_tree->waveWidth());
        wheel(QPoint(0, 120), Qt::ControlModifier);
        QCOMPARE(m_model->getViewCount(), 128);
        wheel(QPoint(120, 0), Qt::ControlModifier);
        QCOMPARE(m_model->getViewCount(), 128);
        wheel(QPoint(0, -120), Qt::ControlModifier);
        QCOMPARE(m_model->getViewCount(), 256);
        // Ctrl pressed in the window and released elsewhere: the tree still
        // thinks it is held, the wheel event knows better.
        QTest::keyPress(m_tree, Qt::Key_Control, Qt::ControlModifier);
        QVERIFY(m_tree->ctrlHeld());
        wheel(QPoint(0, 120), Qt::NoModifier);
        QCOMPARE(m_model->getViewCount(), 256);
    }
    void contextMenuEntriesFollowTheState() {
        build(3);
        paint();
        QMenu left;
        QVERIFY(!m_tree->fillContextMenu(&left, m_tree->waveLeft() - 1));

        const QStringList tail =
            u"-|Set Bus Radix ...|Analog|Set Clock Period ...|Export Waveform ...|-|Cut|Copy|Paste|-|"
            u"Group Signals ...|-|Edit Color...|-|Next Edge|Previous Edge|Find Value ...|-|"
            u"Add Decoder…|Compare with Capture…"_s.split(u'|');
        const QStringList zoom3 =
            u"Zoom>Zoom In|Zoom>Zoom Out|Zoom>Zoom Fit|Zoom>Zoom Trigger:0|Zoom>Zoom Trigger:1|"
            u"Zoom>Zoom Trigger:2|Zoom>Zoom Start|Zoom>Zoom End"_s.split(u'|');
        const QStringList head =
            u"Pan Mode|Select Mode|Zoom Mode|-|Add Cursor|Remove Cursor|Clear All Cursor|Add Cursor Here|Next Cursor|"
            u"Previous Cursor|Rename Cursor ...|Cursor Table|-"_s.split(u'|');
        {
            // No cursor: no Go to Cursor; Remove and Clear disabled.
            QMenu menu;
            QVERIFY(m_tree->fillContextMenu(&menu, xOf(40)));
            QCOMPARE(menuEntries(&menu), head + zoom3 + tail);
            QVERIFY(menuEntry(&menu, u"Select Mode"_s)->isChecked());
            QVERIFY(!menuEntry(&menu, u"Remove Cursor"_s)->isEnabled());
            QVERIFY(!menuEntry(&menu, u"Next Edge"_s)->isEnabled());
            // Add Cursor: a cursor at the old data position, data where the
            // menu opened. The entry acts by its action, whatever its text.
            m_model->setDataPos(5);
            QAction* add = menuEntry(&menu, u"Add Cursor"_s);
            add->setText(u"&Add Cursor"_s);
            add->trigger();
            QCOMPARE(m_model->getCurPos(), QList<qint64>{5});
            QCOMPARE(m_model->getDataPos(), 40);
            QCOMPARE(m_gateway.modified, 1); // cursors are saved: adding one is an edit
        }
        m_model->addCurPos(100);
        m_model->addCurPos(200);
        {
            QMenu menu;
            QVERIFY(m_tree->fillContextMenu(&menu, xOf(40)));
            const QStringList go{"Go to Cursor>0:5", "Go to Cursor>1:15", "Go to Cursor>2:30"};
            QCOMPARE(menuEntries(&menu), head + go + zoom3 + tail);
            QVERIFY(menuEntry(&menu, u"Remove Cursor"_s)->isEnabled());
            menuEntry(&menu, u"Go to Cursor>1:15"_s)->trigger();
            QCOMPARE(m_model->getDataPos(), 100);
            menuEntry(&menu, u"Zoom>Zoom Trigger:2"_s)->trigger();
            QCOMPARE(m_model->getViewStart(), 170);
            QCOMPARE(m_model->getDataPos(), 180);
            menuEntry(&menu, u"Zoom>Zoom End"_s)->trigger();
            QCOMPARE(m_model->getViewEnd(), 255);
            menuEntry(&menu, u"Zoom>Zoom Start"_s)->trigger();
            QCOMPARE(m_model->getViewStart(), 0);
            menuEntry(&menu, u"Pan Mode"_s)->trigger();
            QCOMPARE(m_tree->viewport()->cursor().shape(), Qt::OpenHandCursor);
        }
        {
            // Out of Select mode cursors are neither added nor removed; Clear
            // still works.
            QMenu menu;
            QVERIFY(m_tree->fillContextMenu(&menu, xOf(40)) && !menuEntry(&menu, u"Add Cursor"_s)->isEnabled());
            QVERIFY(!menuEntry(&menu, u"Remove Cursor"_s)->isEnabled());
            menuEntry(&menu, u"Clear All Cursor"_s)->trigger();
            QCOMPARE(m_model->getNumCurPos(), 0);
        }
        // One frame: one Zoom Trigger, cursors by sample.
        build(1);
        paint();
        m_model->addCurPos(77);
        QMenu menu;
        QVERIFY(m_tree->fillContextMenu(&menu, xOf(40)) && menuEntries(&menu).contains(u"Zoom>Zoom Trigger"_s));
        menuEntry(&menu, u"Go to Cursor>77"_s)->trigger();
        QCOMPARE(m_model->getDataPos(), 77);
    }
    // Named cursors: Ctrl+M at the pointer, default and own names, renaming
    // in the table (a name in use refused), [ and ] jumps, a click swap that
    // keeps the name, the flags on the ruler and the table's differences
    // and per-signal edges against a count of the samples.
    void namedCursorsKeysFlagsAndTable() {
        build(1);
        paint();
        QWidget* vp = m_tree->viewport();
        const auto key = [&](int k, Qt::KeyboardModifiers mods = Qt::NoModifier) {
            QTest::keyClick(vp, Qt::Key(k), mods);
        };
        mouse(QEvent::MouseMove, xOf(30), Qt::NoButton, Qt::NoButton);
        key(Qt::Key_M, Qt::ControlModifier);
        QCOMPARE(m_model->cursors(), (QList<QPair<QString, qint64>>{{u"C1"_s, 30}}));
        QCOMPARE(m_gateway.modified, 1);
        key(Qt::Key_M, Qt::ControlModifier); // one cursor per sample
        QCOMPARE(m_model->getNumCurPos(), 1);
        QVERIFY(m_model->addCurPos(60) && m_model->addCurPos(90, u"edge"_s));
        QVERIFY(!m_model->addCurPos(120, u"C2"_s) && !m_model->addCurPos(121, u"bad\nname"_s));
        QCOMPARE(m_model->cursorName(60), u"C2"_s);

        m_page->showCursorPanel(true);
        QTableWidget* names = m_page->cursorPanel()->cursorTable();
        QCOMPARE(names->rowCount(), 3);
        names->item(0, 0)->setText(u"start"_s);
        QCOMPARE(m_model->cursorNamed(u"start"_s), 30);
        names->item(0, 0)->setText(u"edge"_s); // taken: refused, the cell reads the name again
        QCOMPARE(m_model->cursorName(30), u"start"_s);
        QCOMPARE(names->item(0, 0)->text(), u"start"_s);
        QVERIFY(m_model->removeCurPos(60) && m_model->addCurPos(70));
        QCOMPARE(m_model->cursorName(70), u"C1"_s); // the smallest free number

        m_model->setDataPos(0);
        key(Qt::Key_BracketRight);
        QCOMPARE(m_model->getDataPos(), 30);
        key(Qt::Key_BracketRight);
        QCOMPARE(m_model->getDataPos(), 70);
        key(Qt::Key_BracketLeft);
        key(Qt::Key_BracketLeft);
        QCOMPARE(m_model->getDataPos(), 30);
        QVERIFY(m_page->statusLine()->text().contains(u"No cursor before sample 30"_s));
        m_model->setDataPos(50);
        click(xOf(70));
        QCOMPARE(m_model->cursorName(50), u"C1"_s);
        QCOMPARE(m_model->getDataPos(), 70);

        const QRect rulerRect(m_tree->waveLeft(), 0, m_tree->waveRight() - m_tree->waveLeft() + 1, 30);
        QStringList flags;
        for (const auto& f : m_tree->ruler()->cursorFlags(rulerRect)) {
            flags << f.name;
            QCOMPARE(f.x, m_tree->waveParams().x(m_model->cursorNamed(f.name)));
        }
        QCOMPARE(flags, (QStringList{u"start"_s, u"C1"_s, u"edge"_s}));
        {
            // A flag hung on a labelled tick leaves none of that label
            // showing left of it: half a label reads as another sample.
            const WaveformRuler::Tick tick = m_tree->ruler()->ticks(rulerRect).value(1);
            QVERIFY(m_model->addCurPos(int(tick.sample), u"tk"_s));
            QImage img(rulerRect.right() + 1, rulerRect.height(), QImage::Format_RGB32);
            QPainter painter(&img);
            m_tree->ruler()->paintRuler(&painter, rulerRect);
            painter.end();
            const QColor background = OnaData::inst()->rulerBackgroundColor;
            const QRect box = m_tree->ruler()->labelBox(tick, rulerRect);
            for (int x = box.left(); x < tick.x - 1; ++x)
                for (int y = box.top() + 1; y < box.bottom(); ++y)
                    QCOMPARE(img.pixelColor(x, y), background);
            QVERIFY(m_model->removeCurPos(int(tick.sample)));
        }

        m_model->setClockPeriod(10);
        m_page->cursorPanel()->refresh();
        QTableWidget* pairs = m_page->cursorPanel()->pairTable();
        QStringList rows;
        for (int r = 0; r < pairs->rowCount(); ++r)
            rows << pairs->item(r, 0)->text() + u'|' + pairs->item(r, 1)->text() + u'|' + pairs->item(r, 2)->text();
        QCOMPARE(rows, (QStringList{u"start \u2192 C1|20|200 ns"_s, u"start \u2192 edge|60|600 ns"_s,
                                    u"C1 \u2192 edge|40|400 ns"_s}));
        pairs->selectRow(1);
        const TraceData& t = *m_model->traceData();
        QTableWidget* measure = m_page->cursorPanel()->measureTable();
        for (int r = 0; r < measure->rowCount(); ++r) {
            const QVector<int> channels = m_model->channelsOf(rowNamed(m_model.get(), measure->item(r, 0)->text()));
            int edges = 0;
            for (int s = 31; s <= 90; ++s)
                edges += t.bits(channels, s) != t.bits(channels, s - 1);
            QCOMPARE(measure->item(r, 1)->text(), QString::number(edges));
        }
        QCOMPARE(measure->item(0, 0)->text(), u"a"_s);
        QVERIFY(measure->item(0, 2)->text().endsWith(u"ns"_s)); // a's period in time

        // Rename Cursor edits the name of the cursor nearest the click.
        WaveCursorPanel* panel = m_page->cursorPanel();
        panel->hide();
        QMenu menu;
        QVERIFY(m_tree->fillContextMenu(&menu, xOf(84)));
        menuEntry(&menu, u"Rename Cursor ..."_s)->trigger();
        QVERIFY(panel->isVisible());
        QCOMPARE(names->currentItem()->text(), u"edge"_s);
        QVERIFY(names->findChild<QLineEdit*>() && names->findChild<QLineEdit*>()->isVisible());
        // Detached it is a window of its own; closing that puts it back, hidden.
        panel->detachButton()->click();
        QVERIFY(panel->isWindow() && panel->isVisible());
        panel->close();
        QVERIFY(!panel->isWindow() && !panel->isVisible() && panel->parentWidget() == m_page.get());
        m_page->showCursorPanel(true);
        QVERIFY(panel->isVisible() && !panel->isWindow());
    }
    void radixAndClockDialogs() {
        build(1);
        const QModelIndex st = rowNamed(m_model.get(), u"st"_s);
        const QModelIndex e = rowNamed(m_model.get(), u"e"_s);
        // The menus' index 0 is Bin: buses get radix 2, the ENUM bus keeps its set.
        m_page->applyAllBusRadix(0);
        QCOMPARE(WaveformModel::rowData(st).radix, 2);
        QCOMPARE(WaveformModel::rowData(e).radixName, u"ONL_pair"_s);
        {
            BusDialog dialog(m_tree);
            dialog.radixCombo()->setCurrentIndex(3);
            dialog.doAccept();
            QCOMPARE(WaveformModel::rowData(st).radix, 16);
            QCOMPARE(WaveformModel::rowData(e).radixName, u"ONL_pair"_s);
        }
        {
            // Selected signals: only the selected bus changes.
            m_tree->selectionModel()->select(e, QItemSelectionModel::Select | QItemSelectionModel::Rows);
            BusDialog dialog(m_tree);
            dialog.radixCombo()->setCurrentIndex(2);
            dialog.rangeCombo()->setCurrentIndex(1);
            dialog.doAccept();
            QCOMPARE(WaveformModel::rowData(st).radix, 16);
            QCOMPARE(WaveformModel::rowData(e).radix, 0);
        }
        {
            // Signed and ASCII wherever a radix is chosen: the menus' index 4
            // and 5, the dialog's list and the data cell's list; the data
            // column reads them (st is "10" at sample 2).
            auto* delegate = qobject_cast<WaveformDelegate*>(m_tree->itemDelegate());
            m_model->setDataPos(2);
            m_page->applyAllBusRadix(4);
            QCOMPARE(WaveformModel::rowData(st).radix, int(SigTreeData::Signed));
            QCOMPARE(delegate->dataText(st), u"-2"_s);
            m_page->applyAllBusRadix(6);
            QCOMPARE(WaveformModel::rowData(st).radix, int(SigTreeData::Signed));
            BusDialog dialog(m_tree);
            QCOMPARE(comboItems(dialog.radixCombo()),
                     (QStringList{u"Bin"_s, u"Oct"_s, u"Dec"_s, u"Hex"_s, u"Signed"_s, u"ASCII"_s}));
            QCOMPARE(dialog.radixCombo()->currentText(), u"Signed"_s); // opens on the radix in use
            dialog.radixCombo()->setCurrentIndex(5);
            dialog.doAccept();
            QCOMPARE(delegate->dataText(st), u"."_s); // the byte 2 does not print
            QStyleOptionViewItem option;
            std::unique_ptr<QWidget> editor(delegate->createEditor(m_tree->viewport(), option, st.siblingAtColumn(1)));
            auto* combo = qobject_cast<QComboBox*>(editor.get());
            QCOMPARE(comboItems(combo).mid(0, 6), comboItems(dialog.radixCombo()));
            delegate->setEditorData(combo, st.siblingAtColumn(1));
            QCOMPARE(combo->currentText(), u"ASCII"_s);
            combo->setCurrentIndex(4);
            delegate->setModelData(combo, m_model.get(), st.siblingAtColumn(1));
            QCOMPARE(WaveformModel::rowData(st).radix, int(SigTreeData::Signed));
            // The analog view is the bus's own; a signal row offers none.
            QMenu menu;
            QVERIFY(m_tree->fillContextMenu(&menu, xOf(40), m_tree->visualRect(st).center().y()));
            QAction* analog = menuEntry(&menu, u"Analog"_s);
            QVERIFY(analog->isEnabled() && !analog->isChecked());
            analog->trigger();
            QVERIFY(WaveformModel::rowData(st).analog);
            QVERIFY(delegate->sizeHint(option, st.siblingAtColumn(2)).height() >=
                    delegate->sizeHint(option, rowNamed(m_model.get(), u"a"_s).siblingAtColumn(2)).height() +
                        WaveformDelegate::kAnalogExtraHeight);
            QMenu onSignal;
            m_tree->fillContextMenu(&onSignal, xOf(40),
                                    m_tree->visualRect(rowNamed(m_model.get(), u"a"_s)).center().y());
            QVERIFY(!menuEntry(&onSignal, u"Analog"_s)->isEnabled());
        }

        ClockDialog dialog(&m_gateway, m_page.get());
        QLineEdit* period = dialog.periodEdit();
        QLineEdit* freq = dialog.frequencyEdit();
        period->clear();
        freq->clear();
        QTest::keyClicks(period, u"3"_s);
        QCOMPARE(freq->text(), u"333"_s);
        // A typed frequency gives the period, and the period it gives does not
        // rewrite the frequency.
        freq->selectAll();
        QTest::keyClicks(freq, u"600"_s);
        QCOMPARE(period->text(), u"1"_s);
        QCOMPARE(freq->text(), u"600"_s);
        for (const QString& bad : {u"0"_s, u"1001"_s, u"-1"_s, u"1.5"_s}) {
            QString text = bad;
            int pos = 0;
            QVERIFY2(period->validator()->validate(text, pos) != QValidator::Acceptable, qPrintable(bad));
        }
        // OK with no period is refused with a reason, and nothing is sent.
        period->clear();
        dialog.doAccept();
        QVERIFY(m_gateway.commands.isEmpty() && !dialog.errorText().isEmpty());
        // The engine's refusal keeps the dialog open with its reason.
        period->setText(u"10"_s);
        m_gateway.succeed = false;
        m_gateway.answer = u"no project is open"_s;
        dialog.doAccept();
        QCOMPARE(m_gateway.commands, QStringList{u"ona_set_project -period 10ns"_s});
        QCOMPARE(dialog.errorText(), u"no project is open"_s);
        QVERIFY(dialog.result() != QDialog::Accepted);
        m_gateway.succeed = true;
        m_gateway.answer.clear();
        dialog.unitCombo()->setCurrentIndex(1);
        dialog.doAccept();
        QCOMPARE(m_gateway.commands.last(), u"ona_set_project -period 10ps"_s);
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
    void exportDialogCommandsSurviveHostileNames() {
        build(1);
        // Two signals and a bus selected: only the signals are listed.
        for (const char* n : {"b", "st", "a"})
            m_tree->selectionModel()->select(rowNamed(m_model.get(), QLatin1String(n)),
                                             QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(m_tree->selectedSignalList(), u"b a"_s);

        ExportDlg dialog(&m_gateway, m_page.get());
        dialog.setSignalList(m_tree->selectedSignalList());
        // The forms with a signal list are the hostile names' below.
        dialog.moduleEdit()->setText(u"top"_s);
        dialog.formatCombo()->setCurrentIndex(1);
        dialog.fileEdit()->setText(u"/tmp/out.txt"_s);
        QCOMPARE(dialog.command(), u"ona_export_project -txt \"/tmp/out.txt\" -siglist \"\""_s);
        // Buses as one-bit signals: a VCD option only.
        QVERIFY(!dialog.scalarCheck()->isEnabled());
        dialog.scalarCheck()->setChecked(true);
        QCOMPARE(dialog.command(), u"ona_export_project -txt \"/tmp/out.txt\" -siglist \"\""_s);
        dialog.formatCombo()->setCurrentIndex(0);
        dialog.fileEdit()->setText(u"/tmp/out.vcd"_s);
        QVERIFY(dialog.scalarCheck()->isEnabled());
        QCOMPARE(dialog.command(), u"ona_export_project -vcd \"/tmp/out.vcd\" -module top -scalar"_s);
        dialog.scalarCheck()->setChecked(false);

        // Hostile names reach the engine as exactly those words.
        const QString file = u"/tmp/my [exec touch pwned] $HOME \"q\" \\ end.vcd"_s;
        const QString module = u"top level[1]"_s;
        const QString names = u"data[3] $x"_s;
        dialog.formatCombo()->setCurrentIndex(0);
        dialog.rangeCombo()->setCurrentIndex(1);
        dialog.setSignalList(names);
        dialog.fileEdit()->setText(file);
        dialog.moduleEdit()->setText(module);
        QCOMPARE(tclWords(dialog.command()),
                 (QStringList{u"-vcd"_s, file, u"-module"_s, module, u"-siglist"_s, names}));
        dialog.formatCombo()->setCurrentIndex(1);
        dialog.fileEdit()->setText(file);
        QCOMPARE(tclWords(dialog.command()), (QStringList{u"-txt"_s, file, u"-siglist"_s, names}));
        // No module: the option is left out rather than sent empty.
        dialog.formatCombo()->setCurrentIndex(0);
        dialog.fileEdit()->setText(u"/tmp/x.vcd"_s);
        dialog.moduleEdit()->clear();
        QCOMPARE(tclWords(dialog.command()).mid(0, 3), (QStringList{u"-vcd"_s, u"/tmp/x.vcd"_s, u"-siglist"_s}));

        // "Selected signals" with none listed (only buses selected) is refused
        // here: the engine would export every signal.
        dialog.setSignalList(QString());
        dialog.doAccept();
        QVERIFY(m_gateway.commands.isEmpty() && dialog.errorText().startsWith(u"No signal is selected."_s));
        dialog.setSignalList(names);
        // A refusal keeps the dialog open and shows the engine's reason.
        m_gateway.succeed = false;
        m_gateway.answer = u"ona_export_project: no output file given"_s;
        dialog.doAccept();
        QCOMPARE(dialog.errorText(), m_gateway.answer);
        QVERIFY(dialog.result() != QDialog::Accepted);
        m_gateway.succeed = true;
        dialog.doAccept();
        QCOMPARE(dialog.result(), int(QDialog::Accepted));
    }
    void measurementFigures() {
        // A clock that is high for 4 samples and low for 4, from sample 0.
        TraceData t({u"clk"_s, u"d[1]"_s, u"d[0]"_s}, 200);
        for (int w = 0; w < 4; ++w)
            t.channelWords(0)[w] = 0x0F0F0F0F0F0F0F0Full;
        t.channelWords(1)[0] = quint64(1) << 10;
        t.finish();
        // 32 samples of 10 ns: 320 ns, 8 edges (at 4, 8, ... 32), 4 periods.
        WaveMeasure m = WaveMeasure::measure(t, {0}, 32, 0, 10, u"ns"_s);
        QCOMPARE(m.text(u"clk"_s),
                 u"0 .. 32: 32 samples = 320 ns (1/t 3.125 MHz), clk: 8 edges, 12.5 MHz, duty 50.0 %"_s);
        // One edge: no whole period, so no frequency or duty to report.
        QCOMPARE(WaveMeasure::measure(t, {0}, 3, 6, 10, u"ns"_s).text(u"clk"_s),
                 u"3 .. 6: 3 samples = 30 ns (1/t 33.33 MHz), clk: 1 edge, less than one whole period"_s);
        // Across a word boundary and off the edges: [62, 75) holds 62, 63 (low),
        // 64..67 (high), 68..71 (low), 72..74 (high) and edges at 64, 68, 72.
        m = WaveMeasure::measure(t, {0}, 62, 75, 2, u"ps"_s);
        QCOMPARE(m.edges, 3);
        QCOMPARE(m.highSamples, 7);
        QCOMPARE(m.seconds(), 26e-12);
        // A bus: edges only; no clock: samples only.
        m = WaveMeasure::measure(t, {1, 2}, 0, 199, 0, u"ns"_s);
        QCOMPARE(m.edges, 2);
        QCOMPARE(m.duty(), -1.0);
        QCOMPARE(m.text(u"d"_s), u"0 .. 199: 199 samples, d: 2 edges"_s);
        // Without a clock, the period in samples.
        QVERIFY(WaveMeasure::measure(t, {0}, 0, 199, 0, u"ns"_s).text(u"clk"_s).contains(u"period 8 samples"_s));
        // Ends past the store are the store's ends.
        m = WaveMeasure::measure(t, {0}, -5, 1000, 0, u"ns"_s);
        QCOMPARE(m.from, 0);
        QCOMPARE(m.to, 199);
        // Random signals and spans against a walk over every sample: the
        // edges, and the whole periods between like edges.
        QRandomGenerator rng(3);
        TraceData r({u"r"_s, u"q"_s}, 1000);
        for (int w = 0; w < 16; ++w) {
            r.channelWords(0)[w] = rng.generate64() & rng.generate64() & rng.generate64();
            r.channelWords(1)[w] = rng.bounded(3) ? 0 : rng.generate64();
        }
        r.channelWords(0)[15] &= (quint64(1) << (1000 % 64)) - 1;
        r.channelWords(1)[15] &= (quint64(1) << (1000 % 64)) - 1;
        r.finish();
        for (int i = 0; i < 300; ++i) {
            const int a = int(rng.bounded(1000)), b = int(rng.bounded(1000)), from = qMin(a, b), to = qMax(a, b);
            const int ch = i % 2;
            qint64 edges = 0, first[2] = {-1, -1}, last[2] = {-1, -1}, count[2] = {0, 0};
            for (int s = from + 1; s <= to; ++s)
                if (r.bit(ch, s) != r.bit(ch, s - 1)) {
                    ++edges;
                    const int k = r.bit(ch, s);
                    if (first[k] < 0)
                        first[k] = s;
                    last[k] = s;
                    ++count[k];
                }
            const int kind = count[1] > count[0] ? 1 : 0;
            const WaveMeasure got = WaveMeasure::measure(r, {ch}, a, b, 0, u"ns"_s);
            QCOMPARE(got.edges, edges);
            QCOMPARE(got.periods, count[kind] >= 2 ? count[kind] - 1 : 0);
            QCOMPARE(got.periodSpan, count[kind] >= 2 ? last[kind] - first[kind] : 0);
            QCOMPARE(WaveMeasure::measure(r, {0, 1}, a, b, 0, u"ns"_s).edges, [&] {
                qint64 e = 0;
                for (int s = from + 1; s <= to; ++s)
                    e += r.bit(0, s) != r.bit(0, s - 1) || r.bit(1, s) != r.bit(1, s - 1);
                return e;
            }());
        }
    }
    void edgesAndFindOnTheDemoCapture() {
        QVERIFY(openDemo());
        m_host->eval(u"ona_run; ona_wait -timeout %1"_s.arg(testMs(20000)));
        m_gui->rightView()->tabWidget()->setCurrentIndex(1);
        WaveformView* page = m_gui->rightView()->page<WaveformView>();
        QTRY_VERIFY(page->hasCapturedData());
        page->resize(1200, 600);
        page->show();
        WaveformModel* m = page->waveformModel();
        WaveformSignal* tree = page->tree();
        const auto t = m->traceData();

        // Next edge walks every edge of the UART frames on tx, then stays and
        // says so.
        const QModelIndex tx = rowNamed(m, u"tx"_s);
        tree->setCurrentIndex(tx);
        QVERIFY(page->searchRow() == tx);
        m->setDataPos(0);
        QList<int> walked, expected;
        for (qint64 s = t->nextChange(t->channelOf(u"tx"_s), 0); s >= 0; s = t->nextChange(t->channelOf(u"tx"_s), s))
            expected << int(s);
        QVERIFY(expected.size() >= 20);
        while (page->gotoEdge(true))
            walked << m->getDataPos();
        QCOMPARE(walked, expected);
        QCOMPARE(m->getDataPos(), expected.last());
        QVERIFY(page->statusLine()->text().contains(QLatin1String("No later edge of tx")));
        QVERIFY(m->getViewStart() <= expected.last() && expected.last() <= m->getViewEnd());
        // Back again with Shift+Tab, through the keyboard.
        QList<int> back;
        for (int i = 0; i < expected.size(); ++i) {
            QTest::keyClick(tree, Qt::Key_Backtab, Qt::ShiftModifier);
            back.prepend(m->getDataPos());
        }
        QCOMPARE(back.mid(1), expected.mid(0, expected.size() - 1));
        QCOMPARE(m->getDataPos(), expected.first());
        // The View menu's entries act on the same row.
        m_gui->tableAction(NextChangeAction)->trigger();
        QCOMPARE(m->getDataPos(), expected.at(1));
        m_gui->tableAction(PreviousChangeAction)->trigger();
        QCOMPARE(m->getDataPos(), expected.first());
        QTest::keyClick(tree, Qt::Key_Backtab, Qt::ShiftModifier);
        QCOMPARE(m->getDataPos(), expected.first());
        QVERIFY(page->statusLine()->text().contains(QLatin1String("No earlier edge of tx")));

        // Two cursors on the first two edges of a 0x55 frame (start bit, bit
        // 0): the bit time, 16 samples, and the baud rate.
        m->addCurPos(expected.at(0));
        m->setDataPos(expected.at(1));
        QCOMPARE(expected.at(1) - expected.at(0), 16);
        page->updateMeasurement();
        const WaveMeasure bit = WaveMeasure::measure(*t, {t->channelOf(u"tx"_s)}, expected.at(0), expected.at(1),
                                                     m->getClockPeriod(), m->getClockUnit());
        QCOMPARE(page->statusLine()->text(), bit.text(u"tx"_s));
        m->clearCurPos();

        // Find the byte 0x55 on rx_data: it lands on the byte, through
        // ona_find.
        const QModelIndex rxData = rowNamed(m, u"rx_data"_s);
        tree->setCurrentIndex(rxData);
        const QVector<int> data = m->channelsOf(rxData);
        const QString byte55 = u"01010101"_s;
        // From the first sample after a 55 byte that holds something else.
        qint64 start = 0;
        while (start < t->numSamples() && t->bits(data, start) != byte55)
            ++start;
        while (start < t->numSamples() && t->bits(data, start) == byte55)
            ++start;
        qint64 next55 = start;
        while (next55 < t->numSamples() && t->bits(data, next55) != byte55)
            ++next55;
        QVERIFY(next55 < t->numSamples());
        m->setDataPos(int(start));
        m_host->commands.clear();
        QCOMPARE(page->findValue(u"0x55"_s, false), qint64(next55));
        QCOMPARE(m_host->commands,
                 QStringList{u"ona_find -signal rx_data -value 55 -radix Hex -from %1"_s.arg(start + 1)});
        QCOMPARE(m->getDataPos(), int(next55));
        QVERIFY(m->getViewStart() <= next55 && next55 <= m->getViewEnd());
        // Backward from there: the last sample of the earlier byte.
        QCOMPARE(page->findValue(u"0x55"_s, true), qint64(start - 1));
        // Nothing before the first: the position stays and the line says so.
        m->setDataPos(0);
        QCOMPARE(page->findValue(u"0xA5"_s, true), qint64(-1));
        QCOMPARE(m->getDataPos(), 0);
        QVERIFY(page->statusLine()->text().contains(QLatin1String("does not occur before")));
        // The bar: Ctrl+F opens it, Enter searches, Esc closes it.
        QVERIFY(m_gui->tableAction(FindValueAction)->isEnabled());
        tree->setFocus();
        QTest::keyClick(tree, Qt::Key_F, Qt::ControlModifier);
        QVERIFY(!page->findBar()->isHidden());
        m->setDataPos(0);
        page->findEdit()->setText(u"0b0101xxxx"_s);
        QCOMPARE(m_host->sent([&] { QTest::keyClick(page->findEdit(), Qt::Key_Return); }),
                 QStringList{u"ona_find -signal rx_data -value 0101xxxx -radix Bin -from 1"_s});
        qint64 firstHigh5 = -1;
        for (qint64 s = 1; s < t->numSamples() && firstHigh5 < 0; ++s)
            if (t->bits(data, s).startsWith(QLatin1String("0101")))
                firstHigh5 = s;
        QCOMPARE(m->getDataPos(), int(firstHigh5));
        QTest::keyClick(page->findEdit(), Qt::Key_Escape);
        QVERIFY(page->findBar()->isHidden());
    }

private:
    void build(int frames, bool show = true);
    // The painter hands the waveform column's geometry to the tree.
    void paint() {
        m_model->zoomFit(m_tree->waveWidth());
        m_page->grab();
        QVERIFY(m_tree->pixelsPerSample() > 2.0);
    }
    int xOf(int sample) const;
    void mouse(QEvent::Type type, int x, Qt::MouseButton button, Qt::MouseButtons buttons,
               Qt::KeyboardModifiers mods = Qt::NoModifier, int y = 12);
    void wheel(QPoint angle, Qt::KeyboardModifiers mods);
    // A left press and release at x.
    void click(int x) {
        mouse(QEvent::MouseButtonPress, x, Qt::LeftButton, Qt::LeftButton);
        mouse(QEvent::MouseButtonRelease, x, Qt::LeftButton, Qt::NoButton);
    }

    std::unique_ptr<WaveformModel> m_model;
    std::unique_ptr<WaveformView> m_page;
    RecordingGateway m_gateway;
    WaveformSignal* m_tree = nullptr;
};

void TstWaveformNav::build(int frames, bool show) {
    m_page.reset();
    m_model = std::make_unique<WaveformModel>();
    m_model->setTrace(trace(frames), {{u"a"_s, 1}, {u"b"_s, 1}, {u"st"_s, 2}, {u"e"_s, 2}});
    SigTreeData e = WaveformModel::rowData(rowNamed(m_model.get(), u"e"_s));
    e.radix = 0;
    e.radixName = u"ONL_pair"_s;
    m_model->setRowData(rowNamed(m_model.get(), u"e"_s), e);
    m_page = std::make_unique<WaveformView>(&m_gateway);
    m_page->resize(900, 400);
    m_page->setWaveformModel(m_model.get());
    m_tree = m_page->tree();
    if (show) {
        m_page->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
    }
}

// The middle of a sample's pixels.
int TstWaveformNav::xOf(int sample) const {
    const WavePaintParams w = m_tree->waveParams();
    return w.cell.left() + int((sample - w.viewStart + 0.5) * w.px);
}

void TstWaveformNav::mouse(QEvent::Type type, int x, Qt::MouseButton button, Qt::MouseButtons buttons,
                           Qt::KeyboardModifiers mods, int y) {
    QWidget* vp = m_tree->viewport();
    QMouseEvent e(type, QPointF(x, y), vp->mapToGlobal(QPointF(x, y)), button, buttons, mods);
    QCoreApplication::sendEvent(vp, &e);
}

void TstWaveformNav::wheel(QPoint angle, Qt::KeyboardModifiers mods) {
    QWidget* vp = m_tree->viewport();
    const QPointF at(xOf(100), 12);
    QWheelEvent e(at, vp->mapToGlobal(at), QPoint(), angle, Qt::NoButton, mods, Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(vp, &e);
}

QTEST_MAIN(TstWaveformNav)
#include "tst_waveform_nav.moc"
