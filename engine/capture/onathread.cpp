#include "onathread.h"

#include "analyzercore.h"
#include "onajtag.h"
#include "simdriver.h"

#include <QElapsedTimer>
#include <new>

using TriggerLang::Op;

namespace {

constexpr int kChunk = 8192;                 // samples per core between checks of stop and trigger flags
constexpr qint64 kFreeRun = qint64(1) << 22; // samples a core may wait at full speed before pacing

int compareWords(const quint64* a, const quint64* b, int n) {
    for (int i = n - 1; i >= 0; --i)
        if (a[i] != b[i])
            return a[i] < b[i] ? -1 : 1;
    return 0;
}

// One core's capture, advanced in chunks by the thread.
class CoreRun {
public:
    enum State { Waiting, Recording, Done, Failed };

    CoreRun(CaptureSetup& s) : m_s(s) {
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
        m_trig.resize(s.drivers.size());
        for (int sig : used) {
            m_trig[sig] = s.drivers.at(sig)->clone();
            m_trig[sig]->reset();
        }
        for (const auto& d : s.drivers) {
            m_write.push_back(d->clone());
            m_write.back()->reset();
        }
        m_seq.fill(Seq(), s.expressions.size());
        computeUnits(true);
    }

    bool allocate(QString* error) {
        try {
            m_trace = std::make_shared<TraceData>(m_s.channelNames, qint64(m_s.samples) * m_s.frames);
        } catch (const std::bad_alloc&) {
            *error = QStringLiteral("ERROR: core \"%1\": not enough memory for %2 channels x %3 samples")
                         .arg(m_s.core->getName())
                         .arg(m_s.channelNames.size())
                         .arg(qint64(m_s.samples) * m_s.frames);
            return false;
        }
        return true;
    }

    State state() const { return m_state; }
    int frames() const { return m_frame; }
    qint64 waited() const { return m_t - m_armTime; }
    // Samples stored so far, over all frames.
    qint64 stored() const { return qint64(m_frame) * m_s.samples + (m_state == Recording ? m_recorded : 0); }
    std::shared_ptr<TraceData> trace() const { return m_trace; }

    // Runs up to `budget` samples of device time.
    void advance(int budget, bool manual) {
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

    CaptureSetup& m_s;
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
};

} // namespace

OnaThread::OnaThread(OnaJTAG* jtag, QObject* parent) : QThread(parent), m_jtag(jtag) {}

OnaThread::~OnaThread() {
    m_stop = true;
    wait();
}

void OnaThread::prepare(std::vector<CaptureSetup> setups, const QString& cableFault) {
    QMutexLocker lock(&m_mutex);
    m_setups = std::move(setups);
    m_cableFault = cableFault;
    m_results.clear();
    m_ready = false;
    m_error.clear();
    m_stop = false;
    m_manual = false;
    m_finished = false;
}

std::vector<CaptureResult> OnaThread::takeResults() {
    QMutexLocker lock(&m_mutex);
    if (!m_ready)
        return {};
    m_ready = false;
    return std::move(m_results);
}

QString OnaThread::runError() const {
    QMutexLocker lock(&m_mutex);
    return m_error;
}

void OnaThread::run() {
    emit runThread();
    std::vector<std::unique_ptr<CoreRun>> runs;
    QString error;
    QElapsedTimer panel;
    panel.start();
    for (CaptureSetup& s : m_setups) {
        s.core->status = AnalyzerCore::Configuring;
        s.core->pnum = 0;
        s.core->pmax = s.frames;
        s.core->samplesDone = 0;
        s.core->samplesTotal = qint64(s.samples) * s.frames;
    }
    emit m_jtag->updatePanel();
    for (CaptureSetup& s : m_setups) {
        runs.push_back(std::make_unique<CoreRun>(s));
        QString why = m_cableFault;
        if (!why.isEmpty() || !runs.back()->allocate(&why)) {
            s.core->status = AnalyzerCore::Error;
            if (error.isEmpty())
                error = why;
        } else {
            s.core->status = AnalyzerCore::Armed;
        }
    }
    emit m_jtag->updatePanel();

    std::vector<CaptureResult> results;
    for (;;) {
        bool active = false, allWaitingLong = true, changed = false;
        const bool stop = m_stop;
        const bool manual = m_manual;
        for (size_t i = 0; i < runs.size(); ++i) {
            CoreRun& r = *runs[i];
            AnalyzerCore* core = m_setups[i].core.data();
            if (core->status >= AnalyzerCore::Completed || r.state() == CoreRun::Failed)
                continue;
            if (stop) {
                core->status = AnalyzerCore::Stopped;
                changed = true;
                continue;
            }
            r.advance(kChunk, manual);
            const int status = r.state() == CoreRun::Recording ? AnalyzerCore::Sampling : AnalyzerCore::Armed;
            if (r.state() == CoreRun::Done) {
                core->pnum = r.frames();
                core->status = AnalyzerCore::Uploading;
                // The upload counts the stored samples again from none.
                const qint64 stored = r.stored();
                core->samplesTotal = stored;
                core->samplesDone = 0;
                emit m_jtag->updatePanel();
                std::shared_ptr<TraceData> trace = r.trace();
                trace->truncate(stored);
                trace->finish();
                core->samplesDone = stored;
                if (m_stop) {
                    core->status = AnalyzerCore::Stopped;
                } else {
                    // A manual trigger ends the run early: what was sampled is uploaded.
                    core->status = manual ? AnalyzerCore::UploadStopped : AnalyzerCore::Completed;
                    results.push_back({m_setups[i].core, m_setups[i].signalWidths, trace});
                }
                changed = true;
                continue;
            }
            active = true;
            // Samples taken: reported at most every kPanelIntervalMs.
            if (core->samplesDone != r.stored()) {
                core->samplesDone = r.stored();
                if (panel.elapsed() >= kPanelIntervalMs)
                    changed = true;
            }
            if (core->status != status || core->pnum != r.frames()) {
                if (core->status != status)
                    changed = true;
                core->status = status;
                core->pnum = r.frames();
                if (panel.elapsed() >= kPanelIntervalMs)
                    changed = true;
            }
            if (r.state() != CoreRun::Waiting || r.waited() < kFreeRun)
                allWaitingLong = false;
        }
        if (changed) {
            emit m_jtag->updatePanel();
            panel.restart();
        }
        if (!active)
            break;
        // A trigger that does not come keeps the thread waiting, not spinning.
        if (allWaitingLong)
            QThread::msleep(2);
    }
    {
        QMutexLocker lock(&m_mutex);
        m_results = std::move(results);
        m_ready = true;
        m_error = error;
    }
    m_finished = true;
    emit m_jtag->redrawPanel();
    emit captureFinished();
    int depth = 0;
    for (const CaptureSetup& s : m_setups)
        depth = qMax(depth, s.samples * s.frames);
    emit doneThread(depth);
}
