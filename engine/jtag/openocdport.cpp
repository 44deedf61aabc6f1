#include "openocdport.h"

#include <QRegularExpression>

namespace {

constexpr char kEnd = 0x1a;
// An answer larger than this is not OpenOCD answering a scan.
constexpr qsizetype kMaxAnswer = 64 * 1024 * 1024;

} // namespace

bool OpenocdPort::open(const QString& host, int port, const QString& tap, int timeoutMs, QString* error) {
    close();
    static const QRegularExpression name(QStringLiteral("^[A-Za-z0-9_.]+$"));
    if (!tap.isEmpty() && !name.match(tap).hasMatch()) {
        *error = QStringLiteral("OpenOCD: \"%1\" is no TAP name (letters, digits, \"_\" and \".\")").arg(tap);
        return false;
    }
    m_tap = tap;
    if (!m_link.open(QStringLiteral("OpenOCD"), host, port, timeoutMs, error))
        return false;
    QString taps;
    if (!command(QStringLiteral("jtag names"), &taps, error))
        return false;
    const QStringList names = taps.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    if (tap.isEmpty() && names.size() > 1) {
        *error = QStringLiteral("OpenOCD at %1 has %2 TAPs (%3): name the one in front of the debug hub")
                     .arg(m_link.peer())
                     .arg(names.size())
                     .arg(names.join(QLatin1Char(' ')));
        close();
        return false;
    }
    if (tap.isEmpty() && names.size() == 1)
        m_tap = names.first();
    if (!names.contains(m_tap)) {
        *error = names.isEmpty() ? QStringLiteral("OpenOCD at %1 has no TAP on its chain").arg(m_link.peer())
                                 : QStringLiteral("OpenOCD at %1 has no TAP \"%2\" on its chain (it has: %3)")
                                       .arg(m_link.peer(), m_tap, names.join(QLatin1Char(' ')));
        close();
        return false;
    }
    return true;
}

bool OpenocdPort::command(const QString& tcl, QString* result, QString* error) {
    // The RPC answer does not say whether the command failed: ask Tcl.
    const QByteArray request =
        QStringLiteral("if {[catch {%1} ona_v]} {set ona_v \"E$ona_v\"} else {set ona_v \"R$ona_v\"}")
            .arg(tcl)
            .toUtf8() +
        kEnd;
    QByteArray answer;
    const auto take = [&answer](const char* data, qsizetype size, bool* done, QString* why) {
        answer.append(data, size);
        *done = answer.endsWith(kEnd);
        if (answer.size() > kMaxAnswer) {
            *why = QStringLiteral("answered more than %1 MiB").arg(kMaxAnswer >> 20);
            return false;
        }
        return true;
    };
    if (!m_link.exchange(request, take, error))
        return false;
    answer.chop(1);
    const QString text = QString::fromUtf8(answer);
    if (!text.startsWith(QLatin1Char('R'))) {
        *error = QStringLiteral("OpenOCD: %1").arg(text.mid(1).trimmed());
        return false;
    }
    *result = text.mid(1);
    return true;
}

bool OpenocdPort::idcode(quint32* id, QString* error) {
    QString r;
    if (!command(QStringLiteral("jtag cget %1 -idcode").arg(m_tap), &r, error))
        return false;
    bool ok = false;
    *id = r.trimmed().toUInt(&ok, 0);
    if (!ok) {
        *error = QStringLiteral("OpenOCD answered \"%1\" for the IDCODE of %2").arg(r.left(40), m_tap);
        return false;
    }
    return true;
}

bool OpenocdPort::reset(QString* error) {
    QString r;
    return command(QStringLiteral("pathmove RESET IDLE"), &r, error);
}

bool OpenocdPort::scan(bool ir, const QVector<quint32>& in, int bits, QVector<quint32>* out, QString* error) {
    if (bits <= 0 || in.size() * 32 < bits) {
        *error = QStringLiteral("OpenOCD: a scan of %1 bits with %2 words").arg(bits).arg(in.size());
        return false;
    }
    QString cmd = QStringLiteral("%1 %2").arg(ir ? QStringLiteral("irscan") : QStringLiteral("drscan"), m_tap);
    const int fields = (bits + 31) / 32;
    cmd.reserve(cmd.size() + fields * 15);
    for (int f = 0; f < fields; ++f) {
        const int n = qMin(32, bits - 32 * f);
        const quint32 v = n == 32 ? in.at(f) : in.at(f) & ((quint32(1) << n) - 1);
        // irscan takes one value; its width is the TAP's.
        if (ir)
            cmd += QStringLiteral(" 0x%1").arg(v, 0, 16);
        else
            cmd += QStringLiteral(" %1 0x%2").arg(n).arg(v, 0, 16);
    }
    if (ir && fields > 1) {
        *error = QStringLiteral("OpenOCD: an instruction of %1 bits").arg(bits);
        return false;
    }
    QString result;
    if (!command(cmd, &result, error))
        return false;
    if (!out)
        return true;
    const QStringList words = result.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    if (words.size() != fields) {
        *error = QStringLiteral("OpenOCD answered %1 fields for a scan of %2").arg(words.size()).arg(fields);
        return false;
    }
    out->resize(fields);
    for (int f = 0; f < fields; ++f) {
        bool ok = false;
        (*out)[f] = words.at(f).toUInt(&ok, 16);
        if (!ok) {
            *error = QStringLiteral("OpenOCD answered \"%1\" for a scan field").arg(words.at(f).left(40));
            return false;
        }
    }
    return true;
}
