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
using namespace Qt::StringLiterals;

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
        setText(u"/picked/file.mem"_s);
    }
};

class ComboDelegate : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem&, const QModelIndex&) const override {
        auto* box = new basgui::DirectComboBox(parent);
        box->addItems({u"Bin"_s, u"Oct"_s, u"Dec"_s, u"Hex"_s});
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
    void initTestCase() {
        // The tool's catalogue, given to the host as the tool gives it.
        message::msgManager::registerCatalogue(
            u"analyzer"_s, QStringLiteral(ONDREL_SOURCE_DIR "/toolona/resources/messages/analyzer.json"));
    }
    void directComboBoxOpensAsEditorOnly() {
        QTableWidget table(2, 2);
        auto* delegate = new ComboDelegate(&table);
        table.setItemDelegate(delegate);
        table.setItem(0, 1, new QTableWidgetItem(u"Hex"_s));
        table.show();
        QVERIFY(QTest::qWaitForWindowExposed(&table));
        table.edit(table.model()->index(0, 1));
        QVERIFY(delegate->last && delegate->last->isItemViewEditor());
        QTRY_VERIFY(delegate->last->view()->isVisible());
        delegate->last->hidePopup();

        // Outside an item view it is an ordinary combo box.
        QWidget page;
        auto* plain = new basgui::DirectComboBox(&page);
        plain->addItems({u"a"_s, u"b"_s});
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QTest::qWait(20);
        QVERIFY(!plain->isItemViewEditor() && !plain->view()->isVisible());
    }
    void navigatorKeyMap_data() {
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
        QTest::newRow("zoom out key") << int(Qt::Key_ZoomOut) << none << 2;
        QTest::newRow("Up") << int(Qt::Key_Up) << none << 3;
        QTest::newRow("Down") << int(Qt::Key_Down) << none << 4;
        QTest::newRow("Left") << int(Qt::Key_Left) << none << 5;
        QTest::newRow("Right") << int(Qt::Key_Right) << none << 6;
        QTest::newRow("Shift+Up selects") << int(Qt::Key_Up) << shift << 0;
        QTest::newRow("Ctrl+Left") << int(Qt::Key_Left) << ctrl << 0;
        QTest::newRow("= alone") << int(Qt::Key_Equal) << none << 0;
        QTest::newRow("Alt++") << int(Qt::Key_Plus) << alt << 0;
        QTest::newRow("Ctrl+0") << int(Qt::Key_0) << ctrl << 0;
    }
    void navigatorKeyMap() {
        QFETCH(int, key);
        QFETCH(int, mods);
        QFETCH(int, action);
        QCOMPARE(basgui::BaseNavigator::actionForKey(key, Qt::KeyboardModifiers(mods)), action);
    }
    void navigatorFilter() {
        QMainWindow window;
        auto* target = new KeyCounter;
        target->setFocusPolicy(Qt::StrongFocus);
        window.setCentralWidget(target);
        // A window shortcut on the same key must not steal it from the view.
        QAction zoom(u"Zoom In"_s);
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
        QVERIFY(nav.calls.at(0).first == target && nav.calls.at(0).second == 1 && nav.calls.at(1).second == 6);
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
    void lineEditWithBrowse() {
        PickingEdit edit;
        QSignalSpy changed(&edit, &basgui::LineEditWithBrowse::textChanged);
        edit.setText(u"start"_s);
        QCOMPARE(edit.lineEdit()->text(), u"start"_s);
        // The editor's user property is its text, as item delegates expect.
        QCOMPARE(edit.metaObject()->userProperty().name(), "text");

        edit.show();
        QVERIFY(QTest::qWaitForWindowExposed(&edit));
        QTest::mouseClick(edit.browseButton(), Qt::LeftButton);
        QCOMPARE(edit.browsed, 1);
        QCOMPARE(changed.last().first().toString(), u"/picked/file.mem"_s);
        QTest::keyClicks(edit.lineEdit(), u"x"_s);
        QCOMPARE(changed.last().first().toString(), u"/picked/file.memx"_s);

        // Destroyed while its line edit has focus and an unfinished edit: the
        // line edit's last signals must not come out of a half-destroyed widget.
        QWidget window;
        auto* inner = new PickingEdit(&window);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        inner->lineEdit()->setFocus();
        QTest::keyClicks(inner->lineEdit(), u"y"_s);
        QObject listener;
        int late = 0;
        connect(inner, &basgui::LineEditWithBrowse::editingFinished, &listener, [&late] { ++late; });
        connect(inner, &basgui::LineEditWithBrowse::textChanged, &listener, [&late] { ++late; });
        delete inner;
        QCOMPARE(late, 0);
    }
    void messageWindow() {
        QMainWindow window;
        window.resize(700, 400);
        window.setCentralWidget(new QWidget);
        message::MessageWindow* mw = message::MessageWindow::getInstance();
        mw->initialize(&window, nullptr, nullptr, 15);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        QSignalSpy spy(mw, &message::MessageWindow::sigNewMessageOut);
        message::msgManager m("analyzer");
        m.postMsg("0002");
        m.postMsg("9992", "line one\nline two %1");
        m.postMsg("4711", 3);
        QCOMPARE(mw->messageCount(), 3);
        QCOMPARE(mw->messageText(0, 1), u"ONA-0002"_s);
        QCOMPARE(mw->messageText(1, 2), u"line one line two %1"_s); // one line per row
        QCOMPARE(mw->messageType(2), int(message::MsgWarning));
        QCOMPARE(spy.count(), 3);
        QCOMPARE(spy.at(1).at(0).toString(), u"line one\nline two %1"_s);

        // The newest row is in view after many.
        for (int i = 0; i < 300; ++i)
            mw->addMessage(u"T-%1"_s.arg(i), u"message %1"_s.arg(i), message::MsgError);
        auto* list = mw->findChild<QTreeWidget*>(u"MessageList"_s);
        QVERIFY(list);
        QApplication::processEvents();
        const QRect last = list->visualItemRect(list->topLevelItem(list->topLevelItemCount() - 1));
        QVERIFY(list->viewport()->rect().intersects(last));

        // Messages posted from a worker thread arrive in the GUI thread.
        const int before = mw->messageCount();
        std::unique_ptr<QThread> worker(
            QThread::create([] { message::msgManager("analyzer").postMsg("9992", u"from a thread"_s); }));
        worker->start();
        QVERIFY(worker->wait(5000));
        QTRY_COMPARE(mw->messageCount(), before + 1);
        QCOMPARE(mw->messageText(before, 2), u"from a thread"_s);

        // A flood keeps the newest rows only, and stays quick.
        mw->clear();
        const int max = message::MessageWindow::MaxMessages;
        for (int i = 0; i < max + 10; ++i)
            mw->addMessage(u"F"_s, QString::number(i), message::MsgInfo);
        QCOMPARE(mw->messageCount(), max);
        QCOMPARE(mw->messageText(0, 2), u"10"_s);
        QCOMPARE(mw->messageText(max - 1, 2), QString::number(max + 9));
        mw->clear();
        // The window goes with its main window; posting then falls back to stderr.
    }
    void helpBrowser() {
        basgui::BaseHelp help(u"ONL_ANALYZER"_s);
        help.openHelpUrl();
        basgui::HelpBrowser* b = basgui::BaseHelp::browser();
        QVERIFY(b && b->isVisible());
        QCOMPARE(b->currentTopic(), u"ONL_ANALYZER"_s);

        help.openViewHelpUrl(u"No_Such_Topic"_s);
        QCOMPARE(basgui::BaseHelp::browser(), b); // one window for all pages
        const QString missing = b->textBrowser()->toPlainText();
        QVERIFY(missing.contains(QLatin1String("No_Such_Topic")) && missing.contains(QLatin1String("no help page")));
        b->backAction()->trigger();
        QCOMPARE(b->currentTopic(), u"ONL_ANALYZER"_s);
        QVERIFY(b->forwardAction()->isEnabled());

        // Links between pages go through the help folders.
        emit b->textBrowser()->anchorClicked(QUrl(u"Waveform_View.html"_s));
        QCOMPARE(b->currentTopic(), u"Waveform_View"_s);
        QVERIFY(b->textBrowser()->toPlainText().contains(QLatin1String("Pointer modes")));
        emit b->textBrowser()->anchorClicked(QUrl(u"Gone.html"_s));
        QVERIFY(b->textBrowser()->toPlainText().contains(QLatin1String("\"Gone\"")));
        // Local files outside the help are not opened from a page.
        emit b->textBrowser()->anchorClicked(QUrl(u"file:///etc/hostname"_s));
        QCOMPARE(b->currentTopic(), u"Gone"_s);

        // A hostile topic name is shown escaped, never as markup or a path.
        help.openViewHelpUrl(u"<b>x</b>/../../etc/passwd"_s);
        QVERIFY(b->textBrowser()->toPlainText().contains(QLatin1String("<b>x</b>")));
        b->close();

        // Over a modal dialog the browser is the dialog's child, so that the
        // dialog does not block it; then a window of its own again.
        QDialog dialog;
        dialog.setModal(true);
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QCOMPARE(QApplication::activeModalWidget(), &dialog);
        help.openDialogHelpUrl(u"specify_clock_frequency"_s);
        QCOMPARE(basgui::BaseHelp::browser(), b);
        QCOMPARE(b->parentWidget(), &dialog);
        QVERIFY(b->isWindow() && b->isVisible());
        dialog.close();
        help.openViewHelpUrl(u"Waveform_View"_s);
        QCOMPARE(basgui::BaseHelp::browser(), b);
        QVERIFY(!b->parentWidget() && b->isVisible());
        b->close();
    }
    void aboutDialog() {
        QPixmap pm(32, 32);
        pm.fill(Qt::blue);
        basgui::AboutDialog same(nullptr, u"Ondrel Analyzer/Controller"_s, u"Ondrel Analyzer/Controller"_s, QIcon(pm));
        QCOMPARE(same.heading(), u"Ondrel Analyzer/Controller"_s);
        QVERIFY(same.body().isEmpty()); // the text is not shown twice
        QVERIFY(same.versions().contains(QLatin1String("Tcl 8.6")));

        basgui::AboutDialog other(nullptr, u"Tool"_s, u"Does things."_s, QIcon());
        QCOMPARE(other.body(), u"Does things."_s);
        other.show();
        QVERIFY(QTest::qWaitForWindowExposed(&other));
        QTest::keyClick(&other, Qt::Key_Escape);
        QVERIFY(!other.isVisible());
    }
};

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
