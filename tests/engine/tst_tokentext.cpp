// How a value reads under a token set: the one engine function behind the
// trigger table's radix change, the waveform and the text export, and the
// three uses agreeing on a capture of the demo.

#include "enginetest.h"
#include "testtime.h"
#include "tokenmodel.h"
#include "triggerumodel.h"
#include "waveformmodel.h"

#include <QtTest>

class TestTokenText : public DemoSession {
    Q_OBJECT
private slots:
    void init();
    void valueText();
    void triggerTableRadixChange();
    void exportAndWaveformAgree();

private:
};

void TestTokenText::init() { QVERIFY2(openDemo(), qPrintable(m_tcl.result())); }

void TestTokenText::valueText() {
    TokenModel* t = OnaData::inst()->getTokenModel();
    bool named = false;
    // The demo's user set "cmd" (8 bits: NOP, READ, WRITE, BURST).
    QCOMPARE(t->valueText(QStringLiteral("cmd"), QStringLiteral("00000010"), &named), QStringLiteral("WRITE"));
    QVERIFY(named);
    // A value no token has reads in hexadecimal, for every width.
    QCOMPARE(t->valueText(QStringLiteral("cmd"), QStringLiteral("10100101"), &named), QStringLiteral("A5"));
    QVERIFY(!named);
    QCOMPARE(t->valueText(QStringLiteral("cmd"), QStringLiteral("10111")), QStringLiteral("17"));
    QCOMPARE(t->tokenByBits(QStringLiteral("cmd"), QStringLiteral("10100101")), QString());
    // Values compare as numbers: a bus narrower or wider than the set (its
    // width was changed after it was chosen) still finds the token.
    QCOMPARE(t->valueText(QStringLiteral("cmd"), QStringLiteral("11")), QStringLiteral("BURST"));
    QCOMPARE(t->valueText(QStringLiteral("cmd"), QStringLiteral("0000000000")), QStringLiteral("NOP"));
    // Names are case-sensitive; an unknown set names nothing.
    QCOMPARE(t->valueText(QStringLiteral("CMD"), QStringLiteral("00000010"), &named), QStringLiteral("02"));
    QVERIFY(!named);
    // ENUM sets for "ONL_" names; an integer enumeration reads an unnamed
    // value in decimal.
    QCOMPARE(t->valueText(QStringLiteral("ONL_uart_state"), QStringLiteral("001")), QStringLiteral("START"));
    QList<TokenSetData> enums = t->sets(QStringLiteral("ENUM"));
    TokenSetData level;
    level.name = QStringLiteral("ONL_INT_level");
    level.bits = 8;
    level.tokens = {{QStringLiteral("FULL"), QStringLiteral("11111111")}};
    enums << level;
    t->setSets(QStringLiteral("ENUM"), enums);
    QCOMPARE(t->valueText(QStringLiteral("ONL_INT_level"), QStringLiteral("00010100")), QStringLiteral("20"));
    QCOMPARE(t->valueText(QStringLiteral("ONL_INT_level"), QStringLiteral("11111111")), QStringLiteral("FULL"));
    // The waveform's lookup is the same function.
    QCOMPARE(OnaData::matchToken(8, QStringLiteral("ONL_INT_level"), QStringLiteral("00010100")), QStringLiteral("20"));
    QCOMPARE(OnaData::matchToken(8, QStringLiteral("cmd"), QStringLiteral("00000001")), QStringLiteral("READ"));
}

void TestTokenText::triggerTableRadixChange() {
    // TU_cmd (bus_la, wdata[7:0]) is 8 bits wide like "cmd".
    QVERIFY(m_tcl.eval("ona_set_core -name bus_la"));
    TriggerUModel* tu = OnaData::inst()->getTUModel();
    const int row = tu->rowOf(QStringLiteral("TU_cmd"));
    QVERIFY(row >= 0);
    QVERIFY2(m_tcl.eval("ona_set_tu -name TU_cmd -radix Hex -value 02"), qPrintable(m_tcl.result()));
    QVERIFY2(m_tcl.eval("ona_set_tu -name TU_cmd -radix cmd"), qPrintable(m_tcl.result()));
    QCOMPARE(tu->text(row, TriggerUModel::ColValue), QStringLiteral("WRITE"));
    QVERIFY(!tu->hasError(row));
    // Back to a number and onto a value no token names: the value stays as
    // it was (a hexadecimal text is no token), and the unit says why.
    QVERIFY(m_tcl.eval("ona_set_tu -name TU_cmd -radix Hex -value 7F"));
    QVERIFY(m_tcl.eval("ona_set_tu -name TU_cmd -radix cmd"));
    QCOMPARE(tu->text(row, TriggerUModel::ColValue), QStringLiteral("7F"));
    QVERIFY(tu->hasError(row));
    // Removing the set sends the unit back to binary with its value.
    QVERIFY(m_tcl.eval("ona_set_tu -name TU_cmd -value BURST"));
    QVERIFY2(m_tcl.eval("ona_del_tokenset cmd"), qPrintable(m_tcl.result()));
    QCOMPARE(tu->text(row, TriggerUModel::ColRadix), QStringLiteral("Bin"));
    QCOMPARE(tu->text(row, TriggerUModel::ColValue), QStringLiteral("00000011"));
}

void TestTokenText::exportAndWaveformAgree() {
    OnaData* d = OnaData::inst();
    QVERIFY(m_tcl.eval("ona_set_core -name bus_la"));
    QVERIFY(m_tcl.eval("ona_set_trigoptn -samples 64"));
    QVERIFY2(m_tcl.eval("ona_run"), qPrintable(m_tcl.result()));
    QVERIFY2(m_tcl.eval(QStringLiteral("ona_wait -timeout %1").arg(testMs(20000))), qPrintable(m_tcl.result()));
    d->collectCapture();
    WaveformModel* m = d->getWDModel();
    QVERIFY(m && m->hasData());
    // "beat" counts up one per sample: every value of "cmd" and unnamed ones.
    QModelIndex beat;
    for (int r = 0; r < m->rowCount(); ++r)
        if (WaveformModel::rowData(m->index(r, 0)).name == QLatin1String("beat"))
            beat = m->index(r, 0);
    QVERIFY(beat.isValid());
    SigTreeData row = WaveformModel::rowData(beat);
    row.radix = 0;
    row.radixName = QStringLiteral("cmd");
    m->setRowData(beat, row);
    QCOMPARE(d->getWaveformRadix(beat.row()), QStringLiteral("cmd"));

    const QString file = m_demo->path(QStringLiteral("beat.txt"));
    QVERIFY2(m_tcl.call({"ona_export_project", "-txt", file, "-siglist", "beat"}), qPrintable(m_tcl.result()));
    const QList<QByteArray> lines = readAll(file).split('\n');
    int rows = 0, named = 0;
    for (const QByteArray& line : lines) {
        const QList<QByteArray> cells = line.split('\t');
        if (line.startsWith('#') || cells.size() != 3 || cells.at(0) == "frame")
            continue;
        const int sample = rows++;
        const QString bits = m->getBits(beat, sample);
        // The export shows what the waveform's data column and labels show.
        const QString shown = OnaData::matchToken(8, QStringLiteral("cmd"), bits);
        QCOMPARE(QString::fromUtf8(cells.at(2)), shown);
        named += d->getTokenModel()->tokenByBits(QStringLiteral("cmd"), bits).isEmpty() ? 0 : 1;
    }
    QCOMPARE(rows, m->getNumTime());
    QVERIFY(named > 0 && named < rows);

    // Renaming the set keeps the bus on it, under the new name.
    QVERIFY2(m_tcl.eval("ona_set_tokenset cmd -name opcode"), qPrintable(m_tcl.result()));
    QCOMPARE(d->getWaveformRadix(beat.row()), QStringLiteral("opcode"));

    // The set going away sends the bus back to binary.
    d->resetWaveformRadix(beat.row());
    QCOMPARE(d->getWaveformRadix(beat.row()), QStringLiteral("Bin"));
}

QTEST_GUILESS_MAIN(TestTokenText)
#include "tst_tokentext.moc"
