#include "registerradix.h"

#include <QVector>

#include <algorithm>
#include <cmath>

namespace RegisterRadix {

namespace {

int digitValue(QChar c) {
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

int base(int radix) {
    static const int bases[] = {2, 8, 10, 16};
    return radix >= 0 && radix < Count ? bases[radix] : 0;
}

// Decimal digits (most significant first) -> binary digits without leading
// zeros ("0" for zero), by repeated halving of the decimal digit string.
QString decimalToBinary(const QString& text) {
    QVector<int> digits;
    digits.reserve(text.size());
    for (const QChar c : text) {
        const int d = digitValue(c);
        if (d < 0 || d > 9)
            return QStringLiteral("0");
        digits << d;
    }
    QString reversed;
    int first = 0;
    while (first < digits.size() && digits.at(first) == 0)
        ++first;
    while (first < digits.size()) {
        int carry = 0;
        for (int i = first; i < digits.size(); ++i) {
            const int cur = carry * 10 + digits.at(i);
            digits[i] = cur / 2;
            carry = cur % 2;
        }
        reversed += QLatin1Char(carry ? '1' : '0');
        while (first < digits.size() && digits.at(first) == 0)
            ++first;
    }
    if (reversed.isEmpty())
        return QStringLiteral("0");
    std::reverse(reversed.begin(), reversed.end());
    return reversed;
}

// Binary digits -> decimal text without leading zeros, by doubling a
// little-endian array of base-10^9 limbs once per bit.
QString binaryToDecimal(const QString& bits) {
    constexpr quint32 kLimb = 1000000000u;
    QVector<quint32> limbs{0};
    for (const QChar c : bits) {
        quint64 carry = c == QLatin1Char('1') ? 1 : 0;
        for (quint32& l : limbs) {
            const quint64 cur = quint64(l) * 2 + carry;
            l = quint32(cur % kLimb);
            carry = cur / kLimb;
        }
        if (carry)
            limbs << quint32(carry);
    }
    QString out = QString::number(limbs.last());
    for (int i = int(limbs.size()) - 2; i >= 0; --i)
        out += QStringLiteral("%1").arg(limbs.at(i), 9, 10, QLatin1Char('0'));
    return out;
}

// Binary digits in groups of `bitsPer` from the right, one digit per group.
QString groupDigits(const QString& bits, int bitsPer) {
    static const char hex[] = "0123456789ABCDEF";
    QString out;
    const int n = int(bits.size());
    int lead = n % bitsPer;
    int i = 0;
    const auto put = [&](int count) {
        int v = 0;
        for (int k = 0; k < count; ++k)
            v = v * 2 + (bits.at(i + k) == QLatin1Char('1') ? 1 : 0);
        out += QLatin1Char(hex[v]);
        i += count;
    };
    if (lead)
        put(lead);
    while (i < n)
        put(bitsPer);
    return out;
}

QString rawBinary(const QString& text, int radix) {
    switch (radix) {
        case Bin:
            return text;
        case Oct:
        case Hex: {
            const int per = radix == Oct ? 3 : 4;
            QString b;
            b.reserve(text.size() * per);
            for (const QChar c : text) {
                int d = digitValue(c);
                if (d < 0 || d >= base(radix))
                    d = 0;
                for (int k = per - 1; k >= 0; --k)
                    b += QLatin1Char((d >> k) & 1 ? '1' : '0');
            }
            return b;
        }
        case Dec:
            return decimalToBinary(text);
        default:
            return QString();
    }
}

QString fitted(QString b, int width) {
    if (width >= 1 && b.size() != width)
        b = b.size() < width ? QString(width - b.size(), QLatin1Char('0')) + b : b.right(width);
    return b;
}

// Whether the binary digits have no 1 to the left of the last `width`.
bool withinWidth(const QString& bits, int width) {
    for (int i = 0; i < bits.size() - width; ++i)
        if (bits.at(i) != QLatin1Char('0'))
            return false;
    return true;
}

bool onlyDigits(const QString& text, int radix) {
    for (const QChar c : text) {
        const int d = digitValue(c);
        if (d < 0 || d >= base(radix))
            return false;
    }
    return true;
}

} // namespace

int maxDigits(int width, int radix) {
    switch (radix) {
        case Bin:
            return width;
        case Oct:
            return (width + 2) / 3;
        case Hex:
            return (width + 3) / 4;
        case Dec:
            // 2^width is never a power of ten, so 2^width - 1 has as many
            // digits as 2^width.
            return int(std::floor(width * std::log10(2.0))) + 1;
        default:
            return 0;
    }
}

QString toBinary(const QString& text, int width, int radix) {
    if (text.isEmpty())
        return QString();
    const QString b = rawBinary(text, radix);
    return b.isEmpty() ? b : fitted(b, width);
}

QString convert(const QString& text, int width, int from, int to) {
    if (text.isEmpty() || text == QLatin1String("Toggle"))
        return text;
    const QString b = toBinary(text, width, from);
    if (b.isEmpty())
        return text;
    switch (to) {
        case Bin:
            return b;
        case Oct:
            return groupDigits(b, 3);
        case Hex:
            return groupDigits(b, 4);
        case Dec:
            return binaryToDecimal(b);
        default:
            return QString();
    }
}

bool fits(const QString& text, int width, int radix) {
    if (text.isEmpty() || width < 1 || base(radix) == 0 || !onlyDigits(text, radix))
        return false;
    if (radix == Dec && text.size() > 1 && text.at(0) == QLatin1Char('0'))
        return false;
    if (text.size() > maxDigits(width, radix))
        return false;
    return withinWidth(rawBinary(text, radix), width);
}

bool canFit(const QString& text, int width, int radix) {
    // Appending digits only grows a value, so a prefix fits exactly when
    // it is a fitting value itself.
    return text.isEmpty() || fits(text, width, radix);
}

} // namespace RegisterRadix
