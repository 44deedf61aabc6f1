// The eye diagram drawn for real (needs OpenGL: runs under Xvfb): a scan of
// the lane model shows a dark open centre and red closed edges, and a
// second dialog of the other variant reuses the one surface. With
// ONDREL_EYE_SHOTS set to a folder, both dialogs are saved there as PNGs.

#include "eye/eyediagramdlg.h"

#include "eomfiles.h"
#include "eyemodel.h"

#include <QPainter>
#include <QtDataVisualization/Q3DSurface>
#include <QtTest>

#include <cmath>

using namespace vemo::toolona;
using namespace Qt::StringLiterals;

namespace {

void shot(QWidget* dialog, const QString& name) {
    const QString dir = qEnvironmentVariable("ONDREL_EYE_SHOTS");
    if (dir.isEmpty())
        return;
    // The surface lives in its own window: compose it over the dialog.
    QImage image = dialog->grab().toImage();
    QPainter painter(&image);
    Q3DSurface* surface = EyeDiagramDlg::surface();
    const QList<QWidget*> children = dialog->findChildren<QWidget*>();
    for (QWidget* w : children)
        if (w->windowHandle() == nullptr && w->metaObject()->className() == QByteArray("QWindowContainer")) {
            const QImage gl = surface->renderToImage(0, w->size());
            painter.drawImage(w->mapTo(dialog, QPoint(0, 0)), gl);
        }
    painter.end();
    image.save(QDir(dir).filePath(name));
}

bool reddish(QRgb p) { return qRed(p) > 150 && qGreen(p) < 90 && qBlue(p) < 90; }

bool dark(QRgb p) { return qRed(p) < 70 && qGreen(p) < 70 && qBlue(p) < 110; }

// The gradient's middle (226, 218, 213): a quarter of the bits wrong, as at
// the timing edges; the white background and the grey grid lines are not.
bool halfClosed(QRgb p) { return qRed(p) > 210 && qRed(p) < 240 && qBlue(p) > 195 && qBlue(p) < 230; }

} // namespace
class TstEyeGl : public QObject {
    Q_OBJECT
private slots:
    void openCentreClosedEdges() {
        if (!EyeDiagramDlg::openGLAvailable())
            QSKIP("no OpenGL on this display (run under xvfb-run)");
        const EyeLane lane;
        EyeGrid grid;
        QVERIFY(EyeGrid::forQuality(u"normal"_s, &grid));
        QList<QStringList> rows;
        for (int y = -grid.voltSteps; y <= grid.voltSteps; ++y)
            for (int x = -grid.phaseSteps / 2; x <= grid.phaseSteps / 2; ++x) {
                const auto errors = quint64(std::llround(lane.ber(grid.phase(x), grid.volts(y)) * double(grid.bits)));
                rows << QString::fromLatin1(EomFiles::csvLine(x, y, quint64(grid.bits), 0, errors, 0).trimmed())
                            .split(QLatin1Char(','));
            }
        Q3DSurface* first = nullptr;
        {
            EyeDiagramDlg eye(u"PCSCH_0"_s, rows, u"scan.csv"_s, nullptr);
            eye.resize(900, 700);
            eye.show();
            QVERIFY(QTest::qWaitForWindowExposed(&eye));
            first = EyeDiagramDlg::surface();
            QVERIFY(first);
            QTest::qWait(300);
            const QImage image = first->renderToImage(0, QSize(800, 600)).convertToFormat(QImage::Format_RGB32);
            QVERIFY(!image.isNull());
            // Off the centre's grid lines, inside the open eye.
            const int midY = image.height() / 2 + 12, midX = image.width() / 2 + 12;
            QVERIFY2(dark(image.pixel(midX, midY)), qPrintable(QColor(image.pixel(midX, midY)).name()));
            // Closed above and below (voltage: half the bits wrong, red) and
            // left and right (timing).
            int above = 0, below = 0, left = 0, right = 0;
            for (int y = 0; y < image.height(); ++y)
                if (reddish(image.pixel(midX, y)))
                    (y < midY ? above : below)++;
            for (int x = 0; x < image.width(); ++x)
                if (halfClosed(image.pixel(x, midY)))
                    (x < midX ? left : right)++;
            QVERIFY2(above > 10 && below > 10 && left > 10 && right > 10,
                     qPrintable(u"%1 %2 %3 %4"_s.arg(above).arg(below).arg(left).arg(right)));
            shot(&eye, u"eye-csv.png"_s);
        }
        // A quad lane's eye (text variant) from the same model.
        QStringList comb, xs, ys;
        for (int y = -grid.voltSteps; y <= grid.voltSteps; ++y)
            ys << QString::number(y);
        for (int x = -grid.phaseSteps / 2; x <= grid.phaseSteps / 2; ++x)
            xs << QString::number(grid.phase(x));
        for (int y = -grid.voltSteps; y <= grid.voltSteps; ++y)
            for (int x = -grid.phaseSteps / 2; x <= grid.phaseSteps / 2; ++x)
                comb << QString::number(lane.ber(grid.phase(x), grid.volts(y)));
        EyeDiagramDlg text(QString(), comb, xs, ys, u"eomFile"_s, nullptr);
        text.show();
        QVERIFY(QTest::qWaitForWindowExposed(&text));
        QCOMPARE(EyeDiagramDlg::surface(), first);
        QCOMPARE(text.maxHeight(), 5000);
        QTest::qWait(300);
        shot(&text, u"eye-text.png"_s);
    }
};

QTEST_MAIN(TstEyeGl)
#include "tst_eye_gl.moc"
