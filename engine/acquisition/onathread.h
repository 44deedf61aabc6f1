#pragma once

// The acquisition thread: runs one capture of every run core on the
// target and reports through runThread(), the OnaJTAG panel
// signals and exactly one doneThread() per run. It works on a snapshot of
// the trigger setup taken by OnaData::startCapture, so nothing it reads can
// change under it; the finished stores are collected by OnaData.

#include "onaglobal.h"
#include "targetdevice.h"
#include "tracedata.h"

#include <QMutex>
#include <QSharedPointer>
#include <QThread>
#include <atomic>
#include <memory>
#include <vector>

class AnalyzerCore;
class OnaJTAG;

// One core of a run: what it is loaded with and the core on the target.
struct CaptureSetup : AnalyzerLoad {
    QSharedPointer<AnalyzerCore> core;
    std::unique_ptr<AnalyzerDevice> device;

    CaptureSetup() = default;
    CaptureSetup(CaptureSetup&&) = default;
    CaptureSetup& operator=(CaptureSetup&&) = default;
};

struct CaptureResult {
    QSharedPointer<AnalyzerCore> core;
    QList<QPair<QString, int>> signalWidths;
    std::shared_ptr<TraceData> trace; // null: nothing uploaded
};

class ONA_EXPORT OnaThread : public QThread {
    Q_OBJECT
public:
    explicit OnaThread(OnaJTAG* jtag, QObject* parent = nullptr);
    ~OnaThread() override;

    // Only while the thread is not running.
    // cableFault, when not empty, is the "ERROR: ..." text of a cable that
    // is not there: the run then fails while configuring, as on hardware.
    void prepare(std::vector<CaptureSetup> setups, const QString& cableFault = QString());
    void requestStop() { m_stop = true; }
    void requestManualTrigger() { m_manual = true; }
    // The results of the last run, once; empty while it runs.
    std::vector<CaptureResult> takeResults();
    QString runError() const;
    // True once run() has finished its work (before its last signals).
    bool finishedRun() const { return m_finished; }

    // Minimum time between two progress-only panel updates.
    static constexpr int kPanelIntervalMs = 50;

signals:
    void runThread();
    void doneThread(int traceDepth);
    // Emitted just before doneThread, so that a queued receiver in the GUI
    // thread installs the capture before the tool hears of the end.
    void captureFinished();

protected:
    void run() override;

private:
    OnaJTAG* m_jtag;
    std::vector<CaptureSetup> m_setups;
    std::vector<CaptureResult> m_results;
    bool m_ready = false;
    QString m_error;
    QString m_cableFault;
    mutable QMutex m_mutex;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_manual{false};
    std::atomic<bool> m_finished{true};
};
