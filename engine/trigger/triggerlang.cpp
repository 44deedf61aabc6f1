#include "triggerlang.h"

#include <vector>

namespace TriggerLang {

const QStringList& radixNames() {
    static const QStringList names{QStringLiteral("Bin"), QStringLiteral("Oct"), QStringLiteral("Dec"),
                                   QStringLiteral("Hex")};
    return names;
}

const QStringList& operatorNames() {
    static const QStringList names{QStringLiteral("=="),          QStringLiteral("!="),
                                   QStringLiteral("<"),           QStringLiteral("<="),
                                   QStringLiteral(">"),           QStringLiteral(">="),
                                   QStringLiteral("rising edge"), QStringLiteral("falling edge"),
                                   QStringLiteral("any edge"),    QStringLiteral("in range"),
                                   QStringLiteral("not in range")};
    return names;
}

const QStringList& serialOperatorNames() {
    static const QStringList names{QStringLiteral("=="), QStringLiteral("!=")};
    return names;
}

namespace {

const char* const kRadixNames[] = {"Bin", "Oct", "Dec", "Hex"};

int plainRadix(const QString& radix) {
    for (int i = 0; i < 4; ++i)
        if (radix == QLatin1String(kRadixNames[i]))
            return i;
    return -1;
}

// Unsigned big numbers as little-endian 32-bit limbs, for decimal text of
// any width.
using Limbs = std::vector<quint32>;

void mulAdd(Limbs& n, quint32 mul, quint32 add) {
    quint64 carry = add;
    for (quint32& limb : n) {
        const quint64 v = quint64(limb) * mul + carry;
        limb = quint32(v);
        carry = v >> 32;
    }
    if (carry)
        n.push_back(quint32(carry));
}

quint32 divMod(Limbs& n, quint32 div) {
    quint64 rem = 0;
    for (size_t i = n.size(); i-- > 0;) {
        const quint64 v = (rem << 32) | n[i];
        n[i] = quint32(v / div);
        rem = v % div;
    }
    while (!n.empty() && n.back() == 0)
        n.pop_back();
    return quint32(rem);
}

int bitLength(const Limbs& n) {
    if (n.empty())
        return 0;
    int bits = int(n.size() - 1) * 32;
    quint32 top = n.back();
    while (top) {
        ++bits;
        top >>= 1;
    }
    return bits;
}

Limbs limbsFromBits(const QString& bits) {
    Limbs n((bits.size() + 31) / 32, 0);
    const int w = bits.size();
    for (int i = 0; i < w; ++i)
        if (bits.at(w - 1 - i) == QLatin1Char('1'))
            n[size_t(i / 32)] |= quint32(1) << (i % 32);
    while (!n.empty() && n.back() == 0)
        n.pop_back();
    return n;
}

QString radixWord(int radix) {
    static const char* const words[] = {"binary", "octal", "decimal", "hexadecimal"};
    return QLatin1String(words[radix]);
}

int digitValue(QChar c, int base) {
    int v = -1;
    if (c >= QLatin1Char('0') && c <= QLatin1Char('9'))
        v = c.unicode() - '0';
    else if (c >= QLatin1Char('a') && c <= QLatin1Char('f'))
        v = c.unicode() - 'a' + 10;
    else if (c >= QLatin1Char('A') && c <= QLatin1Char('F'))
        v = c.unicode() - 'A' + 10;
    return v < base ? v : -1;
}

} // namespace

Op opFromText(const QString& t) {
    static const struct {
        const char* text;
        Op op;
    } table[] = {
        {"==", Op::Eq},
        {"!=", Op::Ne},
        {"<", Op::Lt},
        {"<=", Op::Le},
        {">", Op::Gt},
        {">=", Op::Ge},
        {"rising edge", Op::Rising},
        {"falling edge", Op::Falling},
        {"any edge", Op::AnyEdge},
        {"in range", Op::InRange},
        {"not in range", Op::OutRange},
    };
    for (const auto& e : table)
        if (t == QLatin1String(e.text))
            return e.op;
    return Op::Invalid;
}

bool isEdgeOp(Op op) { return op == Op::Rising || op == Op::Falling || op == Op::AnyEdge; }
bool isOrderOp(Op op) { return op == Op::Lt || op == Op::Le || op == Op::Gt || op == Op::Ge; }
bool isRangeOp(Op op) { return op == Op::InRange || op == Op::OutRange; }

bool parseNumber(const QString& text, int radix, int width, bool allowX, QString* bits, QString* error) {
    QString t = text.trimmed();
    t.remove(QLatin1Char('_'));
    if (t.isEmpty()) {
        *error = QStringLiteral("the value is empty");
        return false;
    }
    if (radix < 0 || radix > 3 || width < 1 || width > kMaxWidth) {
        *error = QStringLiteral("invalid radix or width");
        return false;
    }
    QString raw;
    if (radix == RadixDec) {
        Limbs n;
        for (QChar c : t) {
            if (!c.isDigit() || c.unicode() > '9') {
                *error = QStringLiteral("'%1' is not a decimal value").arg(text);
                return false;
            }
            mulAdd(n, 10, quint32(c.unicode() - '0'));
            if (bitLength(n) > width) {
                *error = QStringLiteral("%1 does not fit in %2 bit%3")
                             .arg(text, QString::number(width), width == 1 ? QString() : QStringLiteral("s"));
                return false;
            }
        }
        raw = QString(width, QLatin1Char('0'));
        for (int i = 0; i < width; ++i)
            if (size_t(i / 32) < n.size() && (n[size_t(i / 32)] >> (i % 32)) & 1)
                raw[width - 1 - i] = QLatin1Char('1');
    } else {
        const int per = radix == RadixBin ? 1 : radix == RadixOct ? 3 : 4;
        const int base = 1 << per;
        if (qint64(t.size()) * per > qint64(kMaxWidth) + 64) {
            *error = QStringLiteral("the value is too long");
            return false;
        }
        raw.reserve(t.size() * per);
        for (QChar c : t) {
            if (c == QLatin1Char('x') || c == QLatin1Char('X')) {
                if (!allowX) {
                    *error = QStringLiteral("don't-care digits are not allowed here");
                    return false;
                }
                raw += QString(per, QLatin1Char('x'));
                continue;
            }
            const int v = digitValue(c, base);
            if (v < 0) {
                *error = QStringLiteral("'%1' is not a %2 value").arg(text, radixWord(radix));
                return false;
            }
            for (int b = per - 1; b >= 0; --b)
                raw += (v >> b) & 1 ? QLatin1Char('1') : QLatin1Char('0');
        }
    }
    if (raw.size() > width) {
        const int extra = raw.size() - width;
        for (int i = 0; i < extra; ++i)
            if (raw.at(i) == QLatin1Char('1')) {
                *error = QStringLiteral("%1 does not fit in %2 bit%3")
                             .arg(text, QString::number(width), width == 1 ? QString() : QStringLiteral("s"));
                return false;
            }
        raw = raw.mid(extra);
    } else if (raw.size() < width) {
        const QChar fill = raw.startsWith(QLatin1Char('x')) ? QLatin1Char('x') : QLatin1Char('0');
        raw = QString(width - raw.size(), fill) + raw;
    }
    *bits = raw;
    return true;
}

bool formatNumber(const QString& bits, int radix, QString* text) {
    if (bits.isEmpty() || radix < 0 || radix > 3)
        return false;
    if (radix == RadixBin) {
        *text = bits;
        return true;
    }
    if (radix == RadixDec) {
        if (bits.contains(QLatin1Char('x')))
            return false;
        Limbs n = limbsFromBits(bits);
        QString out;
        while (!n.empty())
            out.prepend(QChar('0' + char(divMod(n, 10))));
        *text = out.isEmpty() ? QStringLiteral("0") : out;
        return true;
    }
    const int per = radix == RadixOct ? 3 : 4;
    const int pad = (per - bits.size() % per) % per;
    const QString p = QString(pad, QLatin1Char('0')) + bits;
    QString out;
    for (int i = 0; i < p.size(); i += per) {
        const QString group = p.mid(i, per);
        const int xs = group.count(QLatin1Char('x'));
        if (xs == per || (xs > 0 && i == 0 && group.left(pad).count(QLatin1Char('0')) == pad &&
                          group.mid(pad).count(QLatin1Char('x')) == per - pad)) {
            out += QLatin1Char('x');
            continue;
        }
        if (xs)
            return false;
        int v = 0;
        for (QChar c : group)
            v = v * 2 + (c == QLatin1Char('1'));
        out += QLatin1Char("0123456789ABCDEF"[v]);
    }
    *text = out;
    return true;
}

bool parseTokenValue(const QString& text, int width, QString* bits, QString* error) {
    const QString t = text.trimmed();
    if (t.size() < 3 || t.at(1) != QLatin1Char('\'')) {
        *error = QStringLiteral("token value '%1' needs a radix prefix b', o', d' or h'").arg(text);
        return false;
    }
    const QChar p = t.at(0).toLower();
    const int radix = p == QLatin1Char('b')   ? RadixBin
                      : p == QLatin1Char('o') ? RadixOct
                      : p == QLatin1Char('d') ? RadixDec
                      : p == QLatin1Char('h') ? RadixHex
                                              : -1;
    if (radix < 0) {
        *error = QStringLiteral("token value '%1' needs a radix prefix b', o', d' or h'").arg(text);
        return false;
    }
    QString why;
    if (!parseNumber(t.mid(2), radix, width, false, bits, &why)) {
        *error = QStringLiteral("token value '%1': %2").arg(text, why);
        return false;
    }
    return true;
}

QString tokenValueText(const QString& bits) { return QStringLiteral("b'") + bits; }

int compareBits(const QString& a, const QString& b) {
    const int c = QString::compare(a, b);
    return c < 0 ? -1 : c > 0 ? 1 : 0;
}

bool isIdentifier(const QString& name) {
    if (name.isEmpty() || name.size() > kMaxNameLength)
        return false;
    for (int i = 0; i < name.size(); ++i) {
        const ushort c = name.at(i).unicode();
        const bool alpha = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_';
        if (!(alpha || (i > 0 && c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

bool isKeyword(const QString& name) {
    static const char* const words[] = {"THEN", "AND", "OR", "XOR", "NOT"};
    for (const char* w : words)
        if (name.compare(QLatin1String(w), Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString checkName(const QString& name, const QString& what) {
    if (name.isEmpty())
        return QStringLiteral("%1 name is empty").arg(what);
    if (name.size() > kMaxNameLength)
        return QStringLiteral("%1 name is longer than %2 characters").arg(what).arg(kMaxNameLength);
    if (!isIdentifier(name))
        return QStringLiteral("invalid %1 name \"%2\": use letters, digits and '_', not starting with a digit")
            .arg(what, name);
    if (isKeyword(name))
        return QStringLiteral("invalid %1 name \"%2\": it is a keyword of the trigger language").arg(what, name);
    return QString();
}

bool compileTU(const TUSpec& tu, const TokenLookup& tokens, TUCondition* out, QString* error) {
    TUCondition c;
    c.op = opFromText(tu.op);
    c.width = tu.width;
    if (c.op == Op::Invalid) {
        *error = QStringLiteral("unknown operator \"%1\"").arg(tu.op);
        return false;
    }
    if (tu.serial > 0 && c.op != Op::Eq && c.op != Op::Ne) {
        *error = QStringLiteral("operator \"%1\" is not available for a serial trigger unit").arg(tu.op);
        return false;
    }
    const QString value = tu.value.trimmed();
    QString lowText = value, highText;
    if (isRangeOp(c.op)) {
        const int dots = value.indexOf(QLatin1String(".."));
        if (dots < 0) {
            *error = QStringLiteral("operator \"%1\" needs a value LOW..HIGH").arg(tu.op);
            return false;
        }
        lowText = value.left(dots).trimmed();
        highText = value.mid(dots + 2).trimmed();
    }
    const int radix = plainRadix(tu.radix);
    auto one = [&](const QString& text, QString* bits) -> bool {
        if (radix >= 0)
            return parseNumber(text, radix, tu.width, c.op == Op::Eq || c.op == Op::Ne || isEdgeOp(c.op), bits, error);
        if (tu.radix.startsWith(QLatin1String("ONL_INT")) && !text.isEmpty() && text.at(0).isDigit())
            return parseNumber(text, RadixDec, tu.width, false, bits, error);
        if (!tokens.token || !tokens.token(tu.radix, text, bits)) {
            *error = QStringLiteral("\"%1\" is not a token of token set \"%2\"").arg(text, tu.radix);
            return false;
        }
        return true;
    };
    if (radix < 0) {
        int setWidth = 0;
        if (!tokens.set || !tokens.set(tu.radix, &setWidth)) {
            *error = QStringLiteral("token set \"%1\" does not exist").arg(tu.radix);
            return false;
        }
        if (setWidth != tu.width) {
            *error = QStringLiteral("token set \"%1\" is %2 bits wide, the trigger unit %3")
                         .arg(tu.radix)
                         .arg(setWidth)
                         .arg(tu.width);
            return false;
        }
        if (isEdgeOp(c.op)) {
            *error = QStringLiteral("operator \"%1\" cannot be used with token set \"%2\"").arg(tu.op, tu.radix);
            return false;
        }
        const bool isEnum =
            tu.radix.startsWith(QLatin1String("ONL_")) && !tu.radix.startsWith(QLatin1String("ONL_INT"));
        if (isEnum && c.op != Op::Eq && c.op != Op::Ne) {
            *error = QStringLiteral("enumeration \"%1\" only compares with == or !=").arg(tu.radix);
            return false;
        }
    }
    if (!one(lowText, &c.value))
        return false;
    if (isRangeOp(c.op)) {
        if (!one(highText, &c.high))
            return false;
        if (compareBits(c.value, c.high) > 0) {
            *error = QStringLiteral("range %1 is empty: the low bound is above the high bound").arg(value);
            return false;
        }
    }
    *out = c;
    return true;
}

// ---------------------------------------------------------------------------
// Trigger expressions

namespace {

struct Tok {
    enum Kind { End, Ident, Number, LParen, RParen, Not, And, Or, Xor, Then, Hash } kind = End;
    QString text;
    int pos = 0;
};

constexpr int kMaxExpressionLength = 4096;
constexpr int kMaxDepth = 64;

bool tokenize(const QString& s, QVector<Tok>* out, QString* error) {
    int i = 0;
    const int n = s.size();
    while (i < n) {
        const QChar c = s.at(i);
        if (c.isSpace()) {
            ++i;
            continue;
        }
        Tok t;
        t.pos = i;
        const ushort u = c.unicode();
        if ((u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '_') {
            int j = i + 1;
            while (j < n) {
                const ushort v = s.at(j).unicode();
                if (!((v >= 'A' && v <= 'Z') || (v >= 'a' && v <= 'z') || v == '_' || (v >= '0' && v <= '9')))
                    break;
                ++j;
            }
            t.text = s.mid(i, j - i);
            t.kind = Tok::Ident;
            const QString up = t.text.toUpper();
            if (up == QLatin1String("THEN"))
                t.kind = Tok::Then;
            else if (up == QLatin1String("AND"))
                t.kind = Tok::And;
            else if (up == QLatin1String("OR"))
                t.kind = Tok::Or;
            else if (up == QLatin1String("XOR"))
                t.kind = Tok::Xor;
            else if (up == QLatin1String("NOT"))
                t.kind = Tok::Not;
            i = j;
        } else if (u >= '0' && u <= '9') {
            int j = i + 1;
            while (j < n && s.at(j).unicode() >= '0' && s.at(j).unicode() <= '9')
                ++j;
            t.kind = Tok::Number;
            t.text = s.mid(i, j - i);
            i = j;
        } else {
            const QChar next = i + 1 < n ? s.at(i + 1) : QChar();
            switch (u) {
                case '(':
                    t.kind = Tok::LParen;
                    break;
                case ')':
                    t.kind = Tok::RParen;
                    break;
                case '!':
                case '~':
                    t.kind = Tok::Not;
                    break;
                case '^':
                    t.kind = Tok::Xor;
                    break;
                case '#':
                    t.kind = Tok::Hash;
                    break;
                case '&':
                    t.kind = Tok::And;
                    if (next == QLatin1Char('&'))
                        ++i;
                    break;
                case '|':
                    t.kind = Tok::Or;
                    if (next == QLatin1Char('|'))
                        ++i;
                    break;
                default:
                    *error = QStringLiteral("unexpected character '%1' at position %2").arg(c).arg(i + 1);
                    return false;
            }
            t.text = QString(c);
            ++i;
        }
        out->append(t);
    }
    Tok end;
    end.pos = n;
    out->append(end);
    return true;
}

class Parser {
public:
    Parser(const QVector<Tok>& toks, const QStringList& names, TEProgram* prog)
        : m_toks(toks), m_names(names), m_prog(prog) {}

    bool program(QString* error) {
        m_error = error;
        for (;;) {
            TEStep step;
            step.root = orExpr(0);
            if (step.root < 0)
                return false;
            if (peek().kind == Tok::Hash) {
                ++m_at;
                const Tok& num = peek();
                bool ok = false;
                const int count = num.kind == Tok::Number && num.text.size() <= 6 ? num.text.toInt(&ok) : 0;
                if (!ok || count < 1 || count > kMaxCount)
                    return fail(QStringLiteral("'#' needs a count from 1 to %1").arg(kMaxCount));
                step.count = count;
                ++m_at;
            }
            m_prog->steps.append(step);
            if (m_prog->steps.size() > kMaxSteps)
                return fail(QStringLiteral("more than %1 THEN steps").arg(kMaxSteps));
            if (peek().kind == Tok::Then) {
                ++m_at;
                continue;
            }
            if (peek().kind != Tok::End)
                return fail(QStringLiteral("unexpected \"%1\"").arg(peek().text));
            return true;
        }
    }

private:
    const Tok& peek() const { return m_toks.at(m_at); }

    bool fail(const QString& why) {
        *m_error = QStringLiteral("%1 at position %2").arg(why).arg(peek().pos + 1);
        return false;
    }

    int node(TENode::Kind k, int a, int b) {
        TENode n;
        n.kind = k;
        n.a = a;
        n.b = b;
        m_prog->nodes.append(n);
        return m_prog->nodes.size() - 1;
    }

    int binary(int depth, Tok::Kind opTok, TENode::Kind kind, int (Parser::*sub)(int)) {
        int left = (this->*sub)(depth);
        while (left >= 0 && peek().kind == opTok) {
            ++m_at;
            const int right = (this->*sub)(depth);
            if (right < 0)
                return -1;
            left = node(kind, left, right);
        }
        return left;
    }

    int orExpr(int depth) { return binary(depth, Tok::Or, TENode::Or, &Parser::xorExpr); }
    int xorExpr(int depth) { return binary(depth, Tok::Xor, TENode::Xor, &Parser::andExpr); }
    int andExpr(int depth) { return binary(depth, Tok::And, TENode::And, &Parser::unary); }

    int unary(int depth) {
        if (depth > kMaxDepth) {
            fail(QStringLiteral("expression nested too deeply"));
            return -1;
        }
        const Tok& t = peek();
        if (t.kind == Tok::Not) {
            ++m_at;
            const int a = unary(depth + 1);
            return a < 0 ? -1 : node(TENode::Not, a, -1);
        }
        if (t.kind == Tok::LParen) {
            ++m_at;
            const int inner = orExpr(depth + 1);
            if (inner < 0)
                return -1;
            if (peek().kind != Tok::RParen) {
                fail(QStringLiteral("missing ')'"));
                return -1;
            }
            ++m_at;
            return inner;
        }
        if (t.kind == Tok::Ident) {
            const int row = m_names.indexOf(t.text);
            if (row < 0) {
                fail(QStringLiteral("unknown trigger unit \"%1\"").arg(t.text));
                return -1;
            }
            ++m_at;
            TENode n;
            n.kind = TENode::Ref;
            n.tu = row;
            m_prog->nodes.append(n);
            return m_prog->nodes.size() - 1;
        }
        if (t.kind == Tok::End)
            fail(QStringLiteral("expression ends too early"));
        else
            fail(QStringLiteral("expected a trigger unit name, '(' or '!', found \"%1\"").arg(t.text));
        return -1;
    }

    const QVector<Tok>& m_toks;
    const QStringList& m_names;
    TEProgram* m_prog;
    QString* m_error = nullptr;
    int m_at = 0;
};

} // namespace

bool parseTE(const QString& text, const QStringList& tuNames, TEProgram* out, QString* error) {
    if (text.size() > kMaxExpressionLength) {
        *error = QStringLiteral("expression is longer than %1 characters").arg(kMaxExpressionLength);
        return false;
    }
    QVector<Tok> toks;
    if (!tokenize(text, &toks, error))
        return false;
    if (toks.size() == 1) {
        *error = QStringLiteral("the expression is empty");
        return false;
    }
    TEProgram prog;
    Parser p(toks, tuNames, &prog);
    if (!p.program(error))
        return false;
    if (out)
        *out = prog;
    return true;
}

QString renameInExpression(const QString& text, const QString& from, const QString& to) {
    QString out;
    const int n = text.size();
    int i = 0;
    while (i < n) {
        const ushort u = text.at(i).unicode();
        const bool start = (u >= 'A' && u <= 'Z') || (u >= 'a' && u <= 'z') || u == '_';
        const bool digit = u >= '0' && u <= '9';
        if (!start && !digit) {
            out += text.at(i++);
            continue;
        }
        int j = i + 1;
        while (j < n) {
            const ushort v = text.at(j).unicode();
            if (!((v >= 'A' && v <= 'Z') || (v >= 'a' && v <= 'z') || v == '_' || (v >= '0' && v <= '9')))
                break;
            ++j;
        }
        const QString word = text.mid(i, j - i);
        out += (start && word == from) ? to : word;
        i = j;
    }
    return out;
}

} // namespace TriggerLang
