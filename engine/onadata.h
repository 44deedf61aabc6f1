#pragma once

// The analyzer singleton the tool window reads: a thin facade over the
// subsystem objects that hold the state (the project session, the trigger
// setup with the token sets, the capture run and the cable). State changes
// come from the ona_* verbs, which each subsystem registers from its own
// file and which call the subsystem objects; readers use the getters, the
// models and the signals here, which forward those of the subsystems.
//
// Getters that take a row or a core answer for the current core when the
// core argument is -1, and return empty text or 0 for a row or core that
// does not exist.

#include "analyzercore.h"
#include "onaglobal.h"
#include "projectfiles.h"
#include "projectsession.h"

#include <QColor>
#include <QObject>
#include <QPair>
#include <QSharedPointer>
#include <QStringList>
#include <QVector>
#include <atomic>
#include <functional>
#include <vector>

class CaptureRun;
class OnaJTAG;
class QStandardItem;
class QThread;
class TokenModel;
class TriggerEModel;
class TriggerSetting;
class TriggerSetup;
class TriggerUModel;
class WaveformModel;

class ONA_EXPORT OnaData : public QObject {
    Q_OBJECT
public:
    static OnaData* inst();

    static const QStringList radix_list;
    static const QStringList operator_list;
    static const QStringList serial_list;

    // Cleared by the tool window while it opens or closes a project.
    bool ready = true;

    // Project and paths.
    bool isProjectOpen() const { return m_session->isOpen(); }
    QString getCurrentProject() const { return m_session->projectFile(); }
    QString getCurrentDirectory() const;
    QString getImplDirectory() const;
    QString getOnlFile() const { return m_session->onlFile(); }
    QString getDevice() const { return m_session->design().device; }
    // Changes whenever the debug-logic file changes on disk (its
    // modification time in ms and its size); 0 when there is none.
    quint64 checkONLTimeStamp() const;

    // Cable.
    QString getCableType() const { return m_session->cable().type; }
    int getCablePort() const { return m_session->cable().port; }
    int getTCKDelay() const { return m_session->cable().tckDelay; }

    // Cores.
    int getNumCore() const { return m_session->cores().size(); }
    QString getCoreName(int core) const;
    int getCoreId(const QString& name) const; // -1 when absent
    QSharedPointer<AnalyzerCore> getCorePtr(int core) const;
    int getCurrentCore() const { return m_session->current(); }
    bool isRunCore(int core) const;
    bool hasInsertCore(int core) const;
    bool isPORCore(int core) const;
    bool getConnectPORCore(int core) const;
    int getNumRunCore() const;
    int getCurrentCoreStatus(int core = -1) const;
    int getCurrentCorePnum(int core = -1) const;
    int getCurrentCorePmax(int core = -1) const;
    // Samples of the run taken so far (sampling, then uploading) and in all.
    qint64 getSamplesDone(int core = -1) const;
    qint64 getSamplesTotal(int core = -1) const;

    // Run state. Busy from "ona_run" until the acquisition thread is done.
    bool isBusy() const;
    int getNumError(int core = -1) const; // syntax errors of the trigger setup
    QString getRunErr() const;
    int getNumSample(int core = -1) const;
    int getNumTrigger(int core = -1) const;
    int getPeriod() const { return m_session->period(); }
    QString getClockUnit() const { return m_session->clockUnit(); }
    int getMaxPosition(int core = -1) const;
    int getUserPosition(int core = -1) const;
    int updateTriggerPosition(int core = -1);

    // Rows of the current core.
    QString getTUName(int row) const;
    QString getTUOperator(int row) const;
    QString getTURadix(int row) const;
    QString getTUValue(int row) const;
    QString getTEName(int row) const;
    QString getTEExpression(int row) const;
    // Waveform rows: the waveform tree arrives with the capture; until then
    // there are no rows (empty texts) and nothing to reset.
    QString getWaveformRadix(int row) const;
    QString getWaveformSignal(int row) const;
    // A bus of the current waveform whose token set goes away reads in
    // binary again, as a trigger unit does.
    void resetWaveformRadix(int row);

    // Models of the current core (nullptr when it is not an analyzer core).
    TriggerUModel* getTUModel() const;
    TriggerEModel* getTEModel() const;
    TriggerSetting* getTSModel() const;
    WaveformModel* getWDModel() const; // nullptr until the waveform store exists
    TokenModel* getTokenModel() const;

    OnaJTAG* getJTAG() const { return m_jtag; }
    QThread* getAcqThread() const;

    void logDebug(const QString& text) const;
    // The multi-protocol PHY merge JSON beside the debug-logic file; empty
    // when there is none, it is unreadable or too large.
    QString readZentaMPPMergeInfo() const;
    // Forgets the project without emitting anything (used at shutdown).
    void resetData();

    // The subsystem objects, for the verbs of each subsystem.
    ProjectSession* session() const { return m_session; }
    TriggerSetup* triggers() const { return m_triggers; }
    CaptureRun* capture() const { return m_capture; }

    // Open, save and close touch every subsystem. Each checks everything
    // first; on failure it changes nothing and explains why in *error.
    bool openProject(const QString& path, QString* error);
    // With no path, a project that has never been saved (started from a
    // debug-logic file) does not replace an existing file unless `force`.
    bool saveProject(const QString& path, QString* error, bool force = false);
    // Started from a debug-logic file and not saved since.
    bool isNeverSaved() const { return m_neverSaved; }
    bool closeProject();
    // Asked by "ona_close_project" before it closes anything: the window
    // installs one so that unsaved edits can still be saved (the engine does
    // not know of them). False keeps the project open, *error says why.
    using CloseCheck = std::function<bool(QString* error)>;
    void setCloseCheck(CloseCheck check) { m_closeCheck = std::move(check); }
    bool mayClose(QString* error) const { return !m_closeCheck || m_closeCheck(error); }
    // Capture (CaptureRun). startCapture checks everything first and
    // starts the acquisition thread; stop and manual trigger are no-ops when
    // nothing runs. waitCapture blocks up to timeoutMs (negative: no limit)
    // and returns false on timeout; it installs the finished capture, as
    // does collectCapture (idempotent, GUI thread).
    bool startCapture(QString* error);
    void stopCapture();
    void manualTrigger();
    bool waitCapture(int timeoutMs);
    void collectCapture();
    // "Ready", "Configuring", "Running", ... "Error!" for a core's status.
    static QString statusText(int status, int pnum);

    // How a bus value reads under the token set `setName`: its token's name,
    // else the number (TokenModel::valueText, shared with the trigger table
    // and the text export).
    static QString matchToken(int width, const QString& setName, const QString& bits);

    // Exports the current core's capture (CaptureRun).
    bool exportVcd(const QString& path, const QString& module, QString* error);
    bool exportText(const QString& path, const QString& signalList, QString* error);

    // Colours of the waveform viewer.
    QColor rulerBandColor{0x9c, 0xc3, 0xe6};
    QColor rulerBackgroundColor{0xf2, 0xf2, 0xf2};
    QColor waveBackgroundColor{0x10, 0x10, 0x10};
    QColor waveColor{0x3c, 0xd0, 0x70};
    QColor triggerColor{0xff, 0x40, 0x40};
    QColor cursorColor{0x40, 0xa0, 0xff};
    QColor markerColor{0xff, 0xc0, 0x00};

    // Builds the analyzer-file contents of the current state.
    ProjectFiles::OnaProject snapshot(const QString& onaPath) const;

    void notifySettingDirty() { emit settingDirty(); }

    // Makes the current core's simulated controller device (if it is a
    // controller core) the one the controller verbs and polling talk to.
    void syncController();

signals:
    void setDirty(QStandardItem* item);
    void settingDirty();
    void coreSetDirty(int core);
    void coreRunDirty(int core, bool run);
    void errorDirty();
    void tokenDirty();
    void infoDirty(const char* text);
    void sigProjectOpened(const QString& fileName);
    void sigProjectSaved(const QString& fileName);
    void sigProjectClosed();
    // The cable names another kind of target; the controller and SERDES
    // devices were opened anew on it.
    void sigTargetChanged();
    void sigFileNameChanged(const QString& fileName);
    // A capture run started, and one ended (`traceDepth` as the run had it).
    // Passed on from the acquisition thread through this object's event
    // loop, so they arrive in its thread, captureDone after the capture is
    // collected.
    void runStarted();
    void captureDone(int traceDepth);

private:
    OnaData();
    ~OnaData() override;

    AnalyzerCore* core(int id) const { return m_session->core(id); }
    void info(const QString& text);

    OnaJTAG* m_jtag;
    ProjectSession* m_session;
    TriggerSetup* m_triggers;
    CaptureRun* m_capture;
    QByteArray m_infoText;
    CloseCheck m_closeCheck;
    bool m_neverSaved = false;
};
