#include "eomfiles.h"

#include "safefile.h"

#include <QSet>
#include <cctype>
#include <cmath>

namespace EomFiles {

namespace {

QString lineError(int line, const QString& what) { return QStringLiteral("line %1: %2").arg(line).arg(what); }

bool parseStep(const QString& s, int* v) {
    bool ok = false;
    const qint64 n = s.toLongLong(&ok, 10);
    if (!ok || n < -kMaxStep || n > kMaxStep)
        return false;
    *v = int(n);
    return true;
}

bool parseCount(const QString& s, quint64* v) {
    if (s.isEmpty() || s.size() > 16)
        return false;
    for (QChar c : s)
        if (!isxdigit(c.toLatin1()) || c.unicode() > 127)
            return false;
    bool ok = false;
    const quint64 n = s.toULongLong(&ok, 16);
    if (!ok || n > kMaxCount)
        return false;
    *v = n;
    return true;
}

} // namespace

bool readCsv(const QByteArray& text, QList<QStringList>* rows, QString* error) {
    if (text.size() > kMaxFileBytes) {
        *error = QStringLiteral("larger than %1 bytes").arg(kMaxFileBytes);
        return false;
    }
    QList<QStringList> out;
    QSet<int> xs, ys;
    const QList<QByteArray> lines = text.split('\n');
    for (int n = 0; n < lines.size(); ++n) {
        QString line = QString::fromUtf8(lines[n]);
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (line.trimmed().isEmpty())
            continue;
        QStringList fields = line.split(QLatin1Char(','));
        for (QString& f : fields)
            f = f.trimmed();
        if (fields.size() > 6)
            return *error = lineError(n + 1, QStringLiteral("%1 fields, at most 6 expected").arg(fields.size())), false;
        int x = 0, y = 0;
        quint64 c = 0;
        if (!parseStep(fields[0], &x))
            return *error = lineError(n + 1, QStringLiteral("x \"%1\" is not a step from -%2 to %2")
                                                 .arg(SafeFile::shown(fields[0], 40))
                                                 .arg(kMaxStep)),
                   false;
        if (fields.size() > 1 && !parseStep(fields[1], &y))
            return *error = lineError(n + 1, QStringLiteral("y \"%1\" is not a step from -%2 to %2")
                                                 .arg(SafeFile::shown(fields[1], 40))
                                                 .arg(kMaxStep)),
                   false;
        for (int i = 2; i < fields.size(); ++i)
            if (!parseCount(fields[i], &c))
                return *error = lineError(n + 1, QStringLiteral("field %1 \"%2\" is not a hexadecimal count")
                                                     .arg(i + 1)
                                                     .arg(SafeFile::shown(fields[i], 40))),
                       false;
        xs.insert(x);
        ys.insert(y);
        if (xs.size() > kMaxAxis || ys.size() > kMaxAxis || qint64(xs.size()) * ys.size() > kMaxPoints)
            return *error = lineError(n + 1, QStringLiteral("the points span more than %1 x %1 steps or %2 grid points")
                                                 .arg(kMaxAxis)
                                                 .arg(kMaxPoints)),
                   false;
        // A scan writes one line a grid point; more lines repeat points.
        if (out.size() >= kMaxPoints)
            return *error = lineError(
                       n + 1,
                       QStringLiteral("more than %1 points: a scan writes at most one a grid point").arg(kMaxPoints)),
                   false;
        out << fields;
    }
    *rows = out;
    return true;
}

CsvPoint csvPoint(const QStringList& row) {
    CsvPoint p;
    p.fields = int(row.size());
    const auto count = [&](int i) -> quint64 {
        quint64 v = 0;
        return i < row.size() && parseCount(row[i], &v) ? v : 0;
    };
    if (!row.isEmpty())
        parseStep(row[0], &p.x);
    if (row.size() > 1)
        parseStep(row[1], &p.y);
    if (row.size() >= 4)
        p.samples = count(3) + count(2);
    p.errors = count(5) + count(4);
    return p;
}

int csvHeight(const CsvPoint& p) {
    if (p.fields < 6 || p.errors == 0 || p.errors > p.samples)
        return 0;
    // Single precision on purpose: 0x1D errors of 0x64 samples show 29, as
    // the measurement has always been shown (double precision gives 28).
    const float ratio = float(p.errors) / float(p.samples) * 100.0f;
    const int h = int(ratio);
    return h == 0 ? 1 : h;
}

namespace {

// A recursive-descent reader of the dict dump: enough of the syntax to find
// the three named arrays and read their numbers, each checked.
class TextReader {
public:
    explicit TextReader(const QByteArray& t) : m_t(t) {}

    bool read(EomText* out, QString* error) {
        bool seen[3] = {false, false, false};
        static const char* const names[3] = {"'comb_vals'", "'x_axis'", "'y_axis'"};
        while (m_pos < m_t.size()) {
            int which = -1;
            for (int k = 0; k < 3; ++k)
                if (m_pos + int(qstrlen(names[k])) <= m_t.size() &&
                    qstrncmp(m_t.constData() + m_pos, names[k], qstrlen(names[k])) == 0)
                    which = k;
            if (which < 0) {
                advance();
                continue;
            }
            const int at = line();
            m_pos += int(qstrlen(names[which]));
            if (seen[which])
                return fail(error, at, QStringLiteral("%1 appears twice").arg(QLatin1String(names[which])));
            seen[which] = true;
            skipBlank();
            if (!take(':'))
                return fail(error, line(), QStringLiteral("expected \":\" after %1").arg(QLatin1String(names[which])));
            skipBlank();
            if (m_t.mid(m_pos, 6) != "array(")
                return fail(error, line(), QStringLiteral("expected \"array(\""));
            m_pos += 6;
            QVector<double> values;
            int rows = 0, width = -1;
            m_ratios = which == 0; // comb_vals holds bit error ratios
            if (!array(&values, &rows, &width, which == 0 ? 2 : 1, error))
                return false;
            skipBlank();
            if (!take(')'))
                return fail(error, line(), QStringLiteral("expected \")\" to close the array"));
            if (which == 0) {
                out->comb = values;
                m_combRows = rows;
                m_combWidth = width;
            } else {
                (which == 1 ? out->x : out->y) = values;
            }
        }
        for (int k = 0; k < 3; ++k)
            if (!seen[k])
                return fail(error, line(), QStringLiteral("no %1 array").arg(QLatin1String(names[k])));
        const int nx = int(out->x.size()), ny = int(out->y.size());
        if (nx == 0 || ny == 0)
            return fail(error, line(), QStringLiteral("an axis is empty"));
        if (nx > kMaxAxis || ny > kMaxAxis || qint64(nx) * ny > kMaxPoints)
            return fail(error, line(),
                        QStringLiteral("the grid of %1 x %2 points is larger than %3 x %3 or %4 points")
                            .arg(nx)
                            .arg(ny)
                            .arg(kMaxAxis)
                            .arg(kMaxPoints));
        if (qint64(out->comb.size()) != qint64(nx) * ny || (m_combRows > 0 && (m_combRows != ny || m_combWidth != nx)))
            return fail(error, m_combLine,
                        QStringLiteral("comb_vals holds %1 values (%2 rows), expected %3 rows of %4 (y by x)")
                            .arg(out->comb.size())
                            .arg(m_combRows)
                            .arg(ny)
                            .arg(nx));
        return true;
    }

private:
    bool fail(QString* error, int line, const QString& what) {
        *error = lineError(line, what);
        return false;
    }
    int line() const { return m_line; }
    void advance() {
        if (m_t[m_pos] == '\n')
            ++m_line;
        ++m_pos;
    }
    void skipBlank() {
        while (m_pos < m_t.size() && isspace(uchar(m_t[m_pos])))
            advance();
    }
    bool take(char c) {
        if (m_pos < m_t.size() && m_t[m_pos] == c) {
            ++m_pos;
            return true;
        }
        return false;
    }
    // "[" values "]" where a value is a number, or (depth 2) a row "[...]".
    // A 1-D comb array is accepted as a flat grid.
    bool array(QVector<double>* values, int* rows, int* width, int depth, QString* error) {
        skipBlank();
        if (!take('['))
            return fail(error, line(), QStringLiteral("expected \"[\""));
        if (depth == 2)
            m_combLine = line();
        skipBlank();
        if (take(']'))
            return true;
        for (;;) {
            skipBlank();
            if (m_pos < m_t.size() && m_t[m_pos] == '[') {
                if (depth < 2)
                    return fail(error, line(), QStringLiteral("unexpected \"[\""));
                const int rowLine = line();
                ++m_pos;
                const qint64 before = values->size();
                if (!numbers(values, error))
                    return false;
                const int n = int(values->size() - before);
                if (*width < 0)
                    *width = n;
                else if (n != *width)
                    return fail(error, rowLine,
                                QStringLiteral("a row of %1 values where the rows above have %2").arg(n).arg(*width));
                ++*rows;
            } else {
                if (*rows > 0)
                    return fail(error, line(), QStringLiteral("a number among rows"));
                return numbers(values, error); // a flat array
            }
            skipBlank();
            if (take(']'))
                return true;
            if (!take(','))
                return fail(error, line(), QStringLiteral("expected \",\" or \"]\" after a row"));
            skipBlank();
            if (m_pos < m_t.size() && m_t[m_pos] == ']')
                return fail(error, line(), QStringLiteral("a \",\" before \"]\""));
        }
    }
    // Numbers separated by "," up to the closing "]" (the "[" is taken).
    bool numbers(QVector<double>* values, QString* error) {
        skipBlank();
        if (take(']'))
            return true;
        for (;;) {
            skipBlank();
            const int start = m_pos;
            while (m_pos < m_t.size() && !isspace(uchar(m_t[m_pos])) && m_t[m_pos] != ',' && m_t[m_pos] != ']' &&
                   m_t[m_pos] != '[' && m_t[m_pos] != ')')
                ++m_pos;
            const QByteArray word = m_t.mid(start, m_pos - start);
            double v = 0;
            if (!number(word, &v))
                return fail(
                    error, line(),
                    word.isEmpty()
                        ? QStringLiteral("a value is missing")
                        : QStringLiteral("\"%1\" is not a number").arg(SafeFile::shown(QString::fromUtf8(word), 40)));
            if (m_ratios && (v < 0 || v > 1))
                return fail(error, line(),
                            QStringLiteral("%1 is not an error ratio (0 to 1)")
                                .arg(SafeFile::shown(QString::fromUtf8(word), 40)));
            if (values->size() >= kMaxPoints)
                return fail(error, line(), QStringLiteral("more than %1 values").arg(kMaxPoints));
            values->append(v);
            skipBlank();
            if (take(']'))
                return true;
            if (!take(','))
                return fail(error, line(), QStringLiteral("expected \",\" or \"]\""));
        }
    }
    // Steps over an optional sign and the digits after it; false when
    // there is no digit.
    static bool signedDigits(const QByteArray& w, int* at) {
        int i = *at;
        if (i < w.size() && (w[i] == '-' || w[i] == '+'))
            ++i;
        const int digits = i;
        while (i < w.size() && isdigit(uchar(w[i])))
            ++i;
        *at = i;
        return i > digits;
    }
    // A finite decimal number: optional sign, digits with an optional
    // fraction that has a digit before the point, optional exponent.
    static bool number(const QByteArray& w, double* v) {
        int i = 0;
        if (!signedDigits(w, &i))
            return false;
        if (i < w.size() && w[i] == '.') {
            ++i;
            while (i < w.size() && isdigit(uchar(w[i])))
                ++i;
        }
        if (i < w.size() && (w[i] == 'e' || w[i] == 'E')) {
            ++i;
            if (!signedDigits(w, &i))
                return false;
        }
        if (i != w.size())
            return false;
        bool ok = false;
        *v = w.toDouble(&ok);
        return ok && std::isfinite(*v);
    }

    const QByteArray& m_t;
    int m_pos = 0;
    int m_line = 1;
    int m_combRows = 0;
    int m_combWidth = -1;
    int m_combLine = 1;
    bool m_ratios = false;
};

} // namespace

bool readText(const QByteArray& text, EomText* out, QString* error) {
    if (text.size() > kMaxFileBytes) {
        *error = QStringLiteral("larger than %1 bytes").arg(kMaxFileBytes);
        return false;
    }
    EomText eye;
    TextReader reader(text);
    if (!reader.read(&eye, error))
        return false;
    *out = eye;
    return true;
}

bool readFile(const QString& path, QByteArray* data, QString* error) {
    return SafeFile::readRegular(path, kMaxFileBytes, data, error);
}

QByteArray csvLine(int x, int y, quint64 samplesCur, quint64 samplesPre, quint64 errorsCur, quint64 errorsPre) {
    return QByteArray::number(x) + ',' + QByteArray::number(y) + ',' + QByteArray::number(samplesCur, 16) + ',' +
           QByteArray::number(samplesPre, 16) + ',' + QByteArray::number(errorsCur, 16) + ',' +
           QByteArray::number(errorsPre, 16) + '\n';
}

QByteArray writeText(const EomText& eye) {
    const auto num = [](double v) { return QByteArray::number(v, 'e', 8); };
    const auto flat = [&](const QVector<double>& v) {
        QByteArray out = "[";
        for (int i = 0; i < v.size(); ++i) {
            if (i)
                out += i % 8 == 0 ? ",\n       " : ", ";
            out += num(v[i]);
        }
        return out + "]";
    };
    QByteArray out = "{'comb_vals': array([";
    const int nx = int(eye.x.size());
    for (int j = 0; nx > 0 && j < eye.y.size(); ++j) {
        if (j)
            out += ",\n       ";
        out += flat(eye.comb.mid(j * nx, nx));
    }
    out += "]),\n 'x_axis': array(" + flat(eye.x) + "),\n 'y_axis': array(" + flat(eye.y) + ")}\n";
    return out;
}

} // namespace EomFiles
