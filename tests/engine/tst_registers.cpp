// User control and status registers: the radix conversion against an
// independent big-number reference, and the refusals the register pages
// never send: faulty register records, values and register files. The
// pages' round trips are in the window's controller test.

#include "controllerrecords.h"
#include "enginetest.h"
#include "oncdata.h"
#include "registerradix.h"
#include "simcontroller.h"

#include <QJsonDocument>
#include <QRandomGenerator>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// A value as little-endian 32-bit limbs, written in each radix by a method
// other than the one under test (bit extraction, long division by 10).
struct Ref {
    QVector<quint32> limbs;
    int width;
    bool bit(int i) const { return i / 32 < limbs.size() && ((limbs.at(i / 32) >> (i % 32)) & 1); }
    QString grouped(int per) const {
        const int digits = (width + per - 1) / per;
        QString out;
        for (int d = digits - 1; d >= 0; --d) {
            int v = 0;
            for (int k = per - 1; k >= 0; --k)
                v = v * 2 + ((d * per + k < width && bit(d * per + k)) ? 1 : 0);
            out += QLatin1Char("0123456789ABCDEF"[v]);
        }
        return out;
    }
    QString decimal() const {
        QVector<quint32> n = limbs;
        QString out;
        const auto zero = [&] {
            for (quint32 l : n)
                if (l)
                    return false;
            return true;
        };
        do {
            quint64 rem = 0;
            for (int i = int(n.size()) - 1; i >= 0; --i) {
                const quint64 cur = (rem << 32) | n[i];
                n[i] = quint32(cur / 10);
                rem = cur % 10;
            }
            out.prepend(QLatin1Char(char('0' + rem)));
        } while (!zero());
        return out;
    }
    QString in(int radix) const {
        switch (radix) {
            case RegisterRadix::Bin:
                return grouped(1);
            case RegisterRadix::Oct:
                return grouped(3);
            case RegisterRadix::Dec:
                return decimal();
            default:
                return grouped(4);
        }
    }
};

Ref randomRef(QRandomGenerator& rng, int width) {
    Ref r{QVector<quint32>((width + 31) / 32), width};
    for (auto& l : r.limbs)
        l = rng.generate();
    // Some values are small or all ones, so both ends are covered.
    const int shape = rng.bounded(4);
    for (int i = 0; i < r.limbs.size(); ++i) {
        if (shape == 0)
            r.limbs[i] = i == 0 ? r.limbs[i] & 0xFF : 0;
        if (shape == 1)
            r.limbs[i] = 0xFFFFFFFFu;
    }
    if (width % 32)
        r.limbs.last() &= (quint32(1) << (width % 32)) - 1;
    return r;
}

} // namespace

class TestRegisters : public DemoSession {
    Q_OBJECT
private slots:
    void initTestCase() {
        // Read a control register; write one.
        QVERIFY(
            m_tcl.eval("proc _rc n {ona_run_controller -read_control $n}\n"
                       "proc _wc {n v} {ona_run_controller -write_control $n -data $v}"));
    }
    void init() { QVERIFY2(openDemo("board_ctrl"), qPrintable(m_tcl.result())); }
    void conversionMatchesReference() {
        QRandomGenerator rng(20240518);
        for (int width = 1; width <= 130; ++width) {
            for (int n = 0; n < 12; ++n) {
                const Ref v = randomRef(rng, width);
                for (int from = 0; from < RegisterRadix::Count; ++from)
                    for (int to = 0; to < RegisterRadix::Count; ++to)
                        QCOMPARE(RegisterRadix::convert(v.in(from), width, from, to), v.in(to));
                for (int radix = 0; radix < RegisterRadix::Count; ++radix)
                    QVERIFY(RegisterRadix::fits(v.in(radix).toLower(), width, radix));
            }
        }
        // Every value of the small widths, through decimal and back.
        for (int width = 1; width <= 10; ++width)
            for (quint32 v = 0; v < (1u << width); ++v) {
                const QString dec = QString::number(v);
                QCOMPARE(RegisterRadix::convert(dec, width, RegisterRadix::Dec, RegisterRadix::Bin),
                         u"%1"_s.arg(v, width, 2, QLatin1Char('0')));
                QCOMPARE(RegisterRadix::convert(QString::number(v, 8), width, RegisterRadix::Oct, RegisterRadix::Dec),
                         dec);
            }
    }
    void conversionEdgeCasesAndFits() {
        using namespace RegisterRadix;
        // Canonical values of every width and radix are compared with the
        // reference above; these are the inputs it never makes.
        QCOMPARE(convert("3F", 6, Hex, Bin), u"111111"_s); // the 8-bit form cut to 6
        QCOMPARE(convert("Toggle", 1, Bin, Hex), u"Toggle"_s);
        QCOMPARE(convert(QString(), 8, Hex, Dec), QString());
        QCOMPARE(convert("12", 8, 7, Dec), u"12"_s);         // unknown source radix
        QCOMPARE(convert("12", 8, Dec, 9), QString());       // unknown target
        QCOMPARE(convert("1G", 8, Hex, Bin), u"00010000"_s); // a stray digit counts as 0
        QCOMPARE(convert("1x", 8, Dec, Hex), u"00"_s);
        QCOMPARE(convert("1FF", 8, Hex, Hex), u"FF"_s);                              // longer than the width
        QCOMPARE(convert("101", 0, Bin, Dec), u"5"_s);                               // no width: not fitted
        QCOMPARE(convert("1267650600228229401496703205376", 100, Dec, Dec), u"0"_s); // 2^100 wraps

        // A value fits exactly its width, in every radix.
        for (int width = 1; width <= 9; ++width) {
            for (quint32 v = 0; v < (4u << width); ++v) {
                const bool in = v < (1u << width);
                QCOMPARE(fits(QString::number(v, 2), width, Bin), in);
                QCOMPARE(fits(QString::number(v, 8), width, Oct), in);
                QCOMPARE(fits(QString::number(v, 10), width, Dec), in);
                QCOMPARE(fits(QString::number(v, 16), width, Hex), in);
            }
        }
        QVERIFY(!fits("01", 8, Dec) && !fits("", 8, Dec) && !fits("12a", 16, Dec) && !fits("8", 8, Oct));
        QVERIFY(fits("18446744073709551615", 64, Dec));  // 2^64 - 1
        QVERIFY(!fits("18446744073709551616", 64, Dec)); // 2^64
        QVERIFY(fits(QString(24, QLatin1Char('f')), 96, Hex) && !fits(u"1"_s + QString(24, QLatin1Char('0')), 96, Hex));
        for (const auto& [bits, digits] : {std::pair{8, 3}, {64, 20}, {4, 2}, {3, 1}})
            QCOMPARE(maxDigits(bits, Dec), digits);
    }
    void recordRefusals() {
        const auto parse = [](const QByteArray& json, QString* error) {
            ControllerRecords r;
            return ControllerFile::parse(QJsonDocument::fromJson(json).object(), u"x"_s, &r, error);
        };
        QString error;
        // The array form with defaults: addresses from 0, Hex, one signal.
        ControllerRecords r;
        QVERIFY(ControllerFile::parse(
            QJsonDocument::fromJson(R"({"control_registers":[{"name":"a","width":8},{"name":"b","width":1}]})")
                .object(),
            "x", &r, &error));
        QCOMPARE(r.control.entries.at(1).address, u"0x01"_s);
        QCOMPARE(r.control.entries.at(0).signalNames, QStringList{"a[7:0]"});
        QCOMPARE(r.control.entries.at(1).signalNames, QStringList{"b"});
        QCOMPARE(r.control.getEndAddress(), u"0x01"_s);
        const QList<QPair<QByteArray, QString>> cases = {
            {R"({"control_registers":[{"name":"a","width":8,"signals":["x[3:0]"]}]})",
             "cover 4 bits; the register has 8"},
            {R"({"control_registers":[{"name":"a","width":8,"radix":"Dez"}]})", "radix: expected"},
            {R"({"control_registers":[{"name":"a","width":1025}]})", "width: expected a whole number from 1 to 1024"},
            {R"({"control_registers":[{"name":"a","width":2},{"name":"a","width":2}]})", "named twice"},
            {R"({"control_registers":{"start":"0x10","registers":[{"name":"a","width":2,"address":"0x4"}]}})",
             "outside the block"},
            {R"({"control_registers":[{"name":"a","width":2,"address":"0x4"},{"name":"b","width":2,"address":"0x4"}]})",
             "another register has this address"},
            {R"({"status_registers":[{"name":"s","width":2,"simulation":{"kind":"control","register":"nope"}}]})",
             "no control register \"nope\""},
            {R"({"control_registers":[{"name":"c","width":2}],
             "status_registers":[{"name":"s","width":2,"simulation":{"kind":"control","register":"c","lsb":1}}]})",
             "bits 1 to 2 are outside the 2-bit control register"},
            {R"({"status_registers":[{"name":"s","width":4,"simulation":{"kind":"constant","value":"1F"}}]})",
             "wider than the register's 4 bits"},
            {R"({"control_registers":[{"name":"c","width":2,"simulation":{"kind":"counter"}}]})", "unknown key"},
            {R"({"control_registers":[{"name":"c","width":2,"signals":["a:b"]}]})", "expected a signal name"},
        };
        for (const auto& [json, needle] : cases) {
            QVERIFY2(!parse(json, &error), json.constData());
            QVERIFY2(error.contains(needle), qPrintable(error + " / " + needle));
        }
    }
    void refusalsChangeNothing() {
        QCOMPARE(m_tcl.steps({
                     "_wc ctrl_mode a",
                     {"_wc ctrl_divisor 65536", "error: not a decimal value of at most 16 bits"},
                     {"_wc ctrl_mode 10", "error: not a hexadecimal value of at most 4 bits"},
                     {"_wc ctrl_mode {}", "error: not a hexadecimal value"},
                     {"_wc ctrl_mode o'20", "error: not a octal value"},
                     {"_wc nope 1", "error: no control register \"nope\""},
                     {"ona_run_controller -write_control ctrl_mode -value 1", "error: should be"},
                     {"ona_run_controller -toggle_control ctrl_mode", "error: only a 1-bit register toggles"},
                     {"_rc stat_count", "error: no control register \"stat_count\""},
                     {"ona_run_controller -read_status ctrl_mode", "error: no status register \"ctrl_mode\""},
                     {"ona_run_controller -read_status {}", "error: the register name is empty"},
                     {"_rc ctrl_mode", "A"}, // refusals changed nothing
                 }),
                 QString());
    }
    void registerFileRefusals() {
        QVERIFY(m_tcl.eval("_wc ctrl_mode 7"));
        const QString path = m_demo->path(u"bad.txt"_s);
        const QList<QPair<QByteArray, QString>> cases = {
            {"ctrl_mode 1\nctrl_enable 2\n", "bad.txt:2: 2 is wider than the 1 bits of \"ctrl_enable\""},
            {"ctrl_mode 1\n\nctrl_divisor 1g\n", "bad.txt:3: \"1g\" is not a hexadecimal value"},
            {"ctrl_mode 1\nstat_count 1\n", "bad.txt:2: no control register \"stat_count\""},
            {"ctrl_mode 1\nctrl_mode 2\n", "bad.txt:2: \"ctrl_mode\" was given on line 1 already"},
            {"ctrl_mode\n", "bad.txt:1: expected a register name and a hexadecimal value"},
            {"ctrl_mode 1 2\n", "bad.txt:1: expected a register name"},
            {"# only comments\n\n", "bad.txt: no register values"},
            {"ctrl_mode 0x\n", "bad.txt:1: \"0x\" is not a hexadecimal value"},
        };
        for (const auto& [text, needle] : cases) {
            writeAll(path, text);
            QVERIFY(!m_tcl.call({"ona_run_controller", "-load_control", path}));
            QVERIFY2(m_tcl.result().contains(needle), qPrintable(m_tcl.result() + " / " + needle));
            QCOMPARE(m_tcl.steps({{"_rc ctrl_mode", "7"}}), QString()); // nothing loaded
        }
        QVERIFY(!m_tcl.call({"ona_run_controller", "-load_control", m_demo->path(u"none.txt"_s)}));
        QVERIFY(!m_tcl.call({"ona_run_controller", "-load_control", m_demo->path(QString())})); // a folder
        QVERIFY(!m_tcl.call({"ona_run_controller", "-dump_status", " "}));
        QVERIFY(!m_tcl.call({"ona_run_controller", "-dump_control", m_demo->path("no/such/dir/x.txt")}));
        writeAll(path, QByteArray(int(SimRegisters::kMaxFileSize) + 1, '#'));
        QVERIFY(!m_tcl.call({"ona_run_controller", "-load_control", path}));
        // An analyzer core has no register device.
        QVERIFY(m_tcl.call({"ona_set_core", "-name", OnaData::inst()->getCoreName(0)}));
        QVERIFY(!m_tcl.call({"ona_run_controller", "-read_status", "stat_count"}));
        QVERIFY(m_tcl.result().contains("not a controller core"));
    }
};

QTEST_GUILESS_MAIN(TestRegisters)
#include "tst_registers.moc"
