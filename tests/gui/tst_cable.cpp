// The cable connection manager against the engine's simulated cable: what
// it shows for each engine setting, detection and checks, the three
// commands it sends, and the guards that keep a bad port from the engine.

#include "demofixture.h"
#include "recordinghost.h"

#include "hardip/hardiptab.h"
#include "serdes/serdesview.h"
#include "serdes/wishboneview.h"
#include "shell/cabledialog.h"
#include "shell/onagui.h"
#include "shell/openocddialog.h"
#include "shell/rightview.h"
#include "widgets/statusledwidget.h"

#include "basgui/dialogseam.h"
#include "onadata.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

using vemo::basgui::ScriptedDialogs;
using namespace vemo::toolona;
using namespace Qt::StringLiterals;

class TstCable : public DemoTest {
    Q_OBJECT
private slots:
    void init() { QVERIFY(openDemo()); }
    void cleanup() { closeDemo(); }

    void opensOnEngineSettings() {
        // The demo: first USB cable, port 0, delay 1; nothing of the others shows.
        {
            auto d = dialog();
            QVERIFY(d->parallelButtons().at(0)->isHidden() && d->addressEdit()->isHidden());
            QVERIFY(d->tlrCheckBox()->isHidden() && d->errorLabel()->isHidden() && !d->okButton()->isEnabled());
            QCOMPARE(d->portSelector()->count(), 1);
        }
        // Parallel: a known address checks its button, another one "0x" and
        // the address in lower-case hexadecimal.
        const struct {
            QString settings, port, address;
            int type, tck, checked;
        } cases[] = {
            {{}, u"EzUSB-0"_s, {}, 0, 1, -1},
            {u"-cabletype USB2 -cableport 3 -tckdelay 7"_s, u"FTUSB-3"_s, {}, 1, 7, -1},
            {u"-cabletype VORANTE -cableport 956"_s, {}, {}, 2, 7, 2},
            {u"-cableport 760"_s, {}, u"2f8"_s, 2, 7, 3},
        };
        for (const auto& c : cases) {
            if (!c.settings.isEmpty())
                m_host->eval(u"ona_set_project "_s + c.settings);
            auto d = dialog();
            QCOMPARE(d->typeSelector()->currentIndex(), c.type);
            QCOMPARE(d->tckSpinBox()->value(), c.tck);
            QCOMPARE(d->portSelector()->isHidden(), c.port.isEmpty());
            if (!c.port.isEmpty())
                QCOMPARE(d->portSelector()->currentText(), c.port);
            if (c.checked >= 0)
                QVERIFY(d->parallelButtons().at(c.checked)->isChecked());
            if (!c.address.isEmpty())
                QCOMPARE(d->addressEdit()->text(), c.address);
        }
        // Opening the dialog sent nothing.
        QVERIFY(m_host->commands.isEmpty());
    }
    void usbDetectAndAccept() {
        m_host->eval(u"ona_set_project -cabletype USB2"_s);
        auto d = dialog();
        d->detectButton()->click();
        // The simulated cable lists the chosen type's port first.
        QCOMPARE(d->portSelector()->count(), 2);
        QCOMPARE(d->portSelector()->itemText(0), u"FTUSB-0"_s);
        QCOMPARE(d->typeSelector()->currentIndex(), 1);
        QVERIFY(d->okButton()->isEnabled() && d->errorLabel()->isHidden());
        // Choosing a port follows it with the type.
        d->portSelector()->setCurrentIndex(1);
        QCOMPARE(d->typeSelector()->currentIndex(), 0);
        d->tckSpinBox()->setValue(4);
        m_gui->ResetDirtyBit();
        d->okButton()->click();
        QCOMPARE(d->result(), int(QDialog::Accepted));
        QCOMPARE(cableCommands(), sent(u"USB"_s, 0, 4));
        QCOMPARE(OnaData::inst()->getCableType(), u"USB"_s);
        QCOMPARE(OnaData::inst()->getTCKDelay(), 4);
        QVERIFY(m_gui->isModified());
    }
    // The fourth entry reaches a simulation over JTAG: host and port go to
    // the engine with the target, which the simulation forces; the dialog
    // opens again on what the engine then holds; the target alone changes
    // with one command more than the three.
    void simulationAndTarget() {
        {
            auto d = dialog();
            showType(d.get(), 3);
            QVERIFY(d->portSelector()->isHidden() && !d->hostEdit()->isHidden());
            QCOMPARE(d->targetSelector()->currentIndex(), 1);
            QVERIFY(!d->targetSelector()->isEnabled());
            d->hostEdit()->setText(u"sim-host"_s);
            d->serverPortBox()->setValue(4567);
            d->detectButton()->click();
            d->okButton()->click();
            QCOMPARE(d->result(), int(QDialog::Accepted));
        }
        QCOMPARE(cableCommands(), sent(u"REMOTE"_s, 4567, 1) + QStringList({u"ona_set_project -cablehost sim-host"_s,
                                                                            u"ona_set_project -target jtag"_s}));
        QCOMPARE(OnaData::inst()->getJTAG()->settings().host, u"sim-host"_s);
        {
            auto d = dialog();
            QCOMPARE(d->typeSelector()->currentIndex(), 3);
            QCOMPARE(d->serverPortBox()->value(), 4567);
            QCOMPARE(d->portLabel()->text(), u"Server:"_s);
            // Back to the first cable on the simulated device.
            showType(d.get(), 0);
            d->targetSelector()->setCurrentIndex(0);
            d->detectButton()->click();
            m_host->commands.clear();
            d->okButton()->click();
        }
        QCOMPARE(cableCommands(), sent(u"USB"_s, 0, 1) << u"ona_set_project -target simulated"_s);
    }

    // OpenOCD's settings: checked in their own dialog as the engine checks
    // them, sent with the cable's OK only when changed and only for the
    // target over JTAG; every user text goes to Tcl as one literal word.
    void openocdSettings() {
        ScriptedDialogs dialogs;
        dialogs.onDialog = [](QDialog* dialog) {
            auto* ocd = qobject_cast<OpenocdDialog*>(dialog);
            QTEST_ASSERT(ocd);
            const QList<std::tuple<QString, QString, QString>> refused = {
                {u"4 0x2"_s, {}, u"The TAP must be"_s},
                {u"4 2 0x10dea001"_s, u"0x0403 0x6010 5 0 0"_s, u"The FTDI channel must be"_s}};
            for (const auto& [tap, ftdi, fault] : refused) {
                ocd->tapEdit()->setText(tap);
                if (!ftdi.isEmpty())
                    ocd->ftdiEdit()->setText(ftdi);
                ocd->accept();
                QTEST_ASSERT(ocd->result() != QDialog::Accepted && ocd->errorLabel()->text().startsWith(fault));
            }
            ocd->ftdiEdit()->setText(u" 0x0403  0x6011 1 0x0008 0x000b"_s);
            ocd->openocdEdit()->setText(u"localhost:6666 demo.tap"_s);
            ocd->tapEdit()->setText(u"6 0x23 0"_s);
            ocd->accept();
            return ocd->result();
        };
        auto d = dialog();
        QVERIFY(!d->openocdButton()->isEnabled());
        d->targetSelector()->setCurrentIndex(1);
        QVERIFY(d->openocdButton()->isEnabled());
        d->openocdButton()->click();
        QCOMPARE(dialogs.asked.size(), 1);
        QVERIFY(d->okButton()->isEnabled());
        d->okButton()->click();
        QCOMPARE(d->result(), int(QDialog::Accepted));
        QCOMPARE(cableCommands().mid(3), QStringList({u"ona_set_project -target jtag"_s,
                                                      u"ona_set_project -ftdi \"0x0403 0x6011 1 0x0008 0x000b\""_s,
                                                      u"ona_set_project -openocd \"localhost:6666 demo.tap\""_s,
                                                      u"ona_set_project -tap \"6 0x23 0x00000000\""_s}));
        const CableSettings now = OnaData::inst()->getJTAG()->settings();
        QCOMPARE(now.openocd, u"localhost:6666 demo.tap"_s);
        QCOMPARE(now.irLength, 6);

        // The simulation's host reaches Tcl as text, never as a command;
        // the engine refuses it and the dialog stays open.
        m_host->commands.clear();
        auto sim = dialog();
        showType(sim.get(), 3);
        sim->hostEdit()->setText(u"h[set ::hit 1]"_s);
        sim->detectButton()->click();
        sim->okButton()->click();
        QVERIFY(sim->result() != QDialog::Accepted);
        QCOMPARE(cableCommands().value(3), u"ona_set_project -cablehost \"h\\[set ::hit 1\\]\""_s);
        QVERIFY(sim->errorLabel()->text().contains(u"must be a name or address"_s));
        QVERIFY(m_host->eval(u"info exists ::hit"_s) == u"0"_s);
    }
    // A change of target reaches the pages already open: the controller and
    // the SERDES open anew on it, and the hard IP and SERDES pages say what
    // the target lacks without a core switch, and stop saying it on the way back.
    void targetChangeReachesOpenPages() {
        m_gui->show();
        QComboBox* selector = m_gui->coreSelector();
        selector->setCurrentIndex(selector->findText(u"board_ctrl"_s));
        // Pages are built when first shown.
        QTabWidget* tabs = m_gui->rightView()->tabWidget();
        for (int i = 0; i < tabs->count(); ++i)
            tabs->setCurrentIndex(i);
        const auto notices = [&] {
            QStringList shown;
            for (auto* page :
                 std::initializer_list<QWidget*>{m_gui->findChild<HardIpTab*>(), m_gui->findChild<SERDESView*>(),
                                                 m_gui->findChild<WishboneView*>()}) {
                QTEST_ASSERT(page);
                auto* notice = page->findChild<QLabel*>(u"TargetNotice"_s);
                shown << (notice && !notice->isHidden() ? notice->text().section(u' ', 0, 1) : QString());
            }
            return shown;
        };
        QCOMPARE(notices(), QStringList({{}, {}, {}}));
        int code = -1;
        m_host->eval(u"ona_set_project -target jtag -cabletype REMOTE -cableport 1"_s, &code);
        QCOMPARE(code, 0);
        QCOMPARE(notices(), QStringList({u"Hard IP"_s, u"The SERDES"_s, u"The SERDES"_s}));
        QVERIFY(!m_gui->findChild<WishboneView*>()->findChild<QGroupBox*>()->isEnabled());
        // No device: the SERDES status is unknown, not "locked".
        const auto lamps = m_gui->findChild<SERDESView*>()->findChildren<StatusLEDWidget*>();
        QVERIFY(!lamps.isEmpty());
        for (const StatusLEDWidget* lamp : lamps)
            QCOMPARE(lamp->state(), int(StatusLEDWidget::Off));
        const QString refused = m_host->eval(u"ona_set_pcs -control tx_term -option \"50 ohm\""_s, &code);
        QVERIFY2(code != 0 && refused.contains(u"need the simulated device"_s), qPrintable(refused));
        m_host->eval(u"ona_set_project -target simulated"_s, &code);
        QCOMPARE(notices(), QStringList({{}, {}, {}}));
        QVERIFY(m_gui->findChild<WishboneView*>()->findChild<QGroupBox*>()->isEnabled());

        // Changed while another core is current: the Hard IP page says why
        // when it is shown again, and no longer once the target is back.
        for (const char* target : {"jtag -cabletype REMOTE -cableport 1", "simulated -cabletype USB -cableport 0"}) {
            selector->setCurrentIndex(selector->findText(u"uart_la"_s));
            m_host->eval(u"ona_set_project -target "_s + QLatin1String(target), &code);
            QCOMPARE(code, 0);
            selector->setCurrentIndex(selector->findText(u"board_ctrl"_s));
            tabs->setCurrentWidget(m_gui->rightView()->page<HardIpTab>());
            auto* notice = tabs->currentWidget()->findChild<QLabel*>(u"TargetNotice"_s);
            QVERIFY(notice);
            QCOMPARE(notice->isVisible(), target[0] == 'j');
            QVERIFY2(!notice->isVisible() || notice->text().contains(u"need the simulated device"_s),
                     qPrintable(notice->text()));
        }
    }
    void usbPortNumbers() {
        // FTUSB-3 is the FTDI cable on port 3; a two-digit port is read whole.
        const QList<std::tuple<QString, QString, int>> cases = {
            {u"FTUSB-3"_s, u"USB2"_s, 3}, {u"FTUSB-12"_s, u"USB2"_s, 12}, {u"EzUSB-7"_s, u"USB"_s, 7}};
        for (const auto& [port, type, number] : cases) {
            m_host->commands.clear();
            auto d = dialog();
            d->portSelector()->clear();
            d->portSelector()->addItem(port);
            QCOMPARE(d->chosenPort(), number);
            d->tckSpinBox()->setValue(1);
            d->tckSpinBox()->setValue(2);
            QVERIFY2(d->okButton()->isEnabled(), qPrintable(port));
            d->okButton()->click();
            QCOMPARE(cableCommands(), sent(type, number, 2));
            QCOMPARE(OnaData::inst()->getCablePort(), number);
        }
    }
    void parallelChecks() {
        auto d = dialog();
        showType(d.get(), 2);
        // Switching to the parallel cable offers the usual address.
        QVERIFY(d->portSelector()->isHidden() && !d->addressEdit()->isHidden() &&
                d->parallelButtons().at(0)->isChecked());

        // "0x" with no address.
        d->parallelButtons().at(3)->setChecked(true);
        d->detectButton()->click();
        QVERIFY(!d->errorLabel()->isHidden());
        QCOMPARE(d->errorLabel()->text(),
                 u"<font color=\"red\">Missing Parallel port: please enter correct address and check "
                 "again!</font>"_s);
        QVERIFY(!d->okButton()->isEnabled());

        // Not hexadecimal: refused without asking the cable, and cleared.
        d->addressEdit()->setText(u"2g8"_s);
        d->detectButton()->click();
        QVERIFY(d->errorLabel()->text().contains(
            u"Parallel port error: address 0x2g8 is invalid or cable not connected!"_s));
        QVERIFY(d->addressEdit()->text().isEmpty() && !d->okButton()->isEnabled());

        // A hexadecimal address where no simulated cable answers.
        d->addressEdit()->setText(u"2f8"_s);
        d->detectButton()->click();
        QVERIFY(d->errorLabel()->text().contains(u"address 0x2f8 is invalid"_s));

        // 0x278 answers: the error goes, OK comes.
        d->parallelButtons().at(1)->setChecked(true);
        d->detectButton()->click();
        QVERIFY(d->errorLabel()->isHidden() && d->okButton()->isEnabled());
        d->okButton()->click();
        QCOMPARE(cableCommands(), sent(u"VORANTE"_s, 632, 1));

        // A custom address the engine already uses is sent as its number.
        m_host->commands.clear();
        m_host->eval(u"ona_set_project -cableport 760"_s);
        auto custom = dialog();
        custom->tckSpinBox()->setValue(3);
        QVERIFY(custom->okButton()->isEnabled());
        custom->okButton()->click();
        QCOMPARE(cableCommands().value(1), u"ona_set_project -cableport 760"_s);
    }
    void okNeedsValidPort() {
        // Opened on the parallel cable, the USB list is empty.
        m_host->eval(u"ona_set_project -cabletype VORANTE; ona_set_project -cableport 888"_s);
        auto d = dialog();
        showType(d.get(), 0);
        QCOMPARE(d->portSelector()->count(), 0);
        d->tckSpinBox()->setValue(5);
        QVERIFY(!d->okButton()->isEnabled());
        // Even when asked directly, nothing reaches the engine.
        d->onOK();
        QVERIFY(cableCommands().isEmpty() && d->result() != QDialog::Accepted);
        QVERIFY(d->errorLabel()->text().contains(u"Missing USB port"_s));

        // A delay outside 1 to 10 does not enable OK; one inside does, once a
        // port is there.
        d->detectButton()->click();
        d->doErrDevice(u"x"_s);
        QVERIFY(!d->okButton()->isEnabled());
        d->tckSpinBox()->setValue(20);
        QVERIFY(!d->okButton()->isEnabled());
        d->tckSpinBox()->setValue(10);
        QVERIFY(d->okButton()->isEnabled());

        // Cancel sends nothing.
        d->cancelButton()->click();
        QCOMPARE(d->result(), int(QDialog::Rejected));
        QVERIFY(cableCommands().isEmpty());
    }
    void refusedSettingKeepsDialogOpen() {
        m_host->refuse = [](const QString& cmd) { return cmd.startsWith(QLatin1String("ona_set_project -cableport")); };
        auto d = dialog();
        d->detectButton()->click();
        d->okButton()->click();
        QVERIFY(d->result() != QDialog::Accepted && !d->errorLabel()->isHidden());
        QCOMPARE(d->errorLabel()->text(), u"<font color=\"red\">refused by the test</font>"_s);
        QVERIFY(!d->okButton()->isEnabled());
        // The delay was never sent after the refusal.
        QCOMPARE(cableCommands().size(), 2);
    }
    void managerActionMarksModified() {
        ScriptedDialogs dialogs;
        // Cancelled: nothing sent, nothing modified.
        m_gui->tableAction(33)->trigger();
        QCOMPARE(dialogs.asked.size(), 1);
        QVERIFY(cableCommands().isEmpty() && !m_gui->isModified());

        dialogs.onDialog = [](QDialog* dialog) {
            auto* cable = qobject_cast<CableDialog*>(dialog);
            if (!cable)
                return int(QDialog::Rejected);
            cable->typeSelector()->setCurrentIndex(1);
            cable->detectButton()->click();
            cable->okButton()->click();
            return cable->result();
        };
        m_gui->tableAction(33)->trigger();
        QCOMPARE(cableCommands().value(0), u"ona_set_project -cabletype USB"_s);
        QVERIFY(m_gui->isModified());
    }

private:
    std::unique_ptr<CableDialog> dialog() {
        return std::make_unique<CableDialog>(m_gui.get(), OnaData::inst()->getJTAG());
    }
    QStringList cableCommands() const { return m_host->startingWith(u"ona_set_project"_s); }
    // The three commands every accepted cable sends.
    static QStringList sent(const QString& type, int port, int tck) {
        return {u"ona_set_project -cabletype "_s + type, u"ona_set_project -cableport %1"_s.arg(port),
                u"ona_set_project -tckdelay %1"_s.arg(tck)};
    }
    static void showType(CableDialog* d, int type) {
        d->typeSelector()->setCurrentIndex(type);
        d->doShowType(type);
    }
};

QTEST_MAIN(TstCable)
#include "tst_cable.moc"
