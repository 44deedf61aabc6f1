#include "analyzerconfig.h"

#include <QtAlgorithms>

using TriggerLang::TENode;

namespace {

constexpr int kMaxUnits = 32;
constexpr int kMaxCount = 65535;
constexpr quint16 kUnitBase = 0x1000, kUnitStride = 0x80;
constexpr quint16 kExprBase = 0x2000, kExprStride = 0x400;
constexpr quint32 kOpNever = 15;

// A product term over the unit results: the units in `care` must read as
// in `value`. A sum of them is an OR.
struct Term {
    quint32 care = 0, value = 0;
    bool operator==(const Term& o) const { return care == o.care && value == o.value; }
};
using Sop = QVector<Term>;

// Terms a formula may grow to while it is expanded; beyond, it cannot fit.
constexpr int kMaxWork = 1024;

bool absorbs(const Term& a, const Term& b) { return (a.care & ~b.care) == 0 && ((a.value ^ b.value) & a.care) == 0; }

// Drops terms another term covers and joins pairs that differ in one unit.
void simplify(Sop* s) {
    for (bool changed = true; changed;) {
        changed = false;
        for (int i = 0; i < s->size(); ++i)
            for (int j = 0; j < s->size(); ++j)
                if (i != j && absorbs(s->at(i), s->at(j))) {
                    s->remove(j);
                    changed = true;
                    i = -1;
                    break;
                }
        for (int i = 0; i < s->size() && !changed; ++i)
            for (int j = i + 1; j < s->size(); ++j) {
                const quint32 d = s->at(i).value ^ s->at(j).value;
                if (s->at(i).care == s->at(j).care && qPopulationCount(d) == 1) {
                    (*s)[i] = {s->at(i).care & ~d, s->at(i).value & ~d};
                    s->remove(j);
                    changed = true;
                    break;
                }
            }
    }
}

bool product(const Sop& a, const Sop& b, Sop* out) {
    out->clear();
    for (const Term& x : a)
        for (const Term& y : b) {
            if ((x.value ^ y.value) & x.care & y.care)
                continue; // a unit both true and false
            out->append({x.care | y.care, x.value | y.value});
            if (out->size() > kMaxWork)
                return false;
        }
    simplify(out);
    return true;
}

bool sum(const Sop& a, const Sop& b, Sop* out) {
    *out = a + b;
    if (out->size() > kMaxWork)
        return false;
    simplify(out);
    return true;
}

// The formula under node i (negated when `neg`) as a sum of products.
bool expand(const TriggerLang::TEProgram& p, int i, bool neg, Sop* out) {
    const TENode& n = p.nodes.at(i);
    Sop a, b, c, d;
    switch (n.kind) {
        case TENode::Ref:
            *out = {{quint32(1) << n.tu, neg ? 0u : quint32(1) << n.tu}};
            return true;
        case TENode::Not:
            return expand(p, n.a, !neg, out);
        case TENode::And:
        case TENode::Or:
            if (!expand(p, n.a, neg, &a) || !expand(p, n.b, neg, &b))
                return false;
            // De Morgan: a negated AND is an OR of the negations.
            return (n.kind == TENode::And) != neg ? product(a, b, out) : sum(a, b, out);
        case TENode::Xor:
            // a ^ b = a.!b + !a.b; negated: a.b + !a.!b
            if (!expand(p, n.a, false, &a) || !expand(p, n.b, !neg, &b) || !product(a, b, &c))
                return false;
            if (!expand(p, n.a, true, &a) || !expand(p, n.b, neg, &b) || !product(a, b, &d))
                return false;
            return sum(c, d, out);
    }
    return false;
}

// The fewest terms for the same truth table when it has few units: prime
// implicants (Quine-McCluskey), the essential ones first, then greedily the
// one covering most of what is left. Expansion alone can keep a term that
// the others already cover (a.b + !a.c + b.c).
Sop minimise(const Sop& s) {
    quint32 vars = 0;
    for (const Term& t : s)
        vars |= t.care;
    const int k = qPopulationCount(vars);
    if (k > 10 || s.size() <= 1)
        return s;
    QVector<quint32> bits;
    for (int u = 0; u < kMaxUnits; ++u)
        if (vars >> u & 1u)
            bits.append(quint32(1) << u);
    QVector<quint32> minterms;
    for (quint32 m = 0; m < (quint32(1) << k); ++m) {
        quint32 v = 0;
        for (int i = 0; i < k; ++i)
            if (m >> i & 1u)
                v |= bits.at(i);
        for (const Term& t : s)
            if (((v ^ t.value) & t.care) == 0) {
                minterms.append(v);
                break;
            }
    }
    Sop level, primes;
    for (quint32 v : minterms)
        level.append({vars, v});
    while (!level.isEmpty()) {
        QVector<bool> used(level.size(), false);
        Sop next;
        for (int i = 0; i < level.size(); ++i)
            for (int j = i + 1; j < level.size(); ++j) {
                const quint32 d = level.at(i).value ^ level.at(j).value;
                if (level.at(i).care == level.at(j).care && qPopulationCount(d) == 1) {
                    used[i] = used[j] = true;
                    const Term t{level.at(i).care & ~d, level.at(i).value & ~d};
                    if (!next.contains(t))
                        next.append(t);
                }
            }
        for (int i = 0; i < level.size(); ++i)
            if (!used.at(i))
                primes.append(level.at(i));
        level = next;
    }
    auto covers = [](const Term& t, quint32 v) { return ((v ^ t.value) & t.care) == 0; };
    Sop cover;
    QVector<quint32> left = minterms;
    // Essential primes: the only cover of some minterm.
    for (quint32 v : minterms) {
        int only = -1, n = 0;
        for (int i = 0; i < primes.size(); ++i)
            if (covers(primes.at(i), v)) {
                only = i;
                ++n;
            }
        if (n == 1 && !cover.contains(primes.at(only)))
            cover.append(primes.at(only));
    }
    auto prune = [&] {
        left.removeIf([&](quint32 v) {
            for (const Term& t : cover)
                if (covers(t, v))
                    return true;
            return false;
        });
    };
    prune();
    while (!left.isEmpty()) {
        int best = -1, most = 0;
        for (int i = 0; i < primes.size(); ++i) {
            int n = 0;
            for (quint32 v : left)
                n += covers(primes.at(i), v);
            if (n > most) {
                most = n;
                best = i;
            }
        }
        cover.append(primes.at(best));
        prune();
    }
    return cover.size() < s.size() ? cover : s;
}

void putWords(const QVector<quint64>& words, int width, quint16 at, QVector<CoreWrite>* writes) {
    for (int k = 0; k < (width + 31) / 32; ++k)
        writes->append({quint16(at + k), quint32(words.value(k / 2) >> (32 * (k % 2)))});
}

} // namespace

bool AnalyzerConfig::readInfo(HubBus* bus, int core, AnalyzerCoreInfo* info, QString* error) {
    QVector<quint32> w;
    if (!bus->read(core, 0x0000, 15, &w, error))
        return false;
    if (w.at(0) >> 16 != 0x0DC0 || ((w.at(0) >> 8) & 0xFF) != 1) {
        *error = QStringLiteral("core %1 of the debug hub is no debug core (it reads 0x%2)")
                     .arg(core)
                     .arg(w.at(0), 8, 16, QLatin1Char('0'));
        return false;
    }
    if ((w.at(0) & 0xFF) != 1) {
        *error = QStringLiteral("core %1 of the debug hub is no analyzer core").arg(core);
        return false;
    }
    AnalyzerCoreInfo i;
    i.hash = w.at(1);
    i.sampleWidth = int(w.at(2));
    i.depthMin = int(w.at(3));
    i.depthMax = int(w.at(4));
    i.capacity = int(w.at(5));
    i.maxTriggers = int(w.at(6));
    i.finalCounterMax = int(w.at(7));
    i.units = int(w.at(8));
    i.expressions = int(w.at(9));
    i.terms = int(w.at(10));
    i.steps = int(w.at(11));
    i.wordsPerSampleLog2 = int(w.at(13) & 0xFF);
    i.memoryDepth = int(w.at(14));
    if (i.sampleWidth < 1 || i.sampleWidth > (32 << i.wordsPerSampleLog2) || i.wordsPerSampleLog2 > 10 ||
        i.units > kMaxUnits || i.expressions > 16 || i.terms < 1 || i.terms > 16 || i.steps < 1 || i.steps > 16 ||
        i.memoryDepth < 1 || i.memoryDepth > (1 << 24) || i.maxTriggers < 1) {
        *error = QStringLiteral("analyzer core %1 describes itself with impossible sizes").arg(core);
        return false;
    }
    for (int u = 0; u < i.units; ++u) {
        QVector<quint32> uw;
        if (!bus->read(core, quint16(kUnitBase + kUnitStride * u), 1, &uw, error))
            return false;
        i.unitWidth.append(int(uw.at(0) & 0xFFFF));
        i.unitSerial.append(uw.at(0) >> 16 & 1u);
        if (i.unitWidth.last() < 1 || i.unitWidth.last() > 1024) {
            *error = QStringLiteral("analyzer core %1 describes unit %2 with %3 bits")
                         .arg(core)
                         .arg(u)
                         .arg(i.unitWidth.last());
            return false;
        }
    }
    *info = i;
    return true;
}

bool AnalyzerConfig::compile(const AnalyzerLoad& load, const AnalyzerCoreInfo& info, QVector<CoreWrite>* writes,
                             QString* error) {
    auto refuse = [error](const QString& text) {
        *error = text;
        return false;
    };
    int width = 0;
    for (const auto& s : load.signalWidths)
        width += s.second;
    if (width != info.sampleWidth)
        return refuse(QStringLiteral("the setup samples %1 bits; the core samples %2 (SAMPLE_WIDTH): the device was "
                                     "built from another design")
                          .arg(width)
                          .arg(info.sampleWidth));
    if (load.por)
        return refuse(
            QStringLiteral("triggering at power-on reset needs a simulated target: a core on the JTAG chain "
                           "is armed after its design left reset; turn it off for this core"));
    const int samples = load.samples, frames = load.frames;
    if (samples < 1 || (samples & (samples - 1)) != 0)
        return refuse(QStringLiteral("%1 samples per trigger: the core takes a power of two").arg(samples));
    if (frames > info.maxTriggers)
        return refuse(
            QStringLiteral("%1 triggers: the core holds %2 (MAX_TRIGGERS)").arg(frames).arg(info.maxTriggers));
    if (qint64(samples) * frames > info.memoryDepth)
        return refuse(QStringLiteral("%1 triggers of %2 samples need %3 samples of memory; the core holds %4")
                          .arg(frames)
                          .arg(samples)
                          .arg(qint64(samples) * frames)
                          .arg(info.memoryDepth));
    if (load.finalCount > info.finalCounterMax)
        return refuse(QStringLiteral("the final counter at %1: the core counts up to %2 (FINAL_COUNTER_MAX)")
                          .arg(load.finalCount)
                          .arg(info.finalCounterMax));
    if (load.position < 0 || load.position >= samples)
        return refuse(QStringLiteral("trigger position %1 outside the %2 samples").arg(load.position).arg(samples));

    QVector<CoreWrite> w;
    if (load.units.size() > info.units)
        return refuse(
            QStringLiteral("%1 trigger units: the core holds %2 (N_UNITS)").arg(load.units.size()).arg(info.units));
    for (int u = 0; u < info.units; ++u) {
        const quint16 base = quint16(kUnitBase + kUnitStride * u);
        if (u >= load.units.size()) {
            w.append({base, kOpNever});
            continue;
        }
        const CaptureUnit& cu = load.units.at(u);
        const QString name = load.unitNames.value(u, QString::number(u));
        if (cu.width != info.unitWidth.at(u) || (cu.serial > 0) != info.unitSerial.at(u))
            return refuse(QStringLiteral("trigger unit \"%1\" compares %2 %3 bits; the core's unit %4 compares %5 %6 "
                                         "bits: the device was built from another design")
                              .arg(name)
                              .arg(cu.width)
                              .arg(cu.serial > 0 ? QStringLiteral("serial") : QStringLiteral("parallel"))
                              .arg(u)
                              .arg(info.unitWidth.at(u))
                              .arg(info.unitSerial.at(u) ? QStringLiteral("serial") : QStringLiteral("parallel")));
        if (cu.op == TriggerLang::Op::Invalid)
            return refuse(QStringLiteral("trigger unit \"%1\" has no operator").arg(name));
        // Operator codes follow TriggerLang::Op; edges watch the MASK bits.
        w.append({base, quint32(cu.op)});
        putWords(cu.value, cu.width, base + 0x20, &w);
        putWords(cu.care, cu.width, base + 0x40, &w);
        putWords(cu.high, cu.width, base + 0x60, &w);
    }

    if (load.expressions.size() > info.expressions)
        return refuse(QStringLiteral("%1 trigger expressions are enabled: the core holds %2 (N_EXPRS)")
                          .arg(load.expressions.size())
                          .arg(info.expressions));
    for (int e = 0; e < info.expressions; ++e) {
        const quint16 base = quint16(kExprBase + kExprStride * e);
        if (e >= load.expressions.size()) {
            w.append({base, 0});
            continue;
        }
        const TriggerLang::TEProgram& p = load.expressions.at(e);
        const QString name = load.expressionNames.value(e, QString::number(e));
        if (p.steps.isEmpty() || p.steps.size() > info.steps)
            return refuse(QStringLiteral("trigger expression \"%1\" has %2 steps: the core holds %3 per expression")
                              .arg(name)
                              .arg(p.steps.size())
                              .arg(info.steps));
        for (int s = 0; s < p.steps.size(); ++s) {
            const TriggerLang::TEStep& step = p.steps.at(s);
            if (step.count < 1 || step.count > kMaxCount)
                return refuse(QStringLiteral("trigger expression \"%1\", step %2 counts %3: the core counts 1 to %4")
                                  .arg(name)
                                  .arg(s + 1)
                                  .arg(step.count)
                                  .arg(kMaxCount));
            Sop sop;
            const bool fits = expand(p, step.root, false, &sop);
            if (fits)
                sop = minimise(sop);
            if (!fits || sop.size() > info.terms)
                return refuse(
                    QStringLiteral("trigger expression \"%1\", step %2 needs %3 product terms: the core "
                                   "holds %4 per step (N_TERMS)")
                        .arg(name)
                        .arg(s + 1)
                        .arg(fits ? QString::number(sop.size()) : QStringLiteral("more than %1").arg(kMaxWork))
                        .arg(info.terms));
            w.append({quint16(base + 0x10 + s), quint32(step.count)});
            w.append({quint16(base + 0x20 + s), (quint32(1) << sop.size()) - 1});
            for (int t = 0; t < sop.size(); ++t) {
                w.append({quint16(base + 0x200 + 32 * t + 2 * s), sop.at(t).care});
                w.append({quint16(base + 0x201 + 32 * t + 2 * s), sop.at(t).value});
            }
        }
        w.append({base, quint32(1) << 31 | quint32(p.steps.size())});
    }
    w.append({RegSamples, quint32(samples)});
    w.append({RegTriggers, quint32(frames)});
    w.append({RegPosition, quint32(load.position)});
    w.append({RegAnd, load.teAnd ? 1u : 0u});
    w.append({RegFinal, quint32(qMax(1, load.finalCount))});
    *writes = w;
    return true;
}
