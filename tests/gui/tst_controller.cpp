// The "Virtual LED Switch", "User Memory", "User Control Register" and
// "User Status Register" pages on the demo's controller core, through an
// embedded window and a recording host: the exact command strings, what the
// simulated device did with them (values typed in any radix included), the
// panels' state, editors, register files, the signals dialog and the docking
// of a controller tab.

#include "demofixture.h"
#include "guitest.h"
#include "recordinghost.h"

#include "controller/controlregisterwidget.h"
#include "controller/ledpanel.h"
#include "controller/onapathitemeditor.h"
#include "controller/registertab.h"
#include "controller/statusregisterwidget.h"
#include "controller/switchpanel.h"
#include "controller/usermemorytab.h"
#include "controller/usermemorywidget.h"
#include "controller/userregisteritemdelegate.h"
#include "controller/userregistersignaldlg.h"
#include "controller/virtualledswitchtab.h"
#include "controller/virtualswitchitem.h"
#include "shell/onagui.h"
#include "shell/rightview.h"
#include "widgets/busyprogressdialog.h"
#include "widgets/fitmark.h"
#include "widgets/hexvaluelineedit.h"
#include "widgets/statusledwidget.h"

#include "basgui/dialogseam.h"
#include "onadata.h"
#include "oncdata.h"
#include "simcontroller.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

using namespace vemo::toolona;
using vemo::basgui::ScriptedDialogs;
using W = UserRegisterWidget;
using namespace Qt::StringLiterals;

class TstController : public DemoTest {
    Q_OBJECT
private slots:
    void init() {
        QVERIFY(openDemo(u"board_ctrl"_s));
        auto dev = std::dynamic_pointer_cast<SimController>(ONCData::inst()->device());
        QVERIFY(dev);
        dev->setClock([] { return qint64(0); });
    }
    void cleanup() {
        closeDemo();
        QVERIFY(!ONCData::inst()->isPolling() && !QApplication::overrideCursor());
    }
    void ledItemsPlacementAndLimits() {
        LEDPanel panel(m_gui.get());
        VirtualLEDData d;
        d.defined = d.enabled = true;
        // Eight to a row, bit 0 on the right.
        d.names = names(u"l"_s, 12);
        panel.setData(d);
        QGridLayout* grid = panel.itemGrid();
        const auto cell = [grid](QWidget* w) {
            int r, c, rs, cs;
            grid->getItemPosition(grid->indexOf(w), &r, &c, &rs, &cs);
            return QPoint(c, r);
        };
        QCOMPARE(cell(panel.items().at(0)), QPoint(7, 0));
        QCOMPARE(cell(panel.items().at(11)), QPoint(4, 1));

        // The value is 32 bits: forty names show thirty-two items and say so,
        // and the top bit lights the last of them.
        d.names = names(u"l"_s, 40);
        panel.setData(d);
        QCOMPARE(panel.items().size(), 32);
        QVERIFY(!panel.noteLabel()->isHidden() && panel.noteLabel()->text().contains(u"32 of 40"_s));
        panel.showLedValue(u"80000001"_s);
        QVERIFY(panel.items().at(31)->isOn() && panel.items().at(0)->isOn() && !panel.items().at(30)->isOn());

        // Enabled without names, or named but switched off: no empty panel.
        d.names.clear();
        panel.setData(d);
        QVERIFY(panel.isHidden());
        d.names = names(u"l"_s, 3);
        d.enabled = false;
        panel.setData(d);
        QVERIFY(panel.isHidden() && panel.items().isEmpty());
    }
    void pollingOnceShowsTheValue() {
        LEDPanel* leds = ledTab()->ledPanel();
        m_host->eval(u"ona_run_controller -write_switch 0xA5"_s);
        QCOMPARE(m_host->sent([&] { leds->pollingOnceButton()->click(); }), QStringList{u"ona_run_controller -read_led"_s});
        QCOMPARE(leds->dataLabel()->text(), u"0xA5"_s);
        QList<int> on;
        for (int i = 0; i < leds->items().size(); ++i)
            if (leds->items().at(i)->isOn())
                on << i;
        QCOMPARE(on, (QList<int>{0, 2, 5, 7}));

        // A reply that already carries the prefix is shown with one "0x".
        leds->showLedValue(u"0x3C"_s);
        QCOMPARE(leds->dataLabel()->text(), u"0x3C"_s);
        QVERIFY(leds->items().at(2)->isOn() && !leds->items().at(0)->isOn());

        // Failed, empty and "ERROR" replies change nothing; the controls come back.
        for (auto f : {ONCData::Failed, ONCData::ErrorText}) {
            ONCData::inst()->clearFailures();
            ONCData::inst()->injectFailure(u"ona_run_controller -read_led"_s, f);
            leds->pollingOnceButton()->click();
            QCOMPARE(leds->dataLabel()->text(), u"0x3C"_s);
            QVERIFY(leds->pollingOnceButton()->isEnabled() && leds->pollingButton()->isEnabled() &&
                    leds->speedSlider()->isEnabled());
            QVERIFY(!QApplication::overrideCursor());
        }
    }
    void continuousPollingStops() {
        LEDPanel* leds = ledTab()->ledPanel();
        auto dev = std::dynamic_pointer_cast<SimController>(ONCData::inst()->device());
        auto now = std::make_shared<std::atomic<qint64>>(0);
        dev->setClock([now] { return now->load(); });
        leds->speedSlider()->setValue(5);
        QCOMPARE(ONCData::inst()->getPollingSpeed(), 5);
        leds->pollingButton()->click();
        QVERIFY(leds->isPolling() && !leds->pollingOnceButton()->isEnabled());
        QTRY_COMPARE(leds->dataLabel()->text(), u"0x00"_s);
        *now = 250 * 5; // the counter moves: the LEDs follow while polling
        QTRY_COMPARE(leds->dataLabel()->text(), u"0x05"_s);
        // Direct Mode: flipping switch 7 lights LED 7 at the next poll.
        SwitchPanel* sw = ledTab()->switchPanel();
        sw->directModeBox()->setChecked(true);
        QTest::mouseClick(sw->items().at(7), Qt::LeftButton, {}, QPoint(48, 20));
        QTRY_COMPARE(leds->dataLabel()->text(), u"0x85"_s);

        leds->pollingButton()->click();
        QVERIFY(!leds->isPolling() && !ONCData::inst()->isPolling());
        QCOMPARE(ONCData::inst()->getPollingSpeed(), 0);
        QVERIFY(leds->pollingOnceButton()->isEnabled());

        // Closing the project or the window while polling leaves no thread.
        leds->pollingButton()->click();
        QVERIFY(ONCData::inst()->isPolling());
        ScriptedDialogs dialogs; // "save the changes?" (the core choice): No
        dialogs.buttons.enqueue(QMessageBox::No);
        m_host->eval(u"ona_close_project"_s);
        QVERIFY(!ONCData::inst()->isPolling());
        // The panel shows it stopped, so one click starts polling again.
        QVERIFY(!leds->isPolling());
        QCOMPARE(leds->pollingButton()->text(), u"Start\nPolling"_s);
        QVERIFY(leds->pollingOnceButton()->isEnabled());
    }
    void switchesStagedAndDirect() {
        SwitchPanel* sw = ledTab()->switchPanel();
        QCOMPARE(sw->items().size(), 8);
        // Typing F checks switches 0-3 and sends nothing; Apply writes f.
        sw->dataEdit()->clear();
        QTest::keyClicks(sw->dataEdit(), u"F"_s);
        for (int i = 0; i < 8; ++i)
            QCOMPARE(sw->items().at(i)->isChecked(), i < 4);
        QCOMPARE(m_host->commands, QStringList());
        sw->applyButton()->click();
        QCOMPARE(m_host->commands, QStringList{u"ona_run_controller -write_switch 0xf"_s});
        QCOMPARE(m_host->eval(u"ona_run_controller -read_switch"_s), u"0F"_s);

        // Reset reads the device: "0x3" shows 3 and checks 0 and 1, writing nothing.
        m_host->eval(u"ona_run_controller -write_switch 0x3"_s);
        QCOMPARE(m_host->sent([&] { sw->resetButton()->click(); }), QStringList{u"ona_run_controller -read_switch"_s});
        sw->setSwitchValue(u"0x3"_s, true);
        QCOMPARE(sw->dataEdit()->text(), u"3"_s);
        QVERIFY(sw->items().at(0)->isChecked() && sw->items().at(1)->isChecked() && !sw->items().at(2)->isChecked());
        QCOMPARE(m_host->commands.size(), 1);

        // A click on the name below the switch does not toggle it.
        QTest::mouseClick(sw->items().at(5), Qt::LeftButton, {}, QPoint(48, 60));
        QVERIFY(!sw->items().at(5)->isChecked());
        QCOMPARE(m_host->commands.size(), 1);

        // Direct Mode: clicking switch 2 (the others off) writes 4 at once.
        sw->setSwitchValue(u"0"_s, true);
        sw->directModeBox()->setChecked(true);
        QVERIFY(!sw->applyButton()->isEnabled() && !sw->resetButton()->isEnabled() && !sw->dataEdit()->isEnabled());
        QCOMPARE(m_host->sent([&] { QTest::mouseClick(sw->items().at(2), Qt::LeftButton, {}, QPoint(48, 20)); }), QStringList{u"ona_run_controller -write_switch 0x4"_s});
        QCOMPARE(sw->dataEdit()->text(), u"4"_s);
        QVERIFY(!QApplication::overrideCursor());

        // A switch write from a script reaches the panel through the engine.
        m_host->eval(u"ona_run_controller -write_switch 0x81"_s);
        QCOMPARE(sw->dataEdit()->text(), u"81"_s);
        QVERIFY(sw->items().at(7)->isChecked() && sw->items().at(0)->isChecked());
    }
    void switchValueLimits() {
        SwitchPanel panel(m_gui.get());
        VirtualSwitchData d;
        d.defined = d.enabled = true;
        d.names = names(u"s"_s, 6);
        panel.setData(d);
        // Nine digits for six switches stay as typed (never cut to other
        // switches), marked as not fitting.
        panel.dataEdit()->clear();
        QTest::keyClicks(panel.dataEdit(), u"123456789"_s);
        QCOMPARE(panel.dataEdit()->text(), u"123456789"_s);
        QVERIFY(!panel.typedValueFits());
        // 0xFF has bits above the six switches: the items keep their state and
        // Apply writes nothing.
        panel.dataEdit()->clear();
        QTest::keyClicks(panel.dataEdit(), u"7F"_s);
        QVERIFY(!panel.typedValueFits());
        QCOMPARE(panel.switchValue(), u"7"_s);
        QVERIFY(m_host->sent([&] { panel.applyButton()->click(); }).isEmpty());
    }
    void tabDocksAndIgnoresEsc() {
        VirtualLEDSwitchTab* tab = ledTab();
        QTabWidget* tabs = m_gui->rightView()->tabWidget();
        tab->dockButton()->click();
        QVERIFY(tab->isWindow() && tab->isVisible());
        QCOMPARE(tabs->indexOf(tab), -1);
        // The window is wide enough for every control: no horizontal scrolling.
        auto* scroll = tab->findChild<QScrollArea*>();
        QTRY_VERIFY(scroll->viewport()->width() > 0);
        QVERIFY(scroll->viewport()->width() >= scroll->widget()->minimumSizeHint().width());
        // Esc in the floating tab does not hide it.
        QTest::keyClick(tab, Qt::Key_Escape);
        QVERIFY(tab->isVisible() && !tab->isDocked());
        // Closing the window puts it back.
        tab->close();
        QVERIFY(tab->isDocked());
        QCOMPARE(tabs->indexOf(tab), 0);

        // Shutdown closes it for good.
        m_gui->rightView()->closeControllerTabs();
        QVERIFY(tab->isClosingForGood());
    }
    void memoryFormCommands() {
        ScriptedDialogs dialogs;
        UserMemoryWidget* mem = memory();
        QCOMPARE(mem->writeAddressEdit()->text(), u"0000"_s);

        // The long commands run under the busy dialog and cursor.
        bool busyShown = false;
        m_host->refuse = [&busyShown](const QString& cmd) {
            if (cmd.startsWith(QLatin1String("ona_run_controller -init_mem")))
                busyShown = BusyProgressDialog::current() && BusyProgressDialog::current()->isVisible() &&
                            QApplication::overrideCursor();
            return false;
        };
        mem->defaultDataEdit()->setText(u"5a"_s);
        mem->initButton()->click();
        QVERIFY(busyShown && !BusyProgressDialog::current());
        mem->writeAddressEdit()->setText(u"10"_s);
        mem->writeDataEdit()->setText(u"1f"_s);
        mem->writeButton()->click();
        mem->readAddressEdit()->setText(u"10"_s);
        mem->readButton()->click();
        QCOMPARE(m_host->commands,
                 (QStringList{u"ona_run_controller -init_mem 0x5a"_s, u"ona_write_controller -addr 0x10 -data 0x1f"_s,
                              u"ona_read_controller -addr 0x10"_s}));
        QCOMPARE(mem->readDataEdit()->text(), u"0x0000001F"_s);
        QCOMPARE(dialogs.asked.size(), 0);

        // An empty Read Address still sends the command; the refusal warns.
        mem->readAddressEdit()->clear();
        mem->readButton()->click();
        QCOMPARE(m_host->commands.last(), u"ona_read_controller -addr 0x"_s);
        QCOMPARE(dialogs.asked.size(), 1);
        QCOMPARE(dialogs.asked.last().text, u"Invalid address, please check usage."_s);
        QCOMPARE(mem->readDataEdit()->text(), u"0x0000001F"_s);
        mem->writeAddressEdit()->setText(u"400"_s);
        mem->writeButton()->click();
        QCOMPARE(dialogs.asked.last().text, u"Invalid address or data, please check usage."_s);
        // An "ERROR" reply leaves Read Data as it was.
        ONCData::inst()->injectFailure(u"ona_read_controller"_s, ONCData::ErrorText);
        mem->readAddressEdit()->setText(u"0"_s);
        mem->readButton()->click();
        QCOMPARE(mem->readDataEdit()->text(), u"0x0000001F"_s);
        QCOMPARE(dialogs.asked.size(), 2);
        // A word or address wider than 32 bits stays as typed, marked, and
        // is refused before anything is sent.
        const int sent = int(m_host->commands.size());
        mem->defaultDataEdit()->setText(u"1ffffffff"_s);
        QCOMPARE(mem->defaultDataEdit()->text(), u"1ffffffff"_s);
        mem->initButton()->click();
        mem->readAddressEdit()->setText(u"000123456789"_s);
        mem->readButton()->click();
        QCOMPARE(m_host->commands.size(), sent);
        QCOMPARE(dialogs.asked.size(), 4);
        QVERIFY(dialogs.asked.at(2).text.startsWith(u"Default Data 0x1ffffffff does not fit in 32 bits"_s));
        QVERIFY(!unfitReason(mem->readAddressEdit()).isEmpty());
        mem->readAddressEdit()->setText(u"00012345678"_s); // leading zeros do not count
        QVERIFY(unfitReason(mem->readAddressEdit()).isEmpty());
        // Initialize's refusal is shown with the engine's reason.
        mem->defaultDataEdit()->setText(u"ffffffff"_s);
        ONCData::inst()->injectFailure(u"ona_run_controller -init_mem"_s, ONCData::Failed);
        mem->initButton()->click();
        QCOMPARE(dialogs.asked.size(), 5);
        QCOMPARE(dialogs.asked.last().text, u"ona_run_controller: injected failure"_s);
        QVERIFY(!QApplication::overrideCursor());
        m_host->refuse = nullptr;
    }
    void memoryFilesAndHostilePaths() {
        ScriptedDialogs dialogs;
        UserMemoryWidget* mem = memory();
        QVERIFY(!mem->dumpButton()->isEnabled() && !mem->loadButton()->isEnabled());
        m_host->eval(u"ona_write_controller -addr 0x0 -data 0xCAFE"_s);
        m_host->commands.clear();

        // A path enables Dump (its command is in the command table).
        mem->dumpPathEditor()->setText(u"a.mem"_s);
        QVERIFY(mem->dumpButton()->isEnabled());

        // A browsed path with a blank, quote, bracket and dollar reaches the
        // device intact, and loads back.
        const QString hostile = m_dir->path() + u"/my dump \"[exit 3]\" $x.mem"_s;
        dialogs.files.enqueue(hostile);
        mem->dumpPathEditor()->browse();
        QCOMPARE(dialogs.asked.last().kind, u"save"_s);
        QCOMPARE(mem->dumpPathEditor()->text(), hostile);
        mem->offsetEdit()->clear();
        mem->rangeEdit()->clear();
        mem->dumpButton()->click();
        QVERIFY2(QFileInfo::exists(hostile), qPrintable(m_host->commands.last()));
        QCOMPARE(dialogs.asked.size(), 1); // no warning
        m_host->eval(u"ona_run_controller -init_mem 0x0"_s);
        dialogs.files.enqueue(hostile);
        mem->loadPathEditor()->browse();
        mem->loadButton()->click();
        QCOMPARE(m_host->eval(u"ona_read_controller -addr 0x0"_s), u"0000CAFE"_s);
        QCOMPARE(dialogs.asked.size(), 2);

        // A file the device refuses is reported with its line; a missing one
        // and an empty name are caught before any command.
        const QString bad = m_dir->path() + u"/bad.mem"_s;
        QVERIFY(writeAll(bad, "00\nzz\n"));
        mem->loadPathEditor()->setText(bad);
        mem->loadButton()->click();
        QVERIFY2(dialogs.asked.last().text.contains(u"bad.mem:2:"_s), qPrintable(dialogs.asked.last().text));
        const int sent = int(m_host->commands.size());
        mem->loadPathEditor()->setText(m_dir->path() + u"/none.mem"_s);
        mem->loadButton()->click();
        QCOMPARE(dialogs.asked.last().text, u"'%1/none.mem' doesn't exist."_s.arg(m_dir->path()));
        QCOMPARE(m_host->commands.size(), sent);
        mem->dumpPathEditor()->setText(QString());
        QVERIFY(!mem->dumpButton()->isEnabled());
        mem->handleDumpButtonClicked();
        QCOMPARE(dialogs.asked.last().text, u"Memory file name cannot be empty."_s);
        QCOMPARE(m_host->commands.size(), sent);
    }

    void tablesFillKeepAndClear() {
        ControlRegisterWidget* c = control();
        QCOMPARE(m_host->commands, QStringList()); // building and filling sent nothing

        // The same layout keeps what was read and typed; any difference clears.
        cell(c, "ctrl_mode", W::RdColumn)->setText("A");
        cell(c, "ctrl_mode", W::WrColumn)->setText("3");
        ControlRegisterData data = static_cast<const ControlRegisterData&>(c->data());
        c->setData(data);
        QCOMPARE(cell(c, "ctrl_mode", W::RdColumn)->text(), u"A"_s);
        QCOMPARE(cell(c, "ctrl_mode", W::WrColumn)->text(), u"3"_s);
        ControlRegisterData wider = data;
        wider.entries[3].signalNames = QStringList{"k_hi[95:48]", "k_lo[47:0]"};
        c->setData(wider);
        QCOMPARE(c->tableView()->verticalHeader()->count(), 4);
        QCOMPARE(cell(c, "ctrl_mode", W::RdColumn)->text(), QString());
        data.enabled = false;
        c->setData(data);
        QVERIFY(c->isHidden());
        QCOMPARE(m_host->commands, QStringList());
    }
    void radixChangesConvertValues() {
        ControlRegisterWidget* c = control();
        cell(c, "ctrl_mode", W::RdColumn)->setText("A");
        cell(c, "ctrl_enable", W::WrColumn)->setText("Toggle");
        const QList<QPair<QString, QString>> steps = {{"Bin", "1010"}, {"Oct", "12"}, {"Dec", "10"}, {"Hex", "A"}};
        for (const auto& [radix, shown] : steps) {
            cell(c, "ctrl_mode", W::RadixColumn)->setText(radix);
            QCOMPARE(cell(c, "ctrl_mode", W::RdColumn)->text(), shown);
            cell(c, "ctrl_enable", W::RadixColumn)->setText(radix);
            QCOMPARE(cell(c, "ctrl_enable", W::WrColumn)->text(), u"Toggle"_s);
        }

        // Radix indexes outside the list change nothing.
        QVERIFY(!c->applyRadixToAll(4) && !c->applyRadixToAll(-1));
        m_gui->applyAllUserRegisterRadix(17);
        QCOMPARE(cell(c, "ctrl_mode", W::RadixColumn)->text(), u"Hex"_s);
        cell(status(), "stat_count", W::RdColumn)->setText("0000000C");
        m_gui->applyAllUserRegisterRadix(0);
        for (W* w : QList<W*>{c, status()})
            for (int row = 0; row < w->model()->rowCount(); ++row)
                QCOMPARE(w->model()->item(row, W::RadixColumn)->text(), u"Bin"_s);
        QCOMPARE(cell(status(), "stat_count", W::RdColumn)->text(), u"00000000000000000000000000001100"_s);
        QCOMPARE(cell(c, "ctrl_mode", W::RdColumn)->text(), u"1010"_s);
        QCOMPARE(m_host->commands, QStringList());
    }
    void readsWritesAndFailuresOnTheDevice() {
        ScriptedDialogs dialogs;
        ControlRegisterWidget* c = control();
        StatusRegisterWidget* s = status();
        // Ordinary names and values go out byte for byte.
        press(s, "stat_running", W::RdColumn);
        QCOMPARE(m_host->commands, QStringList{"ona_run_controller -read_status \"stat_running\""});
        QCOMPARE(cell(s, "stat_running", W::RdColumn)->text(), u"0"_s);
        cell(c, "ctrl_divisor", W::WrColumn)->setText("1000");
        press(c, "ctrl_divisor", W::WrColumn);
        QCOMPARE(m_host->commands.last(), u"ona_run_controller -write_control \"ctrl_divisor\" -data \"1000\""_s);
        QCOMPARE(device("-read_control", "ctrl_divisor"), u"03E8"_s);
        // 10 typed in decimal for a hexadecimal register goes out as A.
        cell(c, "ctrl_mode", W::RadixColumn)->setText("Dec");
        cell(c, "ctrl_mode", W::WrColumn)->setText("10");
        press(c, "ctrl_mode", W::WrColumn);
        QCOMPARE(m_host->commands.last(), u"ona_run_controller -write_control \"ctrl_mode\" -data \"A\""_s);

        // The same number typed in every radix reaches the device unchanged,
        // for a decimal 16-bit and a hexadecimal 96-bit register.
        const struct {
            QString name;
            QStringList typed; // Bin, Oct, Dec, Hex
            QString hex;
        } values[] = {
            {"ctrl_divisor", {"1011011110000", "13360", "5872", "16f0"}, "16F0"},
            {"ctrl_key",
             {"1" + QString(95, QLatin1Char('0')), "4" + QString(31, QLatin1Char('0')), "39614081257132168796771975168",
              "8" + QString(23, QLatin1Char('0'))},
             "8" + QString(23, QLatin1Char('0'))},
        };
        const QStringList radices{"Bin", "Oct", "Dec", "Hex"};
        for (const auto& v : values) {
            for (int r = 0; r < 4; ++r) {
                m_host->eval(u"ona_run_controller -write_control %1 -data h'0"_s.arg(v.name));
                cell(c, v.name, W::WrColumn)->setText(QString());
                cell(c, v.name, W::RadixColumn)->setText(radices.at(r));
                cell(c, v.name, W::WrColumn)->setText(v.typed.at(r));
                press(c, v.name, W::WrColumn);
                QCOMPARE(device("-read_control", v.name), v.hex);
            }
        }

        // Toggle a 1-bit control; the status flag it drives follows.
        cell(c, "ctrl_enable", W::WrColumn)->setText("Toggle");
        press(c, "ctrl_enable", W::WrColumn);
        QCOMPARE(m_host->commands.last(), u"ona_run_controller -toggle_control \"ctrl_enable\""_s);
        QCOMPARE(m_host->sent([&] { s->readAllButton()->click(); }).size(), 4);
        QCOMPARE(cell(s, "stat_running", W::RdColumn)->text(), u"1"_s);
        QCOMPARE(cell(s, "stat_id", W::RdColumn)->text(), u"004F0DE1C0FFEE0DD5"_s);

        // Empty Wr values send nothing; Apply All writes only the rows typed.
        for (int row = 0; row < c->model()->rowCount(); ++row)
            c->model()->item(row, W::WrColumn)->setText(QString());
        QVERIFY(m_host->sent([&] { press(c, "ctrl_mode", W::WrColumn); }).isEmpty());
        cell(c, "ctrl_mode", W::WrColumn)->setText("5");
        c->applyAllButton()->click();
        QCOMPARE(m_host->commands, QStringList{"ona_run_controller -write_control \"ctrl_mode\" -data \"5\""});
        QCOMPARE(dialogs.asked.size(), 0);

        // Failed commands keep the table as it was.
        m_host->eval("ona_run_controller -write_control ctrl_mode -data 9");
        press(c, "ctrl_mode", W::RdColumn);
        QCOMPARE(cell(c, "ctrl_mode", W::RdColumn)->text(), u"9"_s);
        // A failed read leaves the cell as it was and says so.
        ONCData::inst()->injectFailure("ona_run_controller -read_control ctrl_enable", ONCData::Failed);
        cell(c, "ctrl_enable", W::RdColumn)->setText("0");
        press(c, "ctrl_enable", W::RdColumn);
        QCOMPARE(cell(c, "ctrl_enable", W::RdColumn)->text(), u"0"_s);
        QCOMPARE(dialogs.asked.size(), 1);
        QVERIFY2(dialogs.asked.last().text.contains("injected failure"), qPrintable(dialogs.asked.last().text));
        // Read All reads the others and names the failure once.
        m_host->eval("ona_run_controller -write_control ctrl_mode -data 4");
        c->readAllButton()->click();
        QCOMPARE(cell(c, "ctrl_mode", W::RdColumn)->text(), u"4"_s);
        QCOMPARE(cell(c, "ctrl_enable", W::RdColumn)->text(), u"0"_s);
        QCOMPARE(dialogs.asked.size(), 2);
        QVERIFY(dialogs.asked.last().text.contains("ctrl_enable"));
        // A value too wide for the register is refused before it is sent.
        m_host->commands.clear();
        cell(c, "ctrl_divisor", W::WrColumn)->setText("70000");
        press(c, "ctrl_divisor", W::WrColumn);
        QCOMPARE(dialogs.asked.size(), 3);
        QVERIFY2(dialogs.asked.last().text.contains("does not fit in 16 bits"), qPrintable(dialogs.asked.last().text));
        QCOMPARE(m_host->commands, QStringList());
        QVERIFY(!QApplication::overrideCursor());
    }
    void editorsAndValidators() {
        ControlRegisterWidget* c = control();
        UserRegisterItemDelegate* d = c->delegate();
        QStyleOptionViewItem option;
        const auto editor = [&](const QString& name, int column) {
            return d->createEditor(c->tableView()->viewport(), option, c->model()->index(c->rowOf(name), column));
        };
        auto* toggle = qobject_cast<QComboBox*>(editor("ctrl_enable", W::WrColumn));
        QVERIFY(toggle);
        cell(c, "ctrl_enable", W::WrColumn)->setText("0");
        d->setEditorData(toggle, cell(c, "ctrl_enable", W::WrColumn)->index());
        QCOMPARE(toggle->currentText(), u"0"_s);
        toggle->setCurrentIndex(0);
        d->setModelData(toggle, c->model(), cell(c, "ctrl_enable", W::WrColumn)->index());
        QCOMPARE(cell(c, "ctrl_enable", W::WrColumn)->text(), u"Toggle"_s);
        auto* radix = qobject_cast<QComboBox*>(editor("ctrl_mode", W::RadixColumn));
        QVERIFY(radix);
        cell(c, "ctrl_mode", W::RdColumn)->setText("C");
        radix->setCurrentIndex(0);
        d->setModelData(radix, c->model(), cell(c, "ctrl_mode", W::RadixColumn)->index());
        QCOMPARE(cell(c, "ctrl_mode", W::RdColumn)->text(), u"1100"_s);
        QVERIFY(!editor("ctrl_mode", W::NameColumn) && !editor("ctrl_mode", W::RdColumn));

        // 70000 typed into the 16-bit decimal divisor stays as typed, marked,
        // and the cell keeps it (Wr then refuses it): never cut to 7000.
        auto* divisor = qobject_cast<QLineEdit*>(editor("ctrl_divisor", W::WrColumn));
        QTest::keyClicks(divisor, u"70000"_s);
        QCOMPARE(divisor->text(), u"70000"_s);
        QVERIFY(unfitReason(divisor).contains(u"65535"_s));
        d->setModelData(divisor, c->model(), cell(c, "ctrl_divisor", W::WrColumn)->index());
        QCOMPARE(cell(c, "ctrl_divisor", W::WrColumn)->text(), u"70000"_s);
        // A radix change leaves such a value as typed, in its own radix.
        cell(c, "ctrl_divisor", W::RadixColumn)->setText("Hex");
        QCOMPARE(cell(c, "ctrl_divisor", W::WrColumn)->text(), u"70000"_s);
        cell(c, "ctrl_divisor", W::RadixColumn)->setText("Dec");
        delete divisor;

        int pos = 0;
        cell(c, "ctrl_key", W::RadixColumn)->setText("Dec");
        auto* key = qobject_cast<QLineEdit*>(editor("ctrl_key", W::WrColumn));
        QVERIFY(key);
        QString t = "79228162514264337593543950335"; // 2^96 - 1
        QCOMPARE(key->validator()->validate(t, pos), QValidator::Acceptable);
        t = "79228162514264337593543950336";
        QCOMPARE(key->validator()->validate(t, pos), QValidator::Intermediate);
        // An 8-bit decimal value: 0 .. 255, no leading zero; 6-bit hex: up to
        // 3F. Digits that do not fit are kept (Intermediate); others refused.
        RegisterValueValidator dec8(8, 2, nullptr), hex6(6, 3, nullptr);
        using V = QValidator;
        const QList<std::tuple<RegisterValueValidator*, const char*, V::State>> cases = {
            {&dec8, "0", V::Acceptable},     {&dec8, "255", V::Acceptable},  {&dec8, "", V::Acceptable},
            {&dec8, "256", V::Intermediate}, {&dec8, "01", V::Intermediate}, {&dec8, "1a", V::Invalid},
            {&hex6, "3F", V::Acceptable},    {&hex6, "40", V::Intermediate}, {&hex6, "g", V::Invalid}};
        for (const auto& [v, text, state] : cases) {
            QString copy = QLatin1String(text);
            QCOMPARE(v->validate(copy, pos), state);
        }
        // No editor for a width below 1 or a radix outside the list.
        cell(c, "ctrl_mode", W::WidthColumn)->setText("0");
        QVERIFY(!editor("ctrl_mode", W::WrColumn));
        cell(c, "ctrl_mode", W::WidthColumn)->setText("4");
        cell(c, "ctrl_divisor", W::RadixColumn)->setText("Foo");
        QVERIFY(!editor("ctrl_divisor", W::WrColumn));

        // The cell button: 50 wide, narrower in narrow cells, none below 16.
        QVERIFY(UserRegisterItemDelegate::buttonRect(QRect(0, 0, 15, 24), W::RdColumn).isNull());
        // A press on it is a click, and never starts an edit.
        QSignalSpy clicked(d, &UserRegisterItemDelegate::btnClicked);
        option.rect = QRect(0, 0, 150, 24);
        const QRect button = UserRegisterItemDelegate::buttonRect(option.rect, W::RdColumn);
        QMouseEvent pressIn(QEvent::MouseButtonPress, button.center(), button.center(), Qt::LeftButton, Qt::LeftButton,
                            Qt::NoModifier);
        QVERIFY(static_cast<QAbstractItemDelegate*>(d)->editorEvent(&pressIn, c->model(), option,
                                                                    cell(c, "ctrl_mode", W::RdColumn)->index()));
        QCOMPARE(clicked.size(), 1);
        QMouseEvent pressOut(QEvent::MouseButtonPress, QPointF(5, 5), QPointF(5, 5), Qt::LeftButton, Qt::LeftButton,
                             Qt::NoModifier);
        static_cast<QAbstractItemDelegate*>(d)->editorEvent(&pressOut, c->model(), option,
                                                            cell(c, "ctrl_mode", W::RdColumn)->index());
        QCOMPARE(clicked.size(), 1);
    }
    void registerFiles() {
        ScriptedDialogs dialogs;
        ControlRegisterWidget* c = control();
        const QString dir = m_dir->path();
        dialogs.files.enqueue(dir + "/regs.dat");
        c->dumpButton()->click();
        QCOMPARE(m_host->commands.last(), u"ona_run_controller -dump_control \"%1/regs.dat.txt\""_s.arg(dir));
        QVERIFY(QFile::exists(dir + "/regs.dat.txt"));
        dialogs.files.enqueue(dir + "/regs.TXT");
        status()->dumpButton()->click();
        QCOMPARE(m_host->commands.last(), u"ona_run_controller -dump_status \"%1/regs.TXT\""_s.arg(dir));
        // Text a user chose never runs as Tcl.
        const QString hostile = dir + "/[exit 3] $x a\"b.txt";
        dialogs.files.enqueue(hostile);
        c->dumpButton()->click();
        QVERIFY(QFile::exists(hostile));
        const int asked = int(dialogs.asked.size());
        m_host->commands.clear();
        c->dumpButton()->click(); // no file chosen
        QCOMPARE(m_host->commands, QStringList());

        // Load: the device takes the file, then both value columns show it.
        QVERIFY(writeAll(dir + "/good.txt", "ctrl_mode 6\nctrl_divisor 0100 # 256\n"));
        dialogs.files.enqueue(dir + "/good.txt");
        c->loadButton()->click();
        QCOMPARE(m_host->commands.first(), u"ona_run_controller -load_control \"%1/good.txt\""_s.arg(dir));
        QCOMPARE(m_host->commands.size(), 5);
        QCOMPARE(cell(c, "ctrl_mode", W::RdColumn)->text(), u"6"_s);
        QCOMPARE(cell(c, "ctrl_mode", W::WrColumn)->text(), u"6"_s);
        QCOMPARE(cell(c, "ctrl_divisor", W::WrColumn)->text(), u"256"_s);
        QCOMPARE(int(dialogs.asked.size()), asked + 2);

        // A refused file: the message, and the table (with typed values) kept.
        QVERIFY(writeAll(dir + "/good.txt", "ctrl_mode 1\nctrl_enable 7\n"));
        cell(c, "ctrl_mode", W::WrColumn)->setText("2");
        m_host->commands.clear();
        dialogs.files.enqueue(dir + "/good.txt");
        c->loadButton()->click();
        QCOMPARE(m_host->commands.size(), 1);
        QVERIFY2(dialogs.asked.last().text.contains("good.txt:2:"), qPrintable(dialogs.asked.last().text));
        QCOMPARE(cell(c, "ctrl_mode", W::WrColumn)->text(), u"2"_s);
        QCOMPARE(cell(c, "ctrl_mode", W::RdColumn)->text(), u"6"_s);
        QCOMPARE(device("-read_control", "ctrl_mode"), u"6"_s);
    }
    void signalsDialog() {
        QCOMPARE(UserRegisterSignalDlg::bitNames({"ctrl[3:0]", "en"}),
                 QStringList({"ctrl:3", "ctrl:2", "ctrl:1", "ctrl:0", "en"}));
        QCOMPARE(UserRegisterSignalDlg::bitValues(UserRegisterSignalDlg::bitNames({"ctrl[3:0]", "en"}), "10110"),
                 QStringList({"1", "0", "1", "1", "0"}));
        QCOMPARE(UserRegisterSignalDlg::bitNames({"a[0:2]", "[1:0]", "b[2:x]", "c[3]", "d[1:2:3]", "e[4:3]x"}),
                 QStringList({"a:2", "a:1", "a:0", "[1:0]", "b:2", "b:1", "b:0", "c[3]", "d[1:2:3]", "e[4:3]x"}));
        QCOMPARE(UserRegisterSignalDlg::bitValues({"a", "b", "c"}, "1"), QStringList({"", "", "1"}));
        QCOMPARE(UserRegisterSignalDlg::bitValues({"key[95:0]"}, "1010"), QStringList({"1010"}));

        ScriptedDialogs dialogs;
        QList<QStringList> rows;
        dialogs.onDialog = [&](QDialog* dialog) {
            auto* dlg = qobject_cast<UserRegisterSignalDlg*>(dialog);
            rows.clear();
            for (int r = 0; dlg && r < dlg->table()->rowCount(); ++r) {
                QStringList row;
                for (int col = 0; col < dlg->table()->columnCount(); ++col)
                    row << (dlg->table()->item(r, col) ? dlg->table()->item(r, col)->text() : QString());
                rows << row;
            }
            return int(QDialog::Accepted);
        };
        ControlRegisterWidget* c = control();
        cell(c, "ctrl_divisor", W::RdColumn)->setText("258"); // 0x0102
        cell(c, "ctrl_divisor", W::WrColumn)->setText("1");
        c->onTableItemDblClicked(cell(c, "ctrl_divisor", W::SignalsColumn)->index());
        QCOMPARE(rows.size(), 16);
        QCOMPARE(rows.at(0), QStringList({"div_hi:15", "0", "0"}));
        QCOMPARE(rows.at(7), QStringList({"div_hi:8", "1", "0"}));
        QCOMPARE(rows.at(15), QStringList({"div_lo:0", "0", "1"}));
        cell(status(), "stat_running", W::RdColumn)->setText("1");
        status()->onTableItemDblClicked(cell(status(), "stat_running", W::SignalsColumn)->index());
        QCOMPARE(rows, QList<QStringList>{QStringList({"running", "1"})});
    }

private:
    ControlRegisterWidget* control() const {
        return m_gui->rightView()->page<ControlRegisterTab>(u"User Control Register"_s)->controlWidget();
    }
    StatusRegisterWidget* status() const {
        return m_gui->rightView()->page<StatusRegisterTab>(u"User Status Register"_s)->statusWidget();
    }
    static QStandardItem* cell(W* w, const QString& name, int column) {
        return w->model()->item(w->rowOf(name), column);
    }
    static void press(W* w, const QString& name, int column) {
        emit w->delegate()->btnClicked(w->model()->index(w->rowOf(name), column));
    }
    QString device(const QString& option, const QString& name) {
        return m_host->eval(u"ona_run_controller %1 %2"_s.arg(option, name));
    }
    VirtualLEDSwitchTab* ledTab() const { return m_gui->rightView()->page<VirtualLEDSwitchTab>(); }
    UserMemoryWidget* memory() const { return m_gui->rightView()->page<UserMemoryTab>()->memoryWidget(); }
    static QStringList names(const QString& prefix, int n);
};

QStringList TstController::names(const QString& prefix, int n) {
    QStringList out;
    for (int i = 0; i < n; ++i)
        out << prefix + QString::number(i);
    return out;
}

QTEST_MAIN(TstController)
#include "tst_controller.moc"
