// The waveform page's signal tree: hand-over, ENUM members, expansion,
// selection, cut/copy/paste, drag and drop, grouping into a bus, colours,
// keys, and the change notices the tool window hears.

#include "demofixture.h"
#include "guitest.h"
#include "recordinghost.h"

#include "shell/onagui.h"
#include "shell/rightview.h"
#include "theme/themesetting.h"
#include "waveform/waveformdelegate.h"
#include "waveform/waveformsignal.h"
#include "waveform/waveformview.h"

#include "basgui/dialogseam.h"
#include "onadata.h"

#include <QtTest>
#include <QtWidgets>

using namespace vemo::toolona;
using vemo::basgui::ScriptedDialogs;
using namespace Qt::StringLiterals;

namespace {

// a, b, c, d one-bit signals; "st" a 2-bit bus; "v" a 3-bit bus.
std::shared_ptr<TraceData> smallTrace() {
    const QStringList names{"a", "b", "c", "d", "st[1]", "st[0]", "v[2]", "v[1]", "v[0]"};
    auto t = std::make_shared<TraceData>(names, 256);
    for (int ch = 0; ch < names.size(); ++ch)
        t->channelWords(ch)[0] = 0x5555555555555555ull >> ch;
    t->finish();
    return t;
}

const QList<QPair<QString, int>> kWidths{{"a", 1}, {"b", 1}, {"c", 1}, {"d", 1}, {"st", 2}, {"v", 3}};

} // namespace

class TstWaveformTree : public DemoTest {
    Q_OBJECT
private slots:
    void init() {
        QApplication::clipboard()->clear();
        m_gateway = RecordingGateway();
        m_gateway.succeed = false;
        m_model = std::make_unique<WaveformModel>();
        m_model->setTrace(smallTrace(), kWidths);
        m_page = std::make_unique<WaveformView>(&m_gateway);
        m_page->resize(900, 500);
        m_tree = m_page->tree();
    }
    void cleanup() {
        QApplication::clipboard()->clear();
        closeDemo();
        m_page.reset();
        m_model.reset();
    }
    void handOverHidesEnumMembersAndKeepsExpansionInTheModel() {
        // "st" is shown through an ENUM set, "v" was left expanded.
        SigTreeData st = WaveformModel::rowData(row("st"));
        st.radixName = u"ONL_STATE"_s;
        st.radix = 0;
        m_model->setRowData(row("st"), st);
        SigTreeData v = WaveformModel::rowData(row("v"));
        v.expanded = true;
        m_model->setRowData(row("v"), v);

        m_page->setWaveformModel(m_model.get());
        m_page->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
        QCOMPARE(m_tree->model(), m_model.get());

        const QModelIndex stIdx = row("st");
        QVERIFY(m_tree->isRowHidden(0, stIdx) && m_tree->isRowHidden(1, stIdx));
        const QModelIndex vIdx = row("v");
        QVERIFY(!m_tree->isRowHidden(0, vIdx));
        QVERIFY(m_tree->isExpanded(vIdx));

        // Expanding and collapsing write the flag back to the row.
        QSignalSpy changed(m_model.get(), &QStandardItemModel::itemChanged);
        m_tree->collapse(vIdx);
        QCOMPARE(WaveformModel::rowData(vIdx).expanded, false);
        m_tree->expand(stIdx);
        QCOMPARE(WaveformModel::rowData(stIdx).expanded, true);
        QCOMPARE(changed.size(), 2);

        // A new capture with the same rows: the tree shows the model's state
        // again, ENUM members still hidden.
        m_model->setTrace(smallTrace(), kWidths);
        m_page->refreshHeader();
        const QModelIndex st2 = row("st");
        QVERIFY(m_tree->isRowHidden(0, st2));

        // The data column shows the value at the data position; the time bar
        // follows the window.
        WaveformDelegate* delegate = qobject_cast<WaveformDelegate*>(m_tree->itemDelegate());
        m_model->setDataPos(0);
        QCOMPARE(delegate->dataText(row("a").siblingAtColumn(1)), u"1"_s);
        QCOMPARE(delegate->dataText(row("b").siblingAtColumn(1)), u"0"_s);
        m_model->zoomBox(m_tree->waveWidth(), 100, 64);
        QCOMPARE(m_page->timeBar()->maximum(), 256 - 64);
        QCOMPARE(m_page->timeBar()->value(), m_model->getViewStart());
        m_page->timeBar()->setValue(10);
        QCOMPARE(m_model->getViewStart(), 10);
    }
    void cutCopyAndPasteKeepTheTreeSoundAndNotify() {
        m_page->setWaveformModel(m_model.get());
        QSignalSpy changed(m_model.get(), &QStandardItemModel::itemChanged);
        const QModelIndex v = row("v");

        // A bus with one of its members stands for the bus alone.
        select({v, m_model->index(1, 0, v)});
        QModelIndex target;
        QVERIFY(m_tree->singleSelection(&target));
        QCOMPARE(target, v);
        // Two unrelated rows stand for none.
        select({row("a"), row("b")});
        QVERIFY(!m_tree->singleSelection(&target));
        QVERIFY(!m_tree->canCutCopy());

        // Copy the bus (the key), paste it twice after "a": two whole copies.
        select({v});
        QTest::keyClick(m_tree, Qt::Key_C, Qt::ControlModifier);
        select({row("a")});
        QVERIFY(m_tree->canPaste());
        changed.clear();
        QTest::keyClick(m_tree, Qt::Key_V, Qt::ControlModifier);
        m_tree->doPaste();
        QCOMPARE(changed.size(), 2);
        QCOMPARE(rowNames(m_model.get()), QStringList({"a", "v", "v", "b", "c", "d", "st", "v"}));
        for (int r : {1, 2}) {
            QCOMPARE(rowNames(m_model.get(), m_model->index(r, 0)), QStringList({"v[2]", "v[1]", "v[0]"}));
            QCOMPARE(WaveformModel::rowData(m_model->index(r, 0)).width, 3);
        }
        // A bus is never pasted below the top level.
        select({m_model->index(0, 0, row("st"))});
        QVERIFY(!m_tree->canPaste());

        // Cut a member: the bus narrows and says so.
        const int before = m_gateway.modified;
        const QModelIndex st = row("st");
        select({m_model->index(0, 0, st)});
        changed.clear();
        QTest::keyClick(m_tree, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(rowNames(m_model.get(), row("st")), QStringList({"st[0]"}));
        QCOMPARE(WaveformModel::rowData(row("st")).width, 1);
        QVERIFY(!changed.isEmpty());
        QVERIFY(m_gateway.modified > before);
        // ... and paste it under "a" (a signal goes anywhere).
        select({row("a")});
        QVERIFY(m_tree->canPaste());
        m_tree->doPaste();
        QCOMPARE(rowNames(m_model.get()).mid(0, 2), QStringList({"a", "st[1]"}));

        // Cutting a top-level row is a change the window hears too.
        changed.clear();
        const int modifiedBefore = m_gateway.modified;
        select({row("d")});
        m_tree->doCut();
        QVERIFY(!rowNames(m_model.get()).contains(u"d"_s));
        QCOMPARE(changed.size(), 1);
        QCOMPARE(m_gateway.modified, modifiedBefore + 1);

        // Cutting the last member of a bus removes the bus.
        select({m_model->index(0, 0, row("st"))});
        m_tree->doCut();
        QVERIFY(!row("st").isValid());
    }
    void dragAndDropFollowsItsRules() {
        m_page->setWaveformModel(m_model.get());
        m_page->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
        m_tree->expandAll();
        QSignalSpy changed(m_model.get(), &QStandardItemModel::itemChanged);
        QWidget* vp = m_tree->viewport();
        auto centreOf = [&](const QModelIndex& idx, int dy) {
            const QRect r = m_tree->visualRect(idx);
            return QPointF(r.left() + 5, r.top() + r.height() / 2 + dy);
        };
        // Moves and drops reach the widget whose enter was accepted.
        auto enter = [&](QMimeData* mime, const QPointF& at, Qt::DropActions actions) {
            QDragEnterEvent ev(at.toPoint(), actions, mime, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(vp, &ev);
            return ev.isAccepted();
        };
        auto moveTo = [&](const QModelIndex& src, const QPointF& at) {
            WaveformSignalMimeData mime(src);
            if (!enter(&mime, at, Qt::MoveAction))
                return false;
            QDragMoveEvent ev(at.toPoint(), Qt::MoveAction, &mime, Qt::LeftButton, Qt::NoModifier);
            QCoreApplication::sendEvent(vp, &ev);
            return ev.isAccepted();
        };
        auto dropAt = [&](const QModelIndex& src, const QPointF& at) { return dropRow(m_tree, src, at); };

        const QModelIndex v = row("v");
        const QModelIndex st = row("st");
        // A bus onto a member of another bus, or into itself: refused, no line.
        QVERIFY(!moveTo(v, centreOf(m_model->index(0, 0, st), 0)));
        QVERIFY(m_tree->dropIndicatorRect().isNull());
        QVERIFY(!moveTo(v, centreOf(m_model->index(1, 0, v), 0)));
        QVERIFY(!dropAt(v, centreOf(m_model->index(1, 0, v), 0)));
        // Copy-only drags and foreign data are refused at the door.
        {
            WaveformSignalMimeData mime(row("a"));
            QVERIFY(!enter(&mime, centreOf(row("c"), 0), Qt::CopyAction));
            QMimeData text;
            text.setText(u"a"_s);
            QVERIFY(!enter(&text, centreOf(row("c"), 0), Qt::MoveAction));
        }
        // A signal over the lower half of "c": the line at c's bottom, left of
        // the waveform column.
        const QModelIndex a = row("a");
        const QModelIndex c = row("c");
        QVERIFY(moveTo(a, centreOf(c, 4)));
        QCOMPARE(m_tree->dropIndicatorRect().top(), m_tree->visualRect(c).bottom());
        QVERIFY(m_tree->dropIndicatorRect().right() < m_tree->columnViewportPosition(2));
        QDragLeaveEvent leave;
        QCoreApplication::sendEvent(vp, &leave);
        QVERIFY(m_tree->dropIndicatorRect().isNull());
        // Dropped there: after c (a lay before it, so the row shifts by one).
        QVERIFY(dropAt(a, centreOf(c, 4)));
        QCOMPARE(rowNames(m_model.get()), QStringList({"b", "c", "a", "d", "st", "v"}));
        QCOMPARE(changed.size(), 1);
        QVERIFY(m_tree->dropIndicatorRect().isNull());
        // Upper half of "b": before it.
        QVERIFY(dropAt(row("d"), centreOf(row("b"), -4)));
        QCOMPARE(rowNames(m_model.get()), QStringList({"d", "b", "c", "a", "st", "v"}));
        // A member dragged into another bus; the bus to the top.
        QVERIFY(dropAt(m_model->index(0, 0, row("v")), centreOf(m_model->index(0, 0, row("st")), -4)));
        QCOMPARE(rowNames(m_model.get(), row("st")), QStringList({"v[2]", "st[1]", "st[0]"}));
        QCOMPARE(WaveformModel::rowData(row("v")).width, 2);
        QVERIFY(dropAt(row("v"), centreOf(row("d"), -4)));
        QCOMPARE(rowNames(m_model.get()).first(), u"v"_s);
        // One notice per drop at least (moving a member also re-widths buses).
        QVERIFY(changed.size() >= 4);
        QCOMPARE(changed.last().at(0).value<QStandardItem*>(), m_model->itemFromIndex(row("v")));
    }
    void groupingNamesTheBusAndGivesItAWidth() {
        m_page->setWaveformModel(m_model.get());
        ScriptedDialogs dialogs;
        QSignalSpy changed(m_model.get(), &QStandardItemModel::itemChanged);

        // Only signals group.
        select({row("a"), row("v")});
        QVERIFY(!m_tree->canGroup());

        // Buses Bus1 and Bus2 exist (Bus2 nested); a signal named Bus3 does not
        // count.
        select({row("a")});
        QVERIFY(m_tree->groupInto(u"Bus1"_s));
        select({row("v[0]")});
        QVERIFY(m_tree->groupInto(u"Bus2"_s));
        QVERIFY(m_model->dropItem(row("Bus2"), row("st"), 0));
        SigTreeData c = WaveformModel::rowData(row("c"));
        c.name = u"Bus3"_s;
        m_model->setRowData(row("c"), c);
        QCOMPARE(m_tree->proposedBusName(), u"Bus3"_s);

        // The dialog: an empty name and a taken one are refused and asked again;
        // the validator refuses a leading digit.
        select({row("d"), row("b")});
        QVERIFY(m_tree->canGroup());
        QStringList answers{QString(), u"Bus1"_s, u"pair"_s};
        QStringList proposed;
        dialogs.onDialog = [&](QDialog* dlg) {
            auto* edit = dlg->findChild<QLineEdit*>(u"busName"_s);
            proposed << dlg->windowTitle() + QLatin1Char('|') + edit->text();
            QString digit = u"9x"_s;
            int pos = 0;
            if (edit->validator()->validate(digit, pos) != QValidator::Invalid)
                return int(QDialog::Rejected);
            edit->setText(answers.takeFirst());
            return int(QDialog::Accepted);
        };
        changed.clear();
        m_tree->doGroup();
        QCOMPARE(proposed.first(), u"New Bus Name|Bus3"_s);
        QCOMPARE(proposed.size(), 3);
        QCOMPARE(dialogs.asked.size(), 2 + 3);
        QCOMPARE(dialogs.asked.at(1).text, u"Bus name cannot be empty."_s);
        QCOMPARE(dialogs.asked.at(3).text, u"Bus name 'Bus1' exists."_s);

        // The new bus: last at the top level, members in on-screen order,
        // as wide as its members, in hexadecimal, with a value to show.
        const QModelIndex pair = row("pair");
        QVERIFY(pair.isValid() && !pair.parent().isValid());
        QCOMPARE(pair.row(), m_model->rowCount() - 1);
        QCOMPARE(rowNames(m_model.get(), pair), QStringList({"b", "d"}));
        const SigTreeData d = WaveformModel::rowData(pair);
        QCOMPARE(d.width, 2);
        QCOMPARE(d.radix, 16);
        QVERIFY(!d.expanded);
        QVERIFY(!qobject_cast<WaveformDelegate*>(m_tree->itemDelegate())->dataText(pair.siblingAtColumn(1)).isEmpty());
        QCOMPARE(m_model->itemFromIndex(pair), changed.last().at(0).value<QStandardItem*>());

        // Cancel abandons.
        select({row("a")});
        dialogs.onDialog = [](QDialog*) { return int(QDialog::Rejected); };
        const int rows = m_model->rowCount();
        m_tree->doGroup();
        QCOMPARE(m_model->rowCount(), rows);
    }
    void coloursKeysHelpAndNavigation() {
        m_page->setWaveformModel(m_model.get());
        m_page->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_page.get()));
        ScriptedDialogs dialogs;
        const QModelIndex a = row("a");
        const QModelIndex b = row("b");
        select({a, b});
        // The light theme's selection tint is nearly white: a selected name
        // keeps the text colour, where white highlighted text would vanish.
        QVERIFY(!vemo::theme::ThemeSetting::isDark());
        QCOMPARE(m_tree->palette().color(QPalette::HighlightedText), qApp->palette().color(QPalette::Text));
        // Cancelled: nothing changes.
        QSignalSpy changed(m_model.get(), &QStandardItemModel::itemChanged);
        m_tree->doEditColour();
        QVERIFY(changed.isEmpty());
        QVERIFY(!m_tree->hasOwnColour());
        // Chosen: every selected row.
        dialogs.colors.enqueue(QColor(Qt::magenta));
        m_tree->doEditColour();
        QCOMPARE(WaveformModel::rowData(a).colour, QColor(Qt::magenta));
        QCOMPARE(WaveformModel::rowData(b).colour, QColor(Qt::magenta));
        QVERIFY(m_tree->hasOwnColour());
        m_tree->doRevertColour();
        QVERIFY(!WaveformModel::rowData(a).colour.isValid());
        QVERIFY(!m_tree->hasOwnColour());

        // F1 opens the page's help topic.
        QKeyEvent f1(QEvent::KeyRelease, Qt::Key_F1, Qt::NoModifier);
        QCoreApplication::sendEvent(m_page.get(), &f1);
        QCOMPARE(m_gateway.topics, QStringList({u"Waveform_View"_s}));

        // The navigator: "+" zooms in, Right moves the window.
        m_model->zoomFit(m_tree->waveWidth());
        const int all = m_model->getViewCount();
        QTest::keyClick(m_tree, Qt::Key_Plus);
        QCOMPARE(m_model->getViewCount(), all / 2);
        const int start = m_model->getViewStart();
        QTest::keyClick(m_tree, Qt::Key_Right);
        QVERIFY(m_model->getViewStart() > start);
    }
    void windowMarksModifiedAndTheLayoutSurvivesSave() {
        QVERIFY(openDemo());
        m_gui->runAnalyzer();
        QVERIFY(QTest::qWaitFor(
            [&] { return m_gui->progressBar()->format() == QLatin1String("Completed") && !OnaData::inst()->isBusy(); },
            20000));
        WaveformView* page = m_gui->rightView()->page<WaveformView>();
        QVERIFY(page->hasCapturedData());
        WaveformModel* model = page->waveformModel();
        QVERIFY(m_gui->onSave());
        QVERIFY(!m_gui->isModified());
        // Group the first two signals into a bus: the window is modified.
        WaveformSignal* tree = page->tree();
        const QStringList firstTwo = rowNames(model).mid(0, 2);
        m_tree = tree;
        select({model->index(0, 0), model->index(1, 0)});
        QVERIFY(tree->canGroup() && tree->groupInto(u"pair"_s));
        QVERIFY(m_gui->isModified());
        // Coloured, moved to the top, copied and pasted twice.
        ScriptedDialogs dialogs;
        dialogs.colors.enqueue(QColor(Qt::cyan));
        const QModelIndex pair = rowNamed(model, u"pair"_s);
        select({pair});
        tree->doEditColour();
        QVERIFY(model->dropItem(pair, QModelIndex(), 0));
        select({model->index(0, 0)});
        tree->doCopy();
        tree->doPaste();
        tree->doPaste();
        QCOMPARE(rowNames(model).mid(0, 3), QStringList({"pair", "pair", "pair"}));
        QVERIFY(m_gui->onSave());
        QVERIFY(!m_gui->isModified());
        m_gui.reset();
        OnaData::inst()->resetData();
        // Reopened: the bus is back with its members.
        m_gui = demofixture::embeddedGui(m_host.get(), m_dir->filePath(u"demo/demo.ona"_s));
        QVERIFY(m_gui);
        WaveformView* page2 = m_gui->rightView()->page<WaveformView>();
        QVERIFY(page2->hasCapturedData());
        WaveformModel* model2 = page2->waveformModel();
        QCOMPARE(rowNames(model2).mid(0, 3), QStringList({"pair", "pair", "pair"}));
        for (int r = 0; r < 3; ++r) {
            QCOMPARE(rowNames(model2, model2->index(r, 0)), firstTwo);
            QCOMPARE(WaveformModel::rowData(model2->index(r, 0)).colour, QColor(Qt::cyan));
        }
        QVERIFY(!m_gui->isModified());
        OnaData::inst()->resetData();
    }

private:
    void select(const QList<QModelIndex>& rows);
    QModelIndex row(const char* name) const { return rowNamed(m_model.get(), QLatin1String(name)); }

    std::unique_ptr<WaveformModel> m_model;
    std::unique_ptr<WaveformView> m_page;
    RecordingGateway m_gateway;
    WaveformSignal* m_tree = nullptr;
};

void TstWaveformTree::select(const QList<QModelIndex>& rows) {
    m_tree->selectionModel()->clearSelection();
    for (const QModelIndex& idx : rows)
        m_tree->selectionModel()->select(idx, QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

QTEST_MAIN(TstWaveformTree)
#include "tst_waveform_tree.moc"
