// The "Virtual LED Switch" and "User Memory" pages on the demo's controller
// core, through an embedded window and a recording host: the exact command
// strings, what the simulated device did with them, the panels' state, and
// the docking of a controller tab.

#include "demofixture.h"
#include "recordinghost.h"

#include "controller/ledpanel.h"
#include "controller/onapathitemeditor.h"
#include "controller/switchpanel.h"
#include "controller/usermemorytab.h"
#include "controller/usermemorywidget.h"
#include "controller/virtualledswitchtab.h"
#include "controller/virtualswitchitem.h"
#include "shell/onagui.h"
#include "shell/rightview.h"
#include "widgets/busyprogressdialog.h"
#include "widgets/hexvaluelineedit.h"
#include "widgets/statusledwidget.h"

#include "basgui/dialogseam.h"
#include "onadata.h"
#include "oncdata.h"
#include "simcontroller.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QProgressDialog>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSlider>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace vemo::toolona;
using vemo::basgui::ScriptedDialogs;

class TstController : public DemoTest {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void ledItemsPlacementAndLimits();
    void pollingOnceShowsTheValue();
    void continuousPollingStops();
    void switchesStagedAndDirect();
    void switchValueLimits();
    void tabDocksAndIgnoresEsc();
    void memoryFormCommands();
    void memoryFilesAndHostilePaths();

private:
    QStringList commandsSince(int from) const { return m_host->commands.mid(from); }
    VirtualLEDSwitchTab* ledTab() const { return m_gui->rightView()->page<vemo::toolona::VirtualLEDSwitchTab>(); }
    UserMemoryWidget* memory() const {
        return m_gui->rightView()->page<vemo::toolona::UserMemoryTab>()->memoryWidget();
    }
    static QStringList names(const QString& prefix, int n);
};

QStringList TstController::names(const QString& prefix, int n) {
    QStringList out;
    for (int i = 0; i < n; ++i)
        out << prefix + QString::number(i);
    return out;
}

void TstController::init() {
    QVERIFY(openDemo(QStringLiteral("board_ctrl")));
    auto dev = std::dynamic_pointer_cast<SimController>(ONCData::inst()->device());
    QVERIFY(dev);
    dev->setClock([] { return qint64(0); });
}

void TstController::cleanup() {
    closeDemo();
    QVERIFY(!ONCData::inst()->isPolling());
    QVERIFY(!QApplication::overrideCursor());
}

void TstController::ledItemsPlacementAndLimits() {
    QTabWidget* tabs = m_gui->rightView()->tabWidget();
    QVERIFY(tabs->isTabEnabled(tabs->indexOf(ledTab())));
    QVERIFY(tabs->isTabEnabled(tabs->indexOf(m_gui->rightView()->page<vemo::toolona::UserMemoryTab>())));
    // Building and filling the pages sent nothing.
    QCOMPARE(m_host->commands, QStringList());
    QCOMPARE(ONCData::inst()->getPollingSpeed(), 0);
    QCOMPARE(ledTab()->ledPanel()->groupBox()->title(), QStringLiteral("Virtual LED (led_bank)"));
    QCOMPARE(ledTab()->ledPanel()->items().size(), 8);

    LEDPanel panel(m_gui.get());
    VirtualLEDData d;
    d.defined = d.enabled = true;
    d.names = names(QStringLiteral("l"), 5);
    panel.setData(d);
    QGridLayout* grid = panel.itemGrid();
    const auto cell = [grid](QWidget* w) {
        int r, c, rs, cs;
        grid->getItemPosition(grid->indexOf(w), &r, &c, &rs, &cs);
        return QPoint(c, r);
    };
    for (int i = 0; i < 5; ++i)
        QCOMPARE(cell(panel.items().at(i)), QPoint(4 - i, 0));
    d.names = names(QStringLiteral("l"), 12);
    panel.setData(d);
    QCOMPARE(cell(panel.items().at(0)), QPoint(7, 0));
    QCOMPARE(cell(panel.items().at(7)), QPoint(0, 0));
    QCOMPARE(cell(panel.items().at(8)), QPoint(7, 1));
    QCOMPARE(cell(panel.items().at(11)), QPoint(4, 1));
    QVERIFY(!panel.isHidden());
    QVERIFY(panel.noteLabel()->isHidden());

    // The value is 32 bits: forty names show thirty-two items and say so,
    // and the top bit lights the last of them.
    d.names = names(QStringLiteral("l"), 40);
    panel.setData(d);
    QCOMPARE(panel.items().size(), 32);
    QVERIFY(!panel.noteLabel()->isHidden());
    QVERIFY(panel.noteLabel()->text().contains(QStringLiteral("32 of 40")));
    panel.showLedValue(QStringLiteral("80000001"));
    QVERIFY(panel.items().at(31)->isOn() && panel.items().at(0)->isOn() && !panel.items().at(30)->isOn());

    // Enabled without names, or named but switched off: no empty panel.
    d.names.clear();
    panel.setData(d);
    QVERIFY(panel.isHidden());
    d.names = names(QStringLiteral("l"), 3);
    d.enabled = false;
    panel.setData(d);
    QVERIFY(panel.isHidden());
    QVERIFY(panel.items().isEmpty());
    d.enabled = true;
    d.defined = false;
    panel.setData(d);
    QVERIFY(panel.isHidden());
}

void TstController::pollingOnceShowsTheValue() {
    LEDPanel* leds = ledTab()->ledPanel();
    m_host->eval(QStringLiteral("ona_run_controller -write_switch 0xA5"));
    m_host->commands.clear();
    leds->pollingOnceButton()->click();
    QCOMPARE(m_host->commands, QStringList{QStringLiteral("ona_run_controller -read_led")});
    QCOMPARE(leds->dataLabel()->text(), QStringLiteral("0xA5"));
    QList<int> on;
    for (int i = 0; i < leds->items().size(); ++i)
        if (leds->items().at(i)->isOn())
            on << i;
    QCOMPARE(on, (QList<int>{0, 2, 5, 7}));

    // A reply that already carries the prefix is shown with one "0x".
    leds->showLedValue(QStringLiteral("0x3C"));
    QCOMPARE(leds->dataLabel()->text(), QStringLiteral("0x3C"));
    QVERIFY(leds->items().at(2)->isOn() && !leds->items().at(0)->isOn());

    // Failed, empty and "ERROR" replies change nothing; the controls come back.
    for (auto f : {ONCData::Failed, ONCData::ErrorText}) {
        ONCData::inst()->clearFailures();
        ONCData::inst()->injectFailure(QStringLiteral("ona_run_controller -read_led"), f);
        leds->pollingOnceButton()->click();
        QCOMPARE(leds->dataLabel()->text(), QStringLiteral("0x3C"));
        QVERIFY(leds->pollingOnceButton()->isEnabled() && leds->pollingButton()->isEnabled() &&
                leds->speedSlider()->isEnabled());
        QVERIFY(!QApplication::overrideCursor());
    }
}

void TstController::continuousPollingStops() {
    LEDPanel* leds = ledTab()->ledPanel();
    auto dev = std::dynamic_pointer_cast<SimController>(ONCData::inst()->device());
    auto now = std::make_shared<std::atomic<qint64>>(0);
    dev->setClock([now] { return now->load(); });
    leds->speedSlider()->setValue(5);
    QCOMPARE(ONCData::inst()->getPollingSpeed(), 5);
    leds->pollingButton()->click();
    QVERIFY(leds->isPolling());
    QCOMPARE(leds->pollingButton()->text(), QStringLiteral("Stop\nPolling"));
    QVERIFY(!leds->pollingOnceButton()->isEnabled());
    QTRY_COMPARE(leds->dataLabel()->text(), QStringLiteral("0x00"));
    *now = 250 * 5; // the counter moves: the LEDs follow while polling
    QTRY_COMPARE(leds->dataLabel()->text(), QStringLiteral("0x05"));
    // Direct Mode: flipping switch 7 lights LED 7 at the next poll.
    SwitchPanel* sw = ledTab()->switchPanel();
    sw->directModeBox()->setChecked(true);
    QTest::mouseClick(sw->items().at(7), Qt::LeftButton, {}, QPoint(48, 20));
    QTRY_COMPARE(leds->dataLabel()->text(), QStringLiteral("0x85"));

    leds->pollingButton()->click();
    QVERIFY(!leds->isPolling());
    QVERIFY(!ONCData::inst()->isPolling());
    QCOMPARE(ONCData::inst()->getPollingSpeed(), 0);
    QVERIFY(leds->pollingOnceButton()->isEnabled());

    // Closing the project or the window while polling leaves no thread.
    leds->pollingButton()->click();
    QVERIFY(ONCData::inst()->isPolling());
    ScriptedDialogs dialogs; // "save the changes?" (the core choice): No
    dialogs.buttons.enqueue(QMessageBox::No);
    m_host->eval(QStringLiteral("ona_close_project"));
    QVERIFY(!ONCData::inst()->isPolling());
    // The panel shows it stopped, so one click starts polling again.
    QVERIFY(!leds->isPolling());
    QCOMPARE(leds->pollingButton()->text(), QStringLiteral("Start\nPolling"));
    QVERIFY(leds->pollingOnceButton()->isEnabled());
}

void TstController::switchesStagedAndDirect() {
    SwitchPanel* sw = ledTab()->switchPanel();
    QCOMPARE(sw->items().size(), 8);
    // Typing F checks switches 0-3 and sends nothing; Apply writes f.
    sw->dataEdit()->clear();
    QTest::keyClicks(sw->dataEdit(), QStringLiteral("F"));
    for (int i = 0; i < 8; ++i)
        QCOMPARE(sw->items().at(i)->isChecked(), i < 4);
    QCOMPARE(m_host->commands, QStringList());
    sw->applyButton()->click();
    QCOMPARE(m_host->commands, QStringList{QStringLiteral("ona_run_controller -write_switch 0xf")});
    QCOMPARE(m_host->eval(QStringLiteral("ona_run_controller -read_switch")), QStringLiteral("0F"));

    // None checked: 0.
    sw->dataEdit()->clear();
    QTest::keyClicks(sw->dataEdit(), QStringLiteral("0"));
    m_host->commands.clear();
    sw->applyButton()->click();
    QCOMPARE(m_host->commands, QStringList{QStringLiteral("ona_run_controller -write_switch 0x0")});

    // Reset reads the device: "0x3" shows 3 and checks 0 and 1, writing nothing.
    m_host->eval(QStringLiteral("ona_run_controller -write_switch 0x3"));
    m_host->commands.clear();
    sw->resetButton()->click();
    QCOMPARE(m_host->commands, QStringList{QStringLiteral("ona_run_controller -read_switch")});
    sw->setSwitchValue(QStringLiteral("0x3"), true);
    QCOMPARE(sw->dataEdit()->text(), QStringLiteral("3"));
    QVERIFY(sw->items().at(0)->isChecked() && sw->items().at(1)->isChecked() && !sw->items().at(2)->isChecked());
    QCOMPARE(m_host->commands.size(), 1);

    // A click on the name below the switch does not toggle it.
    QTest::mouseClick(sw->items().at(5), Qt::LeftButton, {}, QPoint(48, 60));
    QVERIFY(!sw->items().at(5)->isChecked());
    QCOMPARE(m_host->commands.size(), 1);

    // Direct Mode: clicking switch 2 (the others off) writes 4 at once.
    sw->setSwitchValue(QStringLiteral("0"), true);
    sw->directModeBox()->setChecked(true);
    QVERIFY(!sw->applyButton()->isEnabled() && !sw->resetButton()->isEnabled() && !sw->dataEdit()->isEnabled());
    m_host->commands.clear();
    QTest::mouseClick(sw->items().at(2), Qt::LeftButton, {}, QPoint(48, 20));
    QCOMPARE(m_host->commands, QStringList{QStringLiteral("ona_run_controller -write_switch 0x4")});
    QCOMPARE(sw->dataEdit()->text(), QStringLiteral("4"));
    QVERIFY(!QApplication::overrideCursor());

    // A switch write from a script reaches the panel through the engine.
    m_host->eval(QStringLiteral("ona_run_controller -write_switch 0x81"));
    QCOMPARE(sw->dataEdit()->text(), QStringLiteral("81"));
    QVERIFY(sw->items().at(7)->isChecked() && sw->items().at(0)->isChecked());
}

void TstController::switchValueLimits() {
    SwitchPanel panel(m_gui.get());
    VirtualSwitchData d;
    d.defined = d.enabled = true;
    d.names = names(QStringLiteral("s"), 6);
    panel.setData(d);
    // Six switches take two digits; nine digits cannot be typed at all.
    QCOMPARE(panel.dataEdit()->maxLength(), 2);
    panel.dataEdit()->clear();
    QTest::keyClicks(panel.dataEdit(), QStringLiteral("123456789"));
    QCOMPARE(panel.dataEdit()->text(), QStringLiteral("12"));
    QVERIFY(panel.typedValueFits());
    // 0xFF has bits above the six switches: the items keep their state and
    // Apply writes nothing.
    panel.dataEdit()->clear();
    QTest::keyClicks(panel.dataEdit(), QStringLiteral("7F"));
    QVERIFY(!panel.typedValueFits());
    QCOMPARE(panel.switchValue(), QStringLiteral("7"));
    m_host->commands.clear();
    panel.applyButton()->click();
    QCOMPARE(m_host->commands, QStringList());

    // Thirty-two switches: all 32 bits, eight digits.
    d.names = names(QStringLiteral("s"), 33);
    panel.setData(d);
    QCOMPARE(panel.items().size(), 32);
    QCOMPARE(panel.dataEdit()->maxLength(), 8);
    QVERIFY(!panel.noteLabel()->isHidden());
    panel.setSwitchValue(QStringLiteral("0xFFFFFFFF"), true);
    QCOMPARE(panel.switchValue(), QStringLiteral("ffffffff"));
}

void TstController::tabDocksAndIgnoresEsc() {
    VirtualLEDSwitchTab* tab = ledTab();
    QTabWidget* tabs = m_gui->rightView()->tabWidget();
    tab->dockButton()->click();
    QVERIFY(!tab->isDocked());
    QVERIFY(tab->isWindow());
    QVERIFY(tab->isVisible());
    QCOMPARE(tabs->indexOf(tab), -1);
    // The window is wide enough for every control: no horizontal scrolling.
    auto* scroll = tab->findChild<QScrollArea*>();
    QTRY_VERIFY(scroll->viewport()->width() > 0);
    QVERIFY2(scroll->viewport()->width() >= scroll->widget()->minimumSizeHint().width(),
             qPrintable(QStringLiteral("%1 < %2")
                            .arg(scroll->viewport()->width())
                            .arg(scroll->widget()->minimumSizeHint().width())));
    QVERIFY(!scroll->horizontalScrollBar()->isVisible());
    // Esc in the floating tab does not hide it.
    QTest::keyClick(tab, Qt::Key_Escape);
    QVERIFY(tab->isVisible());
    QVERIFY(!tab->isDocked());
    // Closing the window puts it back.
    tab->close();
    QVERIFY(tab->isDocked());
    QCOMPARE(tabs->indexOf(tab), 0);

    // Shutdown closes it for good.
    m_gui->rightView()->closeControllerTabs();
    QVERIFY(tab->isClosingForGood());
}

void TstController::memoryFormCommands() {
    ScriptedDialogs dialogs;
    UserMemoryWidget* mem = memory();
    QCOMPARE(mem->groupBox()->title(), QStringLiteral("User Memory (0x0000 ~ 0x03FF)"));
    QCOMPARE(mem->writeAddressEdit()->text(), QStringLiteral("0000"));
    UserRegisterData r = mem->data();
    r.startAddress = QStringLiteral("0x0400");
    mem->setData(r);
    QCOMPARE(mem->readAddressEdit()->text(), QStringLiteral("0400"));
    r.startAddress = QStringLiteral("0400");
    mem->setData(r);
    QCOMPARE(mem->writeAddressEdit()->text(), QStringLiteral("0400"));
    mem->setData(OnaData::inst()->getCorePtr(-1)->getUserRegisterData());

    // The long commands run under the busy dialog and cursor.
    bool busyShown = false;
    m_host->refuse = [&busyShown](const QString& cmd) {
        if (cmd.startsWith(QLatin1String("ona_run_controller -init_mem")))
            busyShown = BusyProgressDialog::current() && BusyProgressDialog::current()->isVisible() &&
                        QApplication::overrideCursor();
        return false;
    };
    mem->defaultDataEdit()->setText(QStringLiteral("5a"));
    mem->initButton()->click();
    QVERIFY(busyShown);
    QVERIFY(!BusyProgressDialog::current());
    mem->writeAddressEdit()->setText(QStringLiteral("10"));
    mem->writeDataEdit()->setText(QStringLiteral("1f"));
    mem->writeButton()->click();
    mem->readAddressEdit()->setText(QStringLiteral("10"));
    mem->readButton()->click();
    QCOMPARE(m_host->commands, (QStringList{QStringLiteral("ona_run_controller -init_mem 0x5a"),
                                            QStringLiteral("ona_write_controller -addr 0x10 -data 0x1f"),
                                            QStringLiteral("ona_read_controller -addr 0x10")}));
    QCOMPARE(mem->readDataEdit()->text(), QStringLiteral("0x0000001F"));
    QCOMPARE(dialogs.asked.size(), 0);

    // An empty Read Address still sends the command; the refusal warns.
    mem->readAddressEdit()->clear();
    mem->readButton()->click();
    QCOMPARE(m_host->commands.last(), QStringLiteral("ona_read_controller -addr 0x"));
    QCOMPARE(dialogs.asked.size(), 1);
    QCOMPARE(dialogs.asked.last().text, QStringLiteral("Invalid address, please check usage."));
    QCOMPARE(mem->readDataEdit()->text(), QStringLiteral("0x0000001F"));
    mem->writeAddressEdit()->setText(QStringLiteral("400"));
    mem->writeButton()->click();
    QCOMPARE(dialogs.asked.last().text, QStringLiteral("Invalid address or data, please check usage."));
    // An "ERROR" reply leaves Read Data as it was.
    ONCData::inst()->injectFailure(QStringLiteral("ona_read_controller"), ONCData::ErrorText);
    mem->readAddressEdit()->setText(QStringLiteral("0"));
    mem->readButton()->click();
    QCOMPARE(mem->readDataEdit()->text(), QStringLiteral("0x0000001F"));
    QCOMPARE(dialogs.asked.size(), 2);
    // Initialize's refusal is shown with the engine's reason.
    mem->defaultDataEdit()->setText(QStringLiteral("1ffffffff"));
    QCOMPARE(mem->defaultDataEdit()->text(), QStringLiteral("1ffffffff").left(8));
    ONCData::inst()->injectFailure(QStringLiteral("ona_run_controller -init_mem"), ONCData::Failed);
    mem->initButton()->click();
    QCOMPARE(dialogs.asked.size(), 3);
    QCOMPARE(dialogs.asked.last().text, QStringLiteral("ona_run_controller: injected failure"));
    QVERIFY(!QApplication::overrideCursor());
    m_host->refuse = nullptr;
}

void TstController::memoryFilesAndHostilePaths() {
    ScriptedDialogs dialogs;
    UserMemoryWidget* mem = memory();
    QVERIFY(!mem->dumpButton()->isEnabled() && !mem->loadButton()->isEnabled());
    m_host->eval(QStringLiteral("ona_write_controller -addr 0x0 -data 0xCAFE"));
    m_host->commands.clear();

    // Default settings: the offset goes with its prefix, no range.
    QDir::setCurrent(m_dir->path());
    mem->dumpPathEditor()->setText(QStringLiteral("a.mem"));
    QVERIFY(mem->dumpButton()->isEnabled());
    mem->dumpButton()->click();
    QCOMPARE(m_host->commands.last(), QStringLiteral("ona_run_controller -dump_memfile \"a.mem\" -offset 0x00000000"));
    QCOMPARE(ONCData::inst()->getMemWidth(), 32);
    QCOMPARE(ONCData::inst()->getMemDepth(), 1024);
    mem->offsetEdit()->setText(QStringLiteral("10"));
    mem->rangeEdit()->setText(QStringLiteral("4"));
    mem->dumpButton()->click();
    QCOMPARE(m_host->commands.last(),
             QStringLiteral("ona_run_controller -dump_memfile \"a.mem\" -offset 0x10 -range 4"));

    // A browsed path with a blank, quote, bracket and dollar reaches the
    // device intact, and loads back.
    const QString hostile = m_dir->path() + QStringLiteral("/my dump \"[exit 3]\" $x.mem");
    dialogs.files.enqueue(hostile);
    mem->dumpPathEditor()->browse();
    QCOMPARE(dialogs.asked.last().kind, QStringLiteral("save"));
    QCOMPARE(dialogs.asked.last().caption, QStringLiteral("Dump to File"));
    QCOMPARE(mem->dumpPathEditor()->text(), hostile);
    mem->offsetEdit()->clear();
    mem->rangeEdit()->clear();
    mem->dumpButton()->click();
    QVERIFY2(QFileInfo::exists(hostile), qPrintable(m_host->commands.last()));
    QCOMPARE(dialogs.asked.size(), 1); // no warning
    m_host->eval(QStringLiteral("ona_run_controller -init_mem 0x0"));
    dialogs.files.enqueue(hostile);
    mem->loadPathEditor()->browse();
    QCOMPARE(dialogs.asked.last().caption, QStringLiteral("Load from File"));
    mem->loadButton()->click();
    QCOMPARE(m_host->eval(QStringLiteral("ona_read_controller -addr 0x0")), QStringLiteral("0000CAFE"));
    QCOMPARE(dialogs.asked.size(), 2);

    // A file the device refuses is reported with its line; a missing one
    // and an empty name are caught before any command.
    const QString bad = m_dir->path() + QStringLiteral("/bad.mem");
    QFile f(bad);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("00\nzz\n");
    f.close();
    mem->loadPathEditor()->setText(bad);
    mem->loadButton()->click();
    QVERIFY2(dialogs.asked.last().text.contains(QStringLiteral("bad.mem:2:")), qPrintable(dialogs.asked.last().text));
    const int sent = int(m_host->commands.size());
    mem->loadPathEditor()->setText(m_dir->path() + QStringLiteral("/none.mem"));
    mem->loadButton()->click();
    QCOMPARE(dialogs.asked.last().text, QStringLiteral("'%1/none.mem' doesn't exist.").arg(m_dir->path()));
    QCOMPARE(m_host->commands.size(), sent);
    mem->dumpPathEditor()->setText(QString());
    QVERIFY(!mem->dumpButton()->isEnabled());
    mem->handleDumpButtonClicked();
    QCOMPARE(dialogs.asked.last().text, QStringLiteral("Memory file name cannot be empty."));
    QCOMPARE(m_host->commands.size(), sent);
}

QTEST_MAIN(TstController)
#include "tst_controller.moc"
