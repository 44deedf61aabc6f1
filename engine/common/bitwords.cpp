#include "bitwords.h"

QVector<quint64> bitsToWords(const QString& bits) {
    const int n = bits.size();
    QVector<quint64> w((n + 63) / 64, 0);
    for (int i = 0; i < n; ++i)
        if (bits.at(n - 1 - i) == QLatin1Char('1'))
            w[i >> 6] |= quint64(1) << (i & 63);
    if (w.isEmpty())
        w.append(0);
    return w;
}

QString wordsToBits(const quint64* words, int width) {
    QString s(width, QLatin1Char('0'));
    for (int i = 0; i < width; ++i)
        if ((words[i >> 6] >> (i & 63)) & 1u)
            s[width - 1 - i] = QLatin1Char('1');
    return s;
}

QString hexDigits(quint64 value, int bits) {
    const int digits = qMax(1, (bits + 3) / 4);
    return QStringLiteral("%1").arg(value, digits, 16, QLatin1Char('0')).toUpper();
}

bool parseHex64(const QString& text, quint64* value) {
    QString t = text.trimmed();
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        t = t.mid(2);
    if (t.isEmpty() || t.size() > 64)
        return false;
    quint64 v = 0;
    for (const QChar c : t) {
        const int digit = QStringLiteral("0123456789abcdef").indexOf(c.toLower());
        if (digit < 0 || (v >> 60) != 0)
            return false;
        v = v * 16 + quint64(digit);
    }
    *value = v;
    return true;
}

bool parseHex32(const QString& text, quint32* value) {
    quint64 v = 0;
    if (!parseHex64(text, &v) || v > 0xFFFFFFFFull)
        return false;
    *value = quint32(v);
    return true;
}
