// The collapsible group box: groups added once, toggled by their indicator
// with the state drawn and announced, hover and resizes that keep the state,
// and content widgets deleted or added after the layout was built. The group
// box with a rich-text title: the title gap follows the label's width.

#include "kit/labelgroupbox.h"
#include "widgets/widgetgroupbox.h"

#include <QtTest>
#include <QtWidgets>

using namespace vemo::toolona;
using namespace Qt::StringLiterals;

class TstWidgetGroupBox : public QObject {
    Q_OBJECT
private slots:
    void groupsAddedOnceAndToggled() {
        WidgetGroupBox empty;
        QVERIFY(empty.buildLayout());
        QCOMPARE(empty.widgets().size(), 0);

        WidgetGroupBox box;
        auto* a = new QLabel(u"content a"_s);
        auto* b = new QLabel(u"content b"_s);
        box.addGroupWidget(a, u"A"_s);
        box.addGroupWidget(a, u"A again"_s);
        box.addGroupWidget(nullptr, u"none"_s);
        box.addGroupWidget(b, u"B <b><i>(BETA)</i></b>"_s);
        QCOMPARE(box.widgets(), (QList<QWidget*>{a, b}));
        QCOMPARE(box.findChildren<GroupButton*>().size(), 2);
        QCOMPARE(box.label(b)->textFormat(), Qt::RichText);
        // Parentless content lives inside the box from the start: never a window.
        QVERIFY(!a->isWindow() && box.isAncestorOf(a));
        box.buildLayout();
        box.resize(300, 200);
        box.show();
        QVERIFY(QTest::qWaitForWindowExposed(&box));

        QSignalSpy spy(&box, &WidgetGroupBox::sigWidgetVisibled);
        GroupButton* button = box.button(a);
        QVERIFY(a->isVisible() && button->indicatorState() & QStyle::State_Open);
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(!a->isVisible() && !(button->indicatorState() & QStyle::State_Open));
        QCOMPARE(spy.size(), 1);
        QCOMPARE(spy.at(0).at(1).toBool(), false);
        // Any mouse button toggles it back.
        QTest::mouseClick(button, Qt::RightButton);
        QVERIFY(a->isVisible() && b->isVisible());
        QCOMPARE(spy.at(1).at(1).toBool(), true);
        // A toggle from anything but an indicator does nothing.
        box.onExpandBtnClicked();
        QCOMPARE(spy.size(), 2);

        // Hover, and resizes that keep each group's state.
        QTest::mouseMove(button, QPoint(5, 5));
        QTRY_VERIFY(button->isHovered());
        QVERIFY(button->indicatorState() & QStyle::State_MouseOver);
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(button, &leave);
        QVERIFY(!(button->indicatorState() & QStyle::State_MouseOver));
        // Painting goes through the tree view's branch indicator without trouble.
        QVERIFY(!button->grab().isNull());

        QTest::mouseClick(box.button(b), Qt::LeftButton);
        box.resize(500, 400);
        QApplication::processEvents();
        box.resize(320, 180);
        QApplication::processEvents();
        QVERIFY(a->isVisible() && !b->isVisible() && !box.isExpanded(b));
    }
    void contentDeletedOrAddedAfterLayout() {
        QWidget window;
        auto* layout = new QVBoxLayout(&window);
        auto* box = new WidgetGroupBox(&window);
        layout->addWidget(box);
        auto* a = new QLabel(u"a"_s);
        auto* b = new QLabel(u"b"_s);
        box->addGroupWidget(a, u"A"_s);
        box->addGroupWidget(b, u"B"_s);
        box->buildLayout();
        window.resize(300, 300);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        // A deleted panel takes its header with it; later resizes never touch it.
        QPointer<GroupButton> oldButton = box->button(a);
        QPointer<GroupLabel> oldLabel = box->label(a);
        delete a;
        QVERIFY(oldButton.isNull() && oldLabel.isNull());
        QCOMPARE(box->widgets(), QList<QWidget*>{b});
        window.resize(320, 260);
        QApplication::processEvents();
        box->resize(310, 250);
        QApplication::processEvents();

        // Added after the layout, a parentless widget is laid out in the box.
        auto* c = new QLabel(u"c"_s);
        box->addGroupWidget(c, u"C"_s);
        QVERIFY(!c->isWindow() && box->isAncestorOf(c));
        QApplication::processEvents();
        QVERIFY(c->isVisible() && box->label(c)->isVisible() && c->geometry().top() > b->geometry().top());
        QTest::mouseClick(box->button(c), Qt::LeftButton);
        QVERIFY(!c->isVisible());

        // Building again lays the same groups out once more, keeping their state.
        QVERIFY(box->buildLayout());
        QApplication::processEvents();
        window.resize(330, 270);
        QApplication::processEvents();
        QVERIFY(b->isVisible() && !c->isVisible());
        QCOMPARE(box->widgets(), (QList<QWidget*>{b, c}));
        QTest::mouseClick(box->button(c), Qt::LeftButton);
        QApplication::processEvents();
        QVERIFY(c->isVisible() && c->geometry().top() > b->geometry().bottom());

        // The box going first takes its content along, which then has nothing
        // to call back into (use after free under ASan otherwise).
        QPointer<QWidget> content = c;
        delete box;
        QVERIFY(content.isNull());
    }
    void gapFollowsLabel() {
        LabelGroupBox box;
        box.resize(600, 200);
        const QFontMetrics metrics(box.font());
        const int narrow = metrics.horizontalAdvance(box.title());

        const QString wide = u"Trigger Unit:<font color=\"red\"><b> currently 12 syntax errors</b></font>"_s;
        box.setLabel(wide);
        // Only blanks widen the gap, and it covers the label.
        QVERIFY(box.title().trimmed().isEmpty());
        const int wideGap = metrics.horizontalAdvance(box.title());
        QVERIFY(wideGap >= box.label()->width() && wideGap > narrow && box.label()->x() >= 0 && box.label()->x() < 40);
        // The shortest such gap: one pair of blanks less would not cover it.
        QVERIFY(wideGap < box.label()->width() + metrics.horizontalAdvance(u"  "_s) + 1);

        // A shorter title afterwards shrinks the gap again.
        box.setLabel(u"TU"_s);
        const int shortGap = metrics.horizontalAdvance(box.title());
        QVERIFY(shortGap >= box.label()->width() && shortGap < wideGap);
        QVERIFY(shortGap < box.label()->width() + metrics.horizontalAdvance(u"   "_s));
    }
};

QTEST_MAIN(TstWidgetGroupBox)
#include "tst_widgetgroupbox.moc"
