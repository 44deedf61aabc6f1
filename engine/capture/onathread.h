#pragma once

// The acquisition thread: runs one capture of every run core on the
// simulated device and reports through runThread(), the OnaJTAG panel
// signals and exactly one doneThread() per run. It works on a snapshot of
// the trigger setup taken by OnaData::startCapture, so nothing it reads can
// change under it; the finished stores are collected by OnaData.

#include "onaglobal.h"
#include "tracedata.h"
#include "triggerlang.h"

#include <QMutex>
#include <QSharedPointer>
#include <QThread>
#include <atomic>
#include <memory>
#include <vector>

class AnalyzerCore;
class OnaJTAG;
class SimDriver;

// One trigger unit, compiled to words (least significant word first).
struct CaptureUnit {
    TriggerLang::Op op = TriggerLang::Op::Eq;
    int width = 1;
    int serial = 0;
    QVector<QPair<int, int>> sources;   // (signal, bit), most significant first
    QVector<quint64> value, care, high; // care: bits that are not don't-care
};

struct CaptureSetup {
    QSharedPointer<AnalyzerCore> core;
    QList<QPair<QString, int>> signalWidths;
    QStringList channelNames;
    std::vector<std::unique_ptr<SimDriver>> drivers; // one per signal
    QVector<CaptureUnit> units;
    QVector<TriggerLang::TEProgram> expressions; // enabled ones
    bool teAnd = false;
    int finalCount = 1;
    int samples = 1;
    int frames = 1;
    int position = 0;
    bool por = false; // connected at power-on reset: may trigger before the pre-trigger fill

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
