#include "onathread.h"

#include "analyzercore.h"
#include "onajtag.h"

#include <QElapsedTimer>

namespace {

constexpr int kChunk = 8192;                 // samples per core between checks of stop and trigger flags
constexpr qint64 kFreeRun = qint64(1) << 22; // samples a core may wait at full speed before pacing

// A target's failure as the run reports it: the window shows run errors
// that say "ERROR:", and a cable's own texts already do.
QString asRunError(const QString& why) {
    return why.startsWith(QLatin1String("ERROR:")) ? why : QStringLiteral("ERROR: ") + why;
}

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
        QString why = m_cableFault;
        if (!why.isEmpty() || !s.device->arm(&why)) {
            s.device.reset();
            s.core->status = AnalyzerCore::Error;
            if (error.isEmpty())
                error = asRunError(why);
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
        for (size_t i = 0; i < m_setups.size(); ++i) {
            AnalyzerDevice* dev = m_setups[i].device.get();
            AnalyzerCore* core = m_setups[i].core.data();
            if (core->status >= AnalyzerCore::Completed || !dev)
                continue;
            if (stop) {
                dev->stop();
                core->status = AnalyzerCore::Stopped;
                changed = true;
                continue;
            }
            if (manual)
                dev->manualTrigger();
            QString why;
            if (!dev->poll(kChunk, &why)) {
                core->status = AnalyzerCore::Error;
                if (error.isEmpty())
                    error = asRunError(why);
                changed = true;
                continue;
            }
            const AnalyzerDevice& r = *dev;
            const int status = r.state() == AnalyzerDevice::Recording ? AnalyzerCore::Sampling : AnalyzerCore::Armed;
            if (r.state() == AnalyzerDevice::Done) {
                core->pnum = r.frames();
                core->status = AnalyzerCore::Uploading;
                // The upload counts the stored samples again from none.
                const qint64 stored = r.stored();
                core->samplesTotal = stored;
                core->samplesDone = 0;
                emit m_jtag->updatePanel();
                const std::shared_ptr<TraceData> trace = dev->readSamples(&why);
                if (!trace) {
                    core->status = AnalyzerCore::Error;
                    if (error.isEmpty())
                        error = asRunError(why);
                    changed = true;
                    continue;
                }
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
            if (r.state() != AnalyzerDevice::Waiting || r.waited() < kFreeRun)
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
    // The cores on the target are done with; the stores live on in the results.
    for (CaptureSetup& s : m_setups)
        s.device.reset();
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
