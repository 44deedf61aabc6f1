#pragma once

// The capture side of the open project: starting, stopping and collecting
// a run of the acquisition thread, the capture sidecar kept beside the
// analyzer file, and the VCD and text exports of the current core.

#include "onaglobal.h"
#include "waveexport.h"

#include <QObject>
#include <QString>
#include <QStringList>
#include <atomic>
#include <vector>

class OnaJTAG;
class OnaThread;
class ProjectSession;
class WaveformModel;
struct CaptureSetup;

class ONA_EXPORT CaptureRun : public QObject {
    Q_OBJECT
public:
    // `tokenName` names the values of buses shown with a token set in the
    // text export.
    CaptureRun(ProjectSession* session, OnaJTAG* cable, WaveExport::TokenName tokenName, QObject* parent = nullptr);

    OnaThread* thread() const { return m_thread; }
    // Busy from a start until the acquisition thread is done.
    bool isBusy() const;
    QString runError() const { return m_runErr; }
    void clearRunError() { m_runErr.clear(); }

    // startCapture checks everything first and starts the acquisition
    // thread; stop and manual trigger are no-ops when nothing runs.
    // waitCapture blocks up to timeoutMs (negative: no limit) and returns
    // false on timeout; it installs the finished capture, as does
    // collectCapture (idempotent, GUI thread).
    bool startCapture(QString* error);
    void stopCapture();
    void manualTrigger();
    bool waitCapture(int timeoutMs);
    void collectCapture();
    // Stops and waits for a running capture, dropping it.
    void endCapture();
    // The waveform models follow the project's clock.
    void syncClock();

    // The sidecar of the analyzer file `onaPath`: written with the project,
    // read back when it opens; problems become warnings.
    static QString sidecarPath(const QString& onaPath);
    void saveSidecar(const QString& onaPath, QStringList* warnings) const;
    void loadSidecar(QStringList* warnings);

    // Exports the current core's capture.
    // `signalList` names the rows to write (blank-separated); empty: all.
    // `scalar`: buses as their one-bit signals (WaveExport::scalarVars).
    bool exportVcd(const QString& path, const QString& module, QString* error, const QString& signalList = QString(),
                   bool scalar = false);
    bool exportText(const QString& path, const QString& signalList, QString* error);

private:
    bool buildSetups(std::vector<CaptureSetup>* setups, QString* error) const;
    bool exportVars(const WaveformModel& model, const QString& signalList, QVector<WaveExport::Var>* vars,
                    QString* error) const;
    bool exportPrecheck(const QString& path, WaveformModel** model, QString* error);

    ProjectSession* m_session;
    OnaJTAG* m_cable;
    OnaThread* m_thread;
    WaveExport::TokenName m_tokenName;
    std::atomic<bool> m_busy{false};
    QString m_runErr;
};
