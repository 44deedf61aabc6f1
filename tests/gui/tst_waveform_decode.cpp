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
        a.texts = QStringList{QStringLiteral("Data byte 5A"), QStringLiteral("5A")};
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
        host.eval(QStringLiteral("ona_run; ona_wait -timeout %1").arg(testMs(20000)));
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
        const QModelIndex uart = m->decoderRow(QStringLiteral("uart_tx"));
        QCOMPARE(rowNames(m).last(), QStringLiteral("uart_tx"));
        QTRY_VERIFY_WITH_TIMEOUT(shownRows(uart).contains(QStringLiteral("TX")), testMs(10000));
        QCOMPARE(delegate->dataText(uart), QStringLiteral("done"));
        QVERIFY(delegate->decoderState(uart).detail.endsWith(QStringLiteral(" annotations")));
        QVERIFY(!shownRows(uart).contains(QStringLiteral("RX"))); // rx is not mapped: nothing decoded
        const QModelIndex txData = rowNamed(m, QStringLiteral("TX"), uart);

        // Find on a decoder's row searches its texts, on an annotation row
        // that row's; next-edge steps through annotation starts.
        choose(uart);
        m->setDataPos(400);
        host.commands.clear();
        QCOMPARE(page->findValue(QStringLiteral("0x5A"), false), qint64(560));
        QCOMPARE(host.commands, QStringList{QStringLiteral("ona_find -decoder uart_tx -text 0x5A -from 401")});
        QCOMPARE(page->findValue(QStringLiteral("0x5A"), true), qint64(-1)); // before it, only bytes out of step
        QCOMPARE(page->statusLine()->text(), QStringLiteral("uart_tx: \"0x5A\" does not occur before sample 560."));
        choose(txData);
        QCOMPARE(page->findValue(QStringLiteral("0x55"), false), qint64(760));
        QCOMPARE(host.commands.last(), QStringLiteral("ona_find -decoder uart_tx -text 0x55 -row tx-data -from 561"));
        QCOMPARE(delegate->dataText(txData), QStringLiteral("55"));
        QVERIFY(page->gotoEdge(true));
        const QString next =
            host.eval(QStringLiteral("set n -1; foreach a [ona_get annotations -decoder uart_tx -row tx-data] "
                                     "{if {[lindex $a 0] > 760} {set n [lindex $a 0]; break}}; set n"));
        QCOMPARE(m->getDataPos(), next.toInt());
        choose(rowNamed(m, QStringLiteral("tx")));
        host.commands.clear();
        page->findValue(QStringLiteral("1"), false);
        QVERIFY(host.commands.last().startsWith(QStringLiteral("ona_find -signal tx ")));

        // The dialog: the signals named like the channels, the baud rate
        // from the shortest pulse (16 samples at 100 MHz); a refused name
        // stays in the dialog with the engine's reason.
        DecoderDialog dialog(page->gateway(), page->decoders(), m, page);
        dialog.decoderBox()->setCurrentIndex(dialog.decoderBox()->findData(QStringLiteral("uart")));
        QCOMPARE(dialog.channelBox(QStringLiteral("tx"))->currentText(), QStringLiteral("tx"));
        QCOMPARE(dialog.channelBox(QStringLiteral("rx"))->currentText(), QStringLiteral("rx"));
        dialog.channelBox(QStringLiteral("rx"))->setCurrentIndex(0);
        QCOMPARE(qobject_cast<QLineEdit*>(dialog.optionEditor(QStringLiteral("baudrate")))->text(),
                 QStringLiteral("6250000"));
        qobject_cast<QComboBox*>(dialog.optionEditor(QStringLiteral("parity")))->setCurrentText(QStringLiteral("odd"));
        dialog.nameEdit()->setText(QStringLiteral("tx \"odd\" [x]"));
        host.commands.clear();
        dialog.accept();
        QCOMPARE(host.commands,
                 QStringList{QStringLiteral("ona_add_decoder uart -name \"tx \\\"odd\\\" \\[x\\]\" -channels \"tx tx\" "
                                            "-options \"baudrate 6250000 parity odd\"")});
        QVERIFY(dialog.errorLabel()->text().contains(QStringLiteral("is not a decoder name")));
        dialog.nameEdit()->setText(QStringLiteral("odd_tx"));
        dialog.accept();
        QCOMPARE(host.commands.last(), QStringLiteral("ona_add_decoder uart -name odd_tx -channels \"tx tx\" "
                                                      "-options \"baudrate 6250000 parity odd\""));
        QCOMPARE(host.eval(QStringLiteral("ona_get decoders")), QStringLiteral("uart_tx odd_tx"));
        // Stacked: the channels are not the stacked decoder's.
        DecoderDialog stacked(page->gateway(), page->decoders(), m, page);
        stacked.decoderBox()->setCurrentIndex(stacked.decoderBox()->findData(QStringLiteral("eeprom24xx")));
        stacked.stackBox()->setCurrentIndex(stacked.stackBox()->findData(QStringLiteral("uart_tx")));
        QCOMPARE(stacked.command(), QStringLiteral("ona_add_decoder eeprom24xx -stack uart_tx"));

        // Added (from the dialog or Tcl) at the end; -position reorders the
        // decoders' rows among the places they hold.
        QCOMPARE(rowNames(m).mid(rowNames(m).size() - 2), (QStringList{"uart_tx", "odd_tx"}));
        host.eval(QStringLiteral("ona_set_decoder odd_tx -position 0"));
        QCOMPARE(rowNames(m).mid(rowNames(m).size() - 2), (QStringList{"odd_tx", "uart_tx"}));

        // The menu over a decoder's row: the one "Add Decoder…" action of
        // the tool bar, and each entry of the row one command.
        const QModelIndex odd = m->decoderRow(QStringLiteral("odd_tx"));
        choose(odd);
        const int waveX = tree->waveLeft() + 20;
        for (const auto& [entry, command] : QList<QPair<QString, QString>>{
                 {QStringLiteral("Hide Rows"), QStringLiteral("ona_set_decoder odd_tx -hidden 1")},
                 {QStringLiteral("Show Rows"), QStringLiteral("ona_set_decoder odd_tx -hidden 0")}}) {
            QMenu menu;
            QVERIFY(tree->fillContextMenu(&menu, waveX, tree->visualRect(m->decoderRow("odd_tx")).center().y()));
            QCOMPARE(menuEntry(&menu, QStringLiteral("Add Decoder…")), page->addDecoderAction());
            QVERIFY(!menuEntry(&menu, QStringLiteral("Copy"))->isEnabled()); // a decoder has one row
            QAction* a = menuEntry(&menu, entry);
            QVERIFY2(a && a->isEnabled(), qPrintable(entry));
            a->trigger();
            QCOMPARE(host.commands.last(), command);
            QCOMPARE(delegate->dataText(m->decoderRow("odd_tx")) == QStringLiteral("hidden"),
                     entry == QStringLiteral("Hide Rows"));
        }
        QVERIFY(page->toolBar()->actions().contains(page->addDecoderAction()));
        QVERIFY(page->toolBar()->actions().contains(gui->sharedAction(QStringLiteral("zoom fit"))));
        {
            ScriptedDialogs dialogs;
            dialogs.colors.enqueue(QColor(0x30, 0x80, 0xff));
            choose(m->decoderRow(QStringLiteral("odd_tx")));
            tree->doEditColour();
            QCOMPARE(host.commands.last(), QStringLiteral("ona_set_decoder odd_tx -colour \"#3080ff\""));
            QVERIFY(tree->hasOwnColour());
            tree->doRevertColour();
            QCOMPARE(host.commands.last(), QStringLiteral("ona_set_decoder odd_tx -colour {}"));
        }

        // Moved like any row: dragged between rx and tx, cut and pasted
        // after state; its place is saved and read back.
        tree->expandAll();
        QWidget* vp = tree->viewport();
        {
            WaveformSignalMimeData mime(m->decoderRow(QStringLiteral("uart_tx")));
            const QRect tx = tree->visualRect(rowNamed(m, QStringLiteral("tx")));
            const QPointF at(tx.left() + 5, tx.top() + 3);
            QDragEnterEvent enter(at.toPoint(), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(vp, &enter);
            QDropEvent drop(at, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(vp, &drop);
            QVERIFY(drop.isAccepted());
        }
        QCOMPARE(rowNames(m).mid(0, 3), (QStringList{"rx", "uart_tx", "tx"}));
        QTRY_VERIFY(shownRows(m->decoderRow("uart_tx")).contains(QStringLiteral("TX")));
        {
            // Nothing lands inside a decoder's rows: over them, after the block.
            WaveformSignalMimeData mime(rowNamed(m, QStringLiteral("rx")));
            const QRect inside = tree->visualRect(rowNamed(m, QStringLiteral("TX"), m->decoderRow("uart_tx")));
            const QPointF at(inside.left() + 5, inside.top() + 3);
            QDragEnterEvent enter(at.toPoint(), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(vp, &enter);
            QDropEvent drop(at, Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(vp, &drop);
        }
        QCOMPARE(rowNames(m).mid(0, 3), (QStringList{"uart_tx", "rx", "tx"}));
        QCOMPARE(m->rowCount(m->decoderRow("uart_tx")), m->rowCount(m->decoderRow("odd_tx")));
        choose(m->decoderRow(QStringLiteral("odd_tx")));
        tree->doCut();
        QCOMPARE(m->decoderRow(QStringLiteral("odd_tx")).isValid(), true); // stays until pasted
        choose(rowNamed(m, QStringLiteral("state")));
        QVERIFY(tree->canPaste());
        tree->doPaste();
        QCOMPARE(rowNames(m).indexOf(QStringLiteral("odd_tx")), rowNames(m).indexOf(QStringLiteral("state")) + 1);
        QCOMPARE(int(rowNames(m).count(QStringLiteral("odd_tx"))), 1);
        const QJsonObject layout = m->layout();
        QVERIFY(QJsonDocument(layout).toJson().contains("\"decoder\": \"uart_tx\""));
        m->restoreLayout(QJsonObject()); // nothing to restore: unchanged
        const QStringList placed = rowNames(m);
        QJsonArray old; // as a file from before decoders had rows
        for (const QJsonValue& v : layout.value(QStringLiteral("rows")).toArray())
            if (!v.toObject().contains(QStringLiteral("decoder")))
                old.append(v);
        m->restoreLayout(QJsonObject{{QStringLiteral("rows"), old}});
        QCOMPARE(rowNames(m).mid(rowNames(m).size() - 2), (QStringList{"odd_tx", "uart_tx"}));
        QJsonArray twice = layout.value(QStringLiteral("rows")).toArray();
        twice.append(QJsonObject{{QStringLiteral("decoder"), QStringLiteral("uart_tx")}});
        twice.append(QJsonObject{{QStringLiteral("decoder"), QStringLiteral("gone")}});
        m->restoreLayout(QJsonObject{{QStringLiteral("rows"), twice}});
        QCOMPARE(rowNames(m), placed);

        // Exports and find never take a decoder's row for a signal.
        QVERIFY(host.eval(QStringLiteral("ona_export_project -txt %1 -siglist uart_tx")
                              .arg(dir.filePath(QStringLiteral("w.txt"))))
                    .contains(QStringLiteral("no signal named \"uart_tx\"")));
        // A decoder named like a bus, above it: the bus is what is searched and exported.
        host.eval(QStringLiteral("ona_add_decoder uart -name rx_data -channels {tx tx}"));
        QVERIFY(m->dropItem(m->decoderRow(QStringLiteral("rx_data")), QModelIndex(), 0));
        QVERIFY(host.eval(QStringLiteral("ona_find -signal rx_data -value 5A -radix Hex")).toInt() >= 0);
        QVERIFY(host.eval(QStringLiteral("ona_export_project -txt %1 -siglist rx_data")
                              .arg(dir.filePath(QStringLiteral("w.txt"))))
                    .endsWith(QStringLiteral("w.txt")));
        QVERIFY(readAll(dir.filePath(QStringLiteral("w.txt"))).contains("5A"));
        // Nor is a decoder's row measured as one.
        m->addCurPos(100);
        choose(m->decoderRow(QStringLiteral("rx_data")));
        QVERIFY(!page->statusLine()->text().contains(QStringLiteral("rx_data")));
        host.eval(QStringLiteral("ona_remove_decoder rx_data"));
        host.eval(QStringLiteral("ona_export_project -vcd %1").arg(dir.filePath(QStringLiteral("w.vcd"))));
        const QByteArray vcd = readAll(dir.filePath(QStringLiteral("w.vcd")));
        QVERIFY(vcd.contains(" tx $end") && !vcd.contains("uart_tx"));

        // Removed from Tcl: its row goes, with the rows stacked on it.
        host.eval(QStringLiteral("ona_remove_decoder odd_tx"));
        QVERIFY(!m->decoderRow(QStringLiteral("odd_tx")).isValid());
        QVERIFY(m->decoderRow(QStringLiteral("uart_tx")).isValid());

        // Pictures of the page for the README (light and dark), when asked for.
        if (qEnvironmentVariableIsSet("ONDREL_DECODE_SHOT")) {
            // Three decoders, one stacked on the UART through the dialog,
            // the UART's row between two signals.
            host.eval(QStringLiteral("ona_add_decoder uart -name rx_uart -channels {rx rx}"));
            DecoderDialog midi(page->gateway(), page->decoders(), m, page);
            midi.decoderBox()->setCurrentIndex(midi.decoderBox()->findData(QStringLiteral("midi")));
            midi.stackBox()->setCurrentIndex(midi.stackBox()->findData(QStringLiteral("uart_tx")));
            midi.accept();
            QTRY_VERIFY(delegate->dataText(m->decoderRow(QStringLiteral("midi"))) == QStringLiteral("done"));
            tree->clearSelection();
            QVERIFY(m->dropItem(m->decoderRow(QStringLiteral("uart_tx")), QModelIndex(),
                                int(rowNames(m).indexOf(QStringLiteral("tx")))));
            tree->collapseAll();
            for (const QString& name : {QStringLiteral("uart_tx"), QStringLiteral("rx_uart"), QStringLiteral("midi")})
                tree->expand(m->decoderRow(name));
            m->zoomBox(tree->waveWidth(), 760, 900);
            const QString before = vemo::theme::ThemeSetting::style();
            for (const QString& theme : {QStringLiteral("light"), QStringLiteral("dark")}) {
                vemo::theme::ThemeSetting::setStyle(theme);
                vemo::theme::ThemeSetting::applyTo(qApp);
                QCoreApplication::processEvents();
                page->grab().save(QStringLiteral("%1-%2.png").arg(qEnvironmentVariable("ONDREL_DECODE_SHOT"), theme));
            }
            vemo::theme::ThemeSetting::setStyle(before);
            vemo::theme::ThemeSetting::applyTo(qApp);
        }

        // Saved with the analyzer file and opened in its place again.
        const QStringList saved = rowNames(m);
        QCOMPARE(
            host.eval(
                QStringLiteral("ona_save_project; ona_close_project; ona_open_project %1; ona_get decoders").arg(file)),
            host.eval(QStringLiteral("ona_get decoders")));
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
