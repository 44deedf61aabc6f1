#include "ibert.h"

#include <algorithm>

namespace Ibert {

namespace {

bool parity(quint32 x) {
    x ^= x >> 16;
    x ^= x >> 8;
    x ^= x >> 4;
    x ^= x >> 2;
    x ^= x >> 1;
    return x & 1u;
}

quint32 bit(int exponent) { return 1u << (exponent - 1); }

quint32 fullMask(int order) { return order >= 32 ? 0xFFFFFFFFu : (1u << order) - 1u; }

} // namespace

Pattern patternFromText(const QString& text) {
    static const struct {
        const char* text;
        Pattern pattern;
    } names[] = {{"PRBS31", Pattern::Prbs31},         {"PRBS23_18", Pattern::Prbs23_18},
                 {"PRBS23_21", Pattern::Prbs23_21},   {"PRBS16", Pattern::Prbs16},
                 {"PRBS15", Pattern::Prbs15},         {"PRBS11", Pattern::Prbs11},
                 {"PRBS7", Pattern::Prbs7},           {"Fixed Word", Pattern::FixedWord},
                 {"DC Balanced", Pattern::DcBalanced}, {"Fixed Pattern", Pattern::FixedPattern}};
    for (const auto& n : names)
        if (text.compare(QLatin1String(n.text), Qt::CaseInsensitive) == 0)
            return n.pattern;
    return Pattern::Disabled;
}

int prbsOrder(Pattern p) {
    switch (p) {
        case Pattern::Prbs31: return 31;
        case Pattern::Prbs23_18:
        case Pattern::Prbs23_21: return 23;
        case Pattern::Prbs16: return 16;
        case Pattern::Prbs15: return 15;
        case Pattern::Prbs11: return 11;
        case Pattern::Prbs7: return 7;
        default: return 0;
    }
}

quint32 prbsTaps(Pattern p) {
    switch (p) {
        case Pattern::Prbs31: return bit(31) | bit(28);                     // x^31 + x^28 + 1
        case Pattern::Prbs23_18: return bit(23) | bit(18);                  // x^23 + x^18 + 1
        case Pattern::Prbs23_21: return bit(23) | bit(21) | bit(20) | bit(18); // x^23 + x^21 + x^20 + x^18 + 1
        case Pattern::Prbs16: return bit(16) | bit(15) | bit(13) | bit(4);  // x^16 + x^15 + x^13 + x^4 + 1
        case Pattern::Prbs15: return bit(15) | bit(14);                     // x^15 + x^14 + 1
        case Pattern::Prbs11: return bit(11) | bit(9);                      // x^11 + x^9 + 1
        case Pattern::Prbs7: return bit(7) | bit(6);                        // x^7 + x^6 + 1
        default: return 0;
    }
}

QVector<bool> fixedBits(Pattern p, const QString& pat0) {
    QVector<bool> word;
    const bool valid = (pat0.size() == 8 || pat0.size() == 10) &&
                       std::all_of(pat0.begin(), pat0.end(),
                                   [](QChar c) { return c == QLatin1Char('0') || c == QLatin1Char('1'); });
    for (int i = 0; i < (valid ? pat0.size() : 10); ++i)
        word << (valid && pat0.at(i) == QLatin1Char('1'));
    switch (p) {
        case Pattern::FixedWord: return word;
        case Pattern::DcBalanced: {
            // The word, then its complement: as many ones as zeros.
            QVector<bool> out = word;
            for (bool b : word)
                out << !b;
            return out;
        }
        case Pattern::FixedPattern: {
            // The comma character K28.5 in both running disparities.
            QVector<bool> out;
            for (QChar c : QStringLiteral("00111110101100000101"))
                out << (c == QLatin1Char('1'));
            return out;
        }
        default: return {};
    }
}

Generator::Generator(Pattern p, const QString& pat0)
    : m_pattern(p)
    , m_order(prbsOrder(p))
    , m_taps(prbsTaps(p))
    , m_state(fullMask(m_order))
    , m_mask(fullMask(m_order))
    , m_fixed(fixedBits(p, pat0)) {}

bool Generator::next() {
    if (m_order > 0) {
        // Fibonacci register: the oldest bit goes out, the new one is the
        // parity of the taps.
        const bool out = (m_state >> (m_order - 1)) & 1u;
        m_state = ((m_state << 1) | quint32(parity(m_state & m_taps))) & m_mask;
        return out;
    }
    if (m_fixed.isEmpty())
        return false;
    const bool out = m_fixed.at(m_pos);
    m_pos = (m_pos + 1) % m_fixed.size();
    return out;
}

Checker::Checker(Pattern p, const QString& pat0)
    : m_pattern(p)
    , m_order(prbsOrder(p))
    , m_taps(prbsTaps(p))
    , m_mask(fullMask(m_order))
    , m_fixed(fixedBits(p, pat0)) {}

void Checker::feed(bool received) {
    if (m_pattern == Pattern::Disabled)
        return;
    if (!m_locked) {
        m_window << received;
        tryLock();
        return;
    }
    bool expected;
    if (m_order > 0) {
        // The checker runs its own register: a flipped bit is one error, not
        // one per tap it passes through.
        expected = parity(m_state & m_taps);
        m_state = ((m_state << 1) | quint32(expected)) & m_mask;
    } else {
        expected = m_fixed.at(m_phase);
        m_phase = (m_phase + 1) % m_fixed.size();
    }
    if (expected != received)
        ++m_errors;
}

void Checker::tryLock() {
    const int need = m_order > 0 ? m_order : m_fixed.size();
    if (m_window.size() < need)
        return;
    if (m_order > 0) {
        quint32 seed = 0;
        for (bool b : std::as_const(m_window))
            seed = (seed << 1) | quint32(b);
        // All zeros is the register's dead state: a silent line, not a lock.
        m_locked = seed != 0;
        m_state = seed & m_mask;
    } else {
        for (int r = 0; r < need && !m_locked; ++r) {
            bool same = true;
            for (int i = 0; i < need && same; ++i)
                same = m_window.at(i) == m_fixed.at((r + i) % need);
            if (same) {
                m_locked = true;
                m_phase = r; // the next bit continues the window
            }
        }
    }
    // A failed attempt: every bit of it is a bit the checker could not match.
    if (!m_locked)
        m_errors += quint64(need);
    m_window.clear();
}

void Lane::restart(Pattern tx, Pattern rx, const QString& pat0, const LanePath& path) {
    m_generator = Generator(tx, pat0);
    m_checker = Checker(rx, pat0);
    m_pendingFlips = 0;
    run(kLockBits, path);
    m_checker.clearErrors();
}

void Lane::run(int bits, const LanePath& path) {
    for (int i = 0; i < bits; ++i) {
        // The generator drives the serializer itself, whatever the fabric's
        // data enable says.
        bool sent = m_generator.next();
        if (m_pendingFlips > 0) {
            sent = !sent;
            --m_pendingFlips;
        }
        sent ^= path.txInvert;
        // Without loopback the lane's receiver hears no far end in the
        // simulation: a silent line.
        const bool received = (path.loopback ? sent : false) ^ path.rxInvert;
        m_checker.feed(received);
    }
}

} // namespace Ibert
