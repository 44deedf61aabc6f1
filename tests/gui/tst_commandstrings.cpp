// Every engine command the controller, hard IP and SERDES pages send, byte
// for byte: one table of {page, user action, expected commands}, driven
// through an embedded window on the demo with a recording host. Widgets are
// found by what the user sees (tab title, label, button text, row header) or
// by the control's object name; the engine must take every command. "%D" in
// an expected command stands for the test's folder.

#include "demofixture.h"
#include "guitest.h"
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
    QWidget* page(const QString& title) const { return m_gui->rightView()->page(title); }
    HardIpWidget* panel(const QString& name) const { return hardIpPanel(*m_gui, name); }
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
    // A panel control, "panel key=value" (sent quoted) or "panel key:value".
    void ip(const QString& row) {
        static const QRegularExpression re(u"^(\\w+) (\\w+)([=:])(.*)$"_s);
        const QRegularExpressionMatch m = re.match(row);
        const QString panelName = m.captured(1), key = m.captured(2), value = m.captured(4);
        const QString sent = m.captured(3) == u"="_s ? u'"' + value + u'"' : value;
        add((panelName + u": "_s + key).toUtf8(), [=] { enter(control(panelName, key), value); },
            {u"ona_set_controller -hard_ip %1 -%2 %3"_s.arg(panelName, key, sent)});
    }
    void lane(const char* panelName, const char* table, const QString& header, int l, const QString& value,
              const QStringList& expected) {
        add(
            QByteArray(panelName) + ": " + header.toUtf8(),
            [=] { enter(laneCell(panelName, table, header, l), value); }, expected);
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
        const auto memory = [this] { return page(u"User Memory"_s); };
        const auto control = [this] { return page(u"User Control Register"_s); };
        const auto status = [this] { return page(u"User Status Register"_s); };

        // The LED and switch panels, the memory's Initialize, Write and Read
        // and the register files are in tst_controller, with what the device did.
        const QString um = m_dir->path() + "/u.mem";
        form("memory: Dump, default offset", memory, {{"Dump MemFile:", um}}, "Dump",
             QStringList({"ona_run_controller -dump_memfile \"%D/u.mem\" -offset 0x00000000"}));
        form("memory: Dump, offset and range", memory, {{"Dump From (Offset):", "10"}, {"Range:", "4"}}, "Dump",
             QStringList({"ona_run_controller -dump_memfile \"%D/u.mem\" -offset 0x10 -range 4"}));
        form("memory: Load", memory, {{"Load MemFile:", um}}, "Load",
             QStringList({"ona_run_controller -load_memfile \"%D/u.mem\""}));

        // User Control Register and User Status Register.
        const QStringList readControls = QStringList(
            {"ona_run_controller -read_control \"ctrl_mode\"", "ona_run_controller -read_control \"ctrl_enable\"",
             "ona_run_controller -read_control \"ctrl_divisor\"", "ona_run_controller -read_control \"ctrl_key\""});
        click("control: Read All", control, "Read All", readControls);
        add(
            "control: Apply All",
            [=] {
                registerWr(u"User Control Register"_s, u"ctrl_enable"_s, u"Toggle"_s);
                registerWr(u"User Control Register"_s, u"ctrl_divisor"_s, u"300"_s);
                button(control(), u"Apply All"_s)->click();
            },
            QStringList({"ona_run_controller -toggle_control \"ctrl_enable\"",
                         "ona_run_controller -write_control \"ctrl_divisor\" -data \"300\""}));
        click("status: Read All", status, "Read All",
              QStringList(
                  {"ona_run_controller -read_status \"stat_count\"", "ona_run_controller -read_status \"stat_running\"",
                   "ona_run_controller -read_status \"stat_mode\"", "ona_run_controller -read_status \"stat_id\""}));

        // A hard IP panel's memory form: tst_hardip's memoryForm.

        // Every declared control of the PCS channel and the block panels, as
        // "panel key=value", or "panel key:value" for a plain number sent unquoted.
        for (const QString& row :
             u"PCSCH_0 tx_differential_amplitude=700mV|PCSCH_0 tx_output_termination=150 ohm|"
             "PCSCH_0 tx_postcursor_ratio=12|PCSCH_0 tx_precursor_ratio=9|PCSCH_0 tx_invert_polarity=on|"
             "PCSCH_0 rx_input_termination=150 ohm|PCSCH_0 rx_equalization=SS_LMS 5GT/s|"
             "PCSCH_0 rx_invert_polarity=on|PCSCH_0 loopback_mode=PMA Near-End Serial Loopback|"
             "PCSCH_0 reset_tx_mpcs=on|PCSCH_0 reset_rx_mpcs=on|PCSCH_0 reset_tx_pll=on|PCSCH_0 reset_rx_pll=on|"
             "PCSCH_0 force_tx_driver=on|PCSCH_0 force_rx_driver=on|PCIELL_0 swing_control=reduced|"
             "I2C_0 generic_call_response=Enabled|I2C_0 sda_input_delay=Enabled|I2C_0 sda_output_delay=Enabled|"
             "I2C_0 fifo_mode_select=FIFO Mode|I2C_0 fifo_clock_stretching=Disabled|"
             "I2C_0 fifo_almost_full_value:31|I2C_0 fifo_sleep_clock=Enabled|"
             "I2C_0 slave_address_match_wakeup=Enabled|I2C_0 fifo_almost_full_wakeup=Enabled|"
             "I2C_0 master_read_complete_wakeup=Enabled|DPHY_0 high_speed_select=2.5 Gbps|"
             "DPHY_0 bypass_pll_clock=Disabled|DPHY_0 pll_cn_counter:31|DPHY_0 pll_cm_counter:255|"
             "DPHY_0 pll_co_counter:7|CDR_0 cdr_loss_of_lock=Lock=+/-300ppm Unlock=+/-450ppm|"
             "CDR_0 loopback_control=Bit Clock to IO"_s.split(u'|'))
            ip(row);
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
        const auto mppcie = [=](const char* table, const QString& header, const QString& value, const QString& k,
                                const QString& option) {
            lane("MPPCIE_0", table, header, 2, value,
                 {QLatin1String(on2), u"ona_set_controller -hard_ip MPPCIE_0 -%1 %2"_s.arg(k, option),
                  u"ona_run_controller -write_ip MPPCIE_0 -"_s + k});
        };
        // Header|value|key|option: the table is the header's first word.
        for (const QString& row :
             u"RX Termination Acdc|AC|rx_term_acdc|ac;TX Data Polarity|Invert|tx_data_polarity|invert;"
             "TX Data Width|16-bit|tx_data_width|16-bit;TX Data Enable|On|tx_data_enable| on;"
             "TX Equal Pre-cursor|5|tx_equal_pre|5;TX Equal Main-cursor|7|tx_equal_main|7;"
             "TX Equal Post-cursor|9|tx_equal_post|9;TX Termination|44-ohm|tx_termination|44-ohm;"
             "TX Diff Amplitude Enable|On|tx_amp_enable|on;TX Diff Amplitude (iboost)|3|tx_amp_iboost|3;"
             "TX Diff Amplitude (vboost)|4|tx_amp_vboost|4;"
             "RX Loss of Signal Threshold|120mVpp|rx_signal_threshold|120mvpp;"
             "RX Data Polarity|Invert|rx_data_polarity|invert;RX Data Width|20-bit|rx_data_width| 20-bit;"
             "RX Equal Afe Rate|3|rx_equal_afe|3;RX Equal Atten Level|3|rx_equal_atten|3;"
             "RX Equal Ctle Pole|2|rx_equal_pole|2;RX Equal Ctle Boost|17|rx_equal_boost|17;"
             "RX Equal Vga1 Gain|5|rx_equal_vga1|5;RX Equal Vga2 Gain|6|rx_equal_vga2|6;"
             "RX Termination|48-ohm|rx_termination|48-ohm"_s.split(u';')) {
            const QStringList f = row.split(u'|');
            mppcie(f.at(0).startsWith(u"TX"_s) ? tx : rx, f.at(0), f.at(1), f.at(2), f.at(3));
        }
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
            QStringList({"ona_set_controller -pcs_lane 1",
                         "ona_set_controller -hard_ip MPPHY_0 -tx_prbs_pat0 0011111010",
                         "ona_run_controller -restart_prbs MPPHY_0"}));
        // A click on a lane's button, the row named by the button's header.
        const auto press = [=](const char* panelName, const char* table, const char* header, int l,
                               const QStringList& expected) {
            add(
                QByteArray(panelName) + ": " + header,
                [=] { QTest::mouseClick(laneCell(panelName, table, header, l), Qt::LeftButton); }, expected);
        };
        press("MPPHY_0", ibert, "Inject 1-bit Error", 1,
              QStringList({"ona_set_controller -pcs_lane 1", "ona_run_controller -inject_error MPPHY_0"}));
        press("MPPHY_0", ibert, "PRBS Error Count", 1,
              QStringList({"ona_set_controller -pcs_lane 1", "ona_run_controller -count_error MPPHY_0"}));
        press("MPPHY_0", ibert, "IBERT", 1,
              reads("MPPHY_0", 1, u"tx_prbs_pattern rx_prbs_pattern tx_prbs_pat0"_s) +
                  QStringList{u"ona_run_controller -count_error MPPHY_0"_s});
        press("MPPCIE_0", tx, "TX", 2,
              reads("MPPCIE_0", 2,
                    u"pll_lock_status tx_data_polarity tx_data_width tx_data_enable tx_equal_pre tx_equal_main "
                    u"tx_equal_post tx_termination tx_amp_enable tx_amp_iboost tx_amp_vboost"_s));
        press("MPPCIE_0", rx, "RX", 2,
              reads("MPPCIE_0", 2,
                    u"cdr_lock_status rx_signal_status rx_signal_threshold rx_data_polarity rx_data_width "
                    u"rx_equal_afe rx_equal_atten rx_equal_pole rx_equal_boost rx_equal_vga1 rx_equal_vga2 "
                    u"rx_termination rx_term_acdc"_s));

        // Serdes Debug.
        // Label|value|key|option: the option is sent quoted as picked unless given.
        const auto sd = [this](const QString& row) {
            const QStringList f = row.split(u'|');
            const QString o = f.at(3).isEmpty() ? u'"' + f.at(1) + u'"' : f.at(3);
            add("serdes: " + f.at(0).toUtf8() + " = " + f.at(1).toUtf8(), [=] { enter(serdes(f.at(0)), f.at(1)); },
                {u"ona_set_pcs -control %1 -option %2"_s.arg(f.at(2), o)});
        };
        const auto serdesPage = [this] { return page(u"Serdes Debug"_s); };
        // Picked before any setting changes: a channel whose settings differ from
        // those shown makes the view send them back as set commands.
        for (const QString& row :
             QStringLiteral(
                 "Channel:|1|channel|1;DCUA:|1|dcua|1;Differential amplitude|300|tx_diffamp|;"
                 // Blanks, a sign or a leading zero ("0120" is octal to Tcl) are the same number.
                 "Differential amplitude| 140|tx_diffamp|\"140\";Differential amplitude|+160|tx_diffamp|\"160\";"
                 "Differential amplitude|0120|tx_diffamp|\"120\";Differential amplitude|7|tx_diffamp|;"
                 "Output termination|75ohms|tx_term|;De-emphasis pre-cursor select|3|tx_precur|;"
                 "De-emphasis post-cursor select|11|tx_postcur|;Invert Tx data polarity|Invert|tx_invert|on;"
                 "TxPLL Loss of lock setting|Lock=+/-1500ppm Unlock=+/-2200ppm|tx_losslock|;"
                 "Input termination|60ohms|rx_term|;AC/DC coupled|AC|rx_coupling|;"
                 "Channel length|15-20in|rx_channellength|;Data rate|Above 2.5Gbps|rx_datarate|;EQ level|9dB|rx_leq|;"
                 "Loss of signal threshold select|7|rx_los_thres|;Invert Rx data polarity|Invert|rx_invert|on")
                 .split(u';'))
            sd(row);
        add(
            "serdes: Invert Rx data polarity, back",
            [=] { enter(serdes(u"Invert Rx data polarity"_s), u"Non-invert"_s); },
            QStringList({"ona_set_pcs -control rx_invert -option off"}));
        for (const QString& row :
             u"CDR loss of lock setting|Lock=+/-300ppm Unlock=+/-450ppm|rx_losslock|;"
             "Loopback mode|Tx Output to Rx|loopback|"_s.split(u';'))
            sd(row);
        const auto reset = [=](const QString& label, const QString& key) {
            const auto where = [=] { return serdes(label); };
            add(
                "serdes: " + label.toUtf8(),
                [=] {
                    QTest::mouseClick(where(), Qt::LeftButton);
                    QTest::mouseClick(where(), Qt::LeftButton);
                },
                QStringList{u"ona_set_pcs -control %1 -option on"_s.arg(key),
                            u"ona_set_pcs -control %1 -option off"_s.arg(key)});
        };
        for (const QString& row :
             u"TxPLL reset (tx_rst - DCU based)|tx_pll_reset;Macro reset (Reset whole DCU)|macro_reset;"
             "DCU reset (Ch reset - Rx & Tx PCS)|dcu_reset;Tx PCS reset (Ch reset - Tx PCS)|tx_pcs_reset;"
             "Rx PCS reset (Ch reset - Rx PCS)|rx_pcs_reset;Rx CDR reset (Ch reset - Rx CDR)|rx_cdr_reset"_s.split(
                 u';'))
            reset(row.section(u'|', 0, 0), row.section(u'|', 1));
        click("serdes: Apply", serdesPage, "Apply", QStringList({"ona_run_pcs"}));
        // Config SRAM Reload ("ona_run_pcs -config_sram", checked in tst_serdes)
        // is not a row: after changed settings the view sends the reloaded ones
        // back as set commands.
        chosen("serdes: Export...", serdesPage, "set.srv", "Export...", QStringList({"ona_export_pcs \"%D/set.srv\""}));
        chosen("serdes: Import...", serdesPage, "set.srv", "Import...", QStringList({"ona_import_pcs \"%D/set.srv\""}));
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
