// The "Hard IP" page on the demo's controller core, through an embedded
// window and a recording host: the panels the tab builds, the memory form,
// stage / apply / reload round trips against the simulated blocks, and the
// cursor refusal. The exact command strings are in tst_commandstrings.

#include "demofixture.h"
#include "recordinghost.h"

#include "controller/onapathitemeditor.h"
#include "hardip/controlcombobox.h"
#include "hardip/controlspinbox.h"
#include "hardip/hardiptab.h"
#include "hardip/hardipwidget.h"
#include "hardip/pcschwidget.h"
#include "shell/onagui.h"
#include "shell/rightview.h"
#include "widgets/hexvaluelineedit.h"
#include "widgets/widgetgroupbox.h"

#include "basgui/dialogseam.h"
#include "onadata.h"
#include "oncdata.h"

#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace vemo::toolona;
using vemo::basgui::ScriptedDialogs;

class TstHardIp : public DemoTest {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void tabBuildsOnePanelPerInstance();
    void panelDispatchAndFrame();
    void spinBoxCommitsOnceAndCursorRefusal();
    void applyReloadRoundTrip();
    void memoryForm();

private:
    HardIpTab* tab() const { return m_gui->rightView()->page<vemo::toolona::HardIpTab>(); }
    PCSCHWidget* pcs(int i = 0) const;
    ControlComboBox* combo(const QString& key, int i = 0) const {
        return qobject_cast<ControlComboBox*>(pcs(i)->control(key));
    }
    ControlSpinBox* spin(const QString& key) const { return qobject_cast<ControlSpinBox*>(pcs()->control(key)); }
    QString shown(const QString& key) const { return qobject_cast<QLineEdit*>(pcs()->control(key))->text(); }
    QString engine(const QString& key, bool staged = false) {
        return m_host->eval(QStringLiteral("dict get [ona_get hardip PCSCH_0%1] %2")
                                .arg(staged ? QStringLiteral(" -staged") : QString(), key));
    }
};

PCSCHWidget* TstHardIp::pcs(int i) const {
    for (HardIpWidget* p : tab()->panels())
        if (p->name() == QStringLiteral("PCSCH_%1").arg(i))
            return qobject_cast<PCSCHWidget*>(p);
    return nullptr;
}

void TstHardIp::init() { QVERIFY(openDemo(QStringLiteral("board_ctrl"))); }

void TstHardIp::cleanup() {
    closeDemo();
    QVERIFY(!QApplication::overrideCursor());
}

void TstHardIp::tabBuildsOnePanelPerInstance() {
    QTabWidget* tabs = m_gui->rightView()->tabWidget();
    const int index = tabs->indexOf(tab());
    QCOMPARE(tabs->tabText(index), QStringLiteral("Hard IP"));
    QVERIFY(tabs->isTabEnabled(index));
    QVERIFY(tab()->hasContent());
    // Building and filling the panels sent nothing.
    QCOMPARE(m_host->commands, QStringList());

    WidgetGroupBox* box = tab()->groupBox();
    QStringList titles;
    for (QWidget* w : box->widgets())
        titles << box->label(w)->text();
    QCOMPARE(titles, QStringList({"PCSCH_0", "PCSCH_1", "PLL_0", "PCIELL_0", "I2C_0", "DPHY_0", "CDR_0", "MPPHY_0",
                                  "MPPCIE_0 <b><i>(BETA)</i></b>", "MPPCIE_1 <b><i>(BETA)</i></b>"}));
    QVERIFY(pcs(0) && pcs(1));
    const QList<HardIpWidget*> panels = tab()->panels();
    QVERIFY(!qobject_cast<PCSCHWidget*>(panels.at(2)));
    QVERIFY(panels.at(2)->noteLabel());
    QVERIFY(!panels.at(3)->noteLabel());
    QVERIFY(panels.at(8)->isBeta() && panels.at(8)->isMultiProtocol() && !panels.at(7)->isBeta());
    QCOMPARE(pcs()->addressGroup()->title(), QStringLiteral("Address (0x8000 ~ 0x80FF)"));
    // The panels start with what the engine holds.
    QCOMPARE(combo("tx_differential_amplitude")->currentText(), QStringLiteral("1000mV"));
    QCOMPARE(combo("tx_invert_polarity")->currentText(), QStringLiteral("off"));
    QCOMPARE(shown("rx_cdr_lol_status"), QStringLiteral("Loss of Lock"));
    QCOMPARE(shown("tx_pll_lol_status"), QStringLiteral("Locked"));
    QVERIFY(qobject_cast<QLineEdit*>(pcs()->control("tx_pll_lol_status"))->isReadOnly());
    QVERIFY(pcs()->eomButton()->isEnabled());

    // Collapsing a panel hides it and keeps it hidden through a resize.
    emit box->button(pcs())->sigGroupBtnClicked();
    QVERIFY(pcs()->isHidden());
    QVERIFY(!pcs(1)->isHidden());

    // The mouse wheel over a setting neither changes it nor scrolls the page.
    auto* scroll = tab()->findChild<QScrollArea*>();
    scroll->verticalScrollBar()->setValue(0);
    ControlComboBox* loop = combo("loopback_mode", 1);
    QWheelEvent wheel(QPointF(5, 5), loop->mapToGlobal(QPointF(5, 5)), QPoint(0, -120), QPoint(0, -120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(loop, &wheel);
    QCOMPARE(loop->currentIndex(), 0);
    QCOMPARE(scroll->verticalScrollBar()->value(), 0);
    QCOMPARE(m_host->commands, QStringList());

    // Another core empties the page, which then has nothing to show.
    m_gui->coreSelector()->setCurrentIndex(m_gui->coreSelector()->findText(QStringLiteral("uart_la")));
    QVERIFY(!tabs->isTabEnabled(tabs->indexOf(tab())) || tab()->panels().isEmpty());
    QVERIFY(
        !HardIpTab::hasContentFor(OnaData::inst()->getCorePtr(OnaData::inst()->getCoreId(QStringLiteral("uart_la")))));
}

void TstHardIp::panelDispatchAndFrame() {
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
    d.type = QStringLiteral("pll");
    d.name = QStringLiteral("PLL_9");
    d.hierarchy = QStringLiteral(
        "top/a/very/long/hierarchy/that/does/not/fit/in/the/four/hundred/and/twenty/six/"
        "pixels/of/its/column/at/all/not/even/close");
    d.startAddress = QStringLiteral("100");
    d.endAddress = QStringLiteral("0x1FF");
    d.enabled = false;
    HardIpWidget plain(m_gui.get());
    plain.setData(d);
    plain.buildFrame();
    QCOMPARE(plain.addressGroup()->title(), QStringLiteral("Address (0x100 ~ 0x1FF)"));
    QCOMPARE(plain.readAddressEdit()->text(), QStringLiteral("100"));
    QVERIFY(plain.hierarchyLabel()->text().endsWith(QChar(0x2026)));
    QVERIFY(plain.hierarchyLabel()->fontMetrics().horizontalAdvance(plain.hierarchyLabel()->text()) <= 426);
    d.startAddress = QStringLiteral("0x8000");
    PCSCHWidget channel(m_gui.get());
    channel.setData(d);
    channel.buildFrame();
    QCOMPARE(channel.writeAddressEdit()->text(), QStringLiteral("8000"));
    QVERIFY(channel.hierarchyLabel()->fontMetrics().horizontalAdvance(channel.hierarchyLabel()->text()) <= 376);

    // A disabled instance gets a disabled panel, every control with it.
    m_gui.reset();
    QString onl = QString::fromUtf8([&] {
        QFile f(m_dir->path() + "/demo/demo.onl");
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }());
    onl.replace(QStringLiteral("\"instance\": \"PCSCH_1\", \"type\": \"pcs\","),
                QStringLiteral("\"instance\": \"PCSCH_1\", \"type\": \"pcs\", \"enabled\": false,"));
    QFile f(m_dir->path() + "/demo/demo.onl");
    QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    f.write(onl.toUtf8());
    f.close();
    m_gui = demofixture::embeddedGui(m_host.get(), m_dir->path() + "/demo/demo.ona");
    QVERIFY(m_gui);
    m_gui->coreSelector()->setCurrentIndex(m_gui->coreSelector()->findText(QStringLiteral("board_ctrl")));
    QVERIFY(pcs(0)->isEnabled());
    QVERIFY(!pcs(1)->isEnabled());
    QVERIFY(!combo("loopback_mode", 1)->isEnabled());
    QVERIFY(!pcs(1)->applyButton()->isEnabled());
}

void TstHardIp::spinBoxCommitsOnceAndCursorRefusal() {
    ScriptedDialogs dialogs;
    ControlSpinBox* post = spin("tx_postcursor_ratio");
    ControlSpinBox* pre = spin("tx_precursor_ratio");
    // Typed digits are sent once, on Enter, not per keystroke.
    post->setFocus();
    post->selectAll();
    QTest::keyClicks(post, QStringLiteral("40"));
    QCOMPARE(m_host->commands, QStringList());
    QTest::keyClick(post, Qt::Key_Return);
    QCOMPARE(m_host->commands, QStringList{"ona_set_controller -hard_ip PCSCH_0 -tx_postcursor_ratio \"40\""});
    QCOMPARE(engine("tx_postcursor_ratio", true), QStringLiteral("40"));

    // Pre-cursor 30 would make 70: the engine refuses, the user is told,
    // and the box goes back without a second command.
    m_host->commands.clear();
    pre->setValue(30);
    QCOMPARE(m_host->commands, QStringList{"ona_set_controller -hard_ip PCSCH_0 -tx_precursor_ratio \"30\""});
    QCOMPARE(dialogs.asked.size(), 1);
    QCOMPARE(dialogs.asked.first().icon, QMessageBox::Critical);
    QCOMPARE(dialogs.asked.first().caption, QStringLiteral("Ondrel Analyzer"));
    QCOMPARE(dialogs.asked.first().text,
             QStringLiteral(
                 "ERROR: Sum of Tx Post-Cursor Ratio and Tx Pre-Cursor Ratio should be less than or equal to 63."));
    QCOMPARE(pre->value(), 0);
    QCOMPARE(engine("tx_precursor_ratio", true), QStringLiteral("0"));
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
    ONCData::inst()->injectFailure(QStringLiteral("ona_set_controller -hard_ip PCSCH_0 -tx_postcursor_ratio 10"),
                                   ONCData::Empty);
    post->setValue(10);
    QCOMPARE(post->value(), 10);
    ONCData::inst()->clearFailures();
    ONCData::inst()->injectFailure(QStringLiteral("ona_set_controller -hard_ip PCSCH_0 -tx_postcursor_ratio"),
                                   ONCData::Failed);
    post->setValue(11);
    ONCData::inst()->clearFailures();
    QCOMPARE(post->value(), 10);
    QCOMPARE(dialogs.asked.size(), 2);
    QCOMPARE(m_host->commands.size(), 2);
}

void TstHardIp::applyReloadRoundTrip() {
    // The new user's path: change TX settings, Apply, Reload and see them.
    combo("tx_differential_amplitude")->setCurrentText(QStringLiteral("600mV"));
    spin("tx_postcursor_ratio")->setValue(12);
    combo("loopback_mode")->setCurrentText(QStringLiteral("PMA Far-End Parallel Loopback"));
    pcs()->applyButton()->click();
    QCOMPARE(engine("tx_differential_amplitude"), QStringLiteral("1000mV")); // not read yet
    // Changed in the panel but not applied: Reload shows the device.
    combo("tx_differential_amplitude")->setCurrentText(QStringLiteral("100mV"));
    combo("loopback_mode")->setCurrentText(QStringLiteral("Disabled"));
    m_host->commands.clear();
    pcs()->reloadButton()->click();
    QCOMPARE(m_host->commands, QStringList{"ona_run_controller -read_ip PCSCH_0"});
    QCOMPARE(combo("tx_differential_amplitude")->currentText(), QStringLiteral("600mV"));
    QCOMPARE(spin("tx_postcursor_ratio")->value(), 12);
    QCOMPARE(combo("loopback_mode")->currentText(), QStringLiteral("PMA Far-End Parallel Loopback"));
    // What is shown is what the next Apply writes.
    QCOMPARE(engine("tx_differential_amplitude", true), QStringLiteral("600mV"));
    QCOMPARE(engine("loopback_mode", true), QStringLiteral("PMA Far-End Parallel Loopback"));
    // The other channel is its own block.
    pcs(1)->reloadButton()->click();
    QCOMPARE(combo("tx_differential_amplitude", 1)->currentText(), QStringLiteral("1000mV"));

    // Loss of lock clears after a reset of the receiver.
    QCOMPARE(shown("rx_cdr_lol_status"), QStringLiteral("Loss of Lock"));
    combo("reset_rx_pll")->setCurrentText(QStringLiteral("on"));
    combo("reset_rx_mpcs")->setCurrentText(QStringLiteral("on"));
    pcs()->applyButton()->click();
    combo("reset_rx_pll")->setCurrentText(QStringLiteral("off"));
    combo("reset_rx_mpcs")->setCurrentText(QStringLiteral("off"));
    pcs()->applyButton()->click();
    pcs()->reloadButton()->click();
    QCOMPARE(shown("rx_cdr_lol_status"), QStringLiteral("Locked"));
    QCOMPARE(shown("rx_data_lol_status"), QStringLiteral("Locked"));

    // A new panel for the same core starts with what the engine read.
    m_gui->coreSelector()->setCurrentIndex(m_gui->coreSelector()->findText(QStringLiteral("uart_la")));
    m_gui->coreSelector()->setCurrentIndex(m_gui->coreSelector()->findText(QStringLiteral("board_ctrl")));
    QCOMPARE(combo("tx_differential_amplitude")->currentText(), QStringLiteral("600mV"));
    QCOMPARE(shown("rx_cdr_lol_status"), QStringLiteral("Locked"));
}

void TstHardIp::memoryForm() {
    ScriptedDialogs dialogs;
    HardIpWidget* panel = pcs(1);
    panel->writeDataEdit()->setText(QStringLiteral("BEEF"));
    panel->writeAddressEdit()->setText(QStringLiteral("8105"));
    panel->writeButton()->click();
    panel->readAddressEdit()->setText(QStringLiteral("8105"));
    panel->readButton()->click();
    QCOMPARE(m_host->commands,
             QStringList({"ona_write_controller -addr 0x8105 -data 0xBEEF", "ona_read_controller -addr 0x8105"}));
    QCOMPARE(panel->readDataEdit()->text(), QStringLiteral("0x0000BEEF"));
    panel->readAddressEdit()->setText(QStringLiteral("9999"));
    panel->readButton()->click();
    QCOMPARE(dialogs.asked.last().text, QStringLiteral("Invalid address, please check usage."));
    QCOMPARE(panel->readDataEdit()->text(), QStringLiteral("0x0000BEEF"));

    // Dump and load name the instance; a hostile path reaches the engine intact.
    m_host->commands.clear();
    QVERIFY(!panel->dumpButton()->isEnabled());
    const QString path = m_dir->path() + QStringLiteral("/ch1 \"[x]\" $y.mem");
    panel->dumpPathEditor()->setText(path);
    panel->rangeEdit()->setText(QStringLiteral("8"));
    panel->dumpButton()->click();
    QCOMPARE(m_host->commands.last(),
             QStringLiteral("ona_run_controller -dump_memfile \"%1\" -hard_ip PCSCH_1 -offset 0x00000000 -range 8")
                 .arg(QString(path).replace("\"", "\\\"").replace("[", "\\[").replace("]", "\\]").replace("$", "\\$")));
    QVERIFY(QFile::exists(path));
    m_host->eval(QStringLiteral("ona_write_controller -addr 0x8105 -data 0x0"));
    panel->loadPathEditor()->setText(path);
    panel->loadButton()->click();
    QVERIFY(m_host->commands.last().startsWith(QStringLiteral("ona_run_controller -load_memfile \"")));
    QVERIFY(m_host->commands.last().endsWith(QStringLiteral("\" -hard_ip PCSCH_1")));
    QCOMPARE(m_host->eval(QStringLiteral("ona_read_controller -addr 0x8105")), QStringLiteral("0000BEEF"));

    const int asked = dialogs.asked.size();
    panel->loadPathEditor()->setText(m_dir->path() + QStringLiteral("/missing.mem"));
    panel->loadButton()->click();
    QCOMPARE(dialogs.asked.last().text, QStringLiteral("'%1' doesn't exist.").arg(m_dir->path() + "/missing.mem"));
    panel->dumpPathEditor()->setText(QString());
    panel->handleDumpButtonClicked();
    QCOMPARE(dialogs.asked.last().text, QStringLiteral("File name cannot be empty."));
    panel->loadPathEditor()->setText(QString());
    panel->handleLoadButtonClicked();
    QCOMPARE(dialogs.asked.last().text, QStringLiteral("Memory file name cannot be empty."));
    QCOMPARE(dialogs.asked.size(), asked + 3);
    // A path may be typed from its leading "/" on.
    QVERIFY(panel->dumpPathEditor()->lineEdit()->validator());
    int pos = 0;
    QString typed = QStringLiteral("/tmp/a b.mem");
    QCOMPARE(panel->dumpPathEditor()->lineEdit()->validator()->validate(typed, pos), QValidator::Acceptable);
}

QTEST_MAIN(TstHardIp)
#include "tst_hardip.moc"
