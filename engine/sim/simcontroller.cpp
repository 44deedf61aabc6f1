#include "simcontroller.h"

#include "safefile.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QIODevice>

namespace {

quint64 mask(int bits) { return bits >= 64 ? ~quint64(0) : (quint64(1) << bits) - 1; }

QString hexAddress(quint64 a) { return QStringLiteral("0x%1").arg(a, 0, 16); }

} // namespace

SimController::SimController(int ledCount, int switchCount, quint32 memStart, int memDepth, int memWidth)
    : m_leds(qBound(0, ledCount, 32))
    , m_switches(qBound(0, switchCount, 32))
    , m_start(memStart)
    , m_depth(qMax(0, memDepth))
    , m_width(qBound(0, memWidth, 64))
    , m_memory(m_depth, 0) {
    auto timer = std::make_shared<QElapsedTimer>();
    timer->start();
    m_clock = [timer] { return timer->elapsed(); };
}

void SimController::setClock(std::function<qint64()> msNow) {
    m_registers->setClock(msNow);
    QMutexLocker lock(&m_mutex);
    m_clock = std::move(msNow);
}

void SimController::setRegisters(const ControlRegisterData& control, const StatusRegisterData& status) {
    const auto on = [](const RegisterListData& d) { return d.isDefined() && d.isEnabled(); };
    m_registers = std::make_unique<SimRegisters>(on(control) ? control.getEntries() : QList<RegisterEntry>(),
                                                 on(status) ? status.getEntries() : QList<RegisterEntry>());
    QMutexLocker lock(&m_mutex);
    m_registers->setClock(m_clock);
}

quint32 SimController::counter() const { return quint32(m_clock() / 250); }

bool SimController::readLeds(quint32* value, QString*) const {
    QMutexLocker lock(&m_mutex);
    const quint32 ledMask = quint32(mask(m_leds));
    const quint32 countMask = quint32(mask((m_leds + 1) / 2));
    *value = (m_switchValue ^ (counter() & countMask)) & ledMask;
    return true;
}

bool SimController::readSwitches(quint32* value, QString*) const {
    QMutexLocker lock(&m_mutex);
    *value = m_switchValue;
    return true;
}

bool SimController::writeSwitches(quint32 value, QString* error) {
    if (value & ~quint32(mask(m_switches))) {
        *error = QStringLiteral("0x%1 has bits above the %2 switches of the core").arg(value, 0, 16).arg(m_switches);
        return false;
    }
    QMutexLocker lock(&m_mutex);
    m_switchValue = value;
    return true;
}

bool SimController::checkAddress(quint64 address, QString* error) const {
    if (m_depth == 0) {
        *error = QStringLiteral("the core has no user memory");
        return false;
    }
    if (address < m_start || address - m_start >= quint64(m_depth)) {
        *error = QStringLiteral("address %1 is outside the user memory (%2 to %3)")
                     .arg(hexAddress(address), hexAddress(m_start), hexAddress(quint64(m_start) + m_depth - 1));
        return false;
    }
    return true;
}

bool SimController::readWord(quint64 address, quint64* value, QString* error) const {
    if (!checkAddress(address, error))
        return false;
    QVector<quint64> words;
    if (!fetchWords(qint64(address - m_start), 1, &words, error))
        return false;
    *value = words.value(0);
    return true;
}

bool SimController::fetchWords(qint64 first, qint64 count, QVector<quint64>* out, QString*) const {
    QMutexLocker lock(&m_mutex);
    *out = m_memory.mid(int(first), int(count));
    return true;
}

bool SimController::storeWords(const QVector<MemWrite>& writes, QString*) {
    QMutexLocker lock(&m_mutex);
    for (const MemWrite& w : writes)
        m_memory[int(w.index)] = w.value;
    return true;
}

bool SimController::writeWord(quint64 address, quint64 value, QString* error) {
    if (!checkAddress(address, error))
        return false;
    if (value & ~mask(m_width)) {
        *error = QStringLiteral("data 0x%1 is wider than the %2-bit memory words").arg(value, 0, 16).arg(m_width);
        return false;
    }
    return storeWords({{quint32(address - m_start), value}}, error);
}

bool SimController::fill(quint64 value, QString* error) {
    if (m_depth == 0) {
        *error = QStringLiteral("the core has no user memory");
        return false;
    }
    if (value & ~mask(m_width)) {
        *error = QStringLiteral("data 0x%1 is wider than the %2-bit memory words").arg(value, 0, 16).arg(m_width);
        return false;
    }
    QVector<MemWrite> all(m_depth);
    for (int i = 0; i < m_depth; ++i)
        all[i] = {quint32(i), value};
    return storeWords(all, error);
}

bool SimController::fileWindow(qint64 offset, qint64* range, int* width, QString* error) const {
    if (m_depth == 0) {
        *error = QStringLiteral("the core has no user memory");
        return false;
    }
    if (*width <= 0)
        *width = m_width;
    if (*width > m_width) {
        *error = QStringLiteral("a word width of %1 bits is wider than the %2-bit memory").arg(*width).arg(m_width);
        return false;
    }
    if (offset < 0 || offset >= m_depth) {
        *error = QStringLiteral("offset %1 is outside the %2 words of the memory")
                     .arg(hexAddress(quint64(qMax<qint64>(0, offset))))
                     .arg(m_depth);
        return false;
    }
    if (*range < 0)
        *range = m_depth - offset;
    if (*range == 0 || offset + *range > m_depth) {
        *error = QStringLiteral("a range of %1 words from offset %2 does not fit the %3 words of the memory")
                     .arg(*range)
                     .arg(hexAddress(quint64(offset)))
                     .arg(m_depth);
        return false;
    }
    return true;
}

bool SimController::dump(const QString& path, qint64 offset, qint64 range, int width, QString* error) const {
    if (!fileWindow(offset, &range, &width, error))
        return false;
    QVector<quint64> words;
    if (!fetchWords(offset, range, &words, error))
        return false;
    QByteArray text;
    text.reserve(int(range) * ((width + 3) / 4 + 1) + 200);
    text += QStringLiteral("// Ondrel user memory dump ($readmemh): %1 words of %2 bits, memory base address %3\n")
                .arg(range)
                .arg(width)
                .arg(hexAddress(m_start))
                .toUtf8();
    text += QStringLiteral("@%1\n").arg(offset, 0, 16).toUtf8();
    const quint64 m = mask(width);
    for (const quint64 w : words) {
        text += hexDigits(w & m, width).toLower().toLatin1();
        text += '\n';
    }
    return SafeFile::writeFile(path, text, error);
}

namespace {

// The character at text[at] as a message shows it: itself when printable,
// else its code (a byte order mark, a control byte, a byte that is no UTF-8).
QString shownCharacter(const QByteArray& text, int at) {
    const uchar lead = uchar(text.at(at));
    const int length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    // Decoded by hand: QString::fromUtf8 drops a byte order mark.
    uint code = length == 1 ? lead : length > 1 ? lead & (0x7F >> length) : 0xFFFD;
    for (int k = 1; k < length && code != 0xFFFD; ++k) {
        const uchar next = at + k < text.size() ? uchar(text.at(at + k)) : 0;
        code = (next & 0xC0) == 0x80 ? (code << 6) | (next & 0x3F) : 0xFFFD;
    }
    if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
        code = 0xFFFD;
    const QString decoded = code == 0xFFFD ? QString() : QString::fromUcs4(reinterpret_cast<const char32_t*>(&code), 1);
    if (code == 0xFFFD)
        return QStringLiteral("byte 0x%1").arg(QString::number(lead, 16).toUpper().rightJustified(2, QLatin1Char('0')));
    const QChar::Category cat = QChar::category(char32_t(code));
    const bool printable = QChar::isPrint(char32_t(code)) && cat != QChar::Separator_Space;
    const QString codeText = QStringLiteral("U+%1").arg(code, 4, 16, QLatin1Char('0')).toUpper();
    if (!printable)
        return codeText;
    return code < 0x80 ? QStringLiteral("'%1'").arg(decoded.toHtmlEscaped())
                       : QStringLiteral("'%1' (%2)").arg(decoded.toHtmlEscaped(), codeText);
}

} // namespace

bool SimController::parseMemText(const QByteArray& text, const QString& name, int width, qint64 depth, qint64 offset,
                                 qint64 lo, qint64 hi, QVector<MemWrite>* writes, QString* error) {
    writes->clear();
    qint64 next = 0;      // file address of the next word
    bool inBlock = false; // inside /* ... */
    int line = 1;
    const auto bad = [&](const QString& why) {
        *error = QStringLiteral("%1:%2: %3").arg(name).arg(line).arg(why);
        writes->clear();
        return false;
    };
    const int n = int(text.size());
    int i = 0;
    while (i < n) {
        const char c = text.at(i);
        if (c == '\n') {
            ++line;
            ++i;
            continue;
        }
        if (inBlock) {
            if (c == '*' && i + 1 < n && text.at(i + 1) == '/') {
                inBlock = false;
                i += 2;
            } else {
                ++i;
            }
            continue;
        }
        if (c == ' ' || c == '\t' || c == '\r' || c == '\f' || c == '\v') {
            ++i;
            continue;
        }
        if (c == '/' && i + 1 < n && text.at(i + 1) == '/') {
            while (i < n && text.at(i) != '\n')
                ++i;
            continue;
        }
        if (c == '/' && i + 1 < n && text.at(i + 1) == '*') {
            inBlock = true;
            i += 2;
            continue;
        }
        // A word or an @address: up to white space or a comment.
        const bool isAddress = c == '@';
        int j = isAddress ? i + 1 : i;
        quint64 value = 0;
        int significant = 0; // bits of the value so far
        int digits = 0;
        while (j < n) {
            const char d = text.at(j);
            if (d == ' ' || d == '\t' || d == '\r' || d == '\n' || d == '\f' || d == '\v')
                break;
            if (d == '/' && j + 1 < n && (text.at(j + 1) == '/' || text.at(j + 1) == '*'))
                break;
            ++j;
            if (d == '_' && digits > 0)
                continue;
            int v;
            if (d >= '0' && d <= '9')
                v = d - '0';
            else if (d >= 'a' && d <= 'f')
                v = d - 'a' + 10;
            else if (d >= 'A' && d <= 'F')
                v = d - 'A' + 10;
            else if ((d == 'x' || d == 'X') && j - 2 == (isAddress ? i + 1 : i) && text.at(j - 2) == '0')
                return bad(QStringLiteral("the 0x prefix is not allowed: %1 are plain hexadecimal digits")
                               .arg(isAddress ? QStringLiteral("addresses") : QStringLiteral("words")));
            else if (!isAddress && (d == 'x' || d == 'X' || d == 'z' || d == 'Z'))
                return bad(QStringLiteral("unknown (x) or high-impedance (z) digits cannot be loaded into the device"));
            else
                return bad(QStringLiteral("%1 is not a hexadecimal digit").arg(shownCharacter(text, j - 1)));
            ++digits;
            if (significant > 0 || v != 0) {
                significant += 4;
                if (significant > 64 + 3)
                    return bad(isAddress ? QStringLiteral("address too large")
                                         : QStringLiteral("word wider than the %1-bit memory").arg(width));
                value = (value << 4) | quint64(v);
            }
        }
        if (digits == 0)
            return bad(isAddress ? QStringLiteral("'@' without an address") : QStringLiteral("'_' is not a word"));
        if (isAddress) {
            if (significant > 40)
                return bad(QStringLiteral("address too large"));
            next = qint64(value);
        } else {
            if (value & ~mask(width))
                return bad(QStringLiteral("word %1 is wider than the %2-bit memory")
                               .arg(QString::fromLatin1(text.mid(i, j - i)))
                               .arg(width));
            const qint64 index = next + offset;
            if (index < lo || index >= hi || index >= depth)
                return bad(QStringLiteral("address 0x%1 is outside the memory words 0x%2 to 0x%3")
                               .arg(index, 0, 16)
                               .arg(lo, 0, 16)
                               .arg(qMin(hi, depth) - 1, 0, 16));
            if (writes->size() >= depth * 4)
                return bad(QStringLiteral("more words than the memory holds"));
            writes->append({quint32(index), value});
            ++next;
        }
        i = j;
    }
    if (inBlock)
        return bad(QStringLiteral("a /* comment is not closed"));
    if (writes->isEmpty()) {
        *error = QStringLiteral("%1: no data words").arg(name);
        return false;
    }
    return true;
}

bool SimController::load(const QString& path, qint64 offset, qint64 range, int width, QString* error) {
    if (!fileWindow(offset, &range, &width, error))
        return false;
    const qint64 hi = offset + range;
    QByteArray text;
    QString why;
    // Each word takes at least two bytes; a file much larger than the
    // memory's worth of text is refused before it is read.
    const qint64 limit = qMin<qint64>(kMaxMemFileSize, qint64(m_depth) * 80 + 64 * 1024);
    if (!SafeFile::readRegular(path, limit, &text, &why)) {
        *error = QStringLiteral("%1: %2").arg(path, why);
        return false;
    }
    QVector<MemWrite> writes;
    if (!parseMemText(text, path, width, m_depth, offset, offset, hi, &writes, error))
        return false;
    return storeWords(writes, error);
}
