#include "triggerlang.h"

#include <QtTest>

using namespace TriggerLang;
using namespace Qt::StringLiterals;

class TestTriggerLang : public QObject {
    Q_OBJECT
private slots:
    void numbersPerRadix_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("radix");
        QTest::addColumn<int>("width");
        QTest::addColumn<QString>("bits"); // empty: refused

        QTest::newRow("bin") << "1010" << int(RadixBin) << 4 << "1010";
        QTest::newRow("bin short zero-extends") << "11" << int(RadixBin) << 4 << "0011";
        QTest::newRow("bin x") << "1x0X" << int(RadixBin) << 4 << "1x0x";
        QTest::newRow("bin leading x extends x") << "x1" << int(RadixBin) << 4 << "xxx1";
        QTest::newRow("bin too wide") << "10000" << int(RadixBin) << 4 << "";
        QTest::newRow("bin extra zero ok") << "00101" << int(RadixBin) << 4 << "0101";
        QTest::newRow("bin bad digit") << "102" << int(RadixBin) << 4 << "";
        QTest::newRow("hex") << "A5" << int(RadixHex) << 8 << "10100101";
        QTest::newRow("hex nibble x") << "Ax" << int(RadixHex) << 8 << "1010xxxx";
        QTest::newRow("hex into 6 bits") << "3F" << int(RadixHex) << 6 << "111111";
        QTest::newRow("hex overflow 6 bits") << "7F" << int(RadixHex) << 6 << "";
        QTest::newRow("hex underscores") << "DE_AD" << int(RadixHex) << 16 << "1101111010101101";
        QTest::newRow("oct") << "17" << int(RadixOct) << 6 << "001111";
        QTest::newRow("oct 8 is bad") << "18" << int(RadixOct) << 6 << "";
        QTest::newRow("dec") << "255" << int(RadixDec) << 8 << "11111111";
        QTest::newRow("dec overflow") << "256" << int(RadixDec) << 8 << "";
        QTest::newRow("dec has no x") << "1x" << int(RadixDec) << 8 << "";
        QTest::newRow("empty") << "" << int(RadixHex) << 8 << "";
        QTest::newRow("blank") << "   " << int(RadixBin) << 8 << "";
        QTest::newRow("unicode digit") << QString::fromUtf8("\xd9\xa3") << int(RadixDec) << 8 << "";
    }
    void numbersPerRadix() {
        QFETCH(QString, text);
        QFETCH(int, radix);
        QFETCH(int, width);
        QFETCH(QString, bits);
        QString out, error;
        const bool ok = parseNumber(text, radix, width, true, &out, &error);
        QCOMPARE(ok, !bits.isEmpty());
        if (ok)
            QCOMPARE(out, bits);
        else
            QVERIFY(!error.isEmpty());
    }
    void formatting() {
        QString t;
        QVERIFY(formatNumber(u"1010xxxx"_s, RadixHex, &t));
        QCOMPARE(t, u"Ax"_s);
        QVERIFY(!formatNumber(u"101xxxxx"_s, RadixHex, &t)); // half a nibble
        QVERIFY(formatNumber(u"xx0101"_s, RadixHex, &t));    // top partial nibble all x
        QCOMPARE(t, u"x5"_s);
        QVERIFY(formatNumber(u"001111"_s, RadixOct, &t));
        QCOMPARE(t, u"17"_s);
        QVERIFY(formatNumber(u"00000000"_s, RadixDec, &t));
        QCOMPARE(t, u"0"_s);
        QVERIFY(!formatNumber(u"0x"_s, RadixDec, &t));
        // Round trip through every radix keeps the pattern.
        const QString bits = u"110100111010"_s;
        for (int r = 0; r < 4; ++r) {
            QString text, back, error;
            QVERIFY(formatNumber(bits, r, &text));
            QVERIFY2(parseNumber(text, r, bits.size(), false, &back, &error), qPrintable(error));
            QCOMPARE(back, bits);
        }
        // 2^100 needs 101 bits: decimal works beyond 64 bits both ways.
        const QString dec = u"1267650600228229401496703205376"_s;
        QString wide, error;
        QVERIFY(!parseNumber(dec, RadixDec, 100, false, &wide, &error));
        QVERIFY(parseNumber(dec, RadixDec, 101, false, &wide, &error));
        QCOMPARE(wide, u"1"_s + QString(100, QLatin1Char('0')));
        QVERIFY(formatNumber(wide, RadixDec, &t));
        QCOMPARE(t, dec);
    }
    void unitConditions() {
        TokenLookup tokens;
        tokens.set = [](const QString& s, int* w) {
            if (s == QLatin1String("cmd") || s == QLatin1String("ONL_state")) {
                *w = s == QLatin1String("cmd") ? 8 : 3;
                return true;
            }
            return false;
        };
        tokens.token = [](const QString& s, const QString& t, QString* b) {
            if (s == QLatin1String("cmd") && t == QLatin1String("WRITE")) {
                *b = u"00000010"_s;
                return true;
            }
            if (s == QLatin1String("ONL_state") && t == QLatin1String("IDLE")) {
                *b = u"000"_s;
                return true;
            }
            return false;
        };
        auto check = [&](int width, const char* op, const char* radix, const char* value, int serial = 0) {
            TUSpec s;
            s.width = width;
            s.serial = serial;
            s.op = QLatin1String(op);
            s.radix = QLatin1String(radix);
            s.value = QString::fromUtf8(value);
            TUCondition c;
            QString error;
            return compileTU(s, tokens, &c, &error);
        };
        QVERIFY(check(8, "==", "Hex", "5A") && check(8, "==", "Hex", "5x"));
        QVERIFY(!check(8, ">", "Hex", "5x")); // ordering needs a full value
        QVERIFY(check(8, "<=", "Dec", "200") && check(16, "in range", "Hex", "1000..1FFF"));
        QVERIFY(!check(16, "in range", "Hex", "2000..1FFF")); // empty range
        QVERIFY(!check(16, "in range", "Hex", "1000"));       // no bounds
        QVERIFY(check(1, "rising edge", "Bin", "1") && check(8, "==", "cmd", "WRITE"));
        QVERIFY(!check(8, "==", "cmd", "JUMP"));  // no such token
        QVERIFY(!check(4, "==", "cmd", "WRITE")); // width differs
        QVERIFY(!check(8, "rising edge", "cmd", "WRITE") && check(3, "!=", "ONL_state", "IDLE"));
        QVERIFY(!check(3, "<", "ONL_state", "IDLE")); // enumerations only compare for equality
        QVERIFY(!check(8, "==", "nosuchset", "A") && check(8, "==", "Hex", "55", 8));
        QVERIFY(!check(8, ">", "Hex", "55", 8)); // serial units: == and != only
        QVERIFY(!check(8, "~=", "Hex", "55"));
    }
    void expressions_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("ok");
        QTest::newRow("single") << "TU1" << true;
        QTest::newRow("and or") << "TU1 & TU2 | !TU3" << true;
        QTest::newRow("words") << "tu1 and not TU2 or TU3 xor TU1" << false; // names are case-sensitive
        QTest::newRow("words ok") << "TU1 and not TU2 or TU3 xor TU1" << true;
        QTest::newRow("doubled symbols") << "TU1 && TU2 || TU3" << true;
        QTest::newRow("parens") << "(TU1 | TU2) & TU3" << true;
        QTest::newRow("sequence") << "TU1 THEN TU2 #3 then (TU3)" << true;
        QTest::newRow("count zero") << "TU1 THEN TU2 #0" << false;
        QTest::newRow("count huge") << "TU1 #99999999999" << false;
        QTest::newRow("unknown unit") << "TU1 & TU9" << false;
        QTest::newRow("missing paren") << "(TU1 & TU2" << false;
        QTest::newRow("stray paren") << "TU1)" << false;
        QTest::newRow("dangling op") << "TU1 &" << false;
        QTest::newRow("empty") << "   " << false;
        QTest::newRow("then inside parens") << "(TU1 THEN TU2)" << false;
        QTest::newRow("bad char") << "TU1 $ TU2" << false;
        QTest::newRow("tcl injection text") << "[exit 3]" << false;
        QTest::newRow("deep nesting") << QString(200, QLatin1Char('(')) + "TU1" + QString(200, QLatin1Char(')'))
                                      << false;
        QTest::newRow("too many steps") << QStringList(QVector<QString>(17, u"TU1"_s).toList()).join(" THEN ") << false;
    }
    void expressions() {
        QFETCH(QString, text);
        QFETCH(bool, ok);
        QString error;
        TEProgram prog;
        const bool parsed = parseTE(text, {u"TU1"_s, u"TU2"_s, u"TU3"_s}, &prog, &error);
        QCOMPARE(parsed, ok);
        QCOMPARE(error.isEmpty(), ok);
    }
    void expressionStructureRenamingAndNames() {
        // & binds tighter than ^, which binds tighter than |.
        TEProgram p;
        QString error;
        QVERIFY(parseTE(u"A | B & C ^ D"_s, {"A", "B", "C", "D"}, &p, &error));
        QCOMPARE(p.steps.size(), 1);
        const TENode& top = p.nodes.at(p.steps.at(0).root);
        QCOMPARE(top.kind, TENode::Or);
        QCOMPARE(p.nodes.at(top.a).kind, TENode::Ref);
        QCOMPARE(p.nodes.at(top.b).kind, TENode::Xor);
        QCOMPARE(p.nodes.at(p.nodes.at(top.b).a).kind, TENode::And);

        QVERIFY(parseTE(u"A THEN B #4"_s, {"A", "B"}, &p, &error));
        QCOMPARE(p.steps.size(), 2);
        QCOMPARE(p.steps.at(0).count, 1);
        QCOMPARE(p.steps.at(1).count, 4);
        QCOMPARE(p.nodes.at(p.steps.at(1).root).tu, 1);

        // Renaming a unit in an expression, and the names a unit may have.
        QCOMPARE(renameInExpression(u"TU1 & TU10 | (TU1)"_s, u"TU1"_s, u"go"_s), u"go & TU10 | (go)"_s);
        QCOMPARE(renameInExpression(u"xTU1 & TU1x"_s, u"TU1"_s, u"go"_s), u"xTU1 & TU1x"_s);
        QVERIFY(checkName(u"TU_1"_s, u"trigger unit"_s).isEmpty());
        for (const char* bad : {"", "1TU", "a b", "a\"b", "$x", "[exit 3]", "C:\\new\\table", "then", "Not"})
            QVERIFY2(!checkName(QString::fromUtf8(bad), u"trigger unit"_s).isEmpty(), bad);
        QVERIFY(!checkName(QString(200, QLatin1Char('a')), u"x"_s).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestTriggerLang)
#include "tst_triggerlang.moc"
