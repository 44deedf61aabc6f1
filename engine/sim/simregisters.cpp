#include "simregisters.h"

#include "registerradix.h"
#include "safefile.h"

#include <QElapsedTimer>
#include <QIODevice>
#include <QRegularExpression>

#include <memory>

namespace {

QString zeros(int n) { return QString(n, QLatin1Char('0')); }

QString hexOf(const QString& bits) {
    return RegisterRadix::convert(bits, int(bits.size()), RegisterRadix::Bin, RegisterRadix::Hex);
}

// "0x00ff" / "FF" -> "FF" digits without prefix and leading zeros ("0" for
// zero); empty when `text` is not hexadecimal.
QString hexDigitsOf(QString text) {
    if (text.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        text = text.mid(2);
    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]+$"));
    if (!hex.match(text).hasMatch())
        return QString();
    int first = 0;
    while (first < text.size() - 1 && text.at(first) == QLatin1Char('0'))
        ++first;
    return text.mid(first);
}

// The register of that name in a table (index by name), -1 and why when
// the core has none; `kind` is "control" or "status".
int indexOf(const QHash<QString, int>& index, const char* kind, const QString& name, QString* error) {
    const int at = index.value(name, -1);
    if (at < 0)
        *error = QStringLiteral("the core has no %1 register \"%2\"").arg(QLatin1String(kind), name);
    return at;
}

} // namespace

SimRegisters::SimRegisters(const QList<RegisterEntry>& control, const QList<RegisterEntry>& status) {
    for (const RegisterEntry& e : control) {
        m_controlIndex.insert(e.name, int(m_control.size()));
        m_control.append({e, zeros(e.width)});
    }
    for (const RegisterEntry& e : status) {
        m_statusIndex.insert(e.name, int(m_status.size()));
        m_status.append({e, QString()});
    }
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    m_clock = [timer] { return timer->elapsed(); };
}

void SimRegisters::setClock(std::function<qint64()> msNow) {
    QMutexLocker lock(&m_mutex);
    m_clock = std::move(msNow);
}

QString SimRegisters::statusBits(const Reg& r) const {
    const RegisterEntry& e = r.entry;
    switch (e.source) {
        case RegisterEntry::Counter: {
            const quint64 ticks = quint64(qMax<qint64>(0, m_clock ? m_clock() : 0)) / quint64(qMax(1, e.every));
            return RegisterRadix::convert(QString::number(ticks, 2), e.width, RegisterRadix::Bin, RegisterRadix::Bin);
        }
        case RegisterEntry::Control: {
            const int at = m_controlIndex.value(e.control, -1);
            if (at < 0)
                return zeros(e.width);
            const QString& c = m_control.at(at).bits;
            // Bit i of the control register is character (width - 1 - i).
            const int from = int(c.size()) - e.lsb - e.width;
            return from >= 0 ? c.mid(from, e.width) : zeros(e.width);
        }
        case RegisterEntry::Constant:
            return RegisterRadix::toBinary(e.constant, e.width, RegisterRadix::Hex);
        case RegisterEntry::None:
            break;
    }
    return zeros(e.width);
}

bool SimRegisters::readControl(const QString& name, QString* hex, QString* error) const {
    QMutexLocker lock(&m_mutex);
    const int at = indexOf(m_controlIndex, "control", name, error);
    if (at >= 0)
        *hex = hexOf(m_control.at(at).bits);
    return at >= 0;
}

bool SimRegisters::readStatus(const QString& name, QString* hex, QString* error) const {
    QMutexLocker lock(&m_mutex);
    const int at = indexOf(m_statusIndex, "status", name, error);
    if (at < 0)
        return false;
    QString bits;
    if (!statusValue(at, &bits, error))
        return false;
    *hex = hexOf(bits);
    return true;
}

bool SimRegisters::writeControl(const QString& name, const QString& text, QString* error) {
    QMutexLocker lock(&m_mutex);
    const int at = indexOf(m_controlIndex, "control", name, error);
    if (at < 0)
        return false;
    const RegisterEntry& e = m_control.at(at).entry;
    static const QRegularExpression marked(QStringLiteral("^([bodhBODH])'(.*)$"));
    const QRegularExpressionMatch m = marked.match(text);
    int radix = e.radix;
    QString digits = text;
    if (m.hasMatch()) {
        radix = int(QStringLiteral("bodh").indexOf(m.captured(1).toLower()));
        digits = m.captured(2);
    }
    static const char* const names[] = {"binary", "octal", "decimal", "hexadecimal"};
    if (!RegisterRadix::fits(digits, e.width, radix)) {
        *error = QStringLiteral("\"%1\" is not a %2 value of at most %3 bits")
                     .arg(text, QLatin1String(names[radix]))
                     .arg(e.width);
        return false;
    }
    const QString old = m_control.at(at).bits;
    m_control[at].bits = RegisterRadix::toBinary(digits, e.width, radix);
    if (commitControl({at}, error))
        return true;
    m_control[at].bits = old;
    return false;
}

bool SimRegisters::toggleControl(const QString& name, QString* error) {
    QMutexLocker lock(&m_mutex);
    const int at = indexOf(m_controlIndex, "control", name, error);
    if (at < 0)
        return false;
    Reg& r = m_control[at];
    if (r.entry.width != 1) {
        *error = QStringLiteral("\"%1\" has %2 bits; only a 1-bit register toggles").arg(name).arg(r.entry.width);
        return false;
    }
    const QString old = r.bits;
    r.bits = r.bits == QLatin1String("1") ? QStringLiteral("0") : QStringLiteral("1");
    if (commitControl({at}, error))
        return true;
    m_control[at].bits = old;
    return false;
}

bool SimRegisters::dump(const QString& path, bool status, QString* error) const {
    QByteArray text;
    {
        QMutexLocker lock(&m_mutex);
        const QVector<Reg>& regs = status ? m_status : m_control;
        if (regs.isEmpty()) {
            *error = status ? QStringLiteral("the core has no status registers")
                            : QStringLiteral("the core has no control registers");
            return false;
        }
        text += status ? "# Ondrel user status registers: name value (hexadecimal)\n"
                       : "# Ondrel user control registers: name value (hexadecimal)\n";
        for (int i = 0; i < regs.size(); ++i) {
            const Reg& r = regs.at(i);
            QString bits = r.bits;
            if (status && !statusValue(i, &bits, error))
                return false;
            text += r.entry.name.toUtf8();
            text += ' ';
            text += hexOf(bits).toLatin1();
            text += '\n';
        }
    }
    return SafeFile::writeFile(path, text, error);
}

bool SimRegisters::parseRegisterText(const QByteArray& text, const QString& name, const QHash<QString, int>& widths,
                                     QVector<QPair<QString, QString>>* values, QString* error) {
    values->clear();
    QHash<QString, int> seenAt;
    const QList<QByteArray> lines = text.split('\n');
    for (int i = 0; i < lines.size(); ++i) {
        const auto bad = [&](const QString& why) {
            *error = QStringLiteral("%1:%2: %3").arg(name).arg(i + 1).arg(why);
            values->clear();
            return false;
        };
        QByteArray line = lines.at(i);
        const int hash = int(line.indexOf('#'));
        if (hash >= 0)
            line.truncate(hash);
        const QString l = QString::fromUtf8(line).trimmed();
        if (l.isEmpty())
            continue;
        const QStringList fields = l.split(QRegularExpression(QStringLiteral("\\s+")));
        if (fields.size() != 2)
            return bad(QStringLiteral("expected a register name and a hexadecimal value"));
        const QString& reg = fields.at(0);
        if (!widths.contains(reg))
            return bad(QStringLiteral("no control register \"%1\"").arg(SafeFile::shown(reg, 130)));
        if (seenAt.contains(reg))
            return bad(QStringLiteral("\"%1\" was given on line %2 already").arg(reg).arg(seenAt.value(reg)));
        seenAt.insert(reg, i + 1);
        const int width = widths.value(reg);
        const QString digits = hexDigitsOf(fields.at(1));
        if (digits.isEmpty())
            return bad(QStringLiteral("\"%1\" is not a hexadecimal value").arg(SafeFile::shown(fields.at(1), 130)));
        if (!RegisterRadix::fits(digits, width, RegisterRadix::Hex))
            return bad(QStringLiteral("%1 is wider than the %2 bits of \"%3\"")
                           .arg(SafeFile::shown(fields.at(1), 130))
                           .arg(width)
                           .arg(reg));
        values->append({reg, RegisterRadix::toBinary(digits, width, RegisterRadix::Hex)});
    }
    if (values->isEmpty()) {
        *error = QStringLiteral("%1: no register values").arg(name);
        return false;
    }
    return true;
}

bool SimRegisters::loadControl(const QString& path, QString* error) {
    QHash<QString, int> widths;
    {
        QMutexLocker lock(&m_mutex);
        if (m_control.isEmpty()) {
            *error = QStringLiteral("the core has no control registers");
            return false;
        }
        for (const Reg& r : m_control)
            widths.insert(r.entry.name, r.entry.width);
    }
    QByteArray text;
    QString why;
    if (!SafeFile::readRegular(path, kMaxFileSize, &text, &why)) {
        *error = QStringLiteral("%1: %2").arg(path, why);
        return false;
    }
    QVector<QPair<QString, QString>> values;
    if (!parseRegisterText(text, path, widths, &values, error))
        return false;
    QMutexLocker lock(&m_mutex);
    const QVector<Reg> old = m_control;
    QVector<int> changed;
    for (const auto& v : values) {
        changed << m_controlIndex.value(v.first);
        m_control[changed.last()].bits = v.second;
    }
    if (commitControl(changed, error))
        return true;
    m_control = old;
    return false;
}
