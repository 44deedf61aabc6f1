// Annotation rows painted at the cost of pixels: a dense row is one block
// a column at most, with no column of it left empty, a gap between
// annotations stays background, and a wide annotation is its own box.

#include "waveform/annotationpainter.h"
#include "waveform/wavepaintparams.h"

#include "decoderset.h"

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
