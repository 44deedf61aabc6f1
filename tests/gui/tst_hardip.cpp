// The "Hard IP" page on the demo's controller core, through an embedded
// window and a recording host: the panels the tab builds, the memory form,
// stage / apply / reload round trips against the simulated blocks, the
// cursor refusal, the PCIe, I2C, SGMII CDR and multi-protocol PHY quad
// panels with lane maps from the merge information, read-all with failed
// reads, and the IBERT flow. The exact command strings are in
// tst_commandstrings.

#include "demofixture.h"
#include "guitest.h"
#include "recordinghost.h"

#include "controller/onapathitemeditor.h"
#include "hardip/blockpanels.h"
#include "hardip/controlcombobox.h"
#include "hardip/controlspinbox.h"
#include "hardip/hardiptab.h"
#include "hardip/hardipwidget.h"
#include "hardip/lanetable.h"
#include "hardip/mpphyx4widget.h"
#include "hardip/pcschwidget.h"
#include "shell/onagui.h"
#include "shell/rightview.h"
#include "widgets/fitmark.h"
#include "widgets/hexvaluelineedit.h"
#include "widgets/statusledwidget.h"
#include "widgets/widgetgroupbox.h"

#include "basgui/dialogseam.h"
#include "onadata.h"
#include "oncdata.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

using namespace vemo::toolona;
using vemo::basgui::ScriptedDialogs;
using Table = MPPHYX4Widget::Table;
using namespace Qt::StringLiterals;

class TstHardIp : public DemoTest {
    Q_OBJECT
private slots:
    void init() { QVERIFY(openDemo(u"board_ctrl"_s)); }
    void cleanup() {
        closeDemo();
        QVERIFY(!QApplication::overrideCursor());
    }
    void tabBuildsOnePanelPerInstance() {
        QTabWidget* tabs = m_gui->rightView()->tabWidget();
        const int index = tabs->indexOf(tab());
        QVERIFY(tabs->isTabEnabled(index) && tab()->hasContent());
        // Building and filling the panels sent nothing.
        QCOMPARE(m_host->commands, QStringList());

        WidgetGroupBox* box = tab()->groupBox();
        QStringList titles;
        for (QWidget* w : box->widgets())
            titles << box->label(w)->text();
        QCOMPARE(titles, QStringList({"PCSCH_0", "PCSCH_1", "PLL_0", "PCIELL_0", "I2C_0", "DPHY_0", "CDR_0", "MPPHY_0",
                                      "MPPCIE_0 <b><i>(BETA)</i></b>", "MPPCIE_1 <b><i>(BETA)</i></b>"}));
        QVERIFY(pcs(0) && pcs(1) && !qobject_cast<PCSCHWidget*>(tab()->panels().at(2)));
        // The panels start with what the engine holds.
        QCOMPARE(combo("tx_differential_amplitude")->currentText(), u"1000mV"_s);
        QCOMPARE(shown("rx_cdr_lol_status"), u"Loss of Lock"_s);

        // Collapsing a panel hides it and keeps it hidden through a resize.
        emit box->button(pcs())->sigGroupBtnClicked();
        QVERIFY(pcs()->isHidden() && !pcs(1)->isHidden());

        // The mouse wheel over a setting neither changes it nor scrolls the page.
        auto* scroll = tab()->findChild<QScrollArea*>();
        scroll->verticalScrollBar()->setValue(0);
        ControlComboBox* loop = combo("loopback_mode", 1);
        QWheelEvent wheel(QPointF(5, 5), loop->mapToGlobal(QPointF(5, 5)), QPoint(0, -120), QPoint(0, -120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(loop, &wheel);
        QCOMPARE(loop->currentIndex(), 0);
        QCOMPARE(scroll->verticalScrollBar()->value(), 0);
        QCOMPARE(m_host->commands, QStringList());

        // Another core empties the page, which then has nothing to show.
        m_gui->coreSelector()->setCurrentIndex(m_gui->coreSelector()->findText(u"uart_la"_s));
        QVERIFY(!tabs->isTabEnabled(tabs->indexOf(tab())) || tab()->panels().isEmpty());
        QVERIFY(!HardIpTab::hasContentFor(OnaData::inst()->getCorePtr(OnaData::inst()->getCoreId(u"uart_la"_s))));
    }
    void panelDispatchAndFrame() {
        const auto make = [&](const QString& type, const QString& name) {
            HardIpData d;
            d.type = type;
            d.name = name;
            return std::unique_ptr<HardIpWidget>(HardIpTab::createPanel(d, m_gui.get(), nullptr));
        };
        // The name picks the PCS panel for any type but the three typed panels.
        QVERIFY(qobject_cast<PCSCHWidget*>(make("pll", "PCSCH_0").get()));
        QVERIFY(qobject_cast<PCSCHWidget*>(make("anything", "PCSCH_7").get()));
        QVERIFY(!qobject_cast<PCSCHWidget*>(make("i2c", "PCSCH_0").get()));
        QVERIFY(!qobject_cast<PCSCHWidget*>(make("pcs", "pcsch_0").get()));

        // A start address stored without "0x" is titled with it and preset
        // bare; one stored with it is preset without it, so commands never
        // carry "0x0x".
        HardIpData d;
        d.type = u"pll"_s;
        d.name = u"PLL_9"_s;
        d.hierarchy =
            u"top/a/very/long/hierarchy/that/does/not/fit/in/the/four/hundred/and/twenty/six/"
            "pixels/of/its/column/at/all/not/even/close"_s;
        d.startAddress = u"100"_s;
        d.endAddress = u"0x1FF"_s;
        d.enabled = false;
        HardIpWidget plain(m_gui.get());
        plain.setData(d);
        plain.buildFrame();
        QCOMPARE(plain.addressGroup()->title(), u"Address (0x100 ~ 0x1FF)"_s);
        QCOMPARE(plain.readAddressEdit()->text(), u"100"_s);
        QVERIFY(plain.hierarchyLabel()->fontMetrics().horizontalAdvance(plain.hierarchyLabel()->text()) <= 426);
        d.startAddress = u"0x8000"_s;
        PCSCHWidget channel(m_gui.get());
        channel.setData(d);
        channel.buildFrame();
        QCOMPARE(channel.writeAddressEdit()->text(), u"8000"_s);

        // A disabled instance gets a disabled panel, every control with it.
        m_gui.reset();
        QString onl = QString::fromUtf8(readAll(m_dir->path() + "/demo/demo.onl"));
        onl.replace(u"\"instance\": \"PCSCH_1\", \"type\": \"pcs\","_s,
                    u"\"instance\": \"PCSCH_1\", \"type\": \"pcs\", \"enabled\": false,"_s);
        QVERIFY(writeAll(m_dir->path() + "/demo/demo.onl", onl.toUtf8()));
        m_gui = demofixture::embeddedGui(m_host.get(), m_dir->path() + "/demo/demo.ona");
        QVERIFY(m_gui);
        m_gui->coreSelector()->setCurrentIndex(m_gui->coreSelector()->findText(u"board_ctrl"_s));
        QVERIFY(pcs(0)->isEnabled() && !pcs(1)->isEnabled() && !combo("loopback_mode", 1)->isEnabled());
    }
    void spinBoxCommitsOnceAndCursorRefusal() {
        ScriptedDialogs dialogs;
        ControlSpinBox* post = spin("tx_postcursor_ratio");
        ControlSpinBox* pre = spin("tx_precursor_ratio");
        // Typed digits are sent once, on Enter, not per keystroke.
        post->setFocus();
        post->selectAll();
        QTest::keyClicks(post, u"40"_s);
        QCOMPARE(m_host->commands, QStringList());
        QTest::keyClick(post, Qt::Key_Return);
        QCOMPARE(m_host->commands, QStringList{"ona_set_controller -hard_ip PCSCH_0 -tx_postcursor_ratio \"40\""});
        QCOMPARE(engine("tx_postcursor_ratio", true), u"40"_s);
        // A number out of range is not cut while typed; on Enter the box
        // keeps its value, says why and sends nothing.
        post->selectAll();
        QTest::keyClicks(post, u"700"_s);
        QCOMPARE(post->text(), u"700"_s);
        QTest::keyClick(post, Qt::Key_Return);
        QCOMPARE(post->value(), 40);
        QVERIFY(m_gui->statusBar()->currentMessage().startsWith(u"700 is outside"_s));
        QCOMPARE(m_host->commands.size(), 1);

        // Pre-cursor 30 would make 70: the engine refuses, the user is told,
        // and the box goes back without a second command.
        QCOMPARE(m_host->sent([&] { pre->setValue(30); }),
                 QStringList{"ona_set_controller -hard_ip PCSCH_0 -tx_precursor_ratio \"30\""});
        QCOMPARE(dialogs.asked.size(), 1);
        QCOMPARE(dialogs.asked.first().text,
                 u"ERROR: Sum of Tx Post-Cursor Ratio and Tx Pre-Cursor Ratio should be less than or equal to 63."_s);
        QCOMPARE(pre->value(), 0);
        QCOMPARE(engine("tx_precursor_ratio", true), u"0"_s);
        // 23 fits; accepted by the result code although the engine's text is
        // only the value, and remembered as the value to go back to.
        pre->setValue(23);
        QCOMPARE(pre->value(), 23);
        pre->setValue(24);
        QCOMPARE(pre->value(), 23);
        QCOMPARE(dialogs.asked.size(), 2);
        QCOMPARE(m_host->commands.size(), 3);

        // A refusal with a reason of its own is reported with that reason, and
        // an accepted change with an empty result is still accepted.
        m_host->commands.clear();
        ONCData::inst()->injectFailure(u"ona_set_controller -hard_ip PCSCH_0 -tx_postcursor_ratio 10"_s,
                                       ONCData::Empty);
        post->setValue(10);
        QCOMPARE(post->value(), 10);
        ONCData::inst()->clearFailures();
        ONCData::inst()->injectFailure(u"ona_set_controller -hard_ip PCSCH_0 -tx_postcursor_ratio"_s, ONCData::Failed);
        post->setValue(11);
        ONCData::inst()->clearFailures();
        QCOMPARE(post->value(), 10);
        QCOMPARE(dialogs.asked.size(), 2);
        QCOMPARE(m_host->commands.size(), 2);
    }
    void applyReloadRoundTrip() {
        // The new user's path: change TX settings, Apply, Reload and see them.
        combo("tx_differential_amplitude")->setCurrentText(u"600mV"_s);
        spin("tx_postcursor_ratio")->setValue(12);
        combo("loopback_mode")->setCurrentText(u"PMA Far-End Parallel Loopback"_s);
        pcs()->applyButton()->click();
        QCOMPARE(engine("tx_differential_amplitude"), u"1000mV"_s); // not read yet
        // Changed in the panel but not applied: Reload shows the device.
        combo("tx_differential_amplitude")->setCurrentText(u"100mV"_s);
        combo("loopback_mode")->setCurrentText(u"Disabled"_s);
        QCOMPARE(m_host->sent([&] { pcs()->reloadButton()->click(); }),
                 QStringList{"ona_run_controller -read_ip PCSCH_0"});
        QCOMPARE(combo("tx_differential_amplitude")->currentText(), u"600mV"_s);
        QCOMPARE(spin("tx_postcursor_ratio")->value(), 12);
        QCOMPARE(combo("loopback_mode")->currentText(), u"PMA Far-End Parallel Loopback"_s);
        // What is shown is what the next Apply writes.
        QCOMPARE(engine("tx_differential_amplitude", true), u"600mV"_s);
        QCOMPARE(engine("loopback_mode", true), u"PMA Far-End Parallel Loopback"_s);
        // The other channel is its own block.
        pcs(1)->reloadButton()->click();
        QCOMPARE(combo("tx_differential_amplitude", 1)->currentText(), u"1000mV"_s);

        // A new panel for the same core starts with what the engine read.
        m_gui->coreSelector()->setCurrentIndex(m_gui->coreSelector()->findText(u"uart_la"_s));
        m_gui->coreSelector()->setCurrentIndex(m_gui->coreSelector()->findText(u"board_ctrl"_s));
        QCOMPARE(combo("tx_differential_amplitude")->currentText(), u"600mV"_s);
    }
    void refusedSetApplyAndReloadAreSaid() {
        const auto said = [this](const QString& text) { return m_gui->statusBar()->currentMessage().contains(text); };
        // A refused choice stays, marked with the reason, and is said.
        ControlComboBox* amp = combo("tx_differential_amplitude");
        m_host->refuse = [](const QString& c) { return c.contains("-tx_differential_amplitude"); };
        amp->setCurrentText(u"600mV"_s);
        QCOMPARE(amp->currentText(), u"600mV"_s);
        QVERIFY(amp->toolTip().contains(u"refused by the test"_s) && said(u"\"600mV\" was refused"_s));
        // A failed Apply and a failed Reload are said; Reload then keeps
        // every control as it is.
        m_host->refuse = [](const QString& c) { return c.startsWith("ona_run_controller -write_ip"); };
        pcs()->applyButton()->click();
        QVERIFY(said(u"PCSCH_0: Apply failed"_s));
        m_host->refuse = [](const QString& c) { return c.startsWith("ona_run_controller -read_ip"); };
        pcs()->reloadButton()->click();
        QVERIFY(said(u"PCSCH_0: Reload failed"_s));
        QCOMPARE(amp->currentText(), u"600mV"_s);
        m_host->refuse = nullptr;
    }
    void memoryForm() {
        ScriptedDialogs dialogs;
        HardIpWidget* panel = pcs(1);
        panel->writeDataEdit()->setText(u"BEEF"_s);
        panel->writeAddressEdit()->setText(u"8105"_s);
        panel->writeButton()->click();
        panel->readAddressEdit()->setText(u"8105"_s);
        panel->readButton()->click();
        QCOMPARE(m_host->commands,
                 QStringList({"ona_write_controller -addr 0x8105 -data 0xBEEF", "ona_read_controller -addr 0x8105"}));
        QCOMPARE(panel->readDataEdit()->text(), u"0x0000BEEF"_s);

        // Dump and load name the instance; a hostile path reaches the engine intact.
        m_host->commands.clear();
        QVERIFY(!panel->dumpButton()->isEnabled());
        const QString path = m_dir->path() + u"/ch1 \"[x]\" $y.mem"_s;
        panel->dumpPathEditor()->setText(path);
        panel->rangeEdit()->setText(u"8"_s);
        panel->dumpButton()->click();
        QCOMPARE(m_host->commands.last(),
                 u"ona_run_controller -dump_memfile \"%1\" -hard_ip PCSCH_1 -offset 0x00000000 -range 8"_s.arg(
                     QString(path).replace("\"", "\\\"").replace("[", "\\[").replace("]", "\\]").replace("$", "\\$")));
        QVERIFY(QFile::exists(path));
        m_host->eval(u"ona_write_controller -addr 0x8105 -data 0x0"_s);
        panel->loadPathEditor()->setText(path);
        panel->loadButton()->click();
        QVERIFY(m_host->commands.last().endsWith(u"\" -hard_ip PCSCH_1"_s));
        QCOMPARE(m_host->eval(u"ona_read_controller -addr 0x8105"_s), u"0000BEEF"_s);

        const int asked = dialogs.asked.size();
        panel->dumpPathEditor()->setText(QString());
        panel->handleDumpButtonClicked();
        QCOMPARE(dialogs.asked.last().text, u"File name cannot be empty."_s);
        panel->loadPathEditor()->setText(QString());
        panel->handleLoadButtonClicked();
        QCOMPARE(dialogs.asked.last().text, u"Memory file name cannot be empty."_s);
        QCOMPARE(dialogs.asked.size(), asked + 2);
    }

    void quadsFromMergeInformationAndTheirLanes() {
        // The merge file was read with the project, after the page was made.
        QCOMPARE(tab()->mergeTable().size(), 2);
        auto* mpphy = panel<MPPHYX4Widget>("MPPHY_0");
        auto* pcieA = panel<MPPHYX4Widget>("MPPCIE_0");
        auto* pcieB = panel<MPPHYX4Widget>("MPPCIE_1");
        QVERIFY(mpphy && pcieA && pcieB);
        QVERIFY(qobject_cast<MPPCIEX8Widget*>(pcieA) && !qobject_cast<MPPCIEX8Widget*>(mpphy));
        QCOMPARE(mpphy->laneMap(), QList<int>({0, 1}));
        QCOMPARE(pcieA->laneMap(), QList<int>({0, 1, 2, 3}));
        QCOMPARE(pcieB->quadLabel()->text(), u"Assigned Quad: Quad-B"_s);
        HardIpData other;
        other.name = u"MPPHY_3"_s;
        other.mergeInfo.lanes = {"", "3", "9", "1"};
        QCOMPARE(HardIpTab::laneMapFor(other), QStringList({"1", "3"}));
        other.mergeInfo.lanes.clear();
        QVERIFY(HardIpTab::laneMapFor(other).isEmpty());
        other.name = u"MPPCIE_7"_s;
        QCOMPARE(HardIpTab::laneMapFor(other).size(), 4);

        // The lanes that are not the instance's are disabled.
        for (Table t : {MPPHYX4Widget::IBERT, MPPHYX4Widget::TX, MPPHYX4Widget::RX}) {
            LaneTable* table = mpphy->table(t);
            for (int r = 0; r < table->rowCount(); ++r) {
                QVERIFY(table->row(r)[1]->isEnabled());
                QVERIFY(!table->row(r)[2]->isEnabled() && !table->row(r)[3]->isEnabled());
            }
            QVERIFY(pcieA->table(t)->row(0)[3]->isEnabled());
        }

        // A switched-off lane sends nothing, and building sent nothing at all.
        comboAt(mpphy, MPPHYX4Widget::TX, 2, 3)->setCurrentIndex(1);
        QCOMPARE(m_host->commands, QStringList());
        // A lane's setting reaches the engine's staged values.
        comboAt(pcieA, MPPHYX4Widget::RX, 12, 2)->setCurrentText(u"48-ohm"_s);
        QCOMPARE(m_host->eval("dict get [ona_get hardip MPPCIE_0 -staged] rx_termination"), u"48-ohm"_s);
        // A caller that is not one of the lanes' controls writes nothing.
        m_host->commands.clear();
        pcieA->onLaneSettingChanged(u"AC"_s);
        pcieA->onIBERTRestart();
        pcieA->onTXReadALL();
        QCOMPARE(m_host->commands, QStringList());
        // Opening the project again reads the merge file again, and rebuilding
        // the panels sent nothing either.
        QVERIFY(QFile::remove(m_dir->path() + "/demo/mpp_merge.json"));
        emit OnaData::inst()->sigProjectOpened(OnaData::inst()->getCurrentProject());
        QCOMPARE(m_host->commands, QStringList());
        QVERIFY(panel<MPPHYX4Widget>("MPPHY_0")->laneMap().isEmpty());
    }
    void ibertFlow() {
        ScriptedDialogs dialogs;
        auto* quad = panel<MPPHYX4Widget>("MPPHY_0");
        const int lane = 1;
        comboAt(quad, MPPHYX4Widget::IBERT, 1, lane)->setCurrentText(u"Near-End Serial"_s);
        comboAt(quad, MPPHYX4Widget::IBERT, 2, lane)->setCurrentText(u"PRBS31"_s);
        comboAt(quad, MPPHYX4Widget::IBERT, 3, lane)->setCurrentText(u"PRBS31"_s);
        QPushButton* restart = buttonAt(quad, MPPHYX4Widget::IBERT, 5, lane);
        QPushButton* inject = buttonAt(quad, MPPHYX4Widget::IBERT, 6, lane);
        QPushButton* count = buttonAt(quad, MPPHYX4Widget::IBERT, 7, lane);
        auto* pat0 = qobject_cast<QLineEdit*>(cell(quad, MPPHYX4Widget::IBERT, 4, lane));
        // Statuses not read yet are unknown, not failures.
        for (auto [t, r] : {std::pair{MPPHYX4Widget::TX, 1}, {MPPHYX4Widget::RX, 1}, {MPPHYX4Widget::RX, 2}})
            QCOMPARE(buttonAt(quad, t, r, lane)->text(), u"Unknown"_s);
        QCOMPARE(m_host->sent([&] { restart->click(); }),
                 QStringList({"ona_set_controller -pcs_lane 1", "ona_run_controller -restart_prbs MPPHY_0"}));
        count->click();
        QCOMPARE(count->text(), u"0"_s);
        inject->click();
        // The lane's Read reads its error count too.
        buttonAt(quad, MPPHYX4Widget::IBERT, 0, lane)->click();
        QCOMPARE(count->text(), u"1"_s);
        comboAt(quad, MPPHYX4Widget::IBERT, 3, lane)->setCurrentText(u"PRBS15"_s);
        restart->click();
        count->click();
        const qulonglong first = count->text().toULongLong();
        count->click();
        QVERIFY(first > 0 && count->text().toULongLong() > first);

        // PAT0: exactly 8 or 10 binary digits, anything else refused with a
        // message and nothing sent; the validator keeps out everything but 0 and 1.
        QString pipe = u"1|0"_s;
        int pos = 0;
        QCOMPARE(pat0->validator()->validate(pipe, pos), QValidator::Invalid);
        m_host->commands.clear();
        for (const QString bad : {"101", "110100001"}) {
            pat0->setText(bad);
            restart->click();
        }
        QCOMPARE(m_host->commands, QStringList());
        QCOMPARE(dialogs.asked.size(), 2);
        QVERIFY(dialogs.asked.at(1).text.contains("110100001"));
        // Ten digits go out with the restart (the command table's row).
        pat0->setText(u"1101000011"_s);
        restart->click();

        // A count that cannot be read is not a pass.
        m_host->refuse = [](const QString& c) { return c.startsWith("ona_run_controller -count_error"); };
        count->click();
        QCOMPARE(count->text(), u"Read failed"_s);
        m_host->refuse = nullptr;
        count->click();
        QVERIFY(count->text().toULongLong() > 0);
        // Without loopback the receiver hears nothing: a silent line is never a pass.
        comboAt(quad, MPPHYX4Widget::IBERT, 1, lane)->setCurrentText(u"Disabled"_s);
        comboAt(quad, MPPHYX4Widget::IBERT, 3, lane)->setCurrentText(u"PRBS31"_s);
        restart->click();
        count->click();
        QVERIFY(count->text().toULongLong() > 0);
    }
    void readAllAndFailedReads() {
        auto* quad = panel<MPPHYX4Widget>("MPPCIE_1");
        m_host->eval(
            "ona_set_controller -pcs_lane 2; ona_set_controller -hard_ip MPPCIE_1 -tx_equal_pre 5;"
            "ona_set_controller -hard_ip MPPCIE_1 -tx_termination 44-ohm; ona_run_controller -write_ip MPPCIE_1;"
            "ona_set_controller -hard_ip MPPCIE_1 -rx_prbs_pattern PRBS7;"
            "ona_set_controller -hard_ip MPPCIE_1 -tx_prbs_pat0 00111110; ona_run_controller -write_ip MPPCIE_1;"
            "ona_set_controller -pcs_lane 0");
        buttonAt(quad, MPPHYX4Widget::TX, 0, 2)->click();
        QCOMPARE(comboAt(quad, MPPHYX4Widget::TX, 5, 2)->currentText(), u"5"_s);
        QCOMPARE(comboAt(quad, MPPHYX4Widget::TX, 8, 2)->currentText(), u"44-ohm"_s);
        QCOMPARE(comboAt(quad, MPPHYX4Widget::TX, 8, 1)->currentText(), u"54-ohm"_s);
        QCOMPARE(buttonAt(quad, MPPHYX4Widget::TX, 1, 2)->text(), u"Locked"_s);
        // Reading sent no set command.
        QVERIFY(m_host->startingWith("ona_set_controller -hard_ip").isEmpty());
        buttonAt(quad, MPPHYX4Widget::RX, 0, 2)->click();
        QCOMPARE(buttonAt(quad, MPPHYX4Widget::RX, 2, 2)->text(), u"Valid"_s);
        buttonAt(quad, MPPHYX4Widget::IBERT, 0, 2)->click();
        QCOMPARE(comboAt(quad, MPPHYX4Widget::IBERT, 3, 2)->currentText(), u"PRBS7"_s);
        QCOMPARE(qobject_cast<QLineEdit*>(cell(quad, MPPHYX4Widget::IBERT, 4, 2))->text(), u"00111110"_s);

        // A refused read keeps what the box shows and says the read failed.
        m_host->refuse = [](const QString& c) { return c.endsWith("-tx_termination"); };
        buttonAt(quad, MPPHYX4Widget::TX, 0, 2)->click();
        ControlComboBox* term = comboAt(quad, MPPHYX4Widget::TX, 8, 2);
        QCOMPARE(term->currentText(), u"44-ohm"_s);
        QVERIFY(term->toolTip().contains("failed"));
        m_host->refuse = nullptr;
        buttonAt(quad, MPPHYX4Widget::TX, 0, 2)->click();
        QVERIFY(term->toolTip().isEmpty());

        // An instance the engine does not know reads empty texts: nothing is
        // selected as if the device held it.
        HardIpData d;
        d.type = u"mpphy"_s;
        d.name = u"MPPHY_9"_s;
        d.startAddress = u"0x0"_s;
        d.endAddress = u"0xF"_s;
        MPPHYX4Widget lost(m_gui.get());
        lost.setData(d);
        lost.buildFrame();
        ControlComboBox* pre = comboAt(&lost, MPPHYX4Widget::TX, 5, 0);
        {
            const QSignalBlocker quiet(pre);
            pre->setCurrentIndex(7);
        }
        buttonAt(&lost, MPPHYX4Widget::TX, 0, 0)->click();
        QCOMPARE(pre->currentIndex(), 7);
        QVERIFY(!pre->toolTip().isEmpty());
        QCOMPARE(buttonAt(&lost, MPPHYX4Widget::TX, 1, 0)->text(), u"Unknown"_s);
    }
    void blockPanels() {
        // PCIe link layer: the device's status at once; a swing applied reads back.
        auto* pcie = panel<PCIELLWidget>("PCIELL_0");
        QVERIFY(pcie);
        QCOMPARE(qobject_cast<QLineEdit*>(pcie->control("ltssm_main_state"))->text(), u"L0"_s);
        auto* swing = qobject_cast<ControlComboBox*>(pcie->control("swing_control"));
        swing->setCurrentText(u"reduced"_s);
        pcie->applyButton()->click();
        pcie->reloadButton()->click();
        QCOMPARE(swing->currentText(), u"reduced"_s);

        // I2C: defaults until Reload; the validator keeps 0..31; a reload that
        // changes a choice stages it again.
        m_host->commands.clear();
        auto* i2c = panel<I2CFIFOWidget>("I2C_0");
        auto* full = qobject_cast<QLineEdit*>(i2c->control("fifo_almost_full_value"));
        QCOMPARE(full->text(), u"0"_s);
        full->clear();
        QTest::keyClicks(full, "40");
        QTest::keyClick(full, Qt::Key_Return);
        // Out of range: kept as typed and marked, said, and not staged.
        QCOMPARE(full->text(), u"40"_s);
        QVERIFY(!unfitReason(full).isEmpty());
        QVERIFY(m_gui->statusBar()->currentMessage().contains(u"40 is outside 0 .. 31"_s));
        full->setText(u"31"_s);
        QMetaObject::invokeMethod(full, "editingFinished");
        m_host->eval(
            "ona_set_controller -hard_ip I2C_0 -fifo_clock_stretching Disabled; ona_run_controller -write_ip I2C_0");
        i2c->reloadButton()->click();
        QCOMPARE(m_host->commands,
                 QStringList({"ona_set_controller -hard_ip I2C_0 -fifo_almost_full_value 31",
                              "ona_run_controller -read_ip I2C_0",
                              "ona_set_controller -hard_ip I2C_0 -fifo_clock_stretching \"Disabled\""}));

        // SGMII CDR: lamps off until Reload, then as the device says.
        m_host->commands.clear();
        auto* cdr = panel<SGMIICDRWidget>("CDR_0");
        auto* error = qobject_cast<StatusLEDWidget*>(cdr->control("dco_frequency_acquisition_error"));
        auto* done = qobject_cast<StatusLEDWidget*>(cdr->control("dco_calibration_done"));
        QCOMPARE(error->state() + done->state(), 0);
        qobject_cast<ControlComboBox*>(cdr->control("loopback_control"))->setCurrentText(u"Serial Data to IO"_s);
        cdr->reloadButton()->click();
        QCOMPARE(m_host->commands.first(),
                 u"ona_set_controller -hard_ip CDR_0 -loopback_control \"Serial Data to IO\""_s);
        QCOMPARE(error->state(), 0);
        QCOMPARE(done->state(), 2);
    }

private:
    HardIpTab* tab() const { return m_gui->rightView()->page<HardIpTab>(); }
    template <typename T = HardIpWidget>
    T* panel(const QString& name) const {
        return hardIpPanel<T>(*m_gui, name);
    }
    QWidget* cell(MPPHYX4Widget* w, Table t, int row, int lane) const { return w->table(t)->row(row)[lane]; }
    ControlComboBox* comboAt(MPPHYX4Widget* w, Table t, int row, int lane) const {
        return qobject_cast<ControlComboBox*>(cell(w, t, row, lane));
    }
    QPushButton* buttonAt(MPPHYX4Widget* w, Table t, int row, int lane) const {
        return qobject_cast<QPushButton*>(cell(w, t, row, lane));
    }
    PCSCHWidget* pcs(int i = 0) const { return panel<PCSCHWidget>(u"PCSCH_%1"_s.arg(i)); }
    ControlComboBox* combo(const QString& key, int i = 0) const {
        return qobject_cast<ControlComboBox*>(pcs(i)->control(key));
    }
    ControlSpinBox* spin(const QString& key) const { return qobject_cast<ControlSpinBox*>(pcs()->control(key)); }
    QString shown(const QString& key) const { return qobject_cast<QLineEdit*>(pcs()->control(key))->text(); }
    QString engine(const QString& key, bool staged = false) {
        return m_host->eval(u"dict get [ona_get hardip PCSCH_0%1] %2"_s.arg(staged ? u" -staged"_s : QString(), key));
    }
};

QTEST_MAIN(TstHardIp)
#include "tst_hardip.moc"
