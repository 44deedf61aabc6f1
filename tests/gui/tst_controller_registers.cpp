// The "User Control Register" and "User Status Register" pages on the demo's
// controller core, through an embedded window and a recording host: exact
// command strings, values reaching the simulated device as typed in any
// radix, radix changes, editors, register files and the signals dialog.

#include "demofixture.h"
#include "recordinghost.h"

#include "controller/controlregisterwidget.h"
#include "controller/registertab.h"
#include "controller/statusregisterwidget.h"
#include "controller/userregisteritemdelegate.h"
#include "controller/userregistersignaldlg.h"
#include "shell/onagui.h"
#include "shell/rightview.h"

#include "basgui/dialogseam.h"
#include "onadata.h"
#include "oncdata.h"
#include "simcontroller.h"

#include <QComboBox>
#include <QGroupBox>
#include <QHeaderView>
#include <QLineEdit>
#include <QPushButton>
#include <QStandardItemModel>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace vemo::toolona;
using vemo::basgui::ScriptedDialogs;
using W = UserRegisterWidget;

class TstControllerRegisters : public DemoTest {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void tablesFillKeepAndClear();
    void radixChangesConvertValues();
    void readsAndWritesReachTheDevice();
    void failedCommandsKeepTheTable();
    void editorsAndValidators();
    void registerFiles();
    void signalsDialog();

private:
    ControlRegisterWidget* control() const {
        return m_gui->rightView()
            ->page<vemo::toolona::ControlRegisterTab>(QStringLiteral("User Control Register"))
            ->controlWidget();
    }
    StatusRegisterWidget* status() const {
        return m_gui->rightView()
            ->page<vemo::toolona::StatusRegisterTab>(QStringLiteral("User Status Register"))
            ->statusWidget();
    }
    static QStandardItem* cell(W* w, const QString& name, int column) {
        return w->model()->item(w->rowOf(name), column);
    }
    static void press(W* w, const QString& name, int column) {
        emit w->delegate()->btnClicked(w->model()->index(w->rowOf(name), column));
    }
    QString device(const QString& option, const QString& name) {
        return m_host->eval(QStringLiteral("ona_run_controller %1 %2").arg(option, name));
    }
};

void TstControllerRegisters::init() {
    QVERIFY(openDemo(QStringLiteral("board_ctrl")));
    auto dev = std::dynamic_pointer_cast<SimController>(ONCData::inst()->device());
    QVERIFY(dev);
    dev->setClock([] { return qint64(0); });
}

void TstControllerRegisters::cleanup() {
    closeDemo();
    QVERIFY(!QApplication::overrideCursor());
}

void TstControllerRegisters::tablesFillKeepAndClear() {
    QTabWidget* tabs = m_gui->rightView()->tabWidget();
    ControlRegisterWidget* c = control();
    StatusRegisterWidget* s = status();
    QVERIFY(tabs->isTabEnabled(tabs->indexOf(
        m_gui->rightView()->page<vemo::toolona::ControlRegisterTab>(QStringLiteral("User Control Register")))));
    QVERIFY(tabs->isTabEnabled(tabs->indexOf(
        m_gui->rightView()->page<vemo::toolona::StatusRegisterTab>(QStringLiteral("User Status Register")))));
    QCOMPARE(m_host->commands, QStringList()); // building and filling sent nothing
    QCOMPARE(c->groupBox()->title(), QStringLiteral("User Control Register (writable)           Address: 0x10 ~ 0x13"));
    QCOMPARE(s->groupBox()->title(), QStringLiteral("User Status Register (read-only)           Address: 0x20 ~ 0x23"));
    const QStringList row2{"0x12", "ctrl_divisor", "div_hi[15:8], div_lo[7:0]", "16", "Dec", "", ""};
    for (int col = 0; col < 7; ++col)
        QCOMPARE(c->model()->item(2, col)->text(), row2.at(col));
    QCOMPARE(c->model()->item(2, W::WrColumn)->data(W::RadixRole).toInt(), 2);
    QCOMPARE(c->tableView()->verticalHeader()->count(), 4); // the view sees the rows

    // The same layout keeps what was read and typed; any difference clears.
    cell(c, "ctrl_mode", W::RdColumn)->setText("A");
    cell(c, "ctrl_mode", W::WrColumn)->setText("3");
    ControlRegisterData data = static_cast<const ControlRegisterData&>(c->data());
    c->setData(data);
    QCOMPARE(cell(c, "ctrl_mode", W::RdColumn)->text(), QStringLiteral("A"));
    QCOMPARE(cell(c, "ctrl_mode", W::WrColumn)->text(), QStringLiteral("3"));
    ControlRegisterData wider = data;
    wider.entries[3].signalNames = QStringList{"k_hi[95:48]", "k_lo[47:0]"};
    c->setData(wider);
    QCOMPARE(c->tableView()->verticalHeader()->count(), 4);
    QCOMPARE(cell(c, "ctrl_mode", W::RdColumn)->text(), QString());
    data.enabled = false;
    c->setData(data);
    QVERIFY(c->isHidden());
    QCOMPARE(c->groupBox()->title(), QStringLiteral("User Control Register (writable)"));
    QCOMPARE(m_host->commands, QStringList());

    // A floating register tab ignores Esc.
    ControlRegisterTab* tab =
        m_gui->rightView()->page<vemo::toolona::ControlRegisterTab>(QStringLiteral("User Control Register"));
    tab->dockButton()->click();
    QVERIFY(tab->isVisible());
    QTest::keyClick(tab, Qt::Key_Escape);
    QVERIFY(tab->isVisible());
    tab->close();
    QVERIFY(tab->isDocked());
}

void TstControllerRegisters::radixChangesConvertValues() {
    ControlRegisterWidget* c = control();
    cell(c, "ctrl_mode", W::RdColumn)->setText("A");
    cell(c, "ctrl_enable", W::WrColumn)->setText("Toggle");
    const struct {
        QString radix, shown;
        int index;
    } steps[] = {{"Bin", "1010", 0}, {"Oct", "12", 1}, {"Dec", "10", 2}, {"Hex", "A", 3}};
    for (const auto& step : steps) {
        cell(c, "ctrl_mode", W::RadixColumn)->setText(step.radix);
        QCOMPARE(cell(c, "ctrl_mode", W::RdColumn)->text(), step.shown);
        QCOMPARE(cell(c, "ctrl_mode", W::RdColumn)->data(W::RadixRole).toInt(), step.index);
        cell(c, "ctrl_enable", W::RadixColumn)->setText(step.radix);
        QCOMPARE(cell(c, "ctrl_enable", W::WrColumn)->text(), QStringLiteral("Toggle"));
    }
    // A 100-bit-like width converts exactly: the 96-bit key in decimal.
    cell(c, "ctrl_key", W::RdColumn)->setText(QString(24, QLatin1Char('F')));
    cell(c, "ctrl_key", W::RadixColumn)->setText("Dec");
    QCOMPARE(cell(c, "ctrl_key", W::RdColumn)->text(), QStringLiteral("79228162514264337593543950335"));

    // Radix indexes outside the list change nothing.
    QVERIFY(!c->applyRadixToAll(4));
    QVERIFY(!c->applyRadixToAll(-1));
    m_gui->applyAllUserRegisterRadix(17);
    QCOMPARE(cell(c, "ctrl_mode", W::RadixColumn)->text(), QStringLiteral("Hex"));
    cell(status(), "stat_count", W::RdColumn)->setText("0000000C");
    m_gui->applyAllUserRegisterRadix(0);
    for (W* w : QList<W*>{c, status()})
        for (int row = 0; row < w->model()->rowCount(); ++row)
            QCOMPARE(w->model()->item(row, W::RadixColumn)->text(), QStringLiteral("Bin"));
    QCOMPARE(cell(status(), "stat_count", W::RdColumn)->text(), QStringLiteral("00000000000000000000000000001100"));
    QCOMPARE(cell(c, "ctrl_mode", W::RdColumn)->text(), QStringLiteral("1010"));
    QCOMPARE(m_host->commands, QStringList());
}

void TstControllerRegisters::readsAndWritesReachTheDevice() {
    ScriptedDialogs dialogs;
    ControlRegisterWidget* c = control();
    StatusRegisterWidget* s = status();
    // Ordinary names and values go out byte for byte.
    press(s, "stat_running", W::RdColumn);
    QCOMPARE(m_host->commands, QStringList{"ona_run_controller -read_status \"stat_running\""});
    QCOMPARE(cell(s, "stat_running", W::RdColumn)->text(), QStringLiteral("0"));
    cell(c, "ctrl_divisor", W::WrColumn)->setText("1000");
    press(c, "ctrl_divisor", W::WrColumn);
    QCOMPARE(m_host->commands.last(),
             QStringLiteral("ona_run_controller -write_control \"ctrl_divisor\" -data \"1000\""));
    QCOMPARE(device("-read_control", "ctrl_divisor"), QStringLiteral("03E8"));

    // 10 typed in decimal for a hexadecimal register is ten on the device.
    cell(c, "ctrl_mode", W::RadixColumn)->setText("Dec");
    cell(c, "ctrl_mode", W::WrColumn)->setText("10");
    press(c, "ctrl_mode", W::WrColumn);
    QCOMPARE(m_host->commands.last(), QStringLiteral("ona_run_controller -write_control \"ctrl_mode\" -data \"A\""));
    QCOMPARE(device("-read_control", "ctrl_mode"), QStringLiteral("A"));
    cell(c, "ctrl_mode", W::RadixColumn)->setText("Hex");
    press(c, "ctrl_mode", W::RdColumn);
    QCOMPARE(m_host->commands.last(), QStringLiteral("ona_run_controller -read_control \"ctrl_mode\""));
    QCOMPARE(cell(c, "ctrl_mode", W::RdColumn)->text(), QStringLiteral("A"));

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
            m_host->eval(QStringLiteral("ona_run_controller -write_control %1 -data h'0").arg(v.name));
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
    QCOMPARE(m_host->commands.last(), QStringLiteral("ona_run_controller -toggle_control \"ctrl_enable\""));
    m_host->commands.clear();
    s->readAllButton()->click();
    QCOMPARE(m_host->commands.size(), 4);
    QCOMPARE(cell(s, "stat_running", W::RdColumn)->text(), QStringLiteral("1"));
    QCOMPARE(cell(s, "stat_id", W::RdColumn)->text(), QStringLiteral("004F0DE1C0FFEE0DD5"));

    // Empty Wr values send nothing; Apply All writes only the rows typed.
    for (int row = 0; row < c->model()->rowCount(); ++row)
        c->model()->item(row, W::WrColumn)->setText(QString());
    m_host->commands.clear();
    press(c, "ctrl_mode", W::WrColumn);
    QCOMPARE(m_host->commands, QStringList());
    cell(c, "ctrl_mode", W::WrColumn)->setText("5");
    c->applyAllButton()->click();
    QCOMPARE(m_host->commands, QStringList{"ona_run_controller -write_control \"ctrl_mode\" -data \"5\""});
    QCOMPARE(dialogs.asked.size(), 0);
}

void TstControllerRegisters::failedCommandsKeepTheTable() {
    ScriptedDialogs dialogs;
    ControlRegisterWidget* c = control();
    m_host->eval("ona_run_controller -write_control ctrl_mode -data 9");
    press(c, "ctrl_mode", W::RdColumn);
    QCOMPARE(cell(c, "ctrl_mode", W::RdColumn)->text(), QStringLiteral("9"));
    // A failed read leaves the cell as it was and says so.
    ONCData::inst()->injectFailure("ona_run_controller -read_control ctrl_enable", ONCData::Failed);
    cell(c, "ctrl_enable", W::RdColumn)->setText("0");
    press(c, "ctrl_enable", W::RdColumn);
    QCOMPARE(cell(c, "ctrl_enable", W::RdColumn)->text(), QStringLiteral("0"));
    QCOMPARE(dialogs.asked.size(), 1);
    QVERIFY2(dialogs.asked.last().text.contains("injected failure"), qPrintable(dialogs.asked.last().text));
    // Read All reads the others and names the failure once.
    m_host->eval("ona_run_controller -write_control ctrl_mode -data 4");
    c->readAllButton()->click();
    QCOMPARE(cell(c, "ctrl_mode", W::RdColumn)->text(), QStringLiteral("4"));
    QCOMPARE(cell(c, "ctrl_enable", W::RdColumn)->text(), QStringLiteral("0"));
    QCOMPARE(dialogs.asked.size(), 2);
    QVERIFY(dialogs.asked.last().text.contains("ctrl_enable"));
    // A refused write is said too.
    cell(c, "ctrl_divisor", W::WrColumn)->setText("70000");
    press(c, "ctrl_divisor", W::WrColumn);
    QCOMPARE(dialogs.asked.size(), 3);
    QVERIFY(dialogs.asked.last().text.contains("at most 16 bits"));
    QVERIFY(!QApplication::overrideCursor());
}

void TstControllerRegisters::editorsAndValidators() {
    ControlRegisterWidget* c = control();
    UserRegisterItemDelegate* d = c->delegate();
    QStyleOptionViewItem option;
    const auto editor = [&](const QString& name, int column) {
        return d->createEditor(c->tableView()->viewport(), option, c->model()->index(c->rowOf(name), column));
    };
    auto* toggle = qobject_cast<QComboBox*>(editor("ctrl_enable", W::WrColumn));
    QVERIFY(toggle);
    QCOMPARE(QStringList({toggle->itemText(0), toggle->itemText(1), toggle->itemText(2)}),
             QStringList({"Toggle", "1", "0"}));
    cell(c, "ctrl_enable", W::WrColumn)->setText("0");
    d->setEditorData(toggle, cell(c, "ctrl_enable", W::WrColumn)->index());
    QCOMPARE(toggle->currentText(), QStringLiteral("0"));
    toggle->setCurrentIndex(0);
    d->setModelData(toggle, c->model(), cell(c, "ctrl_enable", W::WrColumn)->index());
    QCOMPARE(cell(c, "ctrl_enable", W::WrColumn)->text(), QStringLiteral("Toggle"));
    auto* radix = qobject_cast<QComboBox*>(editor("ctrl_mode", W::RadixColumn));
    QVERIFY(radix);
    QCOMPARE(radix->count(), OnaData::radix_list.size());
    cell(c, "ctrl_mode", W::RdColumn)->setText("C");
    radix->setCurrentIndex(0);
    d->setModelData(radix, c->model(), cell(c, "ctrl_mode", W::RadixColumn)->index());
    QCOMPARE(cell(c, "ctrl_mode", W::RdColumn)->text(), QStringLiteral("1100"));
    QVERIFY(!editor("ctrl_mode", W::NameColumn));
    QVERIFY(!editor("ctrl_mode", W::RdColumn));

    auto* key = qobject_cast<QLineEdit*>(editor("ctrl_key", W::WrColumn));
    QVERIFY(key);
    QCOMPARE(key->maxLength(), 24);
    int pos = 0;
    QString t = QString(24, QLatin1Char('f'));
    QCOMPARE(key->validator()->validate(t, pos), QValidator::Acceptable);
    cell(c, "ctrl_key", W::RadixColumn)->setText("Dec");
    key = qobject_cast<QLineEdit*>(editor("ctrl_key", W::WrColumn));
    t = "79228162514264337593543950335"; // 2^96 - 1
    QCOMPARE(key->validator()->validate(t, pos), QValidator::Acceptable);
    t = "79228162514264337593543950336";
    QCOMPARE(key->validator()->validate(t, pos), QValidator::Invalid);
    // An 8-bit decimal value: 0 .. 255, no leading zero; 6-bit hex: up to 3F.
    RegisterValueValidator dec8(8, 2, nullptr), hex6(6, 3, nullptr);
    const auto A = QValidator::Acceptable, I = QValidator::Invalid;
    for (const auto& [v, text, state] :
         QList<std::tuple<RegisterValueValidator*, QString, QValidator::State>>{{&dec8, "0", A},
                                                                                {&dec8, "255", A},
                                                                                {&dec8, "", A},
                                                                                {&dec8, "256", I},
                                                                                {&dec8, "01", I},
                                                                                {&dec8, "1000", I},
                                                                                {&dec8, "1a", I},
                                                                                {&hex6, "3F", A},
                                                                                {&hex6, "40", I}}) {
        QString copy = text;
        QCOMPARE(v->validate(copy, pos), state);
    }
    // No editor for a width below 1 or a radix outside the list.
    cell(c, "ctrl_mode", W::WidthColumn)->setText("0");
    QVERIFY(!editor("ctrl_mode", W::WrColumn));
    cell(c, "ctrl_mode", W::WidthColumn)->setText("4");
    cell(c, "ctrl_divisor", W::RadixColumn)->setText("Foo");
    QVERIFY(!editor("ctrl_divisor", W::WrColumn));

    // The cell button: 50 wide, narrower in narrow cells, none below 16.
    QCOMPARE(UserRegisterItemDelegate::buttonRect(QRect(0, 0, 150, 24), W::RdColumn).width(), 50);
    QCOMPARE(UserRegisterItemDelegate::buttonRect(QRect(0, 0, 40, 24), W::WrColumn).width(), 32);
    QVERIFY(UserRegisterItemDelegate::buttonRect(QRect(0, 0, 15, 24), W::RdColumn).isNull());
    QVERIFY(UserRegisterItemDelegate::buttonRect(QRect(0, 0, 150, 24), W::NameColumn).isNull());
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

void TstControllerRegisters::registerFiles() {
    ScriptedDialogs dialogs;
    ControlRegisterWidget* c = control();
    const QString dir = m_dir->path();
    dialogs.files.enqueue(dir + "/regs.dat");
    c->dumpButton()->click();
    QCOMPARE(m_host->commands.last(), QStringLiteral("ona_run_controller -dump_control \"%1/regs.dat.txt\"").arg(dir));
    QVERIFY(QFile::exists(dir + "/regs.dat.txt"));
    QCOMPARE(dialogs.asked.last().caption, QStringLiteral("Dump to File"));
    QCOMPARE(dialogs.asked.last().filter, QStringLiteral("User Control Register Files (*.txt)"));
    dialogs.files.enqueue(dir + "/regs.TXT");
    status()->dumpButton()->click();
    QCOMPARE(m_host->commands.last(), QStringLiteral("ona_run_controller -dump_status \"%1/regs.TXT\"").arg(dir));
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
    QFile f(dir + "/good.txt");
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("ctrl_mode 6\nctrl_divisor 0100 # 256\n");
    f.close();
    dialogs.files.enqueue(dir + "/good.txt");
    c->loadButton()->click();
    QCOMPARE(m_host->commands.first(), QStringLiteral("ona_run_controller -load_control \"%1/good.txt\"").arg(dir));
    QCOMPARE(m_host->commands.size(), 5);
    QCOMPARE(cell(c, "ctrl_mode", W::RdColumn)->text(), QStringLiteral("6"));
    QCOMPARE(cell(c, "ctrl_mode", W::WrColumn)->text(), QStringLiteral("6"));
    QCOMPARE(cell(c, "ctrl_divisor", W::WrColumn)->text(), QStringLiteral("256"));
    QCOMPARE(int(dialogs.asked.size()), asked + 2);

    // A refused file: the message, and the table (with typed values) kept.
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write("ctrl_mode 1\nctrl_enable 7\n");
    f.close();
    cell(c, "ctrl_mode", W::WrColumn)->setText("2");
    m_host->commands.clear();
    dialogs.files.enqueue(dir + "/good.txt");
    c->loadButton()->click();
    QCOMPARE(m_host->commands.size(), 1);
    QVERIFY2(dialogs.asked.last().text.contains("good.txt:2:"), qPrintable(dialogs.asked.last().text));
    QCOMPARE(cell(c, "ctrl_mode", W::WrColumn)->text(), QStringLiteral("2"));
    QCOMPARE(cell(c, "ctrl_mode", W::RdColumn)->text(), QStringLiteral("6"));
    QCOMPARE(device("-read_control", "ctrl_mode"), QStringLiteral("6"));
}

void TstControllerRegisters::signalsDialog() {
    QCOMPARE(UserRegisterSignalDlg::bitNames({"ctrl[3:0]", "en"}),
             QStringList({"ctrl:3", "ctrl:2", "ctrl:1", "ctrl:0", "en"}));
    QCOMPARE(UserRegisterSignalDlg::bitValues(UserRegisterSignalDlg::bitNames({"ctrl[3:0]", "en"}), "10110"),
             QStringList({"1", "0", "1", "1", "0"}));
    QCOMPARE(UserRegisterSignalDlg::bitNames({"a[0:2]", "[1:0]", "b[2:x]", "c[3]", "d[1:2:3]", "e[4:3]x"}),
             QStringList({"a:2", "a:1", "a:0", "[1:0]", "b:2", "b:1", "b:0", "c[3]", "d[1:2:3]", "e[4:3]x"}));
    QCOMPARE(UserRegisterSignalDlg::bitValues({"a", "b", "c"}, "1"), QStringList({"", "", "1"}));
    QCOMPARE(UserRegisterSignalDlg::bitValues({"key[95:0]"}, "1010"), QStringList({"1010"}));

    ScriptedDialogs dialogs;
    QString title;
    QList<QStringList> rows;
    dialogs.onDialog = [&](QDialog* dialog) {
        title = dialog->windowTitle();
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
    QCOMPARE(title, QStringLiteral("Control Signals"));
    QCOMPARE(rows.size(), 16);
    QCOMPARE(rows.at(0), QStringList({"div_hi:15", "0", "0"}));
    QCOMPARE(rows.at(7), QStringList({"div_hi:8", "1", "0"}));
    QCOMPARE(rows.at(14), QStringList({"div_lo:1", "1", "0"}));
    QCOMPARE(rows.at(15), QStringList({"div_lo:0", "0", "1"}));
    cell(status(), "stat_running", W::RdColumn)->setText("1");
    status()->onTableItemDblClicked(cell(status(), "stat_running", W::SignalsColumn)->index());
    QCOMPARE(title, QStringLiteral("Status Signals"));
    QCOMPARE(rows, QList<QStringList>{QStringList({"running", "1"})});
}

QTEST_MAIN(TstControllerRegisters)
#include "tst_controller_registers.moc"
