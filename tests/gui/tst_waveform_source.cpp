// The waveform page over a simulator's dump: four-state values as text, x
// and z drawn as waveform viewers draw them, positions past 2^31 ticks.

#include "guitest.h"
#include "waveform/wavecursorpanel.h"
#include "waveform/waveformdelegate.h"
#include "waveform/waveformpainter.h"
#include "waveform/waveformruler.h"
#include "waveform/waveformsignal.h"
#include "waveform/waveformview.h"
#include "waveform/wavemeasure.h"

#include "basgui/dialogseam.h"
#include "changesource.h"
#include "onadata.h"
#include "tokenmodel.h"
#include "vcdreader.h"
#include "waveformmodel.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

using namespace vemo::toolona;
using namespace Qt::StringLiterals;

namespace {

// One bit that is x, then 1, z and 0, each for a billion ticks, and a
// nibble that reads 1x00 from the third billion on: every change but the
// first lies past 2^31.
const QByteArray kDump = "$timescale 1ps $end\n"
                         "$scope module top $end\n"
                         "$var wire 1 ! a $end\n"
                         "$var wire 4 \" v [3:0] $end\n"
                         "$upscope $end\n"
                         "$enddefinitions $end\n"
                         "#0\nx!\nb0101 \"\n"
                         "#1000000000\n1!\n"
                         "#2000000000\nz!\n"
                         "#3000000000\n0!\nb1x00 \"\n"
                         "#4000000000\n";

// A 1 GHz clock over 10 ns (ticks of 1 ps) and a real that rises from 0
// to 3.3 at 4 ns, is NaN from 6 ns and -1.5e-06 from 8 ns.
QByteArray realDump() {
    QByteArray v = "$timescale 1ps $end\n$scope module top $end\n$var wire 1 ! c $end\n$var real 64 # r $end\n"
                   "$upscope $end\n$enddefinitions $end\n#0\n0!\nr0 #\n";
    for (int t = 500; t <= 10000; t += 500) {
        v += "#" + QByteArray::number(t) + "\n" + (t % 1000 ? "1!\n" : "0!\n");
        if (t == 4000)
            v += "r3.3 #\n";
        if (t == 6000)
            v += "rnan #\n";
        if (t == 8000)
            v += "r-1.5e-06 #\n";
    }
    return v;
}

std::shared_ptr<const ChangeSource> dumpSource(const QByteArray& vcd = kDump) {
    QString error;
    std::shared_ptr<const ChangeStore> store = VcdReader::readBytes(vcd, u"dump.vcd"_s, {}, &error);
    if (!store)
        qFatal("dump: %s", qPrintable(error));
    return std::make_shared<ChangeSource>(store);
}

// The page over a dump's model, shown, its rows open and the dump fitted.
struct DumpPage {
    RecordingGateway gateway;
    WaveformView page{&gateway};
    explicit DumpPage(WaveformModel* model) {
        page.resize(900, 300);
        page.setWaveformModel(model);
        page.show();
        if (!QTest::qWaitForWindowExposed(&page))
            return;
        page.tree()->expandAll();
        page.grab(); // lays out the waveform column
        model->zoomFit(page.tree()->waveWidth());
    }
    WaveformDelegate* delegate() const { return qobject_cast<WaveformDelegate*>(page.tree()->itemDelegate()); }
};

} // namespace

class TestWaveformSource : public QObject {
    Q_OBJECT
private slots:
    void fourStateBitsReadDigitByDigitOrWhole() {
        // A digit that stands for whole bits shows x (any x, or z mixed
        // with levels) or z (all z); a radix that mixes bits says X or Z.
        QCOMPARE(WaveformModel::radixText(u"00011x00"_s, 16), u"1x"_s);
        QCOMPARE(WaveformModel::radixText(u"zzzz0101"_s, 16), u"z5"_s);
        QCOMPARE(WaveformModel::radixText(u"zz01"_s, 16), u"x"_s);
        QCOMPARE(WaveformModel::radixText(u"1x0z"_s, 2), u"1x0z"_s);
        QCOMPARE(WaveformModel::radixText(u"x01000"_s, 8), u"x0"_s);
        QCOMPARE(WaveformModel::radixText(u"10x1"_s, 10), u"X"_s);
        QCOMPARE(WaveformModel::radixText(u"1zz1"_s, SigTreeData::Signed), u"X"_s);
        QCOMPARE(WaveformModel::radixText(u"zzzzzzzz"_s, SigTreeData::Ascii), u"Z"_s);
        // Two-state bits are as they always were.
        QCOMPARE(WaveformModel::radixText(u"11110101"_s, 16), u"F5"_s);
        QCOMPARE(WaveformModel::radixText(u"1111"_s, SigTreeData::Signed), u"-1"_s);
    }

    void dumpDrawsUnknownBandAndFloatingLine() {
        const auto source = dumpSource();
        QCOMPARE(source->channelCount(), 5);
        const qint64 end = source->lastPosition();
        QCOMPARE(end, Q_INT64_C(4000000000));
        const QRect cell(0, 0, 400, 30);
        const WavePaintParams w = WavePaintParams::make(cell, 0, end + 1, end + 1);
        QImage img(cell.size(), QImage::Format_RGB32);
        img.fill(Qt::black);
        const QColor wave(Qt::green);
        {
            QPainter p(&img);
            p.setPen(wave);
            wavepaint::paintSignal(&p, w, *source, 0);
        }
        const int high = wavepaint::yHigh(cell), low = wavepaint::yLow(cell), mid = (high + low) / 2;
        auto at = [&](int x, int y) { return img.pixelColor(x, y); };
        // x: the band between the levels is filled.
        QCOMPARE(at(50, mid), w.unknown);
        QCOMPARE(at(50, high + 1), w.unknown);
        // 1, then z at mid level in its own colour with nothing at the
        // levels, then 0: all past 2^31 ticks.
        QCOMPARE(at(150, high), wave);
        QCOMPARE(at(150, mid), QColor(Qt::black));
        QCOMPARE(at(250, mid), w.highZ);
        QCOMPARE(at(250, high), QColor(Qt::black));
        QCOMPARE(at(250, low), QColor(Qt::black));
        QCOMPARE(at(350, low), wave);
        QVERIFY(w.unknown != wave && w.highZ != wave && w.unknown != w.highZ);

        // The nibble: known first, its x value filled like a one-bit x.
        img.fill(Qt::black);
        {
            QPainter p(&img);
            p.setPen(wave);
            BusFormat hex;
            hex.width = 4;
            wavepaint::paintBus(&p, w, *source, {1, 2, 3, 4}, hex);
        }
        QCOMPARE(source->bitsAt({1, 2, 3, 4}, Q_INT64_C(3500000000)), u"1x00"_s);
        QVERIFY(at(150, mid) != w.unknown);
        QCOMPARE(at(310, high + 3), w.unknown);
    }

    void dumpOpensAsScopedRowsReadInTicks() {
        WaveformModel model;
        model.setSource(dumpSource());
        // The scope is a parent row holding a row per variable, the vector a
        // bus of its bits.
        QCOMPARE(model.rowCount(), 1);
        const QModelIndex top = model.index(0, 0);
        QCOMPARE(WaveformModel::rowData(top).name, u"top"_s);
        QVERIFY(WaveformModel::rowData(top).group);
        QCOMPARE(model.rowCount(top), 2);
        const QModelIndex a = model.index(0, 0, top), v = model.index(1, 0, top);
        QCOMPARE(WaveformModel::rowData(a).name, u"a"_s);
        QCOMPARE(WaveformModel::rowData(v).name, u"v"_s);
        QCOMPARE(WaveformModel::rowData(v).width, 4);
        QCOMPARE(model.rowCount(v), 4);
        QCOMPARE(model.getNumTime(), Q_INT64_C(4000000001));
        QVERIFY(!model.traceData());
        // No capture: no trigger frames to read.
        QCOMPARE(model.getNumTriggerFrame(), 1);
        QCOMPARE(model.getNumTriggerPos(), 0);

        DumpPage view(&model);
        WaveformView& page = view.page;
        WaveformSignal* tree = page.tree();
        WaveformDelegate* delegate = view.delegate();
        QVERIFY(delegate);
        // Values at ticks past 2^31.
        model.setDataPos(Q_INT64_C(2500000000));
        QCOMPARE(model.getDataPos(), Q_INT64_C(2500000000));
        QCOMPARE(delegate->dataText(a), u"z"_s);
        model.setDataPos(Q_INT64_C(3500000000));
        QCOMPARE(delegate->dataText(a), u"0"_s);
        QCOMPARE(delegate->dataText(v), u"x"_s);
        QCOMPARE(delegate->dataText(top), QString());
        model.setDataPos(10);
        QCOMPARE(delegate->dataText(a), u"x"_s);
        QCOMPARE(delegate->dataText(v), u"5"_s);
        // Through a token set: the token, and x as no token and no number.
        QString error;
        TokenModel* tokens = OnaData::inst()->getTokenModel();
        QVERIFY2(tokens->addSet(u"dumpset"_s, 4, &error) && tokens->addToken(u"dumpset"_s, u"FIVE"_s, u"h'5"_s, &error),
                 qPrintable(error));
        SigTreeData named = WaveformModel::rowData(v);
        named.radix = 0;
        named.radixName = u"dumpset"_s;
        model.setRowData(v, named);
        QCOMPARE(delegate->dataText(v), u"FIVE"_s);
        model.setDataPos(Q_INT64_C(3500000000));
        QCOMPARE(delegate->dataText(v), u"X"_s);
        model.setDataPos(10);
        // Next edge steps in ticks.
        tree->setCurrentIndex(a);
        tree->selectionModel()->select(a, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        QVERIFY(page.gotoEdge(true));
        QCOMPARE(model.getDataPos(), Q_INT64_C(1000000000));
        QVERIFY(page.gotoEdge(true));
        QCOMPARE(model.getDataPos(), Q_INT64_C(2000000000));
        // Its Export Waveform writes the dump back, not a capture.
        {
            vemo::basgui::ScriptedDialogs dialogs;
            dialogs.files.enqueue(u"/tmp/back"_s);
            view.gateway.commands.clear();
            page.runExportDialog();
            QCOMPARE(view.gateway.commands, QStringList{u"ona_export_project -vcd \"/tmp/back.vcd\" -waveform"_s});
        }

        // The row of `a` as drawn: the x band in its first quarter, the z
        // line at mid level in its third.
        const WavePaintParams w = tree->waveParams();
        QVERIFY(w.isValid());
        const QImage shot = tree->viewport()->grab().toImage();
        const QRect rowRect = tree->visualRect(a);
        auto countIn = [&](qint64 from, qint64 to, const QColor& c) {
            int n = 0;
            for (int x = w.x(from) + 2; x < w.x(to) - 2; ++x)
                for (int y = rowRect.top(); y <= rowRect.bottom(); ++y)
                    n += shot.pixelColor(x, y) == c;
            return n;
        };
        const qint64 g = 1000000000;
        QVERIFY(countIn(0, g, w.unknown) > 0);
        QCOMPARE(countIn(g, 2 * g, w.unknown), 0);
        QVERIFY(countIn(2 * g, 3 * g, w.highZ) > 0);
        QCOMPARE(countIn(0, g, w.highZ), 0);

        // Cursors past 2^31 ticks: set, named, moved, jumped to, and read in
        // the table as time in the timescale's unit (ticks of 1 ps).
        const qint64 c1 = Q_INT64_C(2147483649), c2 = Q_INT64_C(3000001250);
        QVERIFY(model.addCurPos(c1) && model.addCurPos(c2, u"late"_s) && !model.addCurPos(model.getNumTime()));
        QCOMPARE(model.cursorNamed(u"late"_s), c2);
        QVERIFY(model.moveCurPos(c1, c1 + 1) && model.existCurPos(c1 + 1));
        QCOMPARE(model.cursors(), (QList<QPair<QString, qint64>>{{u"C1"_s, c1 + 1}, {u"late"_s, c2}}));
        model.setDataPos(0);
        QVERIFY(page.jumpToCursor(true));
        QCOMPARE(model.getDataPos(), c1 + 1);
        page.showCursorPanel(true);
        WaveCursorPanel* panel = page.cursorPanel();
        QCOMPARE(panel->cursorTable()->item(0, 1)->text(), u"2147483650"_s);
        QCOMPARE(panel->cursorTable()->item(0, 2)->text(), u"2.14748365 ms"_s);
        QCOMPARE(panel->cursorTable()->item(1, 2)->text(), u"3.00000125 ms"_s);
        QCOMPARE(panel->pairTable()->item(0, 2)->text(), u"852.5176 us"_s);
        // Between them `a` goes from z to 0 once.
        QTableWidget* measure = panel->measureTable();
        QVERIFY(measure->rowCount() >= 2);
        QCOMPARE(measure->item(1, 0)->text(), u"a"_s);
        QCOMPARE(measure->item(1, 1)->text(), u"1"_s);
        QCOMPARE(WaveMeasure::tickTime(0, 1000), u"0 ps"_s);
        QCOMPARE(WaveMeasure::tickTime(-40, 1000), u"-40 ps"_s);
        QCOMPARE(WaveMeasure::tickTime(3, 100000000), u"300 ns"_s);
        QCOMPARE(WaveMeasure::tickTime(std::numeric_limits<qint64>::max(), 1000000000000000),
                 u"9223372036854775807 s"_s);

        // The ruler's labels over ten-digit ticks keep clear of each other,
        // and name ticks, not a capture's frame.
        // At 747 px a step of 2^28 ticks is just over 50 px.
        const QList<WaveformRuler::Tick> ticks = tree->ruler()->ticks(QRect(0, 0, 747, 30));
        QVERIFY(ticks.size() >= 2);
        for (int i = 1; i < ticks.size(); ++i) {
            const QFontMetrics fm(tree->ruler()->font());
            QVERIFY(ticks.at(i).x - ticks.at(i - 1).x > fm.horizontalAdvance(ticks.at(i).label));
            QCOMPARE(ticks.at(i).label, QString::number(ticks.at(i).sample));
        }
    }

    void realVariableIsAGraphRow() {
        WaveformModel model;
        model.setSource(dumpSource(realDump()));
        const QModelIndex top = model.index(0, 0);
        QCOMPARE(model.rowCount(top), 2);
        const QModelIndex c = model.index(0, 0, top), r = model.index(1, 0, top);
        const SigTreeData rd = WaveformModel::rowData(r);
        QCOMPARE(rd.name, u"r"_s);
        QVERIFY(rd.isReal() && rd.analog && !rd.isBus());
        QVERIFY(model.channelsOf(r).isEmpty());

        DumpPage view(&model);
        WaveformView& page = view.page;
        WaveformSignal* tree = page.tree();
        WaveformDelegate* delegate = view.delegate();
        QVERIFY(delegate);
        // Its value at the data position as the dump wrote it.
        const QList<QPair<qint64, QString>> texts{{0, u"0"_s}, {5000, u"3.3"_s}, {9000, u"-1.5e-06"_s}};
        for (const auto& t : texts) {
            model.setDataPos(t.first);
            QCOMPARE(delegate->dataText(r), t.second);
        }
        // The graph: low before 4 ns, high after; nothing where it is NaN.
        const WavePaintParams w = tree->waveParams();
        const QImage shot = tree->viewport()->grab().toImage();
        const QRect row = tree->visualRect(r);
        const QColor wave = w.wave;
        auto lit = [&](qint64 tick) {
            QVector<int> ys;
            for (int y = row.top(); y <= row.bottom(); ++y)
                if (shot.pixelColor(w.x(tick), y) == wave)
                    ys << y;
            return ys;
        };
        const QVector<int> low = lit(2000), high = lit(5000);
        QVERIFY(!low.isEmpty() && !high.isEmpty());
        QVERIFY(high.last() < low.first());
        QVERIFY(lit(7000).isEmpty());
        QVERIFY(!lit(9500).isEmpty());
        // Find and next edge on it say they do not apply, and move nothing.
        tree->setCurrentIndex(r);
        tree->selectionModel()->select(r, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        model.setDataPos(100);
        QCOMPARE(page.findValue(u"3.3"_s, false), qint64(-1));
        QVERIFY(page.statusLine()->text().contains(u"real variable"_s));
        QVERIFY(!page.gotoEdge(true));
        QCOMPARE(model.getDataPos(), qint64(100));

        // The clock between two cursors: cycles, frequency and duty; the
        // real row has no edges to count.
        QVERIFY(model.addCurPos(1000) && model.addCurPos(9000));
        page.updateMeasurement(); // the real row chosen: the span alone
        QCOMPARE(page.statusLine()->text(), u"100 .. 1000: 900 ticks = 900 ps (1/t 1.111 GHz)"_s);
        page.showCursorPanel(true);
        QTableWidget* measure = page.cursorPanel()->measureTable();
        QCOMPARE(page.cursorPanel()->pairTable()->item(0, 2)->text(), u"8 ns"_s);
        QCOMPARE(measure->rowCount(), 2);
        QCOMPARE(measure->item(1, 0)->text(), WaveformModel::rowData(c).name);
        QCOMPARE(measure->item(1, 1)->text(), u"16"_s);
        QCOMPARE(measure->item(1, 2)->text(), u"1 ns"_s);
        QCOMPARE(measure->item(1, 3)->text(), u"1 GHz"_s);
        QCOMPARE(measure->item(1, 4)->text(), u"50.0 %"_s);
        // Ticks below a picosecond are measured in time too.
        WaveformModel fine;
        fine.setSource(dumpSource(realDump().replace("1ps", "100fs")));
        const QModelIndex fc = fine.index(0, 0, fine.index(0, 0));
        const WaveMeasure m = WaveMeasure::measure(fine, fine.channelsOf(fc), 1000, 9000);
        QCOMPARE(WaveMeasure::si(m.frequency(), u"Hz"_s), u"10 GHz"_s);
    }
};

QTEST_MAIN(TestWaveformSource)
#include "tst_waveform_source.moc"
