// Every engine command the controller, hard IP and SERDES pages send, byte
// for byte: one table of {page, user action, expected commands}, driven
// through an embedded window on the demo with a recording host. Widgets are
// found by what the user sees (tab title, label, button text, row header) or
// by the control's object name; the engine must take every command. "%D" in
// an expected command stands for the test's folder.

#include "demofixture.h"
#include "recordinghost.h"

#include "hardip/hardiptab.h"
#include "hardip/hardipwidget.h"
#include "shell/onagui.h"
#include "shell/rightview.h"

#include "basgui/dialogseam.h"
#include "oncdata.h"
#include "simcontroller.h"

#include <QtTest>
#include <QtWidgets>

#include <functional>
#include <memory>

using namespace vemo::toolona;
using vemo::basgui::ScriptedDialogs;
using namespace Qt::StringLiterals;

namespace {

struct Row {
    QByteArray name; // page: action
    std::function<void()> act;
    QStringList expected;
};

QStringList q(std::initializer_list<const char*> list) {
    QStringList out;
    for (const char* s : list)
        out << QString::fromUtf8(s);
    return out;
}

// The field a label names: the widget to the right of it in its grid.
QWidget* beside(QWidget* root, const QString& label) {
    for (QLabel* l : root->findChildren<QLabel*>()) {
        if (l->text() != label)
            continue;
        QLayout* layout = l->parentWidget()->layout();
        if (!layout)
            continue;
        for (QBoxLayout* box : layout->findChildren<QBoxLayout*>())
            if (box->indexOf(l) >= 0)
                layout = box;
        if (auto* box = qobject_cast<QBoxLayout*>(layout)) {
            for (int i = box->indexOf(l) + 1; i < box->count(); ++i)
                if (QWidget* w = box->itemAt(i)->widget())
                    return w;
            continue;
        }
        auto* grid = qobject_cast<QGridLayout*>(layout);
        if (!grid || grid->indexOf(l) < 0)
            continue;
        int r, c, rs, cs;
        grid->getItemPosition(grid->indexOf(l), &r, &c, &rs, &cs);
        for (int col = c + 1; col < grid->columnCount(); ++col)
            if (QLayoutItem* item = grid->itemAtPosition(r, col); item && item->widget() && item->widget() != l)
                return item->widget();
    }
    return nullptr;
}

QAbstractButton* button(QWidget* root, const QString& text) {
    for (QAbstractButton* b : root->findChildren<QAbstractButton*>())
        if (b->text() == text && b->isVisibleTo(root->window()))
            return b;
    for (QAbstractButton* b : root->findChildren<QAbstractButton*>())
        if (b->text() == text)
            return b;
    return nullptr;
}

// Sets a field as the user would: a choice is picked, a number or text is
// typed and confirmed.
void enter(QWidget* w, const QString& value) {
    QVERIFY2(w, qPrintable(value));
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        const int index = combo->findText(value);
        QVERIFY2(index >= 0 && index != combo->currentIndex(), qPrintable(value));
        combo->setCurrentIndex(index);
    } else if (auto* spin = qobject_cast<QSpinBox*>(w)) {
        spin->setValue(value.toInt());
    } else {
        auto* edit = qobject_cast<QLineEdit*>(w);
        if (!edit)
            edit = w->findChild<QLineEdit*>();
        QVERIFY(edit);
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, value);
        QTest::keyClick(edit, Qt::Key_Return);
    }
}

} // namespace

class TstCommandStrings : public DemoTest {
    Q_OBJECT
private slots:
    void initTestCase() {
        QVERIFY(openDemo(u"board_ctrl"_s));
        // Pages are built when first shown.
        QTabWidget* tabs = m_gui->rightView()->tabWidget();
        for (int i = 0; i < tabs->count(); ++i)
            tabs->setCurrentIndex(i);
        m_host->commands.clear();
        auto dev = std::dynamic_pointer_cast<SimController>(ONCData::inst()->device());
        QVERIFY(dev);
        dev->setClock([] { return qint64(0); });
        m_dialogs = std::make_unique<ScriptedDialogs>();
        buildTable();
    }
    void cleanupTestCase() {
        m_dialogs.reset();
        closeDemo();
    }
    void pagesSendExactly_data() {
        QTest::addColumn<int>("row");
        for (int i = 0; i < m_rows.size(); ++i)
            QTest::newRow(m_rows.at(i).name.constData()) << i;
    }
    void pagesSendExactly() {
        QFETCH(int, row);
        const Row& r = m_rows.at(row);
        m_host->commands.clear();
        m_host->codes.clear();
        r.act();
        if (QTest::currentTestFailed())
            return;
        QStringList expected = r.expected;
        expected.replaceInStrings(u"%D"_s, m_dir->path());
        QCOMPARE(m_host->commands, expected);
        // The engine took each of them.
        QCOMPARE(m_host->codes, QList<int>(expected.size(), TCL_OK));
    }

private:
    QWidget* page(const QString& title) const {
        QTabWidget* tabs = m_gui->rightView()->tabWidget();
        for (int i = 0; i < tabs->count(); ++i)
            if (tabs->tabText(i) == title)
                return tabs->widget(i);
        return nullptr;
    }
    HardIpWidget* panel(const QString& name) const {
        for (HardIpWidget* p : m_gui->rightView()->page<vemo::toolona::HardIpTab>()->panels())
            if (p->name() == name)
                return p;
        return nullptr;
    }
    QWidget* control(const QString& panelName, const QString& key) const {
        HardIpWidget* p = panel(panelName);
        return p ? p->findChild<QWidget*>(key) : nullptr;
    }
    // The cell of a quad's lane table (IBERT, TX or RX) in the row headed `header`.
    QWidget* laneCell(const QString& panelName, const char* table, const QString& header, int lane) const {
        HardIpWidget* p = panel(panelName);
        auto* t = p ? p->findChild<QTableWidget*>(QLatin1String(table)) : nullptr;
        if (!t)
            return nullptr;
        for (int r = 0; r < t->rowCount(); ++r)
            if (t->verticalHeaderItem(r) && t->verticalHeaderItem(r)->text().trimmed() == header)
                return t->cellWidget(r, lane);
        return nullptr;
    }
    QWidget* serdes(const QString& label) const { return beside(page(u"Serdes Debug"_s), label); }
    void registerWr(const QString& title, const QString& name, const QString& text) const;

    // A quad's read of one lane: the lane, then one read per key in order.
    static QStringList reads(const char* quad, int lane, const QString& keys) {
        QStringList out{u"ona_set_controller -pcs_lane %1"_s.arg(lane)};
        for (const QString& k : keys.split(u' '))
            out << u"ona_run_controller -read_ip %1 -%2"_s.arg(QLatin1String(quad), k);
        return out;
    }
    void add(const QByteArray& name, std::function<void()> act, const QStringList& expected) {
        m_rows.append(Row{name, std::move(act), expected});
    }
    // A panel control: the value reaches the engine quoted unless it is a plain number.
    void ip(const char* panelName, const char* key, const char* value, bool quoted = true) {
        const QString v = quoted ? u"\"%1\""_s.arg(QLatin1String(value)) : QLatin1String(value);
        add(QByteArray(panelName) + ": " + key, [=] { enter(control(panelName, key), value); },
            {u"ona_set_controller -hard_ip %1 -%2 %3"_s.arg(QLatin1String(panelName), QLatin1String(key), v)});
    }
    void lane(const char* panelName, const char* table, const char* header, int l, const char* value,
              const QStringList& expected) {
        add(
            QByteArray(panelName) + ": " + header, [=] { enter(laneCell(panelName, table, header, l), value); },
            expected);
    }
    void click(const QByteArray& name, const std::function<QWidget*()>& where, const char* text,
               const QStringList& expected) {
        add(
            name,
            [=] {
                QAbstractButton* b = button(where(), QString::fromUtf8(text));
                QVERIFY2(b, text);
                b->click();
            },
            expected);
    }
    // Fills the fields named by their labels, then clicks `text`.
    void form(const QByteArray& name, const std::function<QWidget*()>& where,
              const QList<QPair<const char*, QString>>& fields, const char* text, const QStringList& expected) {
        add(
            name,
            [=] {
                for (const auto& [label, value] : fields)
                    enter(beside(where(), QString::fromUtf8(label)), value);
                button(where(), QString::fromUtf8(text))->click();
            },
            expected);
    }
    // Clicks `text`, and the file dialog it opens answers `file` in the folder.
    void chosen(const QByteArray& name, const std::function<QWidget*()>& where, const char* file, const char* text,
                const QStringList& expected) {
        add(
            name,
            [=] {
                m_dialogs->files.enqueue(m_dir->path() + "/" + file);
                button(where(), QString::fromUtf8(text))->click();
            },
            expected);
    }
    void buildTable() {
        const auto leds = [this] { return page(u"Virtual LED Switch"_s); };
        const auto memory = [this] { return page(u"User Memory"_s); };
        const auto control = [this] { return page(u"User Control Register"_s); };
        const auto status = [this] { return page(u"User Status Register"_s); };

        // Virtual LED Switch.
        click("leds: Polling Once", leds, "Polling\nOnce", q({"ona_run_controller -read_led"}));
        click("switches: Reset", leds, "Reset", q({"ona_run_controller -read_switch"}));
        add(
            "switches: typed value, Apply",
            [=] {
                enter(leds()->findChild<QLineEdit*>(u"switchData"_s), u"A5"_s);
                button(leds(), u"Apply"_s)->click();
            },
            q({"ona_run_controller -write_switch 0xa5"}));

        // User Memory.
        const QString um = m_dir->path() + "/u.mem";
        form("memory: Initialize", memory, {{"Default Data:", "1234"}}, "Initialize",
             q({"ona_run_controller -init_mem 0x1234"}));
        form("memory: Write", memory, {{"Write Address:", "20"}, {"Write Data:", "BEEF"}}, "Write",
             q({"ona_write_controller -addr 0x20 -data 0xBEEF"}));
        form("memory: Read", memory, {{"Read Address:", "20"}}, "Read", q({"ona_read_controller -addr 0x20"}));
        form("memory: Dump, default offset", memory, {{"Dump MemFile:", um}}, "Dump",
             q({"ona_run_controller -dump_memfile \"%D/u.mem\" -offset 0x00000000"}));
        form("memory: Dump, offset and range", memory, {{"Dump From (Offset):", "10"}, {"Range:", "4"}}, "Dump",
             q({"ona_run_controller -dump_memfile \"%D/u.mem\" -offset 0x10 -range 4"}));
        form("memory: Load", memory, {{"Load MemFile:", um}}, "Load",
             q({"ona_run_controller -load_memfile \"%D/u.mem\""}));

        // User Control Register and User Status Register.
        const QStringList readControls =
            q({"ona_run_controller -read_control \"ctrl_mode\"", "ona_run_controller -read_control \"ctrl_enable\"",
               "ona_run_controller -read_control \"ctrl_divisor\"", "ona_run_controller -read_control \"ctrl_key\""});
        click("control: Read All", control, "Read All", readControls);
        add(
            "control: Apply All",
            [=] {
                registerWr(u"User Control Register"_s, u"ctrl_enable"_s, u"Toggle"_s);
                registerWr(u"User Control Register"_s, u"ctrl_divisor"_s, u"300"_s);
                button(control(), u"Apply All"_s)->click();
            },
            q({"ona_run_controller -toggle_control \"ctrl_enable\"",
               "ona_run_controller -write_control \"ctrl_divisor\" -data \"300\""}));
        chosen("control: Dump", control, "c.txt", "Dump", q({"ona_run_controller -dump_control \"%D/c.txt\""}));
        chosen("control: Load", control, "c.txt", "Load",
               QStringList{u"ona_run_controller -load_control \"%D/c.txt\""_s} + readControls);
        click("status: Read All", status, "Read All",
              q({"ona_run_controller -read_status \"stat_count\"", "ona_run_controller -read_status \"stat_running\"",
                 "ona_run_controller -read_status \"stat_mode\"", "ona_run_controller -read_status \"stat_id\""}));
        chosen("status: Dump", status, "s.txt", "Dump", q({"ona_run_controller -dump_status \"%D/s.txt\""}));

        // A hard IP panel's memory form, on the PCS channel.
        const auto pcs = [this] { return static_cast<QWidget*>(panel(u"PCSCH_0"_s)); };
        const QString pm = m_dir->path() + "/p.mem";
        form("PCSCH_0: Write", pcs, {{"Write Address:", "8004"}, {"Write Data:", "5A"}}, "Write",
             q({"ona_write_controller -addr 0x8004 -data 0x5A"}));
        form("PCSCH_0: Read", pcs, {{"Read Address:", "8004"}}, "Read", q({"ona_read_controller -addr 0x8004"}));
        form("PCSCH_0: Dump", pcs, {{"Dump MemFile:", pm}, {"Range:", "8"}}, "Dump",
             q({"ona_run_controller -dump_memfile \"%D/p.mem\" -hard_ip PCSCH_0 -offset 0x00000000 -range 8"}));
        form("PCSCH_0: Load", pcs, {{"Load MemFile:", pm}}, "Load",
             q({"ona_run_controller -load_memfile \"%D/p.mem\" -hard_ip PCSCH_0"}));

        // PCS channel controls.
        ip("PCSCH_0", "tx_differential_amplitude", "700mV");
        ip("PCSCH_0", "tx_output_termination", "150 ohm");
        ip("PCSCH_0", "tx_postcursor_ratio", "12");
        ip("PCSCH_0", "tx_precursor_ratio", "9");
        ip("PCSCH_0", "tx_invert_polarity", "on");
        ip("PCSCH_0", "rx_input_termination", "150 ohm");
        ip("PCSCH_0", "rx_equalization", "SS_LMS 5GT/s");
        ip("PCSCH_0", "rx_invert_polarity", "on");
        ip("PCSCH_0", "loopback_mode", "PMA Near-End Serial Loopback");
        ip("PCSCH_0", "reset_tx_mpcs", "on");
        ip("PCSCH_0", "reset_rx_mpcs", "on");
        ip("PCSCH_0", "reset_tx_pll", "on");
        ip("PCSCH_0", "reset_rx_pll", "on");
        ip("PCSCH_0", "force_tx_driver", "on");
        ip("PCSCH_0", "force_rx_driver", "on");

        // The block panels: every declared control, then Apply and Reload.
        ip("PCIELL_0", "swing_control", "reduced");
        ip("I2C_0", "generic_call_response", "Enabled");
        ip("I2C_0", "sda_input_delay", "Enabled");
        ip("I2C_0", "sda_output_delay", "Enabled");
        ip("I2C_0", "fifo_mode_select", "FIFO Mode");
        ip("I2C_0", "fifo_clock_stretching", "Disabled");
        ip("I2C_0", "fifo_almost_full_value", "31", false);
        ip("I2C_0", "fifo_sleep_clock", "Enabled");
        ip("I2C_0", "slave_address_match_wakeup", "Enabled");
        ip("I2C_0", "fifo_almost_full_wakeup", "Enabled");
        ip("I2C_0", "master_read_complete_wakeup", "Enabled");
        ip("DPHY_0", "high_speed_select", "2.5 Gbps");
        ip("DPHY_0", "bypass_pll_clock", "Disabled");
        ip("DPHY_0", "pll_cn_counter", "31", false);
        ip("DPHY_0", "pll_cm_counter", "255", false);
        ip("DPHY_0", "pll_co_counter", "7", false);
        ip("CDR_0", "cdr_loss_of_lock", "Lock=+/-300ppm Unlock=+/-450ppm");
        ip("CDR_0", "loopback_control", "Bit Clock to IO");
        for (const char* name : {"PCSCH_0", "PCIELL_0", "I2C_0", "DPHY_0", "CDR_0"}) {
            const auto where = [this, name] { return static_cast<QWidget*>(panel(QLatin1String(name))); };
            click(QByteArray(name) + ": Apply", where, "Apply", QStringList{u"ona_run_controller -write_ip "_s + name});
            // Reload reads, then shows: showing what was just staged sends nothing.
            click(QByteArray(name) + ": Reload", where, "Reload",
                  QStringList{u"ona_run_controller -read_ip "_s + name});
        }

        // The quads: a lane's setting selects the lane, stages and writes that one key.
        const char* tx = "tableTX";
        const char* rx = "tableRX";
        const char* ibert = "tableIBERT";
        const auto laneSet = [](const char* lane, const char* set, const char* write) {
            QStringList out{QString::fromUtf8(lane), QString::fromUtf8(set)};
            if (write)
                out << QString::fromUtf8(write);
            return out;
        };
        const char* on2 = "ona_set_controller -pcs_lane 2";
        // `option` is the text after the key, exactly as sent (some carry two blanks).
        const auto mppcie = [=](const char* table, const char* header, const char* value, const char* key,
                                const char* option) {
            const QString k = QLatin1String(key);
            lane("MPPCIE_0", table, header, 2, value,
                 {QLatin1String(on2), u"ona_set_controller -hard_ip MPPCIE_0 -%1 %2"_s.arg(k, QLatin1String(option)),
                  u"ona_run_controller -write_ip MPPCIE_0 -"_s + k});
        };
        mppcie(rx, "RX Termination Acdc", "AC", "rx_term_acdc", "ac");
        mppcie(tx, "TX Data Polarity", "Invert", "tx_data_polarity", "invert");
        mppcie(tx, "TX Data Width", "16-bit", "tx_data_width", "16-bit");
        mppcie(tx, "TX Data Enable", "On", "tx_data_enable", " on");
        mppcie(tx, "TX Equal Pre-cursor", "5", "tx_equal_pre", "5");
        mppcie(tx, "TX Equal Main-cursor", "7", "tx_equal_main", "7");
        mppcie(tx, "TX Equal Post-cursor", "9", "tx_equal_post", "9");
        mppcie(tx, "TX Termination", "44-ohm", "tx_termination", "44-ohm");
        mppcie(tx, "TX Diff Amplitude Enable", "On", "tx_amp_enable", "on");
        mppcie(tx, "TX Diff Amplitude (iboost)", "3", "tx_amp_iboost", "3");
        mppcie(tx, "TX Diff Amplitude (vboost)", "4", "tx_amp_vboost", "4");
        mppcie(rx, "RX Loss of Signal Threshold", "120mVpp", "rx_signal_threshold", "120mvpp");
        mppcie(rx, "RX Data Polarity", "Invert", "rx_data_polarity", "invert");
        mppcie(rx, "RX Data Width", "20-bit", "rx_data_width", " 20-bit");
        mppcie(rx, "RX Equal Afe Rate", "3", "rx_equal_afe", "3");
        mppcie(rx, "RX Equal Atten Level", "3", "rx_equal_atten", "3");
        mppcie(rx, "RX Equal Ctle Pole", "2", "rx_equal_pole", "2");
        mppcie(rx, "RX Equal Ctle Boost", "17", "rx_equal_boost", "17");
        mppcie(rx, "RX Equal Vga1 Gain", "5", "rx_equal_vga1", "5");
        mppcie(rx, "RX Equal Vga2 Gain", "6", "rx_equal_vga2", "6");
        mppcie(rx, "RX Termination", "48-ohm", "rx_termination", "48-ohm");
        const char* on1 = "ona_set_controller -pcs_lane 1";
        lane("MPPHY_0", ibert, "Loopback Mode", 1, "Near-End Serial",
             laneSet(on1, "ona_set_controller -hard_ip MPPHY_0 -loopback_mode \"Near-End Serial\"",
                     "ona_run_controller -write_ip MPPHY_0 -loopback_mode"));
        // The patterns are staged only; Restart applies them with PAT0.
        lane("MPPHY_0", ibert, "TX PRBS Pattern", 1, "PRBS7",
             laneSet(on1, "ona_set_controller -hard_ip MPPHY_0 -tx_prbs_pattern \"PRBS7\"", nullptr));
        lane("MPPHY_0", ibert, "RX PRBS Pattern", 1, "PRBS7",
             laneSet(on1, "ona_set_controller -hard_ip MPPHY_0 -rx_prbs_pattern \"PRBS7\"", nullptr));
        add(
            "MPPHY_0: PAT0, Restart",
            [=] {
                enter(laneCell("MPPHY_0", ibert, "PAT0", 1), u"0011111010"_s);
                QTest::mouseClick(laneCell("MPPHY_0", ibert, "Restart", 1), Qt::LeftButton);
            },
            q({"ona_set_controller -pcs_lane 1", "ona_set_controller -hard_ip MPPHY_0 -tx_prbs_pat0 0011111010",
               "ona_run_controller -restart_prbs MPPHY_0"}));
        add(
            "MPPHY_0: Inject",
            [=] { QTest::mouseClick(laneCell("MPPHY_0", ibert, "Inject 1-bit Error", 1), Qt::LeftButton); },
            q({"ona_set_controller -pcs_lane 1", "ona_run_controller -inject_error MPPHY_0"}));
        add(
            "MPPHY_0: error count",
            [=] { QTest::mouseClick(laneCell("MPPHY_0", ibert, "PRBS Error Count", 1), Qt::LeftButton); },
            q({"ona_set_controller -pcs_lane 1", "ona_run_controller -count_error MPPHY_0"}));
        add(
            "MPPHY_0: IBERT Read", [=] { QTest::mouseClick(laneCell("MPPHY_0", ibert, "IBERT", 1), Qt::LeftButton); },
            reads("MPPHY_0", 1, u"tx_prbs_pattern rx_prbs_pattern tx_prbs_pat0"_s));
        add(
            "MPPCIE_0: TX Read", [=] { QTest::mouseClick(laneCell("MPPCIE_0", tx, "TX", 2), Qt::LeftButton); },
            reads("MPPCIE_0", 2,
                  u"pll_lock_status tx_data_polarity tx_data_width tx_data_enable tx_equal_pre tx_equal_main "
                  u"tx_equal_post tx_termination tx_amp_enable tx_amp_iboost tx_amp_vboost"_s));
        add(
            "MPPCIE_0: RX Read", [=] { QTest::mouseClick(laneCell("MPPCIE_0", rx, "RX", 2), Qt::LeftButton); },
            reads("MPPCIE_0", 2,
                  u"cdr_lock_status rx_signal_status rx_signal_threshold rx_data_polarity rx_data_width "
                  u"rx_equal_afe rx_equal_atten rx_equal_pole rx_equal_boost rx_equal_vga1 rx_equal_vga2 "
                  u"rx_termination rx_term_acdc"_s));

        // Serdes Debug.
        // The option is sent quoted as picked unless `option` says otherwise.
        const auto sd = [this](const char* label, const char* value, const char* key, const char* option = nullptr) {
            const QString o = option ? QLatin1String(option) : u"\"%1\""_s.arg(QLatin1String(value));
            add(QByteArray("serdes: ") + label, [=] { enter(serdes(QLatin1String(label)), value); },
                {u"ona_set_pcs -control %1 -option %2"_s.arg(QLatin1String(key), o)});
        };
        const auto serdesPage = [this] { return page(u"Serdes Debug"_s); };
        // Picked before any setting changes: a channel whose settings differ from
        // those shown makes the view send them back as set commands.
        sd("Channel:", "1", "channel", "1");
        sd("DCUA:", "1", "dcua", "1");
        sd("Differential amplitude", "300", "tx_diffamp");
        sd("Output termination", "75ohms", "tx_term");
        sd("De-emphasis pre-cursor select", "3", "tx_precur");
        sd("De-emphasis post-cursor select", "11", "tx_postcur");
        sd("Invert Tx data polarity", "Invert", "tx_invert", "on");
        sd("TxPLL Loss of lock setting", "Lock=+/-1500ppm Unlock=+/-2200ppm", "tx_losslock");
        sd("Input termination", "60ohms", "rx_term");
        sd("AC/DC coupled", "AC", "rx_coupling");
        sd("Channel length", "15-20in", "rx_channellength");
        sd("Data rate", "Above 2.5Gbps", "rx_datarate");
        sd("EQ level", "9dB", "rx_leq");
        sd("Loss of signal threshold select", "7", "rx_los_thres");
        sd("Invert Rx data polarity", "Invert", "rx_invert", "on");
        add(
            "serdes: Invert Rx data polarity, back",
            [=] { enter(serdes(u"Invert Rx data polarity"_s), u"Non-invert"_s); },
            q({"ona_set_pcs -control rx_invert -option off"}));
        sd("CDR loss of lock setting", "Lock=+/-300ppm Unlock=+/-450ppm", "rx_losslock");
        sd("Loopback mode", "Tx Output to Rx", "loopback");
        const auto reset = [=](const char* label, const char* key) {
            const auto where = [=] { return serdes(QLatin1String(label)); };
            add(
                QByteArray("serdes: ") + label,
                [=] {
                    QTest::mouseClick(where(), Qt::LeftButton);
                    QTest::mouseClick(where(), Qt::LeftButton);
                },
                QStringList{u"ona_set_pcs -control %1 -option on"_s.arg(QLatin1String(key)),
                            u"ona_set_pcs -control %1 -option off"_s.arg(QLatin1String(key))});
        };
        reset("TxPLL reset (tx_rst - DCU based)", "tx_pll_reset");
        reset("Macro reset (Reset whole DCU)", "macro_reset");
        reset("DCU reset (Ch reset - Rx & Tx PCS)", "dcu_reset");
        reset("Tx PCS reset (Ch reset - Tx PCS)", "tx_pcs_reset");
        reset("Rx PCS reset (Ch reset - Rx PCS)", "rx_pcs_reset");
        reset("Rx CDR reset (Ch reset - Rx CDR)", "rx_cdr_reset");
        click("serdes: Apply", serdesPage, "Apply", q({"ona_run_pcs"}));
        // Config SRAM Reload ("ona_run_pcs -config_sram", checked in tst_serdes)
        // is not a row: after changed settings the view sends the reloaded ones
        // back as set commands.
        chosen("serdes: Export...", serdesPage, "set.srv", "Export...", q({"ona_export_pcs \"%D/set.srv\""}));
        chosen("serdes: Import...", serdesPage, "set.srv", "Import...", q({"ona_import_pcs \"%D/set.srv\""}));
    }

    std::unique_ptr<ScriptedDialogs> m_dialogs;
    QList<Row> m_rows;
};

void TstCommandStrings::registerWr(const QString& title, const QString& name, const QString& text) const {
    auto* view = page(title)->findChild<QTableView*>();
    QAbstractItemModel* model = view->model();
    int wr = -1;
    for (int c = 0; c < model->columnCount(); ++c)
        if (model->headerData(c, Qt::Horizontal).toString() == QLatin1String("Wr Value"))
            wr = c;
    for (int r = 0; r < model->rowCount(); ++r)
        if (model->index(r, 1).data().toString() == name)
            model->setData(model->index(r, wr), text);
}

QTEST_MAIN(TstCommandStrings)
#include "tst_commandstrings.moc"
