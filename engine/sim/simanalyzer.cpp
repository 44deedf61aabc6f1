#include "simanalyzer.h"

#include "simdriver.h"
#include "tracedata.h"

#include <QSet>
#include <atomic>
#include <new>

using TriggerLang::Op;

namespace {

int compareWords(const quint64* a, const quint64* b, int n) {
    for (int i = n - 1; i >= 0; --i)
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    return 0;
}

// One core's capture on the simulated device, advanced in chunks by the
// acquisition thread.
class SimAnalyzer : public AnalyzerDevice {
public:
    SimAnalyzer(const AnalyzerLoad& s, std::vector<std::unique_ptr<SimDriver>> drivers)
        : m_s(s), m_drivers(std::move(drivers)) {
        const int n = int(s.units.size());
        m_cur.resize(n);
        m_prev.resize(n);
        m_hit.resize(n);
        for (int u = 0; u < n; ++u) {
            const int words = (s.units.at(u).width + 63) / 64;
            m_cur[u].fill(0, words);
            m_prev[u].fill(0, words);
        }
        // Only the signals the trigger units read are simulated while waiting.
        QSet<int> used;
        for (const CaptureUnit& u : s.units)
            for (const auto& src : u.sources)
                used.insert(src.first);
        m_trig.resize(m_drivers.size());
        for (int sig : used) {
            m_trig[sig] = m_drivers.at(sig)->clone();
            m_trig[sig]->reset();
            // One sample early, so that an edge at the first sample sees the one before.
            m_trig[sig]->skip(quint64(qMax<qint64>(0, s.startTime - 1)));
        }
        m_t = qMax<qint64>(0, s.startTime - 1);
        for (const auto& d : m_drivers) {
            m_write.push_back(d->clone());
            m_write.back()->reset();
        }
        m_seq.fill(Seq(), s.expressions.size());
        computeUnits(true);
        if (s.startTime > 0)
            stepTrigger();
        m_armTime = m_t;
    }

    bool arm(QString* error) override {
        try {
            m_trace = std::make_shared<TraceData>(m_s.channelNames, qint64(m_s.samples) * m_s.frames);
        } catch (const std::bad_alloc&) {
            *error = QStringLiteral("ERROR: core \"%1\": not enough memory for %2 channels x %3 samples")
                         .arg(m_s.coreName)
                         .arg(m_s.channelNames.size())
                         .arg(qint64(m_s.samples) * m_s.frames);
            return false;
        }
        return true;
    }

    State state() const override { return m_state; }
    int frames() const override { return m_frame; }
    qint64 waited() const override { return m_t - m_armTime; }
    qint64 stored() const override { return qint64(m_frame) * m_s.samples + (m_state == Recording ? m_recorded : 0); }
    void manualTrigger() override { m_manual = true; }
    void stop() override {}

    std::shared_ptr<TraceData> readSamples(QString*) override {
        // The store is filled as the samples come: the upload cuts it to what
        // was stored and builds its change summary.
        m_trace->truncate(stored());
        m_trace->finish();
        return m_trace;
    }

    // Runs up to `budget` samples of device time.
    bool poll(int budget, QString*) override {
        const bool manual = m_manual;
        while (budget > 0 && (m_state == Waiting || m_state == Recording)) {
            if (m_state == Waiting) {
                const qint64 fill = (m_s.por && m_frame == 0) ? 0 : m_s.position;
                for (; budget > 0; --budget) {
                    bool fire = false;
                    if (m_t >= m_armTime + fill)
                        fire = evaluate() || manual;
                    if (fire) {
                        startFrame(manual);
                        break;
                    }
                    stepTrigger();
                }
            } else {
                budget -= record(budget);
            }
        }
        return true;
    }

private:
    struct Seq {
        int step = 0;
        int count = 0;
        bool done = false;
    };

    void computeUnits(bool first) {
        for (int u = 0; u < m_s.units.size(); ++u) {
            const CaptureUnit& cu = m_s.units.at(u);
            QVector<quint64>& cur = m_cur[u];
            m_prev[u] = cur;
            if (cu.serial > 0) {
                // A serial unit shifts its one bit in per sample; the newest
                // bit is the least significant.
                const auto& src = cu.sources.at(0);
                const bool b = m_trig[src.first]->bit(src.second);
                for (int w = cur.size() - 1; w > 0; --w)
                    cur[w] = (cur[w] << 1) | (cur[w - 1] >> 63);
                cur[0] = (cur[0] << 1) | quint64(b);
                if (cu.width % 64)
                    cur.last() &= (quint64(1) << (cu.width % 64)) - 1;
            } else {
                cur.fill(0);
                const int n = cu.sources.size();
                for (int i = 0; i < n; ++i) {
                    const auto& src = cu.sources.at(i);
                    if (m_trig[src.first]->bit(src.second)) {
                        const int pos = n - 1 - i;
                        cur[pos >> 6] |= quint64(1) << (pos & 63);
                    }
                }
            }
            if (first)
                m_prev[u] = cur;
        }
    }

    void stepTrigger() {
        ++m_t;
        for (auto& d : m_trig)
            if (d)
                d->step();
        computeUnits(false);
    }

    bool unitHit(int u) const {
        const CaptureUnit& cu = m_s.units.at(u);
        const quint64* v = m_cur.at(u).constData();
        const quint64* p = m_prev.at(u).constData();
        const int n = m_cur.at(u).size();
        switch (cu.op) {
            case Op::Eq:
            case Op::Ne: {
                bool eq = true;
                for (int i = 0; i < n && eq; ++i)
                    eq = ((v[i] ^ cu.value.at(i)) & cu.care.at(i)) == 0;
                return cu.op == Op::Eq ? eq : !eq;
            }
            case Op::Lt:
                return compareWords(v, cu.value.constData(), n) < 0;
            case Op::Le:
                return compareWords(v, cu.value.constData(), n) <= 0;
            case Op::Gt:
                return compareWords(v, cu.value.constData(), n) > 0;
            case Op::Ge:
                return compareWords(v, cu.value.constData(), n) >= 0;
            case Op::InRange:
            case Op::OutRange: {
                const bool in =
                    compareWords(v, cu.value.constData(), n) >= 0 && compareWords(v, cu.high.constData(), n) <= 0;
                return cu.op == Op::InRange ? in : !in;
            }
            case Op::Rising:
            case Op::Falling:
            case Op::AnyEdge:
                for (int i = 0; i < n; ++i) {
                    const quint64 m = cu.value.at(i);
                    const quint64 e = cu.op == Op::Rising    ? (~p[i] & v[i])
                                      : cu.op == Op::Falling ? (p[i] & ~v[i])
                                                             : (p[i] ^ v[i]);
                    if (e & m)
                        return true;
                }
                return false;
            case Op::Invalid:
                break;
        }
        return false;
    }

    bool node(const TriggerLang::TEProgram& p, int i) const {
        const TriggerLang::TENode& nd = p.nodes.at(i);
        switch (nd.kind) {
            case TriggerLang::TENode::Ref:
                return m_hit.at(nd.tu);
            case TriggerLang::TENode::Not:
                return !node(p, nd.a);
            case TriggerLang::TENode::And:
                return node(p, nd.a) && node(p, nd.b);
            case TriggerLang::TENode::Or:
                return node(p, nd.a) || node(p, nd.b);
            case TriggerLang::TENode::Xor:
                return node(p, nd.a) != node(p, nd.b);
        }
        return false;
    }

    // The core's trigger condition at the current sample, with the final
    // event counter.
    bool evaluate() {
        for (int u = 0; u < m_s.units.size(); ++u)
            m_hit[u] = unitHit(u);
        bool all = true, any = false;
        for (int e = 0; e < m_s.expressions.size(); ++e) {
            const TriggerLang::TEProgram& p = m_s.expressions.at(e);
            Seq& q = m_seq[e];
            bool r;
            if (p.steps.size() == 1 && p.steps.at(0).count == 1) {
                r = node(p, p.steps.at(0).root); // a plain condition is a level
            } else {
                // A sequence completes once and stays complete until the core fires.
                if (!q.done && node(p, p.steps.at(q.step).root) && ++q.count >= p.steps.at(q.step).count) {
                    q.count = 0;
                    if (++q.step == p.steps.size()) {
                        q.step = 0;
                        q.done = true;
                        r = true;
                    } else {
                        r = false;
                    }
                } else {
                    r = m_s.teAnd && q.done;
                }
                if (!m_s.teAnd && q.done && r)
                    q.done = false; // OR: the completion is the event
            }
            all = all && r;
            any = any || r;
        }
        const bool cond = m_s.expressions.isEmpty() ? false : (m_s.teAnd ? all : any);
        if (!cond)
            return false;
        if (++m_events < m_s.finalCount)
            return false;
        m_events = 0;
        for (Seq& q : m_seq)
            q = Seq();
        return true;
    }

    void startFrame(bool manual) {
        m_manualFrame = manual;
        m_frameTime = qMax(m_armTime, m_t - m_s.position);
        const qint64 base = qint64(m_frame) * m_s.samples;
        m_trace->frameStarts.append(base);
        m_trace->frameTimes.append(m_frameTime);
        m_trace->triggerPositions.append(base + (m_t - m_frameTime));
        // The writer never runs ahead of a frame: frames only move forward.
        for (auto& d : m_write)
            d->skip(quint64(m_frameTime) - d->time());
        m_recorded = 0;
        m_state = Recording;
    }

    int record(int budget) {
        const int n = int(qMin<qint64>(budget, m_s.samples - m_recorded));
        const qint64 base = qint64(m_frame) * m_s.samples + m_recorded;
        int channel = 0;
        for (auto& d : m_write) {
            const int w = d->width();
            SimDriver* drv = d.get();
            for (int k = 0; k < n; ++k) {
                const qint64 g = base + k;
                const quint64 bitMask = quint64(1) << (g & 63);
                const size_t word = size_t(g >> 6);
                const quint64* v = drv->value();
                // Channels run most significant bit first.
                for (int b = 0; b < w; ++b)
                    if ((v[(w - 1 - b) >> 6] >> ((w - 1 - b) & 63)) & 1u)
                        m_trace->channelWords(channel + b)[word] |= bitMask;
                drv->step();
            }
            channel += w;
        }
        m_recorded += n;
        if (m_recorded == m_s.samples) {
            // Bring the trigger side to the end of the frame and re-arm.
            const qint64 end = m_frameTime + m_s.samples;
            while (m_t < end)
                stepTrigger();
            m_armTime = end;
            ++m_frame;
            m_state = (m_frame >= m_s.frames || m_manualFrame) ? Done : Waiting;
        }
        return qMax(1, n);
    }

    const AnalyzerLoad m_s;
    std::vector<std::unique_ptr<SimDriver>> m_drivers; // one per signal
    State m_state = Waiting;
    std::vector<std::unique_ptr<SimDriver>> m_trig; // signal -> driver (null when not needed)
    std::vector<std::unique_ptr<SimDriver>> m_write;
    QVector<QVector<quint64>> m_cur, m_prev;
    QVector<bool> m_hit;
    QVector<Seq> m_seq;
    std::shared_ptr<TraceData> m_trace;
    qint64 m_t = 0, m_armTime = 0, m_frameTime = 0, m_recorded = 0;
    int m_frame = 0, m_events = 0;
    bool m_manualFrame = false;
    std::atomic<bool> m_manual{false};
};

} // namespace

std::unique_ptr<AnalyzerDevice> openSimAnalyzer(const AnalyzerLoad& load, QString* error) {
    std::vector<std::unique_ptr<SimDriver>> drivers;
    for (const auto& sig : load.signalWidths) {
        QString why;
        auto drv = SimDriver::create(load.simulation.value(sig.first).toObject(), sig.second, &why);
        if (!drv) {
            *error = QStringLiteral("signal \"%1\": %2").arg(sig.first, why);
            return nullptr;
        }
        drivers.push_back(std::move(drv));
    }
    return std::make_unique<SimAnalyzer>(load, std::move(drivers));
}
