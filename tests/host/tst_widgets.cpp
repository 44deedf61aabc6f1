#include <QtTest>

#include "basgui/aboutdialog.h"
#include "basgui/basehelp.h"
#include "basgui/basenavigator.h"
#include "basgui/directcombobox.h"
#include "basgui/helpbrowser.h"
#include "basgui/lineeditwithbrowse.h"
#include "message/messagewindow.h"
#include "message/msgmanager.h"

using namespace vemo;

namespace {

class RecordingNavigator : public basgui::BaseNavigator {
public:
    using BaseNavigator::BaseNavigator;
    void navigate(QWidget* target, int action) override { calls.append({target, action}); }
    QList<QPair<QWidget*, int>> calls;
};

class KeyCounter : public QWidget {
public:
    void keyPressEvent(QKeyEvent* e) override {
        // QTest presses modifier keys on their own too.
        if (e->key() != Qt::Key_Control && e->key() != Qt::Key_Shift)
            keys << e->key();
        QWidget::keyPressEvent(e);
    }
    QList<int> keys;
};

class PickingEdit : public basgui::LineEditWithBrowse {
public:
    using LineEditWithBrowse::LineEditWithBrowse;
    int browsed = 0;

protected:
    void browse() override {
        ++browsed;
        setText(QStringLiteral("/picked/file.mem"));
    }
};

class ComboDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override {
        auto* box = new basgui::DirectComboBox(parent);
        box->addItems({QStringLiteral("Bin"), QStringLiteral("Oct"), QStringLiteral("Dec"), QStringLiteral("Hex")});
        last = box;
        return box;
    }
    mutable QPointer<basgui::DirectComboBox> last;
};

} // namespace

// The host widgets and windows: combo editor, navigator, browse edit,
// message window, help browser, about dialog.
class TestWidgets : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void directComboBoxOpensAsEditorOnly();
    void navigatorKeyMap_data();
    void navigatorKeyMap();
    void navigatorFilter();
    void lineEditWithBrowse();
    void messageWindow();
    void helpBrowser();
    void helpForDialogs();
    void aboutDialog();
};

void TestWidgets::initTestCase() {
    // The tool's catalogue, given to the host as the tool gives it.
    message::msgManager::registerCatalogue(
        QStringLiteral("analyzer"), QStringLiteral(ONDREL_SOURCE_DIR "/toolona/resources/messages/analyzer.json"));
}

void TestWidgets::directComboBoxOpensAsEditorOnly() {
    QTableWidget table(2, 2);
    auto* delegate = new ComboDelegate(&table);
    table.setItemDelegate(delegate);
    table.setItem(0, 1, new QTableWidgetItem(QStringLiteral("Hex")));
    table.show();
    QVERIFY(QTest::qWaitForWindowExposed(&table));
    table.edit(table.model()->index(0, 1));
    QVERIFY(delegate->last);
    QVERIFY(delegate->last->isItemViewEditor());
    QTRY_VERIFY(delegate->last->view()->isVisible());
    delegate->last->hidePopup();

    // Outside an item view it is an ordinary combo box.
    QWidget page;
    auto* plain = new basgui::DirectComboBox(&page);
    plain->addItems({QStringLiteral("a"), QStringLiteral("b")});
    page.show();
    QVERIFY(QTest::qWaitForWindowExposed(&page));
    QTest::qWait(20);
    QVERIFY(!plain->isItemViewEditor());
    QVERIFY(!plain->view()->isVisible());
}

void TestWidgets::navigatorKeyMap_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("mods");
    QTest::addColumn<int>("action");
    const int none = Qt::NoModifier, ctrl = Qt::ControlModifier, shift = Qt::ShiftModifier, alt = Qt::AltModifier,
              pad = Qt::KeypadModifier;
    QTest::newRow("Ctrl++") << int(Qt::Key_Plus) << ctrl << 1;
    QTest::newRow("Ctrl+Shift+= gives Ctrl++") << int(Qt::Key_Plus) << (ctrl | shift) << 1;
    QTest::newRow("Ctrl+=") << int(Qt::Key_Equal) << ctrl << 1;
    QTest::newRow("+") << int(Qt::Key_Plus) << none << 1;
    QTest::newRow("keypad +") << int(Qt::Key_Plus) << pad << 1;
    QTest::newRow("zoom in key") << int(Qt::Key_ZoomIn) << none << 1;
    QTest::newRow("Ctrl+-") << int(Qt::Key_Minus) << ctrl << 2;
    QTest::newRow("-") << int(Qt::Key_Minus) << none << 2;
    QTest::newRow("keypad -") << int(Qt::Key_Minus) << pad << 2;
    QTest::newRow("zoom out key") << int(Qt::Key_ZoomOut) << none << 2;
    QTest::newRow("Up") << int(Qt::Key_Up) << none << 3;
    QTest::newRow("Down") << int(Qt::Key_Down) << none << 4;
    QTest::newRow("Left") << int(Qt::Key_Left) << none << 5;
    QTest::newRow("Right") << int(Qt::Key_Right) << none << 6;
    QTest::newRow("keypad Right") << int(Qt::Key_Right) << pad << 6;
    QTest::newRow("Shift+Up selects") << int(Qt::Key_Up) << shift << 0;
    QTest::newRow("Ctrl+Left") << int(Qt::Key_Left) << ctrl << 0;
    QTest::newRow("Alt+Right") << int(Qt::Key_Right) << alt << 0;
    QTest::newRow("= alone") << int(Qt::Key_Equal) << none << 0;
    QTest::newRow("Alt++") << int(Qt::Key_Plus) << alt << 0;
    QTest::newRow("Ctrl+0") << int(Qt::Key_0) << ctrl << 0;
    QTest::newRow("A") << int(Qt::Key_A) << none << 0;
    QTest::newRow("PageUp") << int(Qt::Key_PageUp) << none << 0;
}

void TestWidgets::navigatorKeyMap() {
    QFETCH(int, key);
    QFETCH(int, mods);
    QFETCH(int, action);
    QCOMPARE(basgui::BaseNavigator::actionForKey(key, Qt::KeyboardModifiers(mods)), action);
}

void TestWidgets::navigatorFilter() {
    QMainWindow window;
    auto* target = new KeyCounter;
    target->setFocusPolicy(Qt::StrongFocus);
    window.setCentralWidget(target);
    // A window shortcut on the same key must not steal it from the view.
    QAction zoom(QStringLiteral("Zoom In"));
    zoom.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Plus));
    window.addAction(&zoom);
    QSignalSpy zoomSpy(&zoom, &QAction::triggered);
    RecordingNavigator nav;
    target->installEventFilter(&nav);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    target->setFocus();

    QTest::keyClick(target, Qt::Key_Plus, Qt::ControlModifier);
    QTest::keyClick(target, Qt::Key_Right);
    QTest::keyClick(target, Qt::Key_A);
    QTest::keyClick(target, Qt::Key_Up, Qt::ShiftModifier);
    QCOMPARE(nav.calls.size(), 2);
    QCOMPARE(nav.calls.at(0).first, target);
    QCOMPARE(nav.calls.at(0).second, 1);
    QCOMPARE(nav.calls.at(1).second, 6);
    QCOMPARE(zoomSpy.count(), 0);
    // Mapped keys are consumed; the others reach the widget.
    QCOMPARE(target->keys, (QList<int>{Qt::Key_A, Qt::Key_Up}));

    // The base navigator consumes mapped keys and does nothing with them.
    basgui::BaseNavigator plain;
    target->removeEventFilter(&nav);
    target->installEventFilter(&plain);
    QTest::keyClick(target, Qt::Key_Minus);
    QCOMPARE(target->keys.size(), 2);
}

void TestWidgets::lineEditWithBrowse() {
    PickingEdit edit;
    QSignalSpy changed(&edit, &basgui::LineEditWithBrowse::textChanged);
    edit.setText(QStringLiteral("start"));
    QCOMPARE(edit.text(), QStringLiteral("start"));
    QCOMPARE(edit.lineEdit()->text(), QStringLiteral("start"));
    QCOMPARE(changed.count(), 1);
    QCOMPARE(edit.browseButton()->text(), QStringLiteral("..."));
    QCOMPARE(edit.focusProxy(), edit.lineEdit());
    // The editor's user property is its text, as item delegates expect.
    QCOMPARE(edit.metaObject()->userProperty().name(), "text");

    edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&edit));
    QTest::mouseClick(edit.browseButton(), Qt::LeftButton);
    QCOMPARE(edit.browsed, 1);
    QCOMPARE(edit.text(), QStringLiteral("/picked/file.mem"));
    QCOMPARE(changed.count(), 2);
    QCOMPARE(changed.last().first().toString(), QStringLiteral("/picked/file.mem"));
    QTest::keyClicks(edit.lineEdit(), QStringLiteral("x"));
    QCOMPARE(changed.last().first().toString(), QStringLiteral("/picked/file.memx"));

    // Destroyed while its line edit has focus and an unfinished edit: the
    // line edit's last signals must not come out of a half-destroyed widget.
    QWidget window;
    auto* inner = new PickingEdit(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    inner->lineEdit()->setFocus();
    QTest::keyClicks(inner->lineEdit(), QStringLiteral("y"));
    QObject listener;
    int late = 0;
    connect(inner, &basgui::LineEditWithBrowse::editingFinished, &listener, [&late] { ++late; });
    connect(inner, &basgui::LineEditWithBrowse::textChanged, &listener, [&late] { ++late; });
    delete inner;
    QCOMPARE(late, 0);
}

void TestWidgets::messageWindow() {
    QMainWindow window;
    window.resize(700, 400);
    window.setCentralWidget(new QWidget);
    message::MessageWindow* mw = message::MessageWindow::getInstance();
    QCOMPARE(message::MessageWindow::getInstance(), mw);
    QVERIFY(!mw->isInitialized());
    mw->initialize(&window, nullptr, nullptr, 15);
    QVERIFY(mw->isInitialized());
    QCOMPARE(window.dockWidgetArea(mw), Qt::BottomDockWidgetArea);
    // Closable, movable, floatable; the vertical title bar is not honoured at the bottom.
    QCOMPARE(int(mw->features()), 7);
    QCOMPARE(mw->windowTitle(), QStringLiteral("Messages"));
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    QSignalSpy spy(mw, &message::MessageWindow::sigNewMessageOut);
    message::msgManager m("analyzer");
    m.postMsg("0002");
    m.postMsg("9992", "line one\nline two %1");
    m.postMsg("4711", 3);
    QCOMPARE(mw->messageCount(), 3);
    QCOMPARE(mw->messageText(0, 1), QStringLiteral("ONA-0002"));
    QCOMPARE(mw->messageText(0, 2), m.retrieveMsgString("0002"));
    QVERIFY(QTime::fromString(mw->messageText(0, 0), QStringLiteral("HH:mm:ss")).isValid());
    QCOMPARE(mw->messageText(1, 2), QStringLiteral("line one line two %1")); // one line per row
    QCOMPARE(mw->messageType(2), int(message::MsgWarning));
    QVERIFY(mw->messageText(2, 2).contains(QLatin1String("4711")));
    QCOMPARE(spy.count(), 3);
    QCOMPARE(spy.at(1).at(0).toString(), QStringLiteral("line one\nline two %1"));
    QCOMPARE(spy.at(1).at(1).toInt(), int(message::MsgInfo));
    QCOMPARE(spy.at(2).at(1).toInt(), int(message::MsgWarning));

    // The newest row is in view after many.
    for (int i = 0; i < 300; ++i)
        mw->addMessage(QStringLiteral("T-%1").arg(i), QStringLiteral("message %1").arg(i), message::MsgError);
    auto* list = mw->findChild<QTreeWidget*>(QStringLiteral("MessageList"));
    QVERIFY(list);
    QApplication::processEvents();
    const QRect last = list->visualItemRect(list->topLevelItem(list->topLevelItemCount() - 1));
    QVERIFY(list->viewport()->rect().intersects(last));
    QCOMPARE(mw->messageType(mw->messageCount() - 1), int(message::MsgError));

    // Messages posted from a worker thread arrive in the GUI thread.
    const int before = mw->messageCount();
    std::unique_ptr<QThread> worker(
        QThread::create([] { message::msgManager("analyzer").postMsg("9992", QStringLiteral("from a thread")); }));
    worker->start();
    QVERIFY(worker->wait(5000));
    QTRY_COMPARE(mw->messageCount(), before + 1);
    QCOMPARE(mw->messageText(before, 2), QStringLiteral("from a thread"));

    // A flood keeps the newest rows only, and stays quick.
    mw->clear();
    const int max = message::MessageWindow::MaxMessages;
    for (int i = 0; i < max + 10; ++i)
        mw->addMessage(QStringLiteral("F"), QString::number(i), message::MsgInfo);
    QCOMPARE(mw->messageCount(), max);
    QCOMPARE(mw->messageText(0, 2), QStringLiteral("10"));
    QCOMPARE(mw->messageText(max - 1, 2), QString::number(max + 9));

    mw->clear();
    QCOMPARE(mw->messageCount(), 0);
    // The window goes with its main window; posting then falls back to stderr.
}

void TestWidgets::helpBrowser() {
    basgui::BaseHelp help(QStringLiteral("ONL_ANALYZER"));
    help.openHelpUrl();
    basgui::HelpBrowser* b = basgui::BaseHelp::browser();
    QVERIFY(b);
    QVERIFY(b->isVisible());
    QCOMPARE(b->currentTopic(), QStringLiteral("ONL_ANALYZER"));
    QVERIFY(b->windowTitle().contains(QLatin1String("Ondrel Analyzer/Controller")));
    QVERIFY(!b->backAction()->isEnabled());

    help.openViewHelpUrl(QStringLiteral("No_Such_Topic"));
    QCOMPARE(basgui::BaseHelp::browser(), b); // one window for all pages
    const QString missing = b->textBrowser()->toPlainText();
    QVERIFY2(missing.contains(QLatin1String("No_Such_Topic")) && missing.contains(QLatin1String("no help page")),
             qPrintable(missing));
    QVERIFY(b->backAction()->isEnabled());
    b->backAction()->trigger();
    QCOMPARE(b->currentTopic(), QStringLiteral("ONL_ANALYZER"));
    QVERIFY(b->forwardAction()->isEnabled());

    // Links between pages go through the help folders.
    emit b->textBrowser()->anchorClicked(QUrl(QStringLiteral("Waveform_View.html")));
    QCOMPARE(b->currentTopic(), QStringLiteral("Waveform_View"));
    QVERIFY(b->textBrowser()->toPlainText().contains(QLatin1String("Pointer modes")));
    emit b->textBrowser()->anchorClicked(QUrl(QStringLiteral("Gone.html")));
    QVERIFY(b->textBrowser()->toPlainText().contains(QLatin1String("\"Gone\"")));
    // Local files outside the help are not opened from a page.
    emit b->textBrowser()->anchorClicked(QUrl(QStringLiteral("file:///etc/hostname")));
    QCOMPARE(b->currentTopic(), QStringLiteral("Gone"));

    // A hostile topic name is shown escaped, never as markup or a path.
    help.openViewHelpUrl(QStringLiteral("<b>x</b>/../../etc/passwd"));
    QVERIFY(b->textBrowser()->toPlainText().contains(QLatin1String("<b>x</b>")));
    b->close();
}

void TestWidgets::helpForDialogs() {
    basgui::BaseHelp help(QStringLiteral("ONL_ANALYZER"));
    QDialog dialog;
    dialog.setModal(true);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(QApplication::activeModalWidget(), &dialog);
    help.openDialogHelpUrl(QStringLiteral("specify_clock_frequency"));
    basgui::HelpBrowser* b = basgui::BaseHelp::browser();
    QVERIFY(b);
    // A child window of the modal dialog is not blocked by it.
    QCOMPARE(b->parentWidget(), &dialog);
    QVERIFY(b->isWindow());
    QVERIFY(b->isVisible());
    QCOMPARE(b->currentTopic(), QStringLiteral("specify_clock_frequency"));
    dialog.close();
    help.openViewHelpUrl(QStringLiteral("Waveform_View"));
    QCOMPARE(basgui::BaseHelp::browser(), b);
    QVERIFY(!b->parentWidget());
    QVERIFY(b->isVisible());
    b->close();
}

void TestWidgets::aboutDialog() {
    QPixmap pm(32, 32);
    pm.fill(Qt::blue);
    basgui::AboutDialog same(nullptr, QStringLiteral("Ondrel Analyzer/Controller"),
                             QStringLiteral("Ondrel Analyzer/Controller"), QIcon(pm));
    QCOMPARE(same.windowTitle(), QStringLiteral("About Ondrel Analyzer/Controller"));
    QCOMPARE(same.heading(), QStringLiteral("Ondrel Analyzer/Controller"));
    QVERIFY(same.body().isEmpty()); // the text is not shown twice
    QVERIFY(same.versions().contains(QLatin1String(qVersion())));
    QVERIFY(same.versions().contains(QLatin1String("Tcl 8.6")));

    basgui::AboutDialog other(nullptr, QStringLiteral("Tool"), QStringLiteral("Does things."), QIcon());
    QCOMPARE(other.body(), QStringLiteral("Does things."));
    other.show();
    QVERIFY(QTest::qWaitForWindowExposed(&other));
    QTest::keyClick(&other, Qt::Key_Escape);
    QVERIFY(!other.isVisible());
}

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
