// Decoders on the waveform page: the demo's saved UART decoder in its rows
// under the tree, the "Add Decoder" dialog and the rows' context menu with
// their exact commands; and annotation rows painted at the cost of pixels: a
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
#include "waveform/decoderpanel.h"
#include "waveform/waveformsignal.h"
#include "waveform/waveformview.h"
#include "waveform/wavepaintparams.h"

#include "decoderset.h"
#include "theme/themesetting.h"
#include "waveformmodel.h"

#include <QtTest>
#include <QtWidgets>

using namespace vemo::toolona;

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
    void decodersOnTheDemoPage() {
        QTemporaryDir dir;
        RecordingHost host;
        auto gui = demofixture::embeddedGui(&host, demofixture::copyDemo(dir.path()));
        QVERIFY(gui);
        host.eval(QStringLiteral("ona_run; ona_wait -timeout %1").arg(testMs(20000)));
        gui->rightView()->tabWidget()->setCurrentIndex(1);
        auto* page = gui->rightView()->page<WaveformView>();
        QTRY_VERIFY(page->hasCapturedData());
        page->resize(1200, 700);
        page->show();
        DecoderPanel* panel = page->decoderPanel();
        auto labels = [panel] {
            QStringList out;
            for (const auto& l : panel->lines())
                out << l.label.trimmed();
            return out;
        };
        // The saved decoder's row and its rows of annotations.
        QTRY_VERIFY_WITH_TIMEOUT(labels().contains(QStringLiteral("TX")), testMs(10000));
        QCOMPARE(labels().first(), QStringLiteral("uart_tx"));
        QVERIFY(panel->lines().first().detail.endsWith(QStringLiteral(" annotations")));
        QVERIFY(panel->isVisibleTo(page));

        // Find in the decoder's texts once its row is chosen; a tree row
        // chosen again is what the find bar searches then.
        QTest::mouseClick(panel, Qt::LeftButton, {}, QPoint(20, DecoderPanel::kRowHeight / 2));
        QCOMPARE(panel->searchDecoder(), QStringLiteral("uart_tx"));
        page->waveformModel()->setDataPos(400);
        host.commands.clear();
        QCOMPARE(page->findValue(QStringLiteral("0x5A"), false), 560);
        QCOMPARE(host.commands, QStringList{QStringLiteral("ona_find -decoder uart_tx -text 0x5A -from 401")});
        QCOMPARE(page->findValue(QStringLiteral("0x5A"), true), -1); // before it, only bytes out of step
        QCOMPARE(page->statusLine()->text(), QStringLiteral("uart_tx: \"0x5A\" does not occur before sample 560."));
        page->tree()->setCurrentIndex(rowNamed(page->waveformModel(), QStringLiteral("tx")));
        page->tree()->selectionModel()->select(rowNamed(page->waveformModel(), QStringLiteral("tx")),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
        QCOMPARE(panel->searchDecoder(), QString());

        // The dialog: the signals named like the channels, the baud rate
        // from the shortest pulse (16 samples at 100 MHz); a refused name
        // stays in the dialog with the engine's reason.
        DecoderDialog dialog(page->gateway(), panel->decoders(), page->waveformModel(), page);
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
        DecoderDialog stacked(page->gateway(), panel->decoders(), page->waveformModel(), page);
        stacked.decoderBox()->setCurrentIndex(stacked.decoderBox()->findData(QStringLiteral("eeprom24xx")));
        stacked.stackBox()->setCurrentIndex(stacked.stackBox()->findData(QStringLiteral("uart_tx")));
        QCOMPARE(stacked.command(), QStringLiteral("ona_add_decoder eeprom24xx -stack uart_tx"));

        // The decoder rows' menu: each entry one command.
        QTRY_VERIFY(labels().contains(QStringLiteral("odd_tx")));
        const int odd = int(labels().indexOf(QStringLiteral("odd_tx")));
        for (const auto& [entry, command] : QList<QPair<QString, QString>>{
                 {QStringLiteral("Hide Rows"), QStringLiteral("ona_set_decoder odd_tx -hidden 1")},
                 {QStringLiteral("Move Up"), QStringLiteral("ona_set_decoder odd_tx -position 0")},
                 {QStringLiteral("Remove Decoder"), QStringLiteral("ona_remove_decoder odd_tx")}}) {
            QMenu menu;
            panel->fillMenu(&menu, int(labels().indexOf(QStringLiteral("odd_tx"))));
            QAction* a = menuEntry(&menu, entry);
            QVERIFY2(a && a->isEnabled(), qPrintable(entry));
            a->trigger();
            QCOMPARE(host.commands.last(), command);
            if (entry == QStringLiteral("Hide Rows"))
                QCOMPARE(panel->lines().at(odd).state, QStringLiteral("hidden"));
            if (entry == QStringLiteral("Move Up"))
                QCOMPARE(host.eval(QStringLiteral("ona_get decoders")), QStringLiteral("odd_tx uart_tx"));
        }
        QCOMPARE(labels().first(), QStringLiteral("uart_tx"));
        // Pictures of the page for the README (light and dark), when asked for.
        if (qEnvironmentVariableIsSet("ONDREL_DECODE_SHOT")) {
            // With a decoder stacked on the UART through the dialog.
            DecoderDialog midi(page->gateway(), panel->decoders(), page->waveformModel(), page);
            midi.decoderBox()->setCurrentIndex(midi.decoderBox()->findData(QStringLiteral("midi")));
            midi.stackBox()->setCurrentIndex(midi.stackBox()->findData(QStringLiteral("uart_tx")));
            midi.accept();
            QTRY_VERIFY(labels().contains(QStringLiteral("midi")) &&
                        panel->lines().last().detail.isEmpty() == (panel->lines().last().row >= 0));
            QTRY_VERIFY(panel->lines().first().detail.endsWith(QStringLiteral(" annotations")));
            page->waveformModel()->zoomBox(page->tree()->waveWidth(), 760, 900);
            const QString before = vemo::theme::ThemeSetting::style();
            for (const QString theme : {QStringLiteral("light"), QStringLiteral("dark")}) {
                vemo::theme::ThemeSetting::setStyle(theme);
                vemo::theme::ThemeSetting::applyTo(qApp);
                QCoreApplication::processEvents();
                page->grab().save(QStringLiteral("%1-%2.png").arg(qEnvironmentVariable("ONDREL_DECODE_SHOT"), theme));
            }
            vemo::theme::ThemeSetting::setStyle(before);
            vemo::theme::ThemeSetting::applyTo(qApp);
        }
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
