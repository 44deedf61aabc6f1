#pragma once

// The integrated bit-error-ratio tester of one multi-protocol PHY lane, as
// the simulated quad runs it: a transmit pattern generator, the path the
// bits take (loopback, polarity, injected errors) and a receive checker
// that locks to the received stream and then counts every bit that differs
// from what it expects. See docs/ibert.md.

#include "onaglobal.h"

#include <QString>
#include <QVector>

namespace Ibert {

enum class Pattern {
    Disabled,
    Prbs31,
    Prbs23_18,
    Prbs23_21,
    Prbs16,
    Prbs15,
    Prbs11,
    Prbs7,
    FixedWord,
    DcBalanced,
    FixedPattern,
};

// The pattern of a "tx_prbs_pattern"/"rx_prbs_pattern" text (case ignored);
// Disabled for anything else.
ONA_EXPORT Pattern patternFromText(const QString& text);
// The register length n of a PRBS pattern (period 2^n - 1), 0 otherwise.
ONA_EXPORT int prbsOrder(Pattern p);
// The feedback taps of a PRBS pattern: bit i set = the bit received i + 1
// bits ago takes part (x^n + ... + 1).
ONA_EXPORT quint32 prbsTaps(Pattern p);
// The repeating bits of a fixed pattern; `pat0` is the lane's 8- or 10-digit
// binary word (anything else counts as all zeros).
ONA_EXPORT QVector<bool> fixedBits(Pattern p, const QString& pat0);

class ONA_EXPORT Generator {
public:
    explicit Generator(Pattern p = Pattern::Disabled, const QString& pat0 = QString());
    // The next transmitted bit (a disabled generator sends zeros). PRBS
    // generators start from the all-ones state and send its bits first.
    bool next();

private:
    Pattern m_pattern;
    int m_order = 0;
    quint32 m_taps = 0;
    quint32 m_state = 0;
    quint32 m_mask = 0;
    QVector<bool> m_fixed;
    int m_pos = 0;
};

class ONA_EXPORT Checker {
public:
    explicit Checker(Pattern p = Pattern::Disabled, const QString& pat0 = QString());
    void feed(bool bit);
    bool enabled() const { return m_pattern != Pattern::Disabled; }
    bool locked() const { return m_locked; }
    quint64 errors() const { return m_errors; }
    void clearErrors() { m_errors = 0; }

private:
    void tryLock();

    Pattern m_pattern;
    int m_order = 0;
    quint32 m_taps = 0;
    quint32 m_mask = 0;
    quint32 m_state = 0; // PRBS: the checker's own copy of the sender's register
    QVector<bool> m_fixed;
    QVector<bool> m_window; // bits seen while locking
    int m_phase = 0;
    bool m_locked = false;
    quint64 m_errors = 0;
};

// The lane's settings as far as the bit path goes.
struct LanePath {
    bool loopback = false; // "Near-End Serial" or "Parallel"
    bool txInvert = false;
    bool rxInvert = false;
};

class ONA_EXPORT Lane {
public:
    // Bits that pass for one error-count read.
    static constexpr int kBitsPerRead = 10000;
    // Bits the restart runs for the checker to lock before counting starts.
    static constexpr int kLockBits = 64;

    // New generator and checker, then the lock-in; the count starts at 0.
    void restart(Pattern tx, Pattern rx, const QString& pat0, const LanePath& path);
    // Flips the next transmitted bit.
    void injectError() { ++m_pendingFlips; }
    // Runs `bits` bits through the path into the checker.
    void run(int bits, const LanePath& path);
    quint64 errors() const { return m_checker.errors(); }
    bool locked() const { return m_checker.locked(); }

private:
    Generator m_generator;
    Checker m_checker;
    int m_pendingFlips = 0;
};

} // namespace Ibert
