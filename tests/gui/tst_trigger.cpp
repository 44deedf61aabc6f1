// The trigger setup page on the demo project, embedded in a recording host
// that forwards every command to a real engine: the exact command of every
// cell and option edit, what is never sent, editor contents by radix kind,
// error titles, the samples list and its resynchronisation with the number
// of triggers, the expression enable box, and user text with Tcl-special
// characters arriving in the engine unchanged.

#include "demofixture.h"
#include "guitest.h"
#include "recordinghost.h"

#include "kit/labelgroupbox.h"
#include "shell/onagui.h"
#include "shell/rightview.h"
#include "trigger/onatedelegate.h"
#include "trigger/onatudelegate.h"
#include "trigger/triggerview.h"

#include "onadata.h"
#include "triggeremodel.h"
#include "triggersetting.h"
#include "triggerumodel.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

using namespace vemo::toolona;
using namespace Qt::StringLiterals;

namespace {

// The colour at the right end of a cell (clear of its text), as drawn.
QColor cellBackground(QTableView* table, const QModelIndex& index) {
    // No selection or focus frame in the way.
    table->clearSelection();
    table->selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
    const QImage image = table->viewport()->grab().toImage();
    const QRect rect = table->visualRect(index);
    const qreal ratio = image.devicePixelRatio();
    return image.pixelColor(QPoint(int((rect.right() - 3) * ratio), int(rect.center().y() * ratio)));
}

void flushDeletes() {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
}

} // namespace

class TstTrigger : public DemoTest {
    Q_OBJECT
private slots:
    void init() {
        freshHost();
        openDemo();
    }
    void cleanup() { closeDemo(); }

    void unitCellCommands() {
        QTableView* table = view()->tuTable();

        QCOMPARE(pick(table, tuIndex("TU_data", 2), u"!="_s),
                 QStringList{u"ona_set_tu -name TU_data -operator \"!=\""_s});
        QCOMPARE(tuText("TU_data", 2), u"!="_s);
        QVERIFY(m_gui->title().endsWith(u" *"_s));

        // The engine converts the value to the new radix.
        QCOMPARE(pick(table, tuIndex("TU_data", 3), u"Bin"_s),
                 QStringList{u"ona_set_tu -name TU_data -radix \"Bin\""_s});
        QCOMPARE(tuText("TU_data", 4), u"01011010"_s);
        QCOMPARE(typeInto(table, tuIndex("TU_data", 4), u"1010xxxx"_s),
                 QStringList{u"ona_set_tu -name TU_data -value \"1010xxxx\""_s});
        QCOMPARE(tuText("TU_data", 4), u"1010xxxx"_s);

        // Unchanged or empty: nothing goes out. Names, radixes and values are
        // case-sensitive, so a change of case alone is an edit.
        QVERIFY(typeInto(table, tuIndex("TU_data", 4), u"1010xxxx"_s).isEmpty());
        QVERIFY(typeInto(table, tuIndex("TU_data", 4), QString()).isEmpty());
        QCOMPARE(typeInto(table, tuIndex("TU_data", 4), u"1010XXXX"_s).size(), 1);
        const QString sets = m_host->eval(
            u"ona_add_tokenset -tokenset op -bits 8; ona_add_tokenset -tokenset OP -bits 8; "
            "ona_add_token op WRITE=h'01; ona_add_token op write=h'02; "
            "ona_set_tu -name TU_data -radix op -value WRITE"_s);
        QVERIFY2(sets.isEmpty(), qPrintable(sets));
        TriggerUModel* tuModel = OnaData::inst()->getTUModel();
        const int row = tuModel->rowOf(u"TU_data"_s);
        QCOMPARE(OnaTUDelegate::commitCommand(tuModel->index(row, TriggerUModel::ColRadix), u"OP"_s),
                 u"ona_set_tu -name TU_data -radix \"OP\""_s);
        QCOMPARE(OnaTUDelegate::commitCommand(tuModel->index(row, TriggerUModel::ColValue), u"write"_s),
                 u"ona_set_tu -name TU_data -value \"write\""_s);
        QVERIFY(OnaTUDelegate::commitCommand(tuModel->index(row, TriggerUModel::ColValue), u"WRITE"_s).isEmpty());
        QVERIFY(m_host->eval(u"ona_set_tu -name TU_data -radix Bin -value 1010xxxx"_s).isEmpty());
        QVERIFY(pick(table, tuIndex("TU_data", 3), u"Bin"_s).isEmpty());

        // Rename: the engine rewrites the expressions that use the name.
        QCOMPARE(typeInto(table, tuIndex("TU_data", 0), u"TU_byte"_s), QStringList{u"ona_rename_tu TU_data TU_byte"_s});
        QCOMPARE(OnaData::inst()->getTEExpression(1), u"TU_byte & TU_valid THEN TU_valid #2"_s);
        QVERIFY(typeInto(table, tuIndex("TU_byte", 0), u"TU_byte"_s).isEmpty());
        QVERIFY(typeInto(table, tuIndex("TU_byte", 0), QString()).isEmpty());
        QCOMPARE(OnaTEDelegate::commitCommand(OnaData::inst()->getTEModel()->index(0, TriggerEModel::ColName),
                                              u"te_start"_s),
                 u"ona_rename_te TE_start te_start"_s);

        // The name editor takes only what the engine accepts as a name; a
        // keyword gets through the validator but not to the engine.
        auto* edit = qobject_cast<QLineEdit*>(openEditor(table, tuIndex("TU_byte", 0)));
        QVERIFY(edit && edit->validator());
        QTest::keyClick(edit, Qt::Key_Escape);
        QCOMPARE(typeInto(table, tuIndex("TU_byte", 0), u"9 a b[x]$y"_s), QStringList{u"ona_rename_tu TU_byte abxy"_s});
        QVERIFY(typeInto(table, tuIndex("abxy", 0), u"TU_byte"_s).size() == 1);
        QVERIFY(typeInto(table, tuIndex("TU_byte", 0), u"xor"_s).isEmpty());
        QVERIFY(m_gui->statusBar()->currentMessage().contains(u"keyword"_s));
        QVERIFY(OnaData::inst()->getTUModel()->rowOf(u"TU_byte"_s) >= 0);

        // A token pick in an ENUM row commits at once.
        QCOMPARE(pick(table, tuIndex("TU_state", 4), u"STOP"_s),
                 QStringList{u"ona_set_tu -name TU_state -value \"STOP\""_s});
        QCOMPARE(tuText("TU_state", 4), u"STOP"_s);
    }
    void editorsByRadixKind() {
        // The demo's own 8-bit set "cmd", plus one more of 8 and one of 3 bits.
        int code = -1;
        m_host->eval(u"ona_add_tokenset -tokenset ST3 -bits 3; ona_add_tokenset -tokenset WIDE -bits 8"_s, &code);
        QCOMPARE(code, 0);
        QTableView* table = view()->tuTable();
        const QStringList radices = OnaData::radix_list;

        // A plain radix: line edit for the value, the operator list, plain
        // radices plus the 8-bit user sets.
        QVERIFY(qobject_cast<QLineEdit*>(openEditor(table, tuIndex("TU_data", 4))));
        auto* box = qobject_cast<QComboBox*>(openEditor(table, tuIndex("TU_data", 2)));
        QVERIFY(box);
        QCOMPARE(comboItems(box), OnaData::operator_list);
        box = qobject_cast<QComboBox*>(openEditor(table, tuIndex("TU_data", 3)));
        QVERIFY(box);
        QCOMPARE(comboItems(box), radices + QStringList({"cmd", "WIDE"}));

        // A 3-signal unit with an ENUM radix: only "==", the ENUM tokens, and
        // no user set of another width.
        box = qobject_cast<QComboBox*>(openEditor(table, tuIndex("TU_state", 2)));
        QCOMPARE(comboItems(box), QStringList{"=="});
        box = qobject_cast<QComboBox*>(openEditor(table, tuIndex("TU_state", 3)));
        QCOMPARE(comboItems(box), radices + QStringList{"ST3"});
        QCOMPARE(box->currentIndex(), -1);
        box = qobject_cast<QComboBox*>(openEditor(table, tuIndex("TU_state", 4)));
        QCOMPARE(comboItems(box), QStringList({"IDLE", "START", "DATA", "PARITY", "STOP"}));
        QCOMPARE(box->currentText(), u"START"_s);

        // An integer enumeration takes typed numbers.
        m_host->eval(u"ona_set_tu -name TU_state -radix ONL_INT_level"_s);
        QCOMPARE(tuText("TU_state", 3), u"ONL_INT_level"_s);
        QVERIFY(qobject_cast<QLineEdit*>(openEditor(table, tuIndex("TU_state", 4))));

        // A user set as radix lists its tokens in order.
        QCOMPARE(pick(table, tuIndex("TU_data", 3), u"cmd"_s),
                 QStringList{u"ona_set_tu -name TU_data -radix \"cmd\""_s});
        box = qobject_cast<QComboBox*>(openEditor(table, tuIndex("TU_data", 4)));
        QCOMPARE(comboItems(box), QStringList({"NOP", "READ", "WRITE", "BURST"}));
        QCOMPARE(pick(table, tuIndex("TU_data", 4), u"READ"_s),
                 QStringList{u"ona_set_tu -name TU_data -value \"READ\""_s});

        // A serial unit offers the serial operators whatever its radix.
        box = qobject_cast<QComboBox*>(openEditor(table, tuIndex("TU_rxword", 2)));
        QCOMPARE(comboItems(box), OnaData::serial_list);
    }
    void expressionCommandsAndEnableBox() {
        QTableView* table = view()->teTable();

        QCOMPARE(typeInto(table, teIndex("TE_start", 1), u"TU_state | TU_valid"_s),
                 QStringList{u"ona_set_te -name TE_start -expression \"TU_state | TU_valid\""_s});
        QCOMPARE(OnaData::inst()->getTEExpression(0), u"TU_state | TU_valid"_s);
        QVERIFY(typeInto(table, teIndex("TE_start", 1), u"TU_state | TU_valid"_s).isEmpty());
        QVERIFY(typeInto(table, teIndex("TE_start", 1), QString()).isEmpty());

        QCOMPARE(typeInto(table, teIndex("TE_start", 0), u"TE_go"_s), QStringList{u"ona_rename_te TE_start TE_go"_s});
        QCOMPARE(OnaData::inst()->getTEName(0), u"TE_go"_s);
        QCOMPARE(typeInto(table, teIndex("TE_go", 0), u"9 lives!"_s), QStringList{u"ona_rename_te TE_go lives"_s});

        // The enable box: a release on the indicator toggles through the
        // engine, a double click does not, Space does.
        auto* delegate = qobject_cast<OnaTEDelegate*>(table->itemDelegate());
        QVERIFY(delegate);
        const QModelIndex byte = teIndex("TE_byte", 0);
        QStyleOptionViewItem option;
        option.initFrom(table->viewport());
        option.widget = table;
        option.rect = table->visualRect(byte);
        option.state |= QStyle::State_Enabled;
        QStyleOptionViewItem check(option);
        check.features |= QStyleOptionViewItem::HasCheckIndicator;
        check.checkState = Qt::Unchecked;
        const QPoint box =
            table->style()->subElementRect(QStyle::SE_ItemViewItemCheckIndicator, &check, table).center();
        auto mouse = [&](QEvent::Type type, QPoint at) {
            QMouseEvent event(type, at, table->viewport()->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton,
                              Qt::NoModifier);
            return delegate->editorEvent(&event, table->model(), option, byte);
        };
        m_host->commands.clear();
        QVERIFY(mouse(QEvent::MouseButtonDblClick, box) && m_host->commands.isEmpty());
        QVERIFY(!mouse(QEvent::MouseButtonRelease, option.rect.bottomRight() - QPoint(2, 2)));
        QVERIFY(m_host->commands.isEmpty() && mouse(QEvent::MouseButtonRelease, box));
        QCOMPARE(m_host->commands, QStringList{u"ona_set_te -name TE_byte -enable on"_s});
        QVERIFY(view()->teModel()->isEnabled(1));
        m_host->commands.clear();
        QKeyEvent space(QEvent::KeyPress, Qt::Key_Space, Qt::NoModifier, u" "_s);
        QVERIFY(delegate->editorEvent(&space, table->model(), option, byte));
        QCOMPARE(m_host->commands, QStringList{u"ona_set_te -name TE_byte -enable off"_s});
        QVERIFY(!view()->teModel()->isEnabled(1));

        // The same through the view: one click on the indicator.
        m_host->commands.clear();
        table->setCurrentIndex(teIndex("TE_byte", 1));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, Qt::NoModifier, box);
        flushDeletes();
        QCOMPARE(m_host->startingWith(u"ona_set_te"_s), QStringList{u"ona_set_te -name TE_byte -enable on"_s});
    }
    void errorTitlesAndCells() {
        auto* tuLabel = view()->tuGroup()->label();
        auto* teLabel = view()->teGroup()->label();
        QTableView* tu = view()->tuTable();
        QTableView* te = view()->teTable();
        // TU_data's and TU_valid's values are plain text cells of one column.
        const QColor healthy = cellBackground(tu, tuIndex("TU_valid", 4));
        QCOMPARE(cellBackground(tu, tuIndex("TU_data", 4)), healthy);
        const QColor healthyTe = cellBackground(te, teIndex("TE_byte", 1));
        QCOMPARE(cellBackground(te, teIndex("TE_start", 1)), healthyTe);

        QCOMPARE(typeInto(view()->tuTable(), tuIndex("TU_data", 4), u"5G"_s).size(), 1);
        QCOMPARE(tuLabel->text(), u"Trigger Unit:<font color=\"red\"><b> currently 1 syntax error</b></font>"_s);
        // The cell to fix is marked, and its tip is the engine's message.
        QVERIFY(cellBackground(tu, tuIndex("TU_data", 4)) != healthy);
        QCOMPARE(cellBackground(tu, tuIndex("TU_valid", 4)), healthy);
        QCOMPARE(cellBackground(tu, tuIndex("TU_data", 3)), cellBackground(tu, tuIndex("TU_valid", 3)));
        const QString message = tuIndex("TU_data", 4).data(Qt::ToolTipRole).toString();
        QVERIFY(!message.isEmpty());
        QCOMPARE(m_host->eval(u"dict get [ona_get tu TU_data] message"_s), message);
        typeInto(view()->tuTable(), tuIndex("TU_valid", 4), u"2"_s);
        QCOMPARE(tuLabel->text(), u"Trigger Unit:<font color=\"red\"><b> currently 2 syntax errors</b></font>"_s);

        typeInto(view()->teTable(), teIndex("TE_start", 1), u"TU_state &"_s);
        QCOMPARE(teLabel->text(), u"Trigger Expression:<font color=\"red\"><b> currently 1 syntax error</b></font>"_s);
        QVERIFY(cellBackground(te, teIndex("TE_start", 1)) != healthyTe);
        QCOMPARE(teIndex("TE_start", 1).data(Qt::ToolTipRole).toString(),
                 m_host->eval(u"dict get [ona_get te TE_start] message"_s));
        typeInto(view()->teTable(), teIndex("TE_start", 1), u"TU_state"_s);
        typeInto(view()->tuTable(), tuIndex("TU_data", 4), u"5A"_s);
        typeInto(view()->tuTable(), tuIndex("TU_valid", 4), u"1"_s);
        QCOMPARE(tuLabel->text(), u"Trigger Unit"_s);
        QCOMPARE(teLabel->text(), u"Trigger Expression"_s);
        QCOMPARE(cellBackground(tu, tuIndex("TU_data", 4)), healthy);
        QCOMPARE(cellBackground(te, teIndex("TE_start", 1)), healthyTe);
    }
    void userTextReachesEngineIntact() {
        const QString value = u"a b \"q\" [exit 3] $x {C:\\new\\table}"_s;
        const QStringList sent = typeInto(view()->tuTable(), tuIndex("TU_data", 4), value);
        QCOMPARE(sent.size(), 1);
        QCOMPARE(sent.first(),
                 u"ona_set_tu -name TU_data -value \"a b \\\"q\\\" \\[exit 3\\] \\$x {C:\\\\new\\\\table}\""_s);
        QCOMPARE(OnaData::inst()->getTUValue(1), value);

        const QString expr = u"TU_data & [set y 1] $z \\"_s;
        QCOMPARE(typeInto(view()->teTable(), teIndex("TE_start", 1), expr).size(), 1);
        QCOMPARE(OnaData::inst()->getTEExpression(0), expr);
        QCOMPARE(m_host->eval(u"info exists y"_s), u"0"_s);
    }
    void samplesListAndLoading() {
        // A setting of its own: 1024 down to 128.
        TriggerSetting own;
        own.multiTriggerCapacity = 4096;
        own.minSamples = 128;
        own.maxSamples = 1024;
        own.samples = 256;
        own.maxTriggers = 32;
        own.numTriggers = 3;
        own.finalCounterMax = 1;
        view()->setTriggerSetting(&own);
        QCOMPARE(comboItems(view()->samplesCombo()), QStringList({"1024", "512", "256", "128"}));
        QCOMPARE(view()->samplesCombo()->currentText(), u"256"_s);
        QVERIFY(!view()->counterCheck()->isEnabled() && view()->porGroup()->isHidden());

        own.minSamples = 2048;
        view()->setTriggerSetting(&own);
        QCOMPARE(view()->samplesCombo()->count(), 0);
        // Loading never sends anything, and the page's slots leave a setting
        // that is not the engine's current one alone.
        view()->doNumTrigger(5);
        view()->connectPORCore(true);
        QVERIFY(!own.connectPorOnOpen && m_host->commands.isEmpty());

        // The hand-over of another core loads its options without a command.
        view()->setTriggerSetting(OnaData::inst()->getTSModel());
        selectCore(u"bus_la"_s);
        QVERIFY(!view()->porGroup()->isHidden());
        QCOMPARE(comboItems(view()->samplesCombo()), QStringList({"1024", "512", "256", "128", "64"}));
        QCOMPARE(view()->samplesCombo()->currentText(), u"256"_s);
        QCOMPARE(view()->triggerSpin()->value(), 4);
        QVERIFY(view()->counterCheck()->isChecked() && view()->userRadio()->isChecked());
        QCOMPARE(view()->positionGroup()->label()->text(), u"Trigger Position: <b>100/256</b>"_s);
        selectCore(u"uart_la"_s);
        QVERIFY(view()->porGroup()->isHidden() && !view()->samplesCombo()->isEnabled());
        QVERIFY(!view()->triggerSpin()->isEnabled() && m_host->startingWith(u"ona_set_trigoptn"_s).isEmpty());
    }
    void optionCommandsPositionAndResync() {
        selectCore(u"bus_la"_s);
        TriggerSetting* s = OnaData::inst()->getTSModel();

        QCOMPARE(m_host->sent([&] { view()->teCombo()->setCurrentIndex(1); }),
                 QStringList{u"ona_set_trigoptn -teall and"_s});
        QCOMPARE(s->teCombination, 1);
        QVERIFY(m_gui->title().endsWith(u" *"_s));

        // More triggers than fit: the engine halves the samples, the list
        // follows without a second command.
        QCOMPARE(m_host->sent([&] { view()->triggerSpin()->setValue(32); }),
                 QStringList{u"ona_set_trigoptn -numtriggers 32"_s});
        QCOMPARE(s->samples, 128);
        QCOMPARE(view()->samplesCombo()->currentText(), u"128"_s);
        QCOMPARE(
            m_host->sent([&] { view()->samplesCombo()->setCurrentIndex(view()->samplesCombo()->findText(u"1024"_s)); }),
            QStringList{u"ona_set_trigoptn -samples 1024"_s});
        QCOMPARE(s->numTriggers, 4);
        QCOMPARE(view()->triggerSpin()->value(), 4);

        // Typing a number sends once, on Enter.
        QLineEdit* spinEdit = view()->triggerSpin()->findChild<QLineEdit*>();
        QVERIFY(spinEdit);
        view()->triggerSpin()->setFocus();
        spinEdit->selectAll();
        QVERIFY(m_host->sent([&] { QTest::keyClicks(spinEdit, u"16"_s); }).isEmpty());
        QCOMPARE(m_host->sent([&] { QTest::keyClick(spinEdit, Qt::Key_Return); }),
                 QStringList{u"ona_set_trigoptn -numtriggers 16"_s});
        QCOMPARE(view()->samplesCombo()->currentText(), u"256"_s);

        // Final event counter.
        QCOMPARE(m_host->sent([&] { view()->counterCheck()->click(); }),
                 QStringList{u"ona_set_trigoptn -finalcounter off"_s});
        QVERIFY(!view()->counterSpin()->isEnabled());
        view()->counterCheck()->click();
        QCOMPARE(m_host->sent([&] { view()->counterSpin()->setValue(7); }),
                 QStringList{u"ona_set_trigoptn -finalcountervalue 7"_s});
        QCOMPARE(s->finalCounterPreset, 7);

        // POR: a flag of the setting, no command.
        m_gui->ResetDirtyBit();
        QVERIFY(m_host->sent([&] { view()->porCheck()->click(); }).isEmpty());
        QVERIFY(s->connectPorOnOpen && m_gui->isModified());

        // The trigger position follows the selected mode.
        QVERIFY(!view()->positionCombo()->isEnabled());
        const auto position = [this](const std::function<void()>& act) {
            return m_host->sent(act).join(u'|').remove(u"ona_set_trigoptn -position "_s);
        };

        // The list of the mode not selected sends nothing, and the next reload
        // shows the engine's preset again.
        QCOMPARE(position([&] { view()->positionCombo()->setCurrentIndex(2); }), QString());
        QCOMPARE(position([&] { view()->positionBar()->setValue(40); }), u"40"_s);
        QCOMPARE(s->userPosition, 40);
        QCOMPARE(view()->positionGroup()->label()->text(), u"Trigger Position: <b>40/256</b>"_s);
        QCOMPARE(view()->positionCombo()->currentIndex(), 0);

        QCOMPARE(position([&] { view()->preRadio()->click(); }), u"pre"_s);
        QVERIFY(s->positionPreSelected);
        QCOMPARE(position([&] { view()->positionCombo()->setCurrentIndex(2); }), u"post"_s);
        QCOMPARE(s->prePositionIndex, 2);
        QCOMPARE(view()->positionGroup()->label()->text(),
                 u"Trigger Position: <b>%1/256</b>"_s.arg(s->presetPosition(2)));

        QCOMPARE(position([&] { view()->positionBar()->setValue(10); }), QString());
        QCOMPARE(s->userPosition, 40);
        QCOMPARE(position([&] { view()->positionCombo()->setCurrentIndex(1); }), u"center"_s);
        QCOMPARE(s->triggerPosition, 128);

        QCOMPARE(position([&] { view()->userRadio()->click(); }), u"40"_s);
        QVERIFY(!s->positionPreSelected);
        QCOMPARE(s->triggerPosition, 40);
    }
    void refusedEditsReloadAndReport() {
        selectCore(u"bus_la"_s);
        TriggerSetting* s = OnaData::inst()->getTSModel();
        m_host->refuse = [](const QString& cmd) { return cmd.contains(u"-numtriggers"_s); };
        view()->triggerSpin()->setValue(9);
        QCOMPARE(m_host->commands, QStringList{u"ona_set_trigoptn -numtriggers 9"_s});
        QCOMPARE(s->numTriggers, 4);
        QCOMPARE(view()->triggerSpin()->value(), 4);
        QCOMPARE(m_gui->statusBar()->currentMessage(), u"refused by the test"_s);

        // An engine refusal of a cell edit: the engine's message is shown, the
        // cell keeps the engine's text.
        m_host->refuse = nullptr;
        m_gui->statusBar()->clearMessage();
        const QStringList sent = typeInto(view()->tuTable(), tuIndex("TU_addr", 0), u"TU_HS"_s);
        QCOMPARE(sent, QStringList{u"ona_rename_tu TU_addr TU_HS"_s});
        QCOMPARE(tuText("TU_addr", 0), u"TU_addr"_s);
        QVERIFY(!m_gui->statusBar()->currentMessage().isEmpty());
    }

private:
    // The demo project (plus an integer enumeration set) in a fresh folder,
    // opened in a shown embedded window.
    void openDemo() {
        const QString ona = demofixture::copyDemo(m_dir->path());
        const QString onl = QFileInfo(ona).absolutePath() + u"/demo.onl"_s;
        QJsonObject design = QJsonDocument::fromJson(readAll(onl)).object();
        QJsonArray sets = design.value(u"enum_token_sets"_s).toArray();
        sets.append(QJsonObject{{"name", "ONL_INT_level"},
                                {"bits", 3},
                                {"tokens", QJsonArray{QJsonObject{{"name", "LOW"}, {"value", "b'001"}}}}});
        design.insert(u"enum_token_sets"_s, sets);
        writeJson(onl, design);
        m_gui = demofixture::embeddedGui(m_host.get(), ona);
        QVERIFY(m_gui);
        m_gui->resize(1200, 800);
        m_gui->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_gui.get()));
        // The demo opens on its SERDES page; the user turns to the trigger page.
        m_gui->rightView()->tabWidget()->setCurrentIndex(0);
        QVERIFY(view()->tuModel());
        QCOMPARE(view()->tuModel(), OnaData::inst()->getTUModel());
        m_host->commands.clear();
    }
    void selectCore(const QString& name);
    TriggerView* view() const { return m_gui->rightView()->page<TriggerView>(); }
    QModelIndex tuIndex(const QString& name, int column) const;
    QModelIndex teIndex(const QString& name, int column) const;
    // Opens the cell's editor through the view, as a double click would.
    QWidget* openEditor(QTableView* table, const QModelIndex& index);
    // Types `text` into the cell and presses Enter; returns the commands sent.
    QStringList typeInto(QTableView* table, const QModelIndex& index, const QString& text);
    // Picks `text` from the cell's list; returns the commands sent.
    QStringList pick(QTableView* table, const QModelIndex& index, const QString& text);
    QString tuText(const QString& name, int column) const;
};

void TstTrigger::selectCore(const QString& name) {
    m_host->eval(u"ona_set_core -name %1"_s.arg(name));
    QCOMPARE(OnaData::inst()->getCoreName(OnaData::inst()->getCurrentCore()), name);
    QCOMPARE(view()->tuModel(), OnaData::inst()->getTUModel());
    QCOMPARE(view()->triggerSetting(), OnaData::inst()->getTSModel());
    m_host->commands.clear();
}

QModelIndex TstTrigger::tuIndex(const QString& name, int column) const {
    const TriggerUModel* model = view()->tuModel();
    return model->index(model->rowOf(name), column);
}

QModelIndex TstTrigger::teIndex(const QString& name, int column) const {
    const TriggerEModel* model = view()->teModel();
    return model->index(model->rowOf(name), column);
}

QString TstTrigger::tuText(const QString& name, int column) const {
    return view()->tuModel()->text(view()->tuModel()->rowOf(name), column);
}

QWidget* TstTrigger::openEditor(QTableView* table, const QModelIndex& index) {
    flushDeletes();
    table->setFocus();
    // With every edit trigger on, making the cell current opens its editor.
    auto find = [table]() -> QWidget* {
        QCoreApplication::processEvents();
        for (QWidget* w : table->viewport()->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            if (w->isVisible() && (qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w)))
                return w;
        return nullptr;
    };
    // Leaving the previous cell closes its editor (an unchanged commit
    // sends nothing); entering this one opens its editor.
    table->setCurrentIndex(QModelIndex());
    flushDeletes();
    table->setCurrentIndex(index);
    if (QWidget* editor = find())
        return editor;
    table->edit(index);
    return find();
}

QStringList TstTrigger::typeInto(QTableView* table, const QModelIndex& index, const QString& text) {
    m_host->commands.clear();
    auto* edit = qobject_cast<QLineEdit*>(openEditor(table, index));
    if (!edit) {
        QTest::qFail("no line edit", __FILE__, __LINE__);
        return {};
    }
    edit->selectAll();
    edit->del();
    // Typed, so a validator gets its say; insert() when it would refuse.
    QTest::keyClicks(edit, text);
    if (edit->text() != text && edit->validator() == nullptr)
        edit->setText(text);
    QTest::keyClick(edit, Qt::Key_Return);
    flushDeletes();
    return m_host->commands;
}

QStringList TstTrigger::pick(QTableView* table, const QModelIndex& index, const QString& text) {
    m_host->commands.clear();
    auto* combo = qobject_cast<QComboBox*>(openEditor(table, index));
    if (!combo) {
        QTest::qFail("no list editor", __FILE__, __LINE__);
        return {};
    }
    QSignalSpy closed(table->itemDelegateForIndex(index), &QAbstractItemDelegate::closeEditor);
    const int i = combo->findText(text);
    combo->setCurrentIndex(i);
    emit combo->activated(i);
    // A pick commits and closes the editor at once.
    if (closed.count() != 1)
        QTest::qFail("the list editor did not close on a pick", __FILE__, __LINE__);
    combo->hidePopup();
    flushDeletes();
    return m_host->commands;
}

QTEST_MAIN(TstTrigger)
#include "tst_trigger.moc"
