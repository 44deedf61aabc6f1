// The multi-protocol PHY quads of the demo through the real verbs: the PRBS
// generators against the sequences' known words and periods, the IBERT of
// each lane (loopback x patterns x injected errors against the error count),
// and the merge JSON reader with good, partial and hostile input.

#include "enginetest.h"
#include "hardipmerge.h"
#include "ibert.h"
#include "oncdata.h"

#include <QtTest>

using Ibert::Pattern;

class TestHardIpQuads : public DemoSession {
    Q_OBJECT
private slots:
    void init();
    void prbsSequences();
    void ibertMatrix();
    void ibertLanesAndStaging();
    void mergeReader();

private:
    bool run(const QString& script) {
        const bool ok = m_tcl.eval(script);
        if (!ok)
            qWarning("%s -> %s", qPrintable(script), qPrintable(m_tcl.result()));
        return ok;
    }
    // Lane `lane` of MPPHY_0: loopback, patterns, restart.
    bool setUp(int lane, const QString& loopback, const QString& tx, const QString& rx) {
        return run(QStringLiteral("ona_set_controller -pcs_lane %1").arg(lane)) &&
               run(QStringLiteral("ona_set_controller -hard_ip MPPHY_0 -loopback_mode \"%1\"").arg(loopback)) &&
               run(QStringLiteral("ona_run_controller -write_ip MPPHY_0 -loopback_mode")) &&
               run(QStringLiteral("ona_set_controller -hard_ip MPPHY_0 -tx_prbs_pattern \"%1\"").arg(tx)) &&
               run(QStringLiteral("ona_set_controller -hard_ip MPPHY_0 -rx_prbs_pattern \"%1\"").arg(rx)) &&
               run(QStringLiteral("ona_run_controller -restart_prbs MPPHY_0"));
    }
    quint64 count() {
        if (!run(QStringLiteral("ona_run_controller -count_error MPPHY_0")))
            return ~quint64(0);
        return m_tcl.result().toULongLong();
    }
};

void TestHardIpQuads::init() { QVERIFY2(openDemo("board_ctrl"), qPrintable(m_tcl.result())); }

void TestHardIpQuads::prbsSequences() {
    // The published first bytes of PRBS7 from the all-ones state.
    Ibert::Generator prbs7(Pattern::Prbs7);
    quint32 word = 0;
    for (int i = 0; i < 32; ++i)
        word = (word << 1) | quint32(prbs7.next());
    QCOMPARE(word, 0xFE041851u);

    // A maximal-length sequence holds the all-ones run of n exactly once per
    // 2^n - 1 bits and repeats after that: its period. It has 2^(n-1) ones.
    for (Pattern p :
         {Pattern::Prbs7, Pattern::Prbs11, Pattern::Prbs15, Pattern::Prbs16, Pattern::Prbs23_18, Pattern::Prbs23_21}) {
        const int n = Ibert::prbsOrder(p);
        const qint64 period = (qint64(1) << n) - 1;
        Ibert::Generator g(p);
        qint64 ones = 0, fullRuns = 0;
        int run = 0;
        QVector<bool> first;
        for (qint64 i = 0; i < period + n; ++i) {
            const bool b = g.next();
            if (i < n)
                first << b;
            if (i < period) {
                ones += b;
                run = b ? run + 1 : 0;
                fullRuns += run >= n;
            } else {
                QCOMPARE(b, first.at(int(i - period)));
            }
        }
        QCOMPARE(ones, period / 2 + 1);
        QCOMPARE(fullRuns, qint64(1));
    }

    // PRBS31's period is 2^31 - 1, a prime: it is enough that the feedback
    // polynomial divides x^(2^31 - 1) - 1 (and x is not 1). Then the
    // generator must follow that feedback.
    const quint32 taps = Ibert::prbsTaps(Pattern::Prbs31);
    QCOMPARE(taps, (1u << 30) | (1u << 27));
    // x^31 = x^3 + 1 for the recurrence b[k] = b[k-31] ^ b[k-28].
    const auto mulmod = [](quint64 a, quint64 b) {
        quint64 r = 0;
        for (int i = 0; i < 31; ++i)
            if (b >> i & 1)
                r ^= a << i;
        for (int i = 61; i >= 31; --i)
            if (r >> i & 1)
                r ^= (quint64(1) << i) | (quint64(1) << (i - 28)) | (quint64(1) << (i - 31));
        return r;
    };
    quint64 power = 2; // x
    for (int i = 0; i < 31; ++i)
        power = mulmod(power, power); // x^(2^31)
    QCOMPARE(power, quint64(2));      // x^(2^31) = x, so x^(2^31 - 1) = 1
    Ibert::Generator prbs31(Pattern::Prbs31);
    QVector<bool> bits;
    for (int i = 0; i < 4000; ++i)
        bits << prbs31.next();
    for (int i = 0; i < 31; ++i)
        QVERIFY(bits.at(i));
    for (int k = 31; k < bits.size(); ++k)
        QCOMPARE(bits.at(k), bool(bits.at(k - 31) ^ bits.at(k - 28)));

    // Fixed patterns repeat the lane's word (DC balanced: then its complement).
    Ibert::Generator dc(Pattern::DcBalanced, QStringLiteral("11010000"));
    QString out;
    for (int i = 0; i < 20; ++i)
        out += dc.next() ? QLatin1Char('1') : QLatin1Char('0');
    QCOMPARE(out, QStringLiteral("11010000001011111101"));
}

void TestHardIpQuads::ibertMatrix() {
    const QStringList same{QStringLiteral("PRBS31"),       QStringLiteral("PRBS23_18"),  QStringLiteral("PRBS23_21"),
                           QStringLiteral("PRBS16"),       QStringLiteral("PRBS15"),     QStringLiteral("PRBS11"),
                           QStringLiteral("PRBS7"),        QStringLiteral("Fixed Word"), QStringLiteral("DC Balanced"),
                           QStringLiteral("Fixed Pattern")};
    QVERIFY(run("ona_set_controller -pcs_lane 1"));
    QVERIFY(run("ona_set_controller -hard_ip MPPHY_0 -tx_prbs_pat0 1101000011"));
    for (const QString loopback : {"Near-End Serial", "Parallel"}) {
        for (const QString& p : same) {
            for (int injections : {0, 1, 3}) {
                QVERIFY(setUp(1, loopback, p, p));
                QCOMPARE(count(), quint64(0));
                for (int i = 0; i < injections; ++i)
                    QVERIFY(run("ona_run_controller -inject_error MPPHY_0"));
                const quint64 c = count();
                QVERIFY2(c == quint64(injections),
                         qPrintable(QStringLiteral("%1 %2 x%3: %4").arg(loopback, p).arg(injections).arg(c)));
                QCOMPARE(count(), quint64(injections)); // stays once the bits have passed
            }
        }
        // Mismatched patterns: about every other bit is wrong, and it climbs.
        for (const auto& pair : {qMakePair(QStringLiteral("PRBS31"), QStringLiteral("PRBS15")),
                                 qMakePair(QStringLiteral("PRBS7"), QStringLiteral("PRBS31")),
                                 qMakePair(QStringLiteral("PRBS23_18"), QStringLiteral("PRBS23_21")),
                                 qMakePair(QStringLiteral("Fixed Pattern"), QStringLiteral("PRBS11"))}) {
            QVERIFY(setUp(1, loopback, pair.first, pair.second));
            const quint64 a = count();
            const quint64 b = count();
            QVERIFY2(a > quint64(Ibert::Lane::kBitsPerRead / 5) && b > a + Ibert::Lane::kBitsPerRead / 5,
                     qPrintable(QStringLiteral("%1 -> %2: %3 then %4").arg(pair.first, pair.second).arg(a).arg(b)));
        }
    }
    // Without loopback the receiver hears nothing: no lock, every bit is an
    // error; a silent line is never a pass.
    QVERIFY(setUp(1, "Disabled", "PRBS31", "PRBS31"));
    const quint64 silent = count();
    QVERIFY2(silent >= quint64(Ibert::Lane::kBitsPerRead - 31), qPrintable(QString::number(silent)));
    QVERIFY(count() >= silent + Ibert::Lane::kBitsPerRead - 31);
    // Inverting one end only is a mismatch; inverting both ends cancels.
    QVERIFY(run("ona_set_controller -hard_ip MPPHY_0 -tx_data_polarity Invert"));
    QVERIFY(run("ona_run_controller -write_ip MPPHY_0 -tx_data_polarity"));
    QVERIFY(setUp(1, "Near-End Serial", "PRBS7", "PRBS7"));
    QVERIFY(count() > quint64(Ibert::Lane::kBitsPerRead / 5));
    QVERIFY(run("ona_set_controller -hard_ip MPPHY_0 -rx_data_polarity Invert"));
    QVERIFY(run("ona_run_controller -write_ip MPPHY_0 -rx_data_polarity"));
    QVERIFY(setUp(1, "Near-End Serial", "PRBS7", "PRBS7"));
    QCOMPARE(count(), quint64(0));
    // The checker off counts nothing.
    QVERIFY(setUp(1, "Near-End Serial", "PRBS7", "Disabled"));
    QCOMPARE(count(), quint64(0));
}

void TestHardIpQuads::ibertLanesAndStaging() {
    QVERIFY(setUp(0, "Near-End Serial", "PRBS31", "PRBS31"));
    QVERIFY(setUp(2, "Near-End Serial", "PRBS31", "PRBS31"));
    // Inject on lane 2 only.
    QVERIFY(run("ona_run_controller -inject_error MPPHY_0"));
    QCOMPARE(count(), quint64(1));
    QVERIFY(run("ona_set_controller -pcs_lane 0"));
    QCOMPARE(count(), quint64(0));
    // A staged pattern changes nothing until Restart applies it.
    QVERIFY(run("ona_set_controller -hard_ip MPPHY_0 -rx_prbs_pattern \"PRBS15\""));
    QCOMPARE(count(), quint64(0));
    QVERIFY(run("ona_run_controller -restart_prbs MPPHY_0"));
    QVERIFY(count() > 0);
    // The count is what a read of the key gives.
    QVERIFY(run("ona_run_controller -read_ip MPPHY_0 -rx_prbs_errcount"));
    const QString read = m_tcl.dictGet("ona_get hardip MPPHY_0", "rx_prbs_errcount");
    QVERIFY(read.toULongLong() > 0);
    QCOMPARE(ONCData::inst()->getHardIP(QStringLiteral("MPPHY_0"), QStringLiteral("rx_prbs_errcount")), read);
    // Each quad has its own lanes.
    QVERIFY(run("ona_run_controller -restart_prbs MPPCIE_1"));
    QVERIFY(run("ona_run_controller -count_error MPPCIE_1"));
    QVERIFY(m_tcl.result().toULongLong() == 0); // patterns disabled there
    // Blocks without an IBERT, and unknown instances, say so.
    QVERIFY(!m_tcl.eval("ona_run_controller -count_error PCSCH_0"));
    QVERIFY(m_tcl.result().contains("rx_prbs_errcount"));
    QVERIFY(!m_tcl.eval("ona_run_controller -inject_error NOPE"));
    QVERIFY(m_tcl.result().contains("NOPE"));
    QVERIFY(!m_tcl.eval("ona_run_controller -restart_prbs MPPHY_0 extra"));
}

void TestHardIpQuads::mergeReader() {
    // The demo's file, found beside the debug-logic file.
    const QString text = OnaData::inst()->readZentaMPPMergeInfo();
    QHash<QString, ZentaMPPMergeInfo> table;
    QString warning;
    QVERIFY(HardIpMerge::parse(text.toUtf8(), &table, &warning));
    QCOMPARE(table.size(), 2);
    const ZentaMPPMergeInfo quad = table.value(QStringLiteral("top/mpphy_quad0"));
    QCOMPARE(quad.type, QStringLiteral("mpphy"));
    QVERIFY(!quad.merged);
    QCOMPARE(quad.lanes, (QSet<QString>{"0", "1"}));
    QVERIFY(table.value(QStringLiteral("top/pcie_x8/quad")).merged);

    const auto parsed = [&](const QByteArray& json, bool* ok = nullptr) {
        table.clear();
        warning.clear();
        const bool good = HardIpMerge::parse(json, &table, &warning);
        if (ok)
            *ok = good;
        return table;
    };
    bool ok = false;
    // Only "version": nothing stored, nothing said.
    QVERIFY(parsed(R"({"version": "2"})", &ok).isEmpty());
    QVERIFY(ok && warning.isEmpty());
    // Partial entries: missing or mistyped fields are empty; merged only on "yes";
    // empty lane parts are kept; a later member of the same name wins.
    table = parsed(R"({"a": {"lane": "1,,3", "merged": true, "quad": 7}, "b": {}, "c": 5, "d": [1],
                       "a": {"lane": "2", "merged": "yes", "type": ["x"]}})");
    QCOMPARE(table.size(), 2);
    QCOMPARE(table.value("a").lanes, (QSet<QString>{"2"}));
    QVERIFY(table.value("a").merged);
    QVERIFY(table.value("a").type.isEmpty());
    QVERIFY(table.value("b").lanes.isEmpty() && table.value("b").quad.isEmpty());
    QCOMPARE(parsed(R"({"a": {"lane": "1,,3"}})").value("a").lanes, (QSet<QString>{"1", "", "3"}));
    // Hostile: huge arrays and lane lists, deep nesting, not an object, empty.
    QByteArray huge = "{\"a\": {\"lane\": [";
    for (int i = 0; i < 200000; ++i)
        huge += "1,";
    huge += "1]}, \"b\": {\"lane\": \"" + QByteArray(300000, ',') + "\"}}";
    table = parsed(huge, &ok);
    QVERIFY(ok && table.value("a").lanes.isEmpty());
    QVERIFY(table.value("b").lanes.size() <= HardIpMerge::kMaxLaneParts);
    QByteArray deep = "{\"a\": " + QByteArray(100000, '[') + QByteArray(100000, ']') + "}";
    QVERIFY(parsed(deep, &ok).isEmpty());
    QVERIFY(!ok && warning == QLatin1String("WARNING: Failed to parse MPP merge JSON file."));
    QByteArray many = "{";
    for (int i = 0; i < 5000; ++i)
        many += "\"h" + QByteArray::number(i) + "\": {\"lane\": \"0\"},";
    many += "\"version\": 1}";
    QCOMPARE(parsed(many).size(), HardIpMerge::kMaxEntries);
    for (const QByteArray bad :
         {QByteArray("[1, 2]"), QByteArray("{\"a\":"), QByteArray("\xff\xfe{}"), QByteArray("null")}) {
        QVERIFY(parsed(bad, &ok).isEmpty());
        QVERIFY(!ok && warning == QLatin1String("WARNING: Failed to parse MPP merge JSON file."));
    }
    QVERIFY(parsed(QByteArray(), &ok).isEmpty());
    QVERIFY(!ok && warning == QLatin1String("WARNING: Failed to retrieve MPP merge JSON file."));

    // No project, no file: nothing to read.
    QVERIFY(m_tcl.eval("ona_close_project"));
    QVERIFY(OnaData::inst()->readZentaMPPMergeInfo().isEmpty());
}

QTEST_GUILESS_MAIN(TestHardIpQuads)
#include "tst_hardip_quads.moc"
