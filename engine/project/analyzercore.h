#pragma once

// One debug core of the open project. An analyzer core (kind 1) owns its
// trigger models; a controller core (kind 2) will carry its controller
// records. Shared by OnaData and whoever holds the pointer.

#include "onaglobal.h"
#include "projectfiles.h"

#include <QJsonObject>
#include <QString>
#include <atomic>
#include <memory>

class TriggerUModel;
class TriggerEModel;
class TriggerSetting;
class WaveformModel;
class DecoderSet;

class ONA_EXPORT AnalyzerCore {
public:
    enum Kind { LogicAnalyzer = 1, Controller = 2 };
    // Run states reported while capturing (see docs/commands.md).
    enum Status {
        Ready = 0,
        Configuring = 1,
        Armed = 2,
        Sampling = 3,
        Uploading = 4,
        Completed = 5,
        Stopped = 6,
        UploadStopped = 7,
        Error = 8
    };

    AnalyzerCore(int id, const ProjectFiles::OnlCore& onl);
    ~AnalyzerCore();
    AnalyzerCore(const AnalyzerCore&) = delete;
    AnalyzerCore& operator=(const AnalyzerCore&) = delete;

    QString getName() const { return m_name; }
    int getKind() const { return m_kind; }
    int getId() const { return m_id; }
    bool isAnalyzer() const { return m_kind == LogicAnalyzer; }

    bool isRun() const { return m_run; }
    void setRun(bool run) { m_run = run; }
    // The core has trigger logic that can take part in a run.
    bool hasInsert() const { return m_kind == LogicAnalyzer && m_units > 0; }
    bool isPOR() const;
    bool getConnectPOR() const;
    // Rows of the trigger setup that do not parse (as of their last check).
    int getNumError() const;

    TriggerUModel* getTUModel() const { return m_tu.get(); }
    TriggerEModel* getTEModel() const { return m_te.get(); }
    TriggerSetting* getTSModel() const { return m_ts.get(); }
    // The captured trace; empty (no data) until a capture or the sidecar fills it.
    WaveformModel* getWDModel() const { return m_wd.get(); }
    // The protocol decoders of its waveform page (an analyzer core; null otherwise).
    DecoderSet* getDecoders() const { return m_decoders.get(); }
    // The names of its capture channels: a one-bit signal, or "NAME[i]" for each bit of a wider one.
    static QStringList channelNames(const ProjectFiles::OnlCore& onl);

    const ProjectFiles::OnlCore& onl() const { return m_onl; }

    // Controller records (a controller core; empty, undefined records for
    // an analyzer core).
    const ControllerRecords& controller() const { return m_onl.records; }
    const VirtualLEDData& getLEDData() const { return m_onl.records.leds; }
    const VirtualSwitchData& getSwitchData() const { return m_onl.records.switches; }
    const UserRegisterData& getUserRegisterData() const { return m_onl.records.memory; }
    const ControlRegisterData& getControlRegisterData() const { return m_onl.records.control; }
    const StatusRegisterData& getStatusRegisterData() const { return m_onl.records.status; }
    const QList<HardIpData>& getHardIpData() const { return m_onl.records.hardIp; }

    // Capture progress, written by the acquisition thread.
    std::atomic<int> status{Ready};
    std::atomic<int> pnum{0};            // trigger frames captured so far
    std::atomic<int> pmax{0};            // trigger frames expected
    std::atomic<qint64> samplesDone{0};  // samples of this run taken (or uploaded) so far
    std::atomic<qint64> samplesTotal{0}; // samples this run takes in all

private:
    int m_id;
    QString m_name;
    int m_kind;
    bool m_run = false;
    int m_units = 0;
    ProjectFiles::OnlCore m_onl;
    std::unique_ptr<TriggerUModel> m_tu;
    std::unique_ptr<TriggerEModel> m_te;
    std::unique_ptr<TriggerSetting> m_ts;
    std::unique_ptr<WaveformModel> m_wd;
    std::unique_ptr<DecoderSet> m_decoders; // after m_wd: it goes first
};
