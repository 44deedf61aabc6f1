// The hard IP panels of the PCIe link layer, I2C FIFO, D-PHY, SGMII CDR and
// the multi-protocol PHY quads on the demo's controller core, through an
// embedded window and a recording host: exact command strings, lane maps
// from the merge information, read-all with failed reads, and the IBERT
// flow against the simulated quad.

#include "demofixture.h"
#include "recordinghost.h"

#include "hardip/blockpanels.h"
#include "hardip/controlcombobox.h"
#include "hardip/hardiptab.h"
#include "hardip/lanetable.h"
#include "hardip/mpphyx4widget.h"
#include "shell/onagui.h"
#include "shell/rightview.h"
#include "widgets/statusledwidget.h"

#include "basgui/dialogseam.h"
#include "onadata.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace vemo::toolona;
using vemo::basgui::ScriptedDialogs;
using Table = MPPHYX4Widget::Table;

class TstHardIpPanels : public DemoTest {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void quadsFromMergeInformation();
    void laneSettingCommands();
    void ibertFlow();
    void readAllAndFailedReads();
    void blockPanels();

private:
    HardIpTab* tab() const { return m_gui->rightView()->page<vemo::toolona::HardIpTab>(); }
    template <typename T = HardIpWidget>
    T* panel(const QString& name) const {
        for (HardIpWidget* p : tab()->panels())
            if (p->name() == name)
                return qobject_cast<T*>(p);
        return nullptr;
    }
    QWidget* cell(MPPHYX4Widget* w, Table t, int row, int lane) const { return w->table(t)->row(row)[lane]; }
    ControlComboBox* comboAt(MPPHYX4Widget* w, Table t, int row, int lane) const {
        return qobject_cast<ControlComboBox*>(cell(w, t, row, lane));
    }
    QPushButton* buttonAt(MPPHYX4Widget* w, Table t, int row, int lane) const {
        return qobject_cast<QPushButton*>(cell(w, t, row, lane));
    }
};

void TstHardIpPanels::init() { QVERIFY(openDemo(QStringLiteral("board_ctrl"))); }

void TstHardIpPanels::cleanup() {
    closeDemo();
    QVERIFY(!QApplication::overrideCursor());
}

void TstHardIpPanels::quadsFromMergeInformation() {
    // The merge file was read with the project, after the page was made.
    QCOMPARE(tab()->mergeTable().size(), 2);
    auto* mpphy = panel<MPPHYX4Widget>("MPPHY_0");
    auto* pcieA = panel<MPPHYX4Widget>("MPPCIE_0");
    auto* pcieB = panel<MPPHYX4Widget>("MPPCIE_1");
    QVERIFY(mpphy && pcieA && pcieB);
    QVERIFY(qobject_cast<MPPCIEX8Widget*>(pcieA) && !qobject_cast<MPPCIEX8Widget*>(mpphy));
    QCOMPARE(mpphy->addressGroup()->title(), QStringLiteral("MPPX4 Address (0xE000 ~ 0xE3FF)"));
    QCOMPARE(mpphy->laneMap(), QList<int>({0, 1}));
    QCOMPARE(pcieA->laneMap(), QList<int>({0, 1, 2, 3}));
    QVERIFY(pcieA->quadLabel() && pcieB->quadLabel());
    QCOMPARE(pcieA->quadLabel()->text(), QStringLiteral("Assigned Quad: Quad-A"));
    QCOMPARE(pcieB->quadLabel()->text(), QStringLiteral("Assigned Quad: Quad-B"));
    QCOMPARE(HardIpTab::quadName(2), QStringLiteral("Quad-C"));
    HardIpData other;
    other.name = QStringLiteral("MPPHY_3");
    other.mergeInfo.lanes = {"", "3", "9", "1"};
    QCOMPARE(HardIpTab::laneMapFor(other), QStringList({"1", "3"}));
    other.mergeInfo.lanes.clear();
    QVERIFY(HardIpTab::laneMapFor(other).isEmpty());
    other.name = QStringLiteral("MPPCIE_7");
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
    QCOMPARE(buttonAt(mpphy, MPPHYX4Widget::TX, 1, 1)->styleSheet(),
             QStringLiteral("QPushButton {background-color: red;}"));
    QVERIFY(buttonAt(mpphy, MPPHYX4Widget::TX, 1, 2)->styleSheet().isEmpty());
    QVERIFY(mpphy->eomButton()->isEnabled());

    // A switched-off lane sends nothing, and building sent nothing at all.
    comboAt(mpphy, MPPHYX4Widget::TX, 2, 3)->setCurrentIndex(1);
    QCOMPARE(m_host->commands, QStringList());
    // Opening the project again reads the merge file again.
    QVERIFY(QFile::remove(m_dir->path() + "/demo/mpp_merge.json"));
    emit OnaData::inst()->sigProjectOpened(OnaData::inst()->getCurrentProject());
    QVERIFY(tab()->mergeTable().isEmpty());
    // Rebuilding the panels sent nothing either.
    QCOMPARE(m_host->commands, QStringList());
    QVERIFY(panel<MPPHYX4Widget>("MPPHY_0")->laneMap().isEmpty());
}

void TstHardIpPanels::laneSettingCommands() {
    auto* quad = panel<MPPHYX4Widget>("MPPCIE_0");
    // A lane's setting reaches the engine's staged values.
    comboAt(quad, MPPHYX4Widget::RX, 12, 2)->setCurrentText(QStringLiteral("48-ohm"));
    QCOMPARE(m_host->eval("dict get [ona_get hardip MPPCIE_0 -staged] rx_termination"), QStringLiteral("48-ohm"));
    // A caller that is not one of the lanes' controls writes nothing.
    m_host->commands.clear();
    quad->onLaneSettingChanged(QStringLiteral("AC"));
    quad->onIBERTRestart();
    quad->onTXReadALL();
    QCOMPARE(m_host->commands, QStringList());
}

void TstHardIpPanels::ibertFlow() {
    ScriptedDialogs dialogs;
    auto* quad = panel<MPPHYX4Widget>("MPPHY_0");
    const int lane = 1;
    comboAt(quad, MPPHYX4Widget::IBERT, 1, lane)->setCurrentText(QStringLiteral("Near-End Serial"));
    comboAt(quad, MPPHYX4Widget::IBERT, 2, lane)->setCurrentText(QStringLiteral("PRBS31"));
    comboAt(quad, MPPHYX4Widget::IBERT, 3, lane)->setCurrentText(QStringLiteral("PRBS31"));
    QPushButton* restart = buttonAt(quad, MPPHYX4Widget::IBERT, 5, lane);
    QPushButton* inject = buttonAt(quad, MPPHYX4Widget::IBERT, 6, lane);
    QPushButton* count = buttonAt(quad, MPPHYX4Widget::IBERT, 7, lane);
    auto* pat0 = qobject_cast<QLineEdit*>(cell(quad, MPPHYX4Widget::IBERT, 4, lane));
    m_host->commands.clear();
    restart->click();
    QCOMPARE(m_host->commands,
             QStringList({"ona_set_controller -pcs_lane 1", "ona_run_controller -restart_prbs MPPHY_0"}));
    count->click();
    QCOMPARE(count->text(), QStringLiteral("0"));
    inject->click();
    count->click();
    QCOMPARE(count->text(), QStringLiteral("1"));
    comboAt(quad, MPPHYX4Widget::IBERT, 3, lane)->setCurrentText(QStringLiteral("PRBS15"));
    restart->click();
    count->click();
    const qulonglong first = count->text().toULongLong();
    count->click();
    QVERIFY(first > 0 && count->text().toULongLong() > first);

    // PAT0: exactly 8 or 10 binary digits, anything else refused with a
    // message and nothing sent; the validator keeps out everything but 0 and 1.
    QString pipe = QStringLiteral("1|0");
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
    pat0->setText(QStringLiteral("1101000011"));
    restart->click();
    QCOMPARE(m_host->commands, QStringList({"ona_set_controller -pcs_lane 1",
                                            "ona_set_controller -hard_ip MPPHY_0 -tx_prbs_pat0 1101000011",
                                            "ona_run_controller -restart_prbs MPPHY_0"}));

    // A count that cannot be read is not a pass.
    m_host->refuse = [](const QString& c) { return c.startsWith("ona_run_controller -count_error"); };
    count->click();
    QCOMPARE(count->text(), QStringLiteral("Read failed"));
    m_host->refuse = nullptr;
    count->click();
    QVERIFY(count->text().toULongLong() > 0);
}

void TstHardIpPanels::readAllAndFailedReads() {
    auto* quad = panel<MPPHYX4Widget>("MPPCIE_1");
    m_host->eval(
        "ona_set_controller -pcs_lane 2; ona_set_controller -hard_ip MPPCIE_1 -tx_equal_pre 5;"
        "ona_set_controller -hard_ip MPPCIE_1 -tx_termination 44-ohm; ona_run_controller -write_ip MPPCIE_1;"
        "ona_set_controller -hard_ip MPPCIE_1 -rx_prbs_pattern PRBS7;"
        "ona_set_controller -hard_ip MPPCIE_1 -tx_prbs_pat0 00111110; ona_run_controller -write_ip MPPCIE_1;"
        "ona_set_controller -pcs_lane 0");
    buttonAt(quad, MPPHYX4Widget::TX, 0, 2)->click();
    QCOMPARE(comboAt(quad, MPPHYX4Widget::TX, 5, 2)->currentText(), QStringLiteral("5"));
    QCOMPARE(comboAt(quad, MPPHYX4Widget::TX, 8, 2)->currentText(), QStringLiteral("44-ohm"));
    QCOMPARE(comboAt(quad, MPPHYX4Widget::TX, 8, 1)->currentText(), QStringLiteral("54-ohm"));
    QCOMPARE(buttonAt(quad, MPPHYX4Widget::TX, 1, 2)->text(), QStringLiteral("Locked"));
    QCOMPARE(buttonAt(quad, MPPHYX4Widget::TX, 1, 2)->styleSheet(),
             QStringLiteral("QPushButton {background-color: green;}"));
    QCOMPARE(m_host->commands.at(0), QStringLiteral("ona_set_controller -pcs_lane 2"));
    QCOMPARE(m_host->commands.at(1), QStringLiteral("ona_run_controller -read_ip MPPCIE_1 -pll_lock_status"));
    QCOMPARE(m_host->commands.at(2), QStringLiteral("ona_run_controller -read_ip MPPCIE_1 -tx_data_polarity"));
    // Reading sent no set command.
    QVERIFY(m_host->startingWith("ona_set_controller -hard_ip").isEmpty());
    QVERIFY(quad->isEnabled());
    buttonAt(quad, MPPHYX4Widget::RX, 0, 2)->click();
    QCOMPARE(buttonAt(quad, MPPHYX4Widget::RX, 2, 2)->text(), QStringLiteral("Valid"));
    buttonAt(quad, MPPHYX4Widget::IBERT, 0, 2)->click();
    QCOMPARE(comboAt(quad, MPPHYX4Widget::IBERT, 3, 2)->currentText(), QStringLiteral("PRBS7"));
    QCOMPARE(qobject_cast<QLineEdit*>(cell(quad, MPPHYX4Widget::IBERT, 4, 2))->text(), QStringLiteral("00111110"));

    // A refused read keeps what the box shows and says the read failed.
    m_host->refuse = [](const QString& c) { return c.endsWith("-tx_termination"); };
    buttonAt(quad, MPPHYX4Widget::TX, 0, 2)->click();
    ControlComboBox* term = comboAt(quad, MPPHYX4Widget::TX, 8, 2);
    QCOMPARE(term->currentText(), QStringLiteral("44-ohm"));
    QVERIFY(term->toolTip().contains("failed"));
    m_host->refuse = nullptr;
    buttonAt(quad, MPPHYX4Widget::TX, 0, 2)->click();
    QVERIFY(term->toolTip().isEmpty());

    // An instance the engine does not know reads empty texts: nothing is
    // selected as if the device held it.
    HardIpData d;
    d.type = QStringLiteral("mpphy");
    d.name = QStringLiteral("MPPHY_9");
    d.startAddress = QStringLiteral("0x0");
    d.endAddress = QStringLiteral("0xF");
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
    QCOMPARE(buttonAt(&lost, MPPHYX4Widget::TX, 1, 0)->text(), QStringLiteral("Unlocked"));
}

void TstHardIpPanels::blockPanels() {
    // PCIe link layer: the device's status at once; one swing command.
    auto* pcie = panel<PCIELLWidget>("PCIELL_0");
    QVERIFY(pcie);
    QCOMPARE(qobject_cast<QLineEdit*>(pcie->control("ltssm_main_state"))->text(), QStringLiteral("L0"));
    auto* swing = qobject_cast<ControlComboBox*>(pcie->control("swing_control"));
    swing->setCurrentText(QStringLiteral("reduced"));
    pcie->applyButton()->click();
    pcie->reloadButton()->click();
    QCOMPARE(m_host->commands,
             QStringList({"ona_set_controller -hard_ip PCIELL_0 -swing_control \"reduced\"",
                          "ona_run_controller -write_ip PCIELL_0", "ona_run_controller -read_ip PCIELL_0"}));
    QCOMPARE(swing->currentText(), QStringLiteral("reduced"));

    // I2C: defaults until Reload; the validator keeps 0..31; a reload that
    // changes a choice stages it again.
    m_host->commands.clear();
    auto* i2c = panel<I2CFIFOWidget>("I2C_0");
    auto* full = qobject_cast<QLineEdit*>(i2c->control("fifo_almost_full_value"));
    QCOMPARE(full->text(), QStringLiteral("0"));
    full->clear();
    QTest::keyClicks(full, "40");
    QTest::keyClick(full, Qt::Key_Return);
    QVERIFY(!full->hasAcceptableInput());
    full->setText(QStringLiteral("31"));
    QMetaObject::invokeMethod(full, "editingFinished");
    m_host->eval(
        "ona_set_controller -hard_ip I2C_0 -fifo_clock_stretching Disabled; ona_run_controller -write_ip I2C_0");
    i2c->reloadButton()->click();
    QCOMPARE(m_host->commands, QStringList({"ona_set_controller -hard_ip I2C_0 -fifo_almost_full_value 31",
                                            "ona_run_controller -read_ip I2C_0",
                                            "ona_set_controller -hard_ip I2C_0 -fifo_clock_stretching \"Disabled\""}));

    // D-PHY.
    m_host->commands.clear();
    auto* dphy = panel<DPHYWidget>("DPHY_0");
    auto* cn = qobject_cast<QLineEdit*>(dphy->control("pll_cn_counter"));
    cn->clear();
    QTest::keyClicks(cn, "32");
    QTest::keyClick(cn, Qt::Key_Return);
    QVERIFY(!cn->hasAcceptableInput());
    cn->setText(QStringLiteral("31"));
    QTest::keyClick(cn, Qt::Key_Return);
    qobject_cast<ControlComboBox*>(dphy->control("high_speed_select"))->setCurrentText(QStringLiteral("2.5 Gbps"));
    m_host->eval("ona_set_controller -hard_ip DPHY_0 -bypass_pll_clock Disabled; ona_run_controller -write_ip DPHY_0");
    dphy->reloadButton()->click();
    QCOMPARE(m_host->commands, QStringList({"ona_set_controller -hard_ip DPHY_0 -pll_cn_counter 31",
                                            "ona_set_controller -hard_ip DPHY_0 -high_speed_select \"2.5 Gbps\"",
                                            "ona_run_controller -read_ip DPHY_0",
                                            "ona_set_controller -hard_ip DPHY_0 -bypass_pll_clock \"Disabled\""}));
    QCOMPARE(cn->text(), QStringLiteral("31"));

    // SGMII CDR: lamps off until Reload, then as the device says.
    m_host->commands.clear();
    auto* cdr = panel<SGMIICDRWidget>("CDR_0");
    auto* error = qobject_cast<StatusLEDWidget*>(cdr->control("dco_frequency_acquisition_error"));
    auto* done = qobject_cast<StatusLEDWidget*>(cdr->control("dco_calibration_done"));
    QCOMPARE(error->state() + done->state(), 0);
    qobject_cast<ControlComboBox*>(cdr->control("loopback_control"))
        ->setCurrentText(QStringLiteral("Serial Data to IO"));
    cdr->reloadButton()->click();
    QCOMPARE(m_host->commands.first(),
             QStringLiteral("ona_set_controller -hard_ip CDR_0 -loopback_control \"Serial Data to IO\""));
    QCOMPARE(error->state(), 0);
    QCOMPARE(done->state(), 2);
}

QTEST_MAIN(TstHardIpPanels)
#include "tst_hardip_panels.moc"
