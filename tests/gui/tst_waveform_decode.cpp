// Decoders on the waveform page: the demo's saved UART decoder as rows of
// the signal tree (found, stepped through, moved, saved in the layout,
// never taken for a signal), the "Add Decoder" dialog and the rows'
// context menu with their exact commands; and annotation rows painted at
// the cost of pixels: a
// dense row is one block a column at most, with no column of it left empty,
// a gap between annotations stays background, a wide annotation is its own
// box.

#include "demofixture.h"
#include "guitest.h"
#include "recordinghost.h"
#include "testtime.h"

#include "shell/onagui.h"
#include "shell/rightview.h"
#include "waveform/annotationpainter.h"
#include "waveform/decoderdialog.h"
#include "waveform/waveformdelegate.h"
#include "waveform/waveformsignal.h"
#include "waveform/waveformview.h"
#include "waveform/wavepaintparams.h"

#include "basgui/dialogseam.h"
#include "decoderset.h"
#include "theme/themesetting.h"
#include "waveformmodel.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QtTest>
#include <QtWidgets>

using namespace vemo::toolona;
using vemo::basgui::ScriptedDialogs;
using namespace Qt::StringLiterals;

namespace {

// One row of annotations [start, start + length), by start.
DecodeResult rowOf(const QList<QPair<qint64, qint64>>& spans) {
    DecodeResult r;
    r.rows.resize(1);
    qint64 most = -1;
    QVector<qint64> ends;
    for (const auto& [start, length] : spans) {
        Annotation a;
        a.start = start;
        a.end = start + length;
        a.texts = QStringList{u"Data byte 5A"_s, u"5A"_s};
        r.rows[0].append(a);
        ends << (most = qMax(most, a.end));
    }
    r.maxEnd.append(ends);
    return r;
}

constexpr QRgb kBackground = 0xff101010;

bool columnPainted(const QImage& img, int x, int y) { return img.pixel(x, y) != kBackground; }

} // namespace

class TestWaveformDecode : public QObject {
    Q_OBJECT

private slots:
    void decoderRowsOnTheDemoPage() {
        QTemporaryDir dir;
        RecordingHost host;
        const QString file = demofixture::copyDemo(dir.path());
        auto gui = demofixture::embeddedGui(&host, file);
        QVERIFY(gui);
        host.eval(u"ona_run; ona_wait -timeout %1"_s.arg(testMs(20000)));
        gui->rightView()->tabWidget()->setCurrentIndex(1);
        auto* page = gui->rightView()->page<WaveformView>();
        QTRY_VERIFY(page->hasCapturedData());
        page->resize(1200, 700);
        page->show();
        WaveformModel* m = page->waveformModel();
        WaveformSignal* tree = page->tree();
        auto* delegate = qobject_cast<WaveformDelegate*>(tree->itemDelegate());
        auto choose = [&](const QModelIndex& idx) {
            tree->selectionModel()->clearSelection();
            tree->setCurrentIndex(idx);
            tree->selectionModel()->select(idx, QItemSelectionModel::Select | QItemSelectionModel::Rows);
        };
        auto shownRows = [&](const QModelIndex& parent) {
            QStringList out;
            for (int r = 0; r < m->rowCount(parent); ++r)
                if (!tree->isRowHidden(r, parent))
                    out << WaveformModel::rowData(m->index(r, 0, parent)).name;
            return out;
        };
        // The saved decoder (a file without its place): a row at the end,
        // its annotation rows that hold annotations under it.
        const QModelIndex uart = m->decoderRow(u"uart_tx"_s);
        QCOMPARE(rowNames(m).last(), u"uart_tx"_s);
        QTRY_VERIFY_WITH_TIMEOUT(shownRows(uart).contains(u"TX"_s), testMs(10000));
        QCOMPARE(delegate->dataText(uart), u"done"_s);
        QVERIFY(delegate->decoderState(uart).detail.endsWith(u" annotations"_s));
        QVERIFY(!shownRows(uart).contains(u"RX"_s)); // rx is not mapped: nothing decoded
        const QModelIndex txData = rowNamed(m, u"TX"_s, uart);

        // Find on a decoder's row searches its texts, on an annotation row
        // that row's; next-edge steps through annotation starts.
        choose(uart);
        m->setDataPos(400);
        host.commands.clear();
        QCOMPARE(page->findValue(u"0x5A"_s, false), qint64(560));
        QCOMPARE(host.commands, QStringList{u"ona_find -decoder uart_tx -text 0x5A -from 401"_s});
        QCOMPARE(page->findValue(u"0x5A"_s, true), qint64(-1)); // before it, only bytes out of step
        QCOMPARE(page->statusLine()->text(), u"uart_tx: \"0x5A\" does not occur before sample 560."_s);
        choose(txData);
        QCOMPARE(page->findValue(u"0x55"_s, false), qint64(760));
        QCOMPARE(host.commands.last(), u"ona_find -decoder uart_tx -text 0x55 -row tx-data -from 561"_s);
        QCOMPARE(delegate->dataText(txData), u"55"_s);
        QVERIFY(page->gotoEdge(true));
        const QString next = host.eval(
            u"set n -1; foreach a [ona_get annotations -decoder uart_tx -row tx-data] "
            "{if {[lindex $a 0] > 760} {set n [lindex $a 0]; break}}; set n"_s);
        QCOMPARE(m->getDataPos(), next.toInt());
        choose(rowNamed(m, u"tx"_s));
        host.commands.clear();
        page->findValue(u"1"_s, false);
        QVERIFY(host.commands.last().startsWith(u"ona_find -signal tx "_s));

        // The dialog: the signals named like the channels, the baud rate
        // from the shortest pulse (16 samples at 100 MHz); a refused name
        // stays in the dialog with the engine's reason.
        DecoderDialog dialog(page->gateway(), page->decoders(), m, page);
        dialog.decoderBox()->setCurrentIndex(dialog.decoderBox()->findData(u"uart"_s));
        QCOMPARE(dialog.channelBox(u"tx"_s)->currentText(), u"tx"_s);
        QCOMPARE(dialog.channelBox(u"rx"_s)->currentText(), u"rx"_s);
        dialog.channelBox(u"rx"_s)->setCurrentIndex(0);
        QCOMPARE(qobject_cast<QLineEdit*>(dialog.optionEditor(u"baudrate"_s))->text(), u"6250000"_s);
        qobject_cast<QComboBox*>(dialog.optionEditor(u"parity"_s))->setCurrentText(u"odd"_s);
        dialog.nameEdit()->setText(u"tx \"odd\" [x]"_s);
        QCOMPARE(host.sent([&] { dialog.accept(); }),
                 QStringList{u"ona_add_decoder uart -name \"tx \\\"odd\\\" \\[x\\]\" -channels \"tx tx\" "
                             "-options \"baudrate 6250000 parity odd\""_s});
        QVERIFY(dialog.errorLabel()->text().contains(u"is not a decoder name"_s));
        dialog.nameEdit()->setText(u"odd_tx"_s);
        dialog.accept();
        QCOMPARE(host.commands.last(),
                 u"ona_add_decoder uart -name odd_tx -channels \"tx tx\" "
                 "-options \"baudrate 6250000 parity odd\""_s);
        QCOMPARE(host.eval(u"ona_get decoders"_s), u"uart_tx odd_tx"_s);
        // Stacked: the channels are not the stacked decoder's.
        DecoderDialog stacked(page->gateway(), page->decoders(), m, page);
        stacked.decoderBox()->setCurrentIndex(stacked.decoderBox()->findData(u"eeprom24xx"_s));
        stacked.stackBox()->setCurrentIndex(stacked.stackBox()->findData(u"uart_tx"_s));
        QCOMPARE(stacked.command(), u"ona_add_decoder eeprom24xx -stack uart_tx"_s);

        // Added (from the dialog or Tcl) at the end; -position reorders the
        // decoders' rows among the places they hold.
        QCOMPARE(rowNames(m).mid(rowNames(m).size() - 2), (QStringList{"uart_tx", "odd_tx"}));
        host.eval(u"ona_set_decoder odd_tx -position 0"_s);
        QCOMPARE(rowNames(m).mid(rowNames(m).size() - 2), (QStringList{"odd_tx", "uart_tx"}));

        // The menu over a decoder's row: the one "Add Decoder…" action of
        // the tool bar, and each entry of the row one command.
        const QModelIndex odd = m->decoderRow(u"odd_tx"_s);
        choose(odd);
        const int waveX = tree->waveLeft() + 20;
        for (const auto& [entry, command] :
             QList<QPair<QString, QString>>{{u"Hide Rows"_s, u"ona_set_decoder odd_tx -hidden 1"_s},
                                            {u"Show Rows"_s, u"ona_set_decoder odd_tx -hidden 0"_s}}) {
            QMenu menu;
            QVERIFY(tree->fillContextMenu(&menu, waveX, tree->visualRect(m->decoderRow("odd_tx")).center().y()));
            QCOMPARE(menuEntry(&menu, u"Add Decoder…"_s), page->addDecoderAction());
            QVERIFY(!menuEntry(&menu, u"Copy"_s)->isEnabled()); // a decoder has one row
            QAction* a = menuEntry(&menu, entry);
            QVERIFY2(a && a->isEnabled(), qPrintable(entry));
            a->trigger();
            QCOMPARE(host.commands.last(), command);
            QCOMPARE(delegate->dataText(m->decoderRow("odd_tx")) == u"hidden"_s, entry == u"Hide Rows"_s);
        }
        QVERIFY(page->toolBar()->actions().contains(page->addDecoderAction()));
        QVERIFY(page->toolBar()->actions().contains(gui->sharedAction(u"zoom fit"_s)));
        {
            ScriptedDialogs dialogs;
            dialogs.colors.enqueue(QColor(0x30, 0x80, 0xff));
            choose(m->decoderRow(u"odd_tx"_s));
            tree->doEditColour();
            QCOMPARE(host.commands.last(), u"ona_set_decoder odd_tx -colour \"#3080ff\""_s);
            QVERIFY(tree->hasOwnColour());
            tree->doRevertColour();
            QCOMPARE(host.commands.last(), u"ona_set_decoder odd_tx -colour {}"_s);
        }

        // Moved like any row: dragged between rx and tx, cut and pasted
        // after state; its place is saved and read back.
        tree->expandAll();
        const auto topOf = [&](const QModelIndex& row) { return tree->visualRect(row).topLeft() + QPointF(5, 3); };
        QVERIFY(dropRow(tree, m->decoderRow(u"uart_tx"_s), topOf(rowNamed(m, u"tx"_s))));
        QCOMPARE(rowNames(m).mid(0, 3), (QStringList{"rx", "uart_tx", "tx"}));
        QTRY_VERIFY(shownRows(m->decoderRow("uart_tx")).contains(u"TX"_s));
        // Nothing lands inside a decoder's rows: over them, after the block.
        dropRow(tree, rowNamed(m, u"rx"_s), topOf(rowNamed(m, u"TX"_s, m->decoderRow("uart_tx"))));
        QCOMPARE(rowNames(m).mid(0, 3), (QStringList{"uart_tx", "rx", "tx"}));
        QCOMPARE(m->rowCount(m->decoderRow("uart_tx")), m->rowCount(m->decoderRow("odd_tx")));
        choose(m->decoderRow(u"odd_tx"_s));
        tree->doCut();
        QCOMPARE(m->decoderRow(u"odd_tx"_s).isValid(), true); // stays until pasted
        choose(rowNamed(m, u"state"_s));
        QVERIFY(tree->canPaste());
        tree->doPaste();
        QCOMPARE(rowNames(m).indexOf(u"odd_tx"_s), rowNames(m).indexOf(u"state"_s) + 1);
        QCOMPARE(int(rowNames(m).count(u"odd_tx"_s)), 1);
        const QJsonObject layout = m->layout();
        QVERIFY(QJsonDocument(layout).toJson().contains("\"decoder\": \"uart_tx\""));
        m->restoreLayout(QJsonObject()); // nothing to restore: unchanged
        const QStringList placed = rowNames(m);
        QJsonArray old; // as a file from before decoders had rows
        for (const QJsonValue& v : layout.value(u"rows"_s).toArray())
            if (!v.toObject().contains(u"decoder"_s))
                old.append(v);
        m->restoreLayout(QJsonObject{{u"rows"_s, old}});
        QCOMPARE(rowNames(m).mid(rowNames(m).size() - 2), (QStringList{"odd_tx", "uart_tx"}));
        QJsonArray twice = layout.value(u"rows"_s).toArray();
        twice.append(QJsonObject{{u"decoder"_s, u"uart_tx"_s}});
        twice.append(QJsonObject{{u"decoder"_s, u"gone"_s}});
        m->restoreLayout(QJsonObject{{u"rows"_s, twice}});
        QCOMPARE(rowNames(m), placed);

        // Exports and find never take a decoder's row for a signal.
        QVERIFY(host.eval(u"ona_export_project -txt %1 -siglist uart_tx"_s.arg(dir.filePath(u"w.txt"_s)))
                    .contains(u"no signal named \"uart_tx\""_s));
        // A decoder named like a bus, above it: the bus is what is searched and exported.
        host.eval(u"ona_add_decoder uart -name rx_data -channels {tx tx}"_s);
        QVERIFY(m->dropItem(m->decoderRow(u"rx_data"_s), QModelIndex(), 0));
        QVERIFY(host.eval(u"ona_find -signal rx_data -value 5A -radix Hex"_s).toInt() >= 0);
        QVERIFY(host.eval(u"ona_export_project -txt %1 -siglist rx_data"_s.arg(dir.filePath(u"w.txt"_s)))
                    .endsWith(u"w.txt"_s));
        QVERIFY(readAll(dir.filePath(u"w.txt"_s)).contains("5A"));
        // Nor is a decoder's row measured as one.
        m->addCurPos(100);
        choose(m->decoderRow(u"rx_data"_s));
        QVERIFY(!page->statusLine()->text().contains(u"rx_data"_s));
        host.eval(u"ona_remove_decoder rx_data"_s);
        host.eval(u"ona_export_project -vcd %1"_s.arg(dir.filePath(u"w.vcd"_s)));
        const QByteArray vcd = readAll(dir.filePath(u"w.vcd"_s));
        QVERIFY(vcd.contains(" tx $end") && !vcd.contains("uart_tx"));

        // Removed from Tcl: its row goes, with the rows stacked on it.
        host.eval(u"ona_remove_decoder odd_tx"_s);
        QVERIFY(!m->decoderRow(u"odd_tx"_s).isValid());
        QVERIFY(m->decoderRow(u"uart_tx"_s).isValid());

        // Pictures of the page for the README (light and dark), when asked for.
        if (qEnvironmentVariableIsSet("ONDREL_DECODE_SHOT")) {
            // Three decoders, one stacked on the UART through the dialog,
            // the UART's row between two signals.
            host.eval(u"ona_add_decoder uart -name rx_uart -channels {rx rx}"_s);
            DecoderDialog midi(page->gateway(), page->decoders(), m, page);
            midi.decoderBox()->setCurrentIndex(midi.decoderBox()->findData(u"midi"_s));
            midi.stackBox()->setCurrentIndex(midi.stackBox()->findData(u"uart_tx"_s));
            midi.accept();
            QTRY_VERIFY(delegate->dataText(m->decoderRow(u"midi"_s)) == u"done"_s);
            tree->clearSelection();
            QVERIFY(m->dropItem(m->decoderRow(u"uart_tx"_s), QModelIndex(), int(rowNames(m).indexOf(u"tx"_s))));
            tree->collapseAll();
            for (const QString& name : {u"uart_tx"_s, u"rx_uart"_s, u"midi"_s})
                tree->expand(m->decoderRow(name));
            m->zoomBox(tree->waveWidth(), 760, 900);
            const QString before = vemo::theme::ThemeSetting::style();
            for (const QString& theme : {u"light"_s, u"dark"_s}) {
                vemo::theme::ThemeSetting::setStyle(theme);
                vemo::theme::ThemeSetting::applyTo(qApp);
                QCoreApplication::processEvents();
                page->grab().save(u"%1-%2.png"_s.arg(qEnvironmentVariable("ONDREL_DECODE_SHOT"), theme));
            }
            vemo::theme::ThemeSetting::setStyle(before);
            vemo::theme::ThemeSetting::applyTo(qApp);
        }

        // Saved with the analyzer file and opened in its place again.
        const QStringList saved = rowNames(m);
        QCOMPARE(host.eval(u"ona_save_project; ona_close_project; ona_open_project %1; ona_get decoders"_s.arg(file)),
                 host.eval(u"ona_get decoders"_s));
        QTRY_VERIFY(page->waveformModel() && page->hasCapturedData());
        QCOMPARE(rowNames(page->waveformModel()), saved);
    }

    void paintsAtThePixelCost() {
        QImage img(1010, 30, QImage::Format_RGB32);
        const int y = 15;
        // 1M samples over 1000 columns: 100 000 annotations of 10 samples, a
        // gap of 100 000 samples in the middle, and one wide annotation.
        QList<QPair<qint64, qint64>> spans;
        for (qint64 s = 0; s < 400000; s += 10)
            spans.append({s, 10});
        spans.append({500000, 200000});
        for (qint64 s = 800000; s < 1000000; s += 10)
            spans.append({s, 10});
        const DecodeResult r = rowOf(spans);
        const WavePaintParams w = WavePaintParams::make(QRect(5, 0, 1000, 30), 0, 1000000, 1000000);
        img.fill(kBackground);
        QPainter p(&img);
        const int drawn = wavepaint::paintAnnotations(&p, w, r, 0, QColor(0x3c, 0xd0, 0x70));
        p.end();
        // Two merged blocks and the wide box, not 60 000 boxes.
        QCOMPARE(drawn, 3);
        for (int x = w.x(0); x < w.x(400000); ++x)
            QVERIFY2(columnPainted(img, x, y), qPrintable(QString::number(x)));
        for (int x = w.x(400000) + 1; x < w.x(500000); ++x)
            QVERIFY2(!columnPainted(img, x, y), qPrintable(QString::number(x)));
        QVERIFY(columnPainted(img, w.x(500000), y)); // the wide box's border
        QVERIFY(columnPainted(img, w.x(700000) - 1, y));
        for (int x = w.x(700000) + 1; x < w.x(800000); ++x)
            QVERIFY2(!columnPainted(img, x, y), qPrintable(QString::number(x)));
        for (int x = w.x(800000); x < w.x(999999); ++x)
            QVERIFY2(columnPainted(img, x, y), qPrintable(QString::number(x)));

        // Zoomed in on the dense part: each annotation its own box, and those
        // ending before the window are not drawn.
        const WavePaintParams near = WavePaintParams::make(QRect(5, 0, 1000, 30), 1000, 100, 1000000);
        img.fill(kBackground);
        QPainter q(&img);
        QCOMPARE(wavepaint::paintAnnotations(&q, near, r, 0, QColor()), 10);
    }
};

QTEST_MAIN(TestWaveformDecode)
#include "tst_waveform_decode.moc"
