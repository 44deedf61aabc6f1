#pragma once

// The open project: its analyzer and debug-logic files, the design, the
// cores with their models, the current core, the clock and the cable
// settings. Loading checks everything before anything is replaced; the
// facade (OnaData) decides what else an open, save or close touches.

#include "analyzercore.h"
#include "onaglobal.h"
#include "onajtag.h"
#include "projectfiles.h"
#include "verboptions.h"

#include <QJsonObject>
#include <QObject>
#include <QSharedPointer>
#include <QStringList>
#include <QVector>

#include <functional>

class ONA_EXPORT ProjectSession : public QObject {
    Q_OBJECT
public:
    using Cores = QVector<QSharedPointer<AnalyzerCore>>;

    // A project read and checked, not yet installed.
    struct Loaded {
        QString onaPath;
        QString onlPath;
        ProjectFiles::OnlDesign design;
        ProjectFiles::OnaProject project;
        Cores cores;
        int current = -1;
        QStringList warnings;
    };

    enum ProjectOption {
        CableType,
        CablePort,
        TckDelay,
        Period,
        Device,
        CableHost,
        Interface,
        Ftdi,
        Openocd,
        Tap,
        UnknownOption
    };
    using ProjectOptions = VerbOptions::List<ProjectOption>;

    // The cable keeps the cable settings; the session reads and writes them there.
    explicit ProjectSession(OnaJTAG* cable, QObject* parent = nullptr);

    bool isOpen() const { return !m_projectFile.isEmpty(); }
    QString projectFile() const { return m_projectFile; }
    QString onlFile() const { return m_onlFile; }
    const ProjectFiles::OnlDesign& design() const { return m_design; }
    const QJsonObject& waveformLayout() const { return m_waveformLayout; }
    const CableSettings& cable() const { return m_cable->settings(); }
    int period() const { return m_period; }
    QString clockUnit() const { return m_clockUnit; }

    const Cores& cores() const { return m_cores; }
    int current() const { return m_current; }
    // The core `id`, the current one for -1; nullptr when there is none.
    AnalyzerCore* core(int id) const;
    QSharedPointer<AnalyzerCore> corePtr(int id) const;
    int coreId(const QString& name) const; // -1 when absent
    // The core called `name`; nullptr when there is none (never the current
    // core: -1 from coreId must not reach core()).
    AnalyzerCore* coreNamed(const QString& name) const;
    QString coreName(int id) const;
    // The current core when it is an analyzer core, else nullptr and why.
    AnalyzerCore* currentAnalyzer(QString* error) const;

    // Reads and checks `path` (an analyzer file, or a debug-logic file that
    // starts a new project beside it). Changes nothing.
    bool load(const QString& path, Loaded* out, QString* error) const;
    // Replaces the open project with `loaded`; returns the previous cores so
    // that the caller keeps them alive until the views have heard of it.
    Cores install(Loaded&& loaded);
    void clear();
    void setProjectFile(const QString& path) { m_projectFile = path; }

    // The analyzer-file contents of the current state.
    ProjectFiles::OnaProject snapshot(const QString& onaPath, const QList<TokenSetData>& userSets) const;

    // What a run captures (trigger setup, token sets, the cores that run)
    // must not change under it: `running` tells whether a capture runs.
    void setRunGuard(std::function<bool()> running) { m_running = std::move(running); }
    // True, with the reason in *error, while a capture runs.
    bool refuseWhileRunning(QString* error) const;

    bool setCurrentCore(const QString& name, QString* error);
    bool setCoreRun(const QString& name, bool run, QString* error);
    bool setProjectOptions(const ProjectOptions& options, QString* error);

signals:
    void coreSetDirty(int core);
    void coreRunDirty(int core, bool run);
    // The cable or clock settings changed, or a core's trigger setting was
    // marked dirty by the view that writes it.
    void settingDirty();
    // Clock period or unit changed: the waveform models follow.
    void clockChanged();
    // The cable now names another kind of target: devices open anew on it.
    void targetChanged();

private:
    bool buildCores(const ProjectFiles::OnlDesign& design, const ProjectFiles::OnaProject& project,
                    const QString& onaName, Cores* cores, int* current, QStringList* warnings, QString* error) const;

    OnaJTAG* m_cable;
    std::function<bool()> m_running;
    QString m_projectFile;
    QString m_onlFile;
    ProjectFiles::OnlDesign m_design;
    QJsonObject m_waveformLayout;
    Cores m_cores;
    int m_current = -1;
    int m_period = 10;
    QString m_clockUnit = QStringLiteral("ns");
};
