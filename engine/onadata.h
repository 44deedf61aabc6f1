#pragma once

// The analyzer singleton: the open project, its cores and their models, the
// token sets, the cable settings and the run state. State changes come from
// the ona_* commands (onacommands.cpp), which call the operations below;
// readers use the getters, the models and the signals.
//
// Getters that take a row or a core answer for the current core when the
// core argument is -1, and return empty text or 0 for a row or core that
// does not exist.

#include "analyzercore.h"
#include "onaglobal.h"
#include "projectfiles.h"
#include "triggerlang.h"

#include <QColor>
#include <QObject>
#include <QPair>
#include <QSharedPointer>
#include <QStringList>
#include <QVector>
#include <atomic>
#include <vector>

class OnaJTAG;
class OnaThread;
class QStandardItem;
class QThread;
class TokenModel;
class TriggerEModel;
class TriggerSetting;
class TriggerUModel;
class WaveformModel;

class ONA_EXPORT OnaData : public QObject
{
    Q_OBJECT
public:
    using Options = QList<QPair<QString, QString>>;   // option word, value

    static OnaData* inst();

    static const QStringList radix_list;
    static const QStringList operator_list;
    static const QStringList serial_list;

    // Cleared by the tool window while it opens or closes a project.
    bool ready = true;

    // Project and paths.
    bool isProjectOpen() const { return !m_projectFile.isEmpty(); }
    QString getCurrentProject() const { return m_projectFile; }
    QString getCurrentDirectory() const;
    QString getImplDirectory() const;
    QString getOnlFile() const { return m_onlFile; }
    QString getDevice() const { return m_design.device; }
    // Changes whenever the debug-logic file changes on disk (its
    // modification time in ms and its size); 0 when there is none.
    quint64 checkONLTimeStamp() const;

    // Cable.
    QString getCableType() const { return m_cableType; }
    int getCablePort() const { return m_cablePort; }
    int getTCKDelay() const { return m_tckDelay; }

    // Cores.
    int getNumCore() const { return m_cores.size(); }
    QString getCoreName(int core) const;
    int getCoreId(const QString& name) const;   // -1 when absent
    QSharedPointer<AnalyzerCore> getCorePtr(int core) const;
    int getCurrentCore() const { return m_current; }
    bool isRunCore(int core) const;
    bool hasInsertCore(int core) const;
    bool isPORCore(int core) const;
    bool getConnectPORCore(int core) const;
    int getNumRunCore() const;
    int getCurrentCoreStatus(int core = -1) const;
    int getCurrentCorePnum(int core = -1) const;
    int getCurrentCorePmax(int core = -1) const;

    // Run state. Busy from "ona_run" until the acquisition thread is done.
    bool isBusy() const;
    int getNumError(int core = -1) const;   // syntax errors of the trigger setup
    QString getRunErr() const { return m_runErr; }
    int getNumSample(int core = -1) const;
    int getNumTrigger(int core = -1) const;
    int getPeriod() const { return m_period; }
    QString getClockUnit() const { return m_clockUnit; }
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
    void resetWaveformRadix(int row);

    // Models of the current core (nullptr when it is not an analyzer core).
    TriggerUModel* getTUModel() const;
    TriggerEModel* getTEModel() const;
    TriggerSetting* getTSModel() const;
    WaveformModel* getWDModel() const;   // nullptr until the waveform store exists
    TokenModel* getTokenModel() const { return m_tokens; }

    OnaJTAG* getJTAG() const { return m_jtag; }
    QThread* getAcqThread() const;

    void logDebug(const QString& text) const;
    // Forgets the project without emitting anything (used at shutdown).
    void resetData();

    // Operations behind the commands. Each checks everything first; on
    // failure it changes nothing and explains why in *error.
    bool openProject(const QString& path, QString* error);
    bool saveProject(const QString& path, QString* error);
    bool closeProject();
    bool setCurrentCore(const QString& name, QString* error);
    bool setCoreRun(const QString& name, bool run, QString* error);
    bool setProjectOptions(const Options& options, QString* error);
    bool setTU(const QString& name, const Options& options, QString* error);
    bool renameTU(const QString& from, const QString& to, QString* error);
    bool setTE(const QString& name, const Options& options, QString* error);
    bool renameTE(const QString& from, const QString& to, QString* error);
    bool setTrigOptions(const Options& options, QString* error);
    bool addTokenSet(const QString& name, int bits, QString* error);
    bool addToken(const QString& set, const QString& token, const QString& value, QString* error);
    bool setToken(const QString& set, const QString& token, const Options& options, QString* error);
    bool setTokenSet(const QString& set, const Options& options, QString* error);
    bool delToken(const QString& set, const QString& token, QString* error);
    bool delTokenSet(const QString& set, QString* error);   // empty set: all
    bool importTokenSets(const QString& path, QString* error);
    bool exportTokenSets(const QString& path, QString* error);
    // Capture (onacapture.cpp). startCapture checks everything first and
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

    // The token of `setName` (user or ENUM set) whose value is `bits`; the
    // value in hexadecimal when no token has it.
    static QString matchToken(int width, const QString& setName, const QString& bits);

    // Exports the current core's capture (waveexport.cpp).
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
    void sigFileNameChanged(const QString& fileName);

private:
    OnaData();
    ~OnaData() override;

    AnalyzerCore* core(int id) const;
    AnalyzerCore* currentAnalyzer(QString* error) const;
    TriggerLang::TokenLookup tokenLookup() const;
    // Recounts the errors of every core; true when a count changed.
    bool recount();
    // Announces edited items, then a changed error count.
    void commitEdits(const QList<QStandardItem*>& changed);
    void info(const QString& text);
    // TUs whose radix is `set`: converts them to Bin keeping their value.
    void releaseTokenSetUsers(const QString& set, const QString& token, QList<QStandardItem*>* changed);
    QString convertValue(const TriggerLang::TUSpec& from, const QString& newRadix) const;
    bool buildSetups(std::vector<struct CaptureSetup>* setups, QString* error) const;
    void endCapture();   // stops and waits for a running capture, dropping it
    void syncClock();
    QString sidecarPath() const;
    void saveSidecar(QStringList* warnings) const;
    void loadSidecar(QStringList* warnings);
    bool buildCores(const ProjectFiles::OnlDesign& design, const ProjectFiles::OnaProject& project,
                    const QString& onaName, QVector<QSharedPointer<AnalyzerCore>>* cores, int* current,
                    QStringList* warnings, QString* error) const;

    QString m_projectFile;
    QString m_onlFile;
    ProjectFiles::OnlDesign m_design;
    QJsonObject m_waveformLayout;
    QVector<QSharedPointer<AnalyzerCore>> m_cores;
    int m_current = -1;
    QVector<int> m_errorCounts;
    TokenModel* m_tokens;
    OnaJTAG* m_jtag;
    OnaThread* m_thread;
    QString m_cableType = QStringLiteral("USB");
    int m_cablePort = 0;
    int m_tckDelay = 1;
    int m_period = 10;
    QString m_clockUnit = QStringLiteral("ns");
    std::atomic<bool> m_busy{false};
    QString m_runErr;
    QByteArray m_infoText;
};
