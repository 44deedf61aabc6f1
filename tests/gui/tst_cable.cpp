// The cable connection manager against the engine's simulated cable: what
// it shows for each engine setting, detection and checks, the three
// commands it sends, and the guards that keep a bad port from the engine.

#include "demofixture.h"
#include "recordinghost.h"

#include "shell/cabledialog.h"
#include "shell/onagui.h"

#include "basgui/dialogseam.h"
#include "onadata.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

using vemo::basgui::ScriptedDialogs;
using vemo::toolona::CableDialog;
using vemo::toolona::OnaGUI;
using namespace Qt::StringLiterals;

class TstCable : public DemoTest {
    Q_OBJECT
private slots:
    void init() { QVERIFY(openDemo()); }
    void cleanup() {
        closeDemo();
        OnaData::inst()->resetData();
    }

    void opensOnEngineSettings() {
        {
            // The demo: first USB cable, port 0, delay 1.
            auto d = dialog();
            QCOMPARE(d->typeSelector()->currentIndex(), 0);
            QCOMPARE(d->portSelector()->count(), 1);
            QCOMPARE(d->portSelector()->currentText(), u"EzUSB-0"_s);
            QVERIFY(d->parallelButtons().at(0)->isHidden());
            QVERIFY(d->addressEdit()->isHidden());
            QVERIFY(d->tlrCheckBox()->isHidden());
            QVERIFY(d->errorLabel()->isHidden());
            QCOMPARE(d->tckSpinBox()->value(), 1);
            QVERIFY(!d->okButton()->isEnabled());
        }
        m_host->eval(
            QStringLiteral("ona_set_project -cabletype USB2; ona_set_project -cableport 3; "
                           "ona_set_project -tckdelay 7"));
        {
            auto d = dialog();
            QCOMPARE(d->typeSelector()->currentIndex(), 1);
            QCOMPARE(d->portSelector()->currentText(), u"FTUSB-3"_s);
            QCOMPARE(d->tckSpinBox()->value(), 7);
        }
        // Parallel: a known address checks its button, another one "0x" and
        // the address in lower-case hexadecimal.
        m_host->eval(u"ona_set_project -cabletype VORANTE; ona_set_project -cableport 956"_s);
        {
            auto d = dialog();
            QCOMPARE(d->typeSelector()->currentIndex(), 2);
            QVERIFY(d->portSelector()->isHidden());
            QVERIFY(!d->parallelButtons().at(2)->isHidden());
            QVERIFY(d->parallelButtons().at(2)->isChecked());
        }
        m_host->eval(u"ona_set_project -cableport 760"_s);
        {
            auto d = dialog();
            QVERIFY(d->parallelButtons().at(3)->isChecked());
            QCOMPARE(d->addressEdit()->text(), u"2f8"_s);
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
        QVERIFY(d->okButton()->isEnabled());
        QVERIFY(d->errorLabel()->isHidden());
        // Choosing a port follows it with the type.
        d->portSelector()->setCurrentIndex(1);
        QCOMPARE(d->typeSelector()->currentIndex(), 0);
        d->tckSpinBox()->setValue(4);
        m_gui->ResetDirtyBit();
        d->okButton()->click();
        QCOMPARE(d->result(), int(QDialog::Accepted));
        QCOMPARE(cableCommands(), QStringList({u"ona_set_project -cabletype USB"_s, u"ona_set_project -cableport 0"_s,
                                               u"ona_set_project -tckdelay 4"_s}));
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
            d->typeSelector()->setCurrentIndex(3);
            d->doShowType(3);
            QVERIFY(d->portSelector()->isHidden() && !d->hostEdit()->isHidden());
            QCOMPARE(d->targetSelector()->currentIndex(), 1);
            QVERIFY(!d->targetSelector()->isEnabled());
            d->hostEdit()->setText(u"sim-host"_s);
            d->serverPortBox()->setValue(4567);
            d->detectButton()->click();
            d->okButton()->click();
            QCOMPARE(d->result(), int(QDialog::Accepted));
        }
        QCOMPARE(cableCommands(),
                 QStringList({u"ona_set_project -cabletype REMOTE"_s, u"ona_set_project -cableport 4567"_s,
                              u"ona_set_project -tckdelay 1"_s, u"ona_set_project -cablehost sim-host"_s,
                              u"ona_set_project -target jtag"_s}));
        QCOMPARE(OnaData::inst()->getJTAG()->settings().host, u"sim-host"_s);
        {
            auto d = dialog();
            QCOMPARE(d->typeSelector()->currentIndex(), 3);
            QCOMPARE(d->serverPortBox()->value(), 4567);
            QCOMPARE(d->portLabel()->text(), u"Server:"_s);
            // Back to the first cable on the simulated device.
            d->typeSelector()->setCurrentIndex(0);
            d->doShowType(0);
            d->targetSelector()->setCurrentIndex(0);
            d->detectButton()->click();
            m_host->commands.clear();
            d->okButton()->click();
        }
        QCOMPARE(cableCommands(),
                 QStringList({u"ona_set_project -cabletype USB"_s, u"ona_set_project -cableport 0"_s,
                              u"ona_set_project -tckdelay 1"_s, u"ona_set_project -target simulated"_s}));
    }

    void usbPortNumbers() {
        // FTUSB-3 is the FTDI cable on port 3; a two-digit port is read whole.
        const QList<QPair<QString, QStringList>> cases{
            {u"FTUSB-3"_s, {u"USB2"_s, u"3"_s}},
            {u"FTUSB-12"_s, {u"USB2"_s, u"12"_s}},
            {u"EzUSB-7"_s, {u"USB"_s, u"7"_s}},
        };
        for (const auto& [port, expected] : cases) {
            m_host->commands.clear();
            auto d = dialog();
            d->portSelector()->clear();
            d->portSelector()->addItem(port);
            QCOMPARE(d->chosenPort(), expected.at(1).toInt());
            d->tckSpinBox()->setValue(1);
            d->tckSpinBox()->setValue(2);
            QVERIFY2(d->okButton()->isEnabled(), qPrintable(port));
            d->okButton()->click();
            QCOMPARE(cableCommands(), QStringList({u"ona_set_project -cabletype "_s + expected.at(0),
                                                   u"ona_set_project -cableport "_s + expected.at(1),
                                                   u"ona_set_project -tckdelay 2"_s}));
            QCOMPARE(OnaData::inst()->getCablePort(), expected.at(1).toInt());
        }
    }
    void parallelChecks() {
        auto d = dialog();
        d->typeSelector()->setCurrentIndex(2);
        d->doShowType(2);
        QVERIFY(d->portSelector()->isHidden());
        QVERIFY(!d->addressEdit()->isHidden());
        // Switching to the parallel cable offers the usual address.
        QVERIFY(d->parallelButtons().at(0)->isChecked());

        // "0x" with no address.
        d->parallelButtons().at(3)->setChecked(true);
        d->detectButton()->click();
        QVERIFY(!d->errorLabel()->isHidden());
        QCOMPARE(d->errorLabel()->text(),
                 QStringLiteral("<font color=\"red\">Missing Parallel port: please enter correct address and check "
                                "again!</font>"));
        QVERIFY(!d->okButton()->isEnabled());

        // Not hexadecimal: refused without asking the cable, and cleared.
        d->addressEdit()->setText(u"2g8"_s);
        d->detectButton()->click();
        QVERIFY(d->errorLabel()->text().contains(
            u"Parallel port error: address 0x2g8 is invalid or cable not connected!"_s));
        QVERIFY(d->addressEdit()->text().isEmpty());
        QVERIFY(!d->okButton()->isEnabled());

        // A hexadecimal address where no simulated cable answers.
        d->addressEdit()->setText(u"2f8"_s);
        d->detectButton()->click();
        QVERIFY(d->errorLabel()->text().contains(u"address 0x2f8 is invalid"_s));

        // 0x278 answers: the error goes, OK comes.
        d->parallelButtons().at(1)->setChecked(true);
        d->detectButton()->click();
        QVERIFY(d->errorLabel()->isHidden());
        QVERIFY(d->okButton()->isEnabled());
        d->okButton()->click();
        QCOMPARE(cableCommands(), QStringList({u"ona_set_project -cabletype VORANTE"_s,
                                               u"ona_set_project -cableport 632"_s, u"ona_set_project -tckdelay 1"_s}));

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
        d->typeSelector()->setCurrentIndex(0);
        d->doShowType(0);
        QCOMPARE(d->portSelector()->count(), 0);
        d->tckSpinBox()->setValue(5);
        QVERIFY(!d->okButton()->isEnabled());
        // Even when asked directly, nothing reaches the engine.
        d->onOK();
        QVERIFY(cableCommands().isEmpty());
        QVERIFY(d->result() != QDialog::Accepted);
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
        QVERIFY(d->result() != QDialog::Accepted);
        QVERIFY(!d->errorLabel()->isHidden());
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
        QVERIFY(cableCommands().isEmpty());
        QVERIFY(!m_gui->isModified());

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
};

QTEST_MAIN(TstCable)
#include "tst_cable.moc"
