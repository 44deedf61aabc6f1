#include "simdriver.h"

#include "triggerlang.h"

#include <QJsonArray>
#include <array>
#include <cmath>

namespace {

constexpr double kMaxCount = 2147483647.0;
constexpr int kMaxEntries = 4096;
constexpr int kMaxParts = 256;
constexpr int kMaxNesting = 8;

// Maximal-length Fibonacci taps (bit numbers counted from 1) for widths 2..64.
// clang-format off
const std::array<quint8, 6> kTaps[65] = {
    {}, {}, {2, 1}, {3, 2}, {4, 3}, {5, 3}, {6, 5}, {7, 6}, {8, 6, 5, 4}, {9, 5}, {10, 7}, {11, 9},
    {12, 6, 4, 1}, {13, 4, 3, 1}, {14, 5, 3, 1}, {15, 14}, {16, 15, 13, 4}, {17, 14}, {18, 11}, {19, 6, 2, 1},
    {20, 17}, {21, 19}, {22, 21}, {23, 18}, {24, 23, 22, 17}, {25, 22}, {26, 6, 2, 1}, {27, 5, 2, 1}, {28, 25},
    {29, 27}, {30, 6, 4, 1}, {31, 28}, {32, 22, 2, 1}, {33, 20}, {34, 27, 2, 1}, {35, 33}, {36, 25},
    {37, 5, 4, 3, 2, 1}, {38, 6, 5, 1}, {39, 35}, {40, 38, 21, 19}, {41, 38}, {42, 41, 20, 19},
    {43, 42, 38, 37}, {44, 43, 18, 17}, {45, 44, 42, 41}, {46, 45, 26, 25}, {47, 42}, {48, 47, 21, 20},
    {49, 40}, {50, 49, 24, 23}, {51, 50, 36, 35}, {52, 49}, {53, 52, 38, 37}, {54, 53, 18, 17}, {55, 31},
    {56, 55, 35, 34}, {57, 50}, {58, 39}, {59, 58, 38, 37}, {60, 59}, {61, 60, 46, 45}, {62, 61, 6, 5},
    {63, 62}, {64, 63, 61, 60}};
// clang-format on

} // namespace

void uartLevels(const QVector<quint8>& bytes, quint64 bit, quint64 idle, QVector<QVector<quint64>>* values,
                QVector<quint64>* holds) {
    const auto level = [&](quint64 v, quint64 samples) {
        if (samples == 0)
            return;
        *values << QVector<quint64>{v};
        *holds << samples;
    };
    for (quint8 byte : bytes) {
        level(1, idle);
        level(0, bit);
        for (int b = 0; b < 8; ++b)
            level((byte >> b) & 1u, bit);
        level(1, bit);
    }
}

const std::array<quint8, 6>& lfsrTaps(int width) {
    static const std::array<quint8, 6> none{};
    return width >= 2 && width <= 64 ? kTaps[width] : none;
}

namespace {

quint64 splitmix(quint64* state) {
    quint64 z = (*state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

struct Fail {
    QString text;
};

double number(const QJsonObject& o, const char* key, double lo, double hi, double def, bool required) {
    const QJsonValue v = o.value(QLatin1String(key));
    if (v.isUndefined()) {
        if (required)
            throw Fail{QStringLiteral("%1: required").arg(QLatin1String(key))};
        return def;
    }
    const double d = v.toDouble(std::nan(""));
    if (!v.isDouble() || std::isnan(d) || d != std::floor(d) || d < lo || d > hi)
        throw Fail{QStringLiteral("%1: expected a whole number from %2 to %3")
                       .arg(QLatin1String(key))
                       .arg(qint64(lo))
                       .arg(qint64(hi))};
    return d;
}

QVector<quint64> tokenWords(const QJsonValue& v, int width, const QString& where) {
    QString bits, why;
    if (!v.isString() || !TriggerLang::parseTokenValue(v.toString(), width, &bits, &why))
        throw Fail{QStringLiteral("%1: %2").arg(
            where, v.isString() ? why : QStringLiteral("expected a value text such as h'1F"))};
    return bitsToWords(bits);
}

void checkKeys(const QJsonObject& o, const QStringList& allowed) {
    for (auto it = o.begin(); it != o.end(); ++it)
        if (it.key() != QLatin1String("kind") && !allowed.contains(it.key()))
            throw Fail{QStringLiteral("%1: unknown key").arg(it.key())};
}

// Adds a signed amount to a multi-word value (wrapping at the width).
void addSigned(QVector<quint64>& v, __int128 delta) {
    unsigned __int128 carry = 0;
    const quint64 lo = quint64(delta), hi = quint64(delta >> 64);
    const quint64 ext = delta < 0 ? ~quint64(0) : 0;
    for (int i = 0; i < v.size(); ++i) {
        const quint64 add = i == 0 ? lo : i == 1 ? hi : ext;
        const unsigned __int128 s = (unsigned __int128)v[i] + add + carry;
        v[i] = quint64(s);
        carry = s >> 64;
    }
}

class Constant : public SimDriver {
public:
    Constant(int width, const QVector<quint64>& v) : SimDriver(width), m_const(v) { doReset(); }
    std::unique_ptr<SimDriver> clone() const override { return std::make_unique<Constant>(*this); }

protected:
    void doReset() override { m_value = m_const; }
    void doStep() override {}
    void doSkip(quint64) override {}

private:
    QVector<quint64> m_const;
};

class Clock : public SimDriver {
public:
    Clock(int width, quint64 period) : SimDriver(width), m_half(qMax<quint64>(1, period / 2)) { doReset(); }
    std::unique_ptr<SimDriver> clone() const override { return std::make_unique<Clock>(*this); }

protected:
    void doReset() override {
        m_count = 0;
        m_value.fill(0);
    }
    void doStep() override {
        if (++m_count == m_half) {
            m_count = 0;
            m_value[0] ^= 1;
        }
    }
    void doSkip(quint64 n) override {
        const quint64 total = m_count + n;
        if ((total / m_half) & 1)
            m_value[0] ^= 1;
        m_count = total % m_half;
    }

private:
    quint64 m_half;
    quint64 m_count = 0;
};

class Counter : public SimDriver {
public:
    Counter(int width, const QVector<quint64>& start, qint64 step, quint64 every)
        : SimDriver(width), m_start(start), m_step(step), m_every(every) {
        doReset();
    }
    std::unique_ptr<SimDriver> clone() const override { return std::make_unique<Counter>(*this); }

protected:
    void doReset() override {
        m_count = 0;
        m_value = m_start;
        maskTop();
    }
    void doStep() override {
        if (++m_count == m_every) {
            m_count = 0;
            if (m_value.size() == 1)
                m_value[0] += quint64(m_step);
            else
                addSigned(m_value, m_step);
            maskTop();
        }
    }
    void doSkip(quint64 n) override {
        const unsigned __int128 total = (unsigned __int128)m_count + n;
        const unsigned __int128 adds = total / m_every;
        m_count = quint64(total % m_every);
        addSigned(m_value, __int128(adds) * m_step);
        maskTop();
    }

private:
    QVector<quint64> m_start;
    qint64 m_step;
    quint64 m_every;
    quint64 m_count = 0;
};

// One maximal-length LFSR per 64-bit word (the top word uses its own width).
class Lfsr : public SimDriver {
public:
    Lfsr(int width, quint64 seed) : SimDriver(width), m_seed(seed) { doReset(); }
    std::unique_ptr<SimDriver> clone() const override { return std::make_unique<Lfsr>(*this); }

protected:
    void doReset() override {
        for (int i = 0; i < m_value.size(); ++i) {
            const int w = wordWidth(i);
            quint64 s = (m_seed + quint64(i) * 0x9E3779B97F4A7C15ull) & mask(w);
            m_value[i] = s ? s : 1;
        }
    }
    void doStep() override {
        for (int i = 0; i < m_value.size(); ++i) {
            const int w = wordWidth(i);
            quint64 v = m_value[i];
            if (w == 1) {
                m_value[i] = v ^ 1; // a one-bit "LFSR" toggles
                continue;
            }
            quint64 fb = 0;
            for (quint8 t : lfsrTaps(w))
                if (t)
                    fb ^= v >> (t - 1);
            m_value[i] = ((v << 1) | (fb & 1)) & mask(w);
        }
    }

private:
    int wordWidth(int i) const { return i + 1 < m_value.size() || m_width % 64 == 0 ? 64 : m_width % 64; }
    static quint64 mask(int w) { return w >= 64 ? ~quint64(0) : (quint64(1) << w) - 1; }
    quint64 m_seed;
};

class Random : public SimDriver {
public:
    Random(int width, quint64 seed) : SimDriver(width), m_seed(seed) { doReset(); }
    std::unique_ptr<SimDriver> clone() const override { return std::make_unique<Random>(*this); }

protected:
    void doReset() override {
        m_state = m_seed;
        fill();
    }
    void doStep() override { fill(); }

private:
    void fill() {
        for (quint64& w : m_value)
            w = splitmix(&m_state);
        maskTop();
    }
    quint64 m_seed, m_state = 0;
};

// Values held for a number of samples each, repeating: patterns and state
// machines.
class Sequence : public SimDriver {
public:
    Sequence(int width, const QVector<QVector<quint64>>& values, const QVector<quint64>& holds)
        : SimDriver(width), m_values(values), m_holds(holds) {
        for (quint64 h : holds)
            m_cycle += h;
        doReset();
    }
    std::unique_ptr<SimDriver> clone() const override { return std::make_unique<Sequence>(*this); }

protected:
    void doReset() override {
        m_index = 0;
        m_count = 0;
        m_value = m_values.at(0);
    }
    void doStep() override {
        if (++m_count == m_holds.at(m_index)) {
            m_count = 0;
            m_index = (m_index + 1) % m_values.size();
            m_value = m_values.at(m_index);
        }
    }
    void doSkip(quint64 n) override {
        n %= m_cycle;
        while (n) {
            const quint64 left = m_holds.at(m_index) - m_count;
            if (n < left) {
                m_count += n;
                break;
            }
            n -= left;
            m_count = 0;
            m_index = (m_index + 1) % m_values.size();
        }
        m_value = m_values.at(m_index);
    }

private:
    QVector<QVector<quint64>> m_values;
    QVector<quint64> m_holds;
    quint64 m_cycle = 0;
    int m_index = 0;
    quint64 m_count = 0;
};

// A bus made of parts, the first part most significant.
class Bus : public SimDriver {
public:
    Bus(int width, std::vector<std::unique_ptr<SimDriver>> parts) : SimDriver(width), m_parts(std::move(parts)) {
        compose();
    }
    Bus(const Bus& o) : SimDriver(o) {
        for (const auto& p : o.m_parts)
            m_parts.push_back(p->clone());
    }
    std::unique_ptr<SimDriver> clone() const override { return std::make_unique<Bus>(*this); }

protected:
    void doReset() override {
        for (auto& p : m_parts)
            p->reset();
        compose();
    }
    void doStep() override {
        for (auto& p : m_parts)
            p->step();
        compose();
    }
    void doSkip(quint64 n) override {
        for (auto& p : m_parts)
            p->skip(n);
        compose();
    }

private:
    void compose() {
        m_value.fill(0);
        int pos = 0;
        for (auto it = m_parts.rbegin(); it != m_parts.rend(); ++it) {
            const SimDriver& p = **it;
            for (int i = 0; i < p.width(); ++i, ++pos)
                if (p.bit(i))
                    m_value[pos >> 6] |= quint64(1) << (pos & 63);
        }
    }
    std::vector<std::unique_ptr<SimDriver>> m_parts;
};

std::unique_ptr<SimDriver> build(const QJsonObject& o, int width, int depth) {
    if (o.isEmpty())
        return std::make_unique<Constant>(width, QVector<quint64>((width + 63) / 64, 0));
    const QString kind = o.value(QLatin1String("kind")).toString();
    if (kind == QLatin1String("constant")) {
        checkKeys(o, {QStringLiteral("value")});
        return std::make_unique<Constant>(width,
                                          tokenWords(o.value(QLatin1String("value")), width, QStringLiteral("value")));
    }
    if (kind == QLatin1String("clock")) {
        checkKeys(o, {QStringLiteral("period")});
        return std::make_unique<Clock>(width, quint64(number(o, "period", 2, kMaxCount, 2, true)));
    }
    if (kind == QLatin1String("counter")) {
        checkKeys(o, {QStringLiteral("start"), QStringLiteral("step"), QStringLiteral("every")});
        const double lim = 9007199254740991.0;
        // The start is a number, or a value text for wide counters ("h'1FFFF...").
        QVector<quint64> start((width + 63) / 64, 0);
        if (o.value(QLatin1String("start")).isString())
            start = tokenWords(o.value(QLatin1String("start")), width, QStringLiteral("start"));
        else
            addSigned(start, qint64(number(o, "start", -lim, lim, 0, false)));
        return std::make_unique<Counter>(width, start, qint64(number(o, "step", -lim, lim, 1, false)),
                                         quint64(number(o, "every", 1, kMaxCount, 1, false)));
    }
    if (kind == QLatin1String("lfsr") || kind == QLatin1String("random")) {
        checkKeys(o, {QStringLiteral("seed")});
        const quint64 seed = quint64(number(o, "seed", 0, 9007199254740991.0, 1, false));
        if (kind == QLatin1String("lfsr"))
            return std::make_unique<Lfsr>(width, seed);
        return std::make_unique<Random>(width, seed);
    }
    if (kind == QLatin1String("pattern") || kind == QLatin1String("fsm")) {
        const bool fsm = kind == QLatin1String("fsm");
        checkKeys(o, fsm ? QStringList{QStringLiteral("states")}
                         : QStringList{QStringLiteral("values"), QStringLiteral("hold")});
        const QJsonArray a = o.value(QLatin1String(fsm ? "states" : "values")).toArray();
        if (a.isEmpty() || a.size() > kMaxEntries)
            throw Fail{QStringLiteral("%1: expected 1 to %2 entries")
                           .arg(QLatin1String(fsm ? "states" : "values"))
                           .arg(kMaxEntries)};
        const quint64 hold = fsm ? 1 : quint64(number(o, "hold", 1, kMaxCount, 1, false));
        QVector<QVector<quint64>> values;
        QVector<quint64> holds;
        for (int i = 0; i < a.size(); ++i) {
            if (fsm) {
                const QJsonObject s = a.at(i).toObject();
                const QString where = QStringLiteral("states[%1]").arg(i);
                for (auto it = s.begin(); it != s.end(); ++it)
                    if (it.key() != QLatin1String("value") && it.key() != QLatin1String("hold"))
                        throw Fail{QStringLiteral("%1.%2: unknown key").arg(where, it.key())};
                values << tokenWords(s.value(QLatin1String("value")), width, where + QStringLiteral(".value"));
                try {
                    holds << quint64(number(s, "hold", 1, kMaxCount, 1, false));
                } catch (const Fail& f) {
                    throw Fail{where + QLatin1Char('.') + f.text};
                }
            } else {
                values << tokenWords(a.at(i), width, QStringLiteral("values[%1]").arg(i));
                holds << hold;
            }
        }
        return std::make_unique<Sequence>(width, values, holds);
    }
    if (kind == QLatin1String("uart")) {
        // A serial line sending its bytes over and over: idle high, a start
        // bit, eight data bits least significant first, a stop bit.
        checkKeys(o, {QStringLiteral("bytes"), QStringLiteral("bit"), QStringLiteral("idle")});
        if (width != 1)
            throw Fail{QStringLiteral("uart: drives a 1-bit line, the signal has %1 bits").arg(width)};
        const QJsonArray a = o.value(QLatin1String("bytes")).toArray();
        constexpr int kPerByte = 11;
        if (a.isEmpty() || a.size() > kMaxEntries / kPerByte)
            throw Fail{QStringLiteral("bytes: expected 1 to %1 entries").arg(kMaxEntries / kPerByte)};
        const quint64 bit = quint64(number(o, "bit", 1, kMaxCount, 16, false));
        const quint64 idle = quint64(number(o, "idle", 0, kMaxCount, 2 * bit, false));
        QVector<quint8> bytes;
        for (int i = 0; i < a.size(); ++i)
            bytes << quint8(tokenWords(a.at(i), 8, QStringLiteral("bytes[%1]").arg(i)).value(0));
        QVector<QVector<quint64>> values;
        QVector<quint64> holds;
        uartLevels(bytes, bit, idle, &values, &holds);
        return std::make_unique<Sequence>(width, values, holds);
    }
    if (kind == QLatin1String("bus")) {
        checkKeys(o, {QStringLiteral("parts")});
        if (depth >= kMaxNesting)
            throw Fail{QStringLiteral("parts: nested more than %1 deep").arg(kMaxNesting)};
        const QJsonArray a = o.value(QLatin1String("parts")).toArray();
        if (a.isEmpty() || a.size() > kMaxParts)
            throw Fail{QStringLiteral("parts: expected 1 to %1 parts").arg(kMaxParts)};
        std::vector<std::unique_ptr<SimDriver>> parts;
        int total = 0;
        for (int i = 0; i < a.size(); ++i) {
            QJsonObject p = a.at(i).toObject();
            const QString where = QStringLiteral("parts[%1]").arg(i);
            const int w = int(number(p, "width", 1, TriggerLang::kMaxWidth, 1, true));
            p.remove(QLatin1String("width"));
            total += w;
            if (total > width)
                throw Fail{QStringLiteral("parts: %1 bits or more, the signal has %2").arg(total).arg(width)};
            try {
                parts.push_back(build(p, w, depth + 1));
            } catch (const Fail& f) {
                throw Fail{where + QLatin1Char('.') + f.text};
            }
        }
        if (total != width)
            throw Fail{QStringLiteral("parts: %1 bits, the signal has %2").arg(total).arg(width)};
        return std::make_unique<Bus>(width, std::move(parts));
    }
    throw Fail{
        QStringLiteral("kind: \"%1\" is not a driver (clock, counter, lfsr, constant, pattern, random, fsm, uart, bus)")
            .arg(kind)};
}

} // namespace

SimDriver::SimDriver(int width) : m_width(width), m_value((width + 63) / 64, 0) {}

void SimDriver::maskTop() {
    if (m_width % 64)
        m_value.last() &= (quint64(1) << (m_width % 64)) - 1;
}

std::unique_ptr<SimDriver> SimDriver::create(const QJsonObject& driver, int width, QString* error) {
    if (width < 1 || width > TriggerLang::kMaxWidth) {
        *error = QStringLiteral("width %1 is outside 1 to %2").arg(width).arg(TriggerLang::kMaxWidth);
        return nullptr;
    }
    try {
        return build(driver, width, 0);
    } catch (const Fail& f) {
        *error = f.text;
        return nullptr;
    }
}
