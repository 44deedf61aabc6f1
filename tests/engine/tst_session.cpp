// The project session as a user meets it in the first hour: nothing of
// what a run captures changes under it, and the small option and
// documentation edges agree with the engine. A new project that never
// replaces a file unasked is the window's test.

#include "enginetest.h"

#include <QSignalSpy>
#include <QtTest>

using namespace Qt::StringLiterals;

class TestSession : public DemoSession {
    Q_OBJECT
private slots:
    void init() { QVERIFY2(openDemo(), qPrintable(m_tcl.result())); }
    void cleanup() {
        OnaData::inst()->stopCapture();
        OnaData::inst()->waitCapture(-1);
        OnaData::inst()->resetData();
    }
    void setupFrozenWhileRunning() {
        OnaData* data = OnaData::inst();
        // A trigger that never comes keeps the run waiting.
        QVERIFY(m_tcl.eval(
            "ona_set_core -name uart_la -run off; ona_set_core -name bus_la; ona_set_tu -name TU_addr -value 0..0; "
            "ona_set_tu -name TU_hs -value 00; ona_add_tokenset -tokenset Mine"));
        QVERIFY(m_tcl.eval("ona_run") && data->isBusy());
        QSignalSpy setDirty(data, &OnaData::setDirty);
        QSignalSpy settingDirty(data, &OnaData::settingDirty);
        QSignalSpy tokenDirty(data, &OnaData::tokenDirty);
        QSignalSpy runDirty(data, &OnaData::coreRunDirty);
        const QString refusal = u"a capture is running: stop it or wait for it"_s;
        const QStringList edits{
            "ona_set_tu -name TU_hs -value 11",      "ona_rename_tu TU_hs TU_x",
            "ona_set_te -name TE_write -enable off", "ona_set_te -name TE_write -expression TU_hs",
            "ona_rename_te TE_write TE_x",           "ona_set_trigoptn -samples 512",
            "ona_add_tokenset -tokenset Other",      "ona_add_token Mine A=h'1",
            "ona_set_tokenset Mine -bits 4",         "ona_del_tokenset Mine",
            "ona_set_core -name uart_la -run on",    u"ona_import_tokenset {%1}"_s.arg(m_demo->path("none.ont"))};
        for (const QString& edit : edits) {
            QVERIFY2(!m_tcl.eval(edit), qPrintable(edit));
            QCOMPARE(m_tcl.result(), refusal);
        }
        QCOMPARE(setDirty.size() + settingDirty.size() + tokenDirty.size() + runDirty.size(), 0);
        QCOMPARE(data->getTUValue(0), u"00"_s);
        QCOMPARE(data->getNumSample(), 256);
        // Choosing the core to view stays allowed, and so does reading.
        QVERIFY(m_tcl.eval("ona_set_core -name uart_la") && m_tcl.eval("ona_get trigoptn"));
        QVERIFY(m_tcl.eval("ona_set_core -name bus_la"));

        // Closing the project ends the capture first.
        QVERIFY(m_tcl.eval("ona_close_project") && !data->isBusy() && !data->getAcqThread()->isRunning());

        // So does opening another; a file that does not open leaves the run alone.
        QVERIFY(
            m_tcl.eval(u"ona_open_project {%1}; ona_set_core -name uart_la -run off; "
                       "ona_set_core -name bus_la; ona_set_tu -name TU_addr -value 0..0; "
                       "ona_set_tu -name TU_hs -value 00; ona_run"_s.arg(m_demo->ona())));
        QVERIFY(data->isBusy() && !m_tcl.eval(u"ona_open_project {%1}"_s.arg(m_demo->path("none.ona"))) &&
                data->isBusy());
        QVERIFY2(m_tcl.eval(u"ona_open_project {%1}"_s.arg(m_demo->ona())), qPrintable(m_tcl.result()));
        QVERIFY(!data->isBusy());
        QVERIFY(m_tcl.eval("ona_set_tu -name TU_data -value 11")); // editable again
    }
    void smallOptionEdges() {
        // uart_la captures one fixed window: its only size is accepted, others not.
        QSignalSpy settingDirty(OnaData::inst(), &OnaData::settingDirty);
        QVERIFY2(m_tcl.eval("ona_set_trigoptn -samples 2048"), qPrintable(m_tcl.result()));
        QCOMPARE(m_tcl.dictGet("ona_get trigoptn", "samples"), u"2048"_s);
        QVERIFY(!m_tcl.eval("ona_set_trigoptn -samples 1024"));
        QCOMPARE(m_tcl.result(),
                 u"ona_set_trigoptn: core \"uart_la\": this core captures one fixed window of 2048 samples"_s);

        // The command reference's example puts bus_la's trigger in the middle.
        QVERIFY(m_tcl.eval("ona_set_core -name bus_la"));
        QVERIFY(m_tcl.eval("ona_set_trigoptn -numtriggers 8 -positionmode preset -position center"));
        const int samples = m_tcl.dictGet("ona_get trigoptn", "samples").toInt();
        QCOMPARE(samples, 256); // 8 x 256 fits in the sample memory: unchanged
        QCOMPARE(m_tcl.dictGet("ona_get trigoptn", "triggerposition").toInt(), samples / 2);
        const QByteArray reference = readAll(QStringLiteral(ONDREL_SOURCE_DIR "/docs/commands.md"));
        QVERIFY(reference.contains("ona_set_trigoptn -numtriggers 8 -positionmode preset -position center"));
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "tst_session.moc"
