// The "Serdes Debug" and "Wishbone Debug" pages on the demo's SERDES,
// through an embedded window and a recording host: the exact command
// strings, what the simulated SERDES did with them, and what the pages show
// of the engine's reports.

#include "demofixture.h"
#include "guitest.h"
#include "recordinghost.h"

#include "serdes/serdesview.h"
#include "serdes/serdeswidgets.h"
#include "serdes/wishboneview.h"
#include "shell/onagui.h"
#include "shell/rightview.h"

#include "basgui/dialogseam.h"
#include "onadata.h"
#include "pcsdata.h"
#include "pcsjtag.h"

#include <QtTest>
#include <QtWidgets>

#include <memory>

using namespace vemo::toolona;
using vemo::basgui::ScriptedDialogs;
using namespace Qt::StringLiterals;

class TstSerdes : public DemoTest {
    Q_OBJECT
private slots:
    void init() { QVERIFY(openDemo() && view()); }
    void cleanup() { closeDemo(); }
    void pagesShowTheEngineAndSendExactCommands() {
        // Opening read the SERDES; the page shows it, in front.
        QCOMPARE(m_gui->rightView()->tabWidget()->currentWidget(), view());
        QCOMPARE(m_gui->progressBar()->format(), u"Completed"_s);
        QCOMPARE(combo("tx_invert")->currentText(), u"Non-invert"_s);
        for (const char* lamp : {"pll_lol_state", "los_state", "cdr_lol_state"})
            QCOMPARE(view()->statusLamp(QString::fromLatin1(lamp))->color(), Qt::red);
        // Combo boxes show their text but take no typing.
        QVERIFY(combo("tx_term")->lineEdit()->isReadOnly());

        PCSData* pcs = PCSData::inst();
        // Each choice reaches the engine, and its report back sends nothing more.
        combo("tx_postcur")->setCurrentIndex(12);
        combo("rx_losslock")->setCurrentIndex(3);
        combo("tx_invert")->setCurrentIndex(1);
        QCOMPARE(sent().size(), 3);
        QCOMPARE(pcs->getValue("rx_losslock"), 3);

        // Resets: a click holds, the next releases; the lamps follow the device.
        m_host->commands.clear();
        ResetButton* pll = view()->resetButton("tx_pll_reset");
        QTest::mouseClick(pll, Qt::LeftButton);
        QVERIFY(pll->state());
        QTest::mouseClick(pll, Qt::LeftButton);
        QVERIFY(!pll->state());
        QCOMPARE(view()->statusLamp("pll_lol_state")->color(), Qt::green);
        QCOMPARE(view()->statusLamp("cdr_lol_state")->color(), Qt::red);
        for (const char* key : {"macro_reset", "macro_reset", "dcu_reset", "tx_pcs_reset", "rx_pcs_reset"})
            QTest::mouseClick(view()->resetButton(key), Qt::LeftButton);
        QCOMPARE(view()->statusLamp("pll_lol_state")->color(), Qt::green);
        QCOMPARE(sent().size(), 7);
        QCOMPARE(pcs->getValue("rx_pcs_reset"), 1);

        // Apply and reload, with their progress on the run panel.
        m_host->commands.clear();
        QSignalSpy panel(pcs->getJTAG(), &PCSJTAG::pcsPanel);
        QTest::mouseClick(view()->applyButton(), Qt::LeftButton);
        QTest::mouseClick(view()->reloadButton(), Qt::LeftButton);
        QCOMPARE(sent().mid(0, 2), QStringList({"ona_run_pcs", "ona_run_pcs -config_sram"}));
        QList<int> codes;
        for (const auto& args : panel)
            codes << args.at(0).toInt();
        QCOMPARE(codes, QList<int>({0, 2, 4, 7, 0, 16, 5, 7}));
        QCOMPARE(m_gui->progressBar()->format(), u"Completed"_s);
        // The reload put the configuration back and released the resets.
        QCOMPARE(combo("tx_term")->currentText(), u"50ohms"_s);
        QVERIFY(!view()->resetButton("rx_pcs_reset")->state());
    }
    void amplitudesAndReadBackKeepControlsSound() {
        // What is no step of the block is shown as the nearest and not sent;
        // the forms that are sent normalised are rows of tst_commandstrings.
        typeAmplitude("105");
        QCOMPARE(view()->amplitudeEdit()->text(), u"100"_s);
        typeAmplitude("abc");
        QCOMPARE(sent(), QStringList());
        typeAmplitude("0180");
        QCOMPARE(sent(), QStringList{"ona_set_pcs -control tx_diffamp -option \"180\""});
        QCOMPARE(view()->amplitudeEdit()->text(), u"180"_s);
        QCOMPARE(PCSData::inst()->getValue("tx_diffamp"), 180);

        PCSData* pcs = PCSData::inst();
        // An invert value that is no item changes nothing and sends nothing.
        combo("tx_invert")->setCurrentIndex(1);
        m_host->commands.clear();
        for (int bad : {-1, 2, 5}) {
            pcs->injectValue("tx_invert", bad);
            pcs->injectValue("rx_invert", bad);
        }
        QCOMPARE(sent(), QStringList());
        QCOMPARE(combo("tx_invert")->currentIndex(), 1);
        QCOMPARE(combo("rx_invert")->currentIndex(), 0);
        pcs->injectValue("tx_term", 3);
        QCOMPARE(combo("tx_term")->currentIndex(), 0);
        QCOMPARE(sent(), QStringList());

        // No pre-cursor value: the placeholder shows, and picking the item that
        // was shown before sends it again.
        combo("tx_precur")->setCurrentIndex(4);
        pcs->injectValue("tx_precur", -1);
        QCOMPARE(combo("tx_precur")->currentIndex(), -1);
        QCOMPARE(combo("tx_precur")->currentText(), QString());
        pcs->clearInjections();
        m_host->commands.clear();
        combo("tx_precur")->setCurrentIndex(4);
        QCOMPARE(sent(), QStringList{"ona_set_pcs -control tx_precur -option \"3\""});

        // A valid report is taken as a user change would be.
        m_host->commands.clear();
        pcs->injectValue("rx_coupling", 1);
        QCOMPARE(combo("rx_coupling")->currentText(), u"AC"_s);
        QCOMPARE(sent(), QStringList{"ona_set_pcs -control rx_coupling -option \"AC\""});

        // Amplitudes: valid, none, invalid.
        pcs->injectValue("tx_diffamp", 1300);
        QCOMPARE(view()->amplitudeEdit()->text(), u"1300"_s);
        pcs->injectValue("tx_diffamp", 105);
        QCOMPARE(view()->amplitudeEdit()->text(), QString());
        QVERIFY(view()->amplitudeEdit()->placeholderText().contains(QLatin1String("105")));
        pcs->injectValue("tx_diffamp", -1);
        QCOMPARE(view()->amplitudeEdit()->placeholderText(), u"Select New Value..."_s);

        // A reset the device reports held shows held, without a command.
        m_host->commands.clear();
        pcs->injectValue("dcu_reset", 1);
        QVERIFY(view()->resetButton("dcu_reset")->state());
        pcs->injectValue("cdr_lol_state", 0);
        QCOMPARE(view()->statusLamp("cdr_lol_state")->color(), Qt::green);
        QCOMPARE(sent(), QStringList());
    }
    void listsOfferOnlyDescribedChannels() {
        PCSData* pcs = PCSData::inst();
        // Only DCU 1, channel 1.
        SerdesLayout one;
        one.channel[1][1] = true;
        pcs->setLayout(one);
        QCOMPARE(comboItems(combo("dcua")), QStringList{"1"});
        QCOMPARE(comboItems(combo("channel")), QStringList{"1"});
        // DCU 0 channel 0 and DCU 1 channel 1: never DCU 0 channel 1.
        SerdesLayout diagonal;
        diagonal.channel[0][0] = diagonal.channel[1][1] = true;
        pcs->setLayout(diagonal);
        view()->fillDCUChannelLists();
        QCOMPARE(comboItems(combo("dcua")), QStringList({"0", "1"}));
        QCOMPARE(comboItems(combo("channel")), QStringList{"0"});
        // Filling sent nothing, not even an empty option.
        QCOMPARE(sent(), QStringList());
        combo("dcua")->setCurrentIndex(1);
        QCOMPARE(sent(), QStringList{"ona_set_pcs -control dcua -option 1"});
        QCOMPARE(comboItems(combo("channel")), QStringList{"1"});
        QCOMPARE(combo("channel")->currentText(), u"1"_s);
        QCOMPARE(pcs->getValue("channel"), 1);
        // No SERDES: empty lists, still nothing sent.
        pcs->setLayout(SerdesLayout());
        QCOMPARE(combo("dcua")->count(), 0);
        QCOMPARE(sent().size(), 1);
    }
    void wishboneCommandsAndRefusals() {
        ScriptedDialogs dialogs;
        QLineEdit* addr = wishbone()->addressEdit();
        QLineEdit* data = wishbone()->dataEdit();
        QTest::keyClicks(addr, "0x1");
        QCOMPARE(addr->text(), u"01"_s);
        addr->clear();
        QTest::keyClicks(addr, "0000000aB");
        QCOMPARE(addr->text(), u"0000000aB"_s);
        QTest::keyClicks(data, "fg1");
        QCOMPARE(data->text(), u"f1"_s);
        // Wider than 32 bits, or than a byte: kept as typed, and Write and
        // Read refuse it rather than send a cut value.
        addr->setText(u"123456789"_s);
        QTest::keyClicks(data, "2");
        QCOMPARE(data->text(), u"f12"_s);
        QTest::mouseClick(wishbone()->readButton(), Qt::LeftButton);
        addr->setText(u"12"_s);
        QTest::mouseClick(wishbone()->writeButton(), Qt::LeftButton);
        QCOMPARE(sent(), QStringList());
        QCOMPARE(dialogs.asked.size(), 2);
        QVERIFY(dialogs.asked.at(0).text.startsWith(QLatin1String("Address 0x123456789 does not fit in 32 bits")));
        QVERIFY(dialogs.asked.at(1).text.startsWith(QLatin1String("Data 0xf12 does not fit in 8 bits")));
        dialogs.asked.clear();

        // Nothing typed: said, not sent.
        addr->clear();
        data->clear();
        QTest::mouseClick(wishbone()->readButton(), Qt::LeftButton);
        QTest::keyClicks(addr, "0002");
        QTest::mouseClick(wishbone()->writeButton(), Qt::LeftButton);
        QCOMPARE(sent(), QStringList());
        QCOMPARE(dialogs.asked.size(), 2);
        QVERIFY(dialogs.asked.at(0).text.contains(QLatin1String("address")));
        QVERIFY(dialogs.asked.at(1).text.contains(QLatin1String("data")));

        QTest::mouseClick(wishbone()->readButton(), Qt::LeftButton);
        QCOMPARE(data->text(), u"1E"_s);
        data->setText("3C");
        QTest::mouseClick(wishbone()->writeButton(), Qt::LeftButton);
        QTest::mouseClick(wishbone()->continuousBox(), Qt::LeftButton);
        QTest::mouseClick(wishbone()->continuousBox(), Qt::LeftButton);
        QCOMPARE(sent(), QStringList({
                             "ona_open_pcs\n  ona_pcs read -byte \"1\" -addr \"0002\"\n  ona_pcs close",
                             "ona_open_pcs\n  ona_pcs write -byte \"1\" -addr \"0002\" -data \"3C\"\n  ona_pcs close",
                             "ona_set_pcs -control cont_read -option on",
                             "ona_set_pcs -control cont_read -option off",
                         }));
        // The written byte is the amplitude the control shows: code 60 is 1100 mV.
        QCOMPARE(PCSData::inst()->getValue("tx_diffamp"), 1100);
        QCOMPARE(view()->amplitudeEdit()->text(), u"1100"_s);

        // A refused access leaving the bus closed: tst_serdes (engine), on the same scripts.
        // The field only ever shows a byte: anything else leaves it as it was.
        PCSData::inst()->injectWBData("abc");
        QCOMPARE(data->text(), u"3C"_s);
        // Cancelling the Load dialog sends nothing.
        m_host->commands.clear();
        QTest::mouseClick(wishbone()->loadButton(), Qt::LeftButton);
        QCOMPARE(sent(), QStringList());
    }
    void continuousReadKeepsTyping() {
        QLineEdit* data = wishbone()->dataEdit();
        wishbone()->addressEdit()->setText("0007");
        QTest::mouseClick(wishbone()->readButton(), Qt::LeftButton);
        QCOMPARE(data->text(), u"03"_s);
        // A report replaces typed text after a one-off read.
        data->selectAll();
        QTest::keyClicks(data, "1");
        PCSData::inst()->injectWBData("44");
        QCOMPARE(data->text(), u"44"_s);

        // With Continuous on, what is being typed stays and is what Write sends.
        wishbone()->continuousBox()->setChecked(true);
        QTRY_COMPARE(data->text(), u"03"_s);
        data->clear();
        wishbone()->addressEdit()->setText("0103");
        QTest::keyClicks(data, "0");
        QTest::keyClicks(data, "2");
        QTest::qWait(3 * PCSData::kContinuousMs);
        QCOMPARE(data->text(), u"02"_s);
        m_host->commands.clear();
        QTest::mouseClick(wishbone()->writeButton(), Qt::LeftButton);
        QCOMPARE(sent(),
                 QStringList{"ona_open_pcs\n  ona_pcs write -byte \"1\" -addr \"0103\" -data \"02\"\n  ona_pcs close"});
        // Written: the reads show the device's byte again.
        QTRY_COMPARE(PCSData::inst()->getWBData(), u"02"_s);
        wishbone()->continuousBox()->setChecked(false);
        QVERIFY(!PCSData::inst()->isContinuous());
    }
    void settingsMeetOnBothPages() {
        // A setting made with a control, applied, read as its register byte.
        combo("tx_term")->setCurrentIndex(1);
        combo("tx_losslock")->setCurrentIndex(2);
        QTest::mouseClick(view()->applyButton(), Qt::LeftButton);
        wishbone()->addressEdit()->setText("0000");
        QTest::mouseClick(wishbone()->readButton(), Qt::LeftButton);
        QCOMPARE(wishbone()->dataEdit()->text(), u"11"_s);
        // A byte written there is what the controls show.
        wishbone()->addressEdit()->setText("0004");
        wishbone()->dataEdit()->setText("4B"); // length 3, rate 2, EQ 12dB
        QTest::mouseClick(wishbone()->writeButton(), Qt::LeftButton);
        QCOMPARE(combo("rx_channellength")->currentText(), u"15-20in"_s);
        QCOMPARE(combo("rx_datarate")->currentText(), u"1-2Gbps"_s);
        QCOMPARE(combo("rx_leq")->currentText(), u"12dB"_s);
        // Channel 1 of DCU 1 keeps its own.
        combo("dcua")->setCurrentIndex(1);
        combo("channel")->setCurrentIndex(1);
        QCOMPARE(combo("rx_leq")->currentText(), u"6dB"_s);
        QCOMPARE(combo("tx_term")->currentText(), u"50ohms"_s);
    }
    void filesWithHostileNames() {
        ScriptedDialogs dialogs;
        const QString dir = m_dir->path() + u"/a \"b\" [c] $d {e}\\f"_s;
        QVERIFY(QDir().mkpath(dir));
        const QString srv = dir + u"/set [1].srv"_s;
        combo("rx_term")->setCurrentIndex(3);
        dialogs.files.enqueue(srv);
        QTest::mouseClick(view()->exportButton(), Qt::LeftButton);
        QVERIFY(QFileInfo::exists(srv));
        combo("rx_term")->setCurrentIndex(0);
        dialogs.files.enqueue(srv);
        QTest::mouseClick(view()->importButton(), Qt::LeftButton);
        QCOMPARE(combo("rx_term")->currentText(), u"5Kohms"_s);
        const QString escaped = u"a \\\"b\\\" \\[c\\] \\$d {e}\\\\f/set \\[1\\].srv"_s;
        QVERIFY(sent().contains(u"ona_export_pcs \"%1/%2\""_s.arg(m_dir->path(), escaped)));
        QVERIFY(sent().contains(u"ona_import_pcs \"%1/%2\""_s.arg(m_dir->path(), escaped)));

        // A script of SERDES commands under such a name runs.
        const QString tcl = dir + u"/go [now].tcl"_s;
        QVERIFY(writeAll(tcl, "ona_set_pcs -control loopback -option \"Rx EQ to Tx\"\n"));
        dialogs.files.enqueue(tcl);
        QTest::mouseClick(wishbone()->loadButton(), Qt::LeftButton);
        QVERIFY(sent().contains(
            u"ona_run_pcs -file \"%1/a \\\"b\\\" \\[c\\] \\$d {e}\\\\f/go \\[now\\].tcl\""_s.arg(m_dir->path())));
        QCOMPARE(combo("loopback")->currentText(), u"Rx EQ to Tx"_s);
        // Cancelled dialogs send nothing.
        const int before = sent().size();
        QTest::mouseClick(view()->importButton(), Qt::LeftButton);
        QTest::mouseClick(view()->exportButton(), Qt::LeftButton);
        QCOMPARE(sent().size(), before);

        // A script that runs on leaves the window answering, and Stop ends it.
        const QString spin = m_dir->path() + u"/spin.tcl"_s;
        QVERIFY(writeAll(spin, "while 1 {set a 1}\n") && !wishbone()->stopButton()->isEnabled());
        bool offered = false;
        QTimer::singleShot(300, wishbone(), [&] {
            offered = wishbone()->stopButton()->isEnabled() && !wishbone()->loadButton()->isEnabled();
            QTest::mouseClick(wishbone()->stopButton(), Qt::LeftButton);
        });
        dialogs.files.enqueue(spin);
        QElapsedTimer took;
        took.start();
        QTest::mouseClick(wishbone()->loadButton(), Qt::LeftButton);
        QVERIFY(offered && took.elapsed() < 10000);
        // Stop came while the script ran; the script then ended as an error.
        QCOMPARE(sent().last(), u"ona_run_pcs -stop"_s);
        QVERIFY(sent().at(sent().size() - 2).startsWith(QLatin1String("ona_run_pcs -file")));
        QCOMPARE(m_host->codes.last(), 1);
        QVERIFY(!wishbone()->stopButton()->isEnabled() && wishbone()->loadButton()->isEnabled());
    }

private:
    SERDESView* view() const { return m_gui->rightView()->page<SERDESView>(); }
    WishboneView* wishbone() const { return m_gui->rightView()->page<WishboneView>(); }
    QComboBox* combo(const char* key) const { return view()->combo(QString::fromLatin1(key)); }
    QStringList sent() const { return m_host->commands; }
    void typeAmplitude(const QString& text);
};

void TstSerdes::typeAmplitude(const QString& text) {
    QLineEdit* edit = view()->amplitudeEdit();
    edit->selectAll();
    QTest::keyClicks(edit, text);
    QTest::keyClick(edit, Qt::Key_Return);
}

QTEST_MAIN(TstSerdes)
#include "tst_serdes.moc"
