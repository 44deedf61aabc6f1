// The group box with a rich-text title: the frame's title gap follows the
// label's width both ways, and HTML shows as formatted text.

#include "kit/labelgroupbox.h"

#include <QFontMetrics>
#include <QLabel>
#include <QtTest>

using vemo::toolona::LabelGroupBox;

class TstLabelGroupBox : public QObject {
    Q_OBJECT
private slots:
    void gapFollowsLabel();
};

void TstLabelGroupBox::gapFollowsLabel() {
    LabelGroupBox box;
    box.resize(600, 200);
    QCOMPARE(box.title(), QStringLiteral(" "));
    QVERIFY(box.label());
    QVERIFY(box.label()->text().isEmpty());
    const QFontMetrics metrics(box.font());
    const int narrow = metrics.horizontalAdvance(box.title());

    const QString wide = QStringLiteral("Trigger Unit:<font color=\"red\"><b> currently 12 syntax errors</b></font>");
    box.setLabel(wide);
    QCOMPARE(box.label()->text(), wide);
    QCOMPARE(box.label()->textFormat(), Qt::AutoText);
    // Only blanks widen the gap, and it covers the label.
    QVERIFY(box.title().trimmed().isEmpty());
    const int wideGap = metrics.horizontalAdvance(box.title());
    QVERIFY2(wideGap >= box.label()->width(),
             qPrintable(QStringLiteral("%1 < %2").arg(wideGap).arg(box.label()->width())));
    QVERIFY(wideGap > narrow);
    QVERIFY(box.label()->x() >= 0 && box.label()->x() < 40);

    // A shorter title afterwards shrinks the gap again.
    box.setLabel(QStringLiteral("TU"));
    const int shortGap = metrics.horizontalAdvance(box.title());
    QVERIFY(shortGap >= box.label()->width());
    QVERIFY(shortGap < wideGap);
    QVERIFY(shortGap < box.label()->width() + metrics.horizontalAdvance(QStringLiteral("   ")));
}

QTEST_MAIN(TstLabelGroupBox)
#include "tst_labelgroupbox.moc"
