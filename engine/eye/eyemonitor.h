#pragma once

// The eye-opening monitor of the simulated device. A scan samples the lane's
// eye model (eyemodel.h) over the grid of the chosen quality on a thread of
// its own, reports progress, can be stopped, writes the result file (CSV for
// a PCS channel, text for a quad lane) and keeps the eye width and height
// measured on the grid per instance.
//
// "ona_run_controller -eye_monitor NAME" waits for its scan while it
// processes the application's events, so a Stop button pressed in the
// meantime reaches stopEOM().

#include "eyemodel.h"
#include "onaglobal.h"

#include <QHash>
#include <QList>
#include <QMutex>
#include <QObject>
#include <QString>
#include <atomic>
#include <thread>

struct ONA_EXPORT EyeResult {
    QString name;
    QString file;
    int width = 0;  // open phase steps on the centre row
    int height = 0; // open voltage steps on the centre column
    // What one step is in the scan's grid: a phase step in unit intervals,
    // a voltage step in volts (0 when not known).
    double uiPerStep = 0;
    double voltsPerStep = 0;
};

class ONA_EXPORT EyeMonitor : public QObject {
    Q_OBJECT
public:
    static EyeMonitor* inst();
    ~EyeMonitor() override;

    enum Format { Csv, Text };
    struct Scan {
        QString name;
        EyeLane lane;
        EyeGrid grid;
        Format format = Csv;
        QString file;
    };

    // Per instance: the quality of the next scan ("high", "normal", "low")
    // and, for a quad, its lane.
    void setQuality(const QString& name, const QString& quality) { m_quality[name] = quality; }
    QString quality(const QString& name) const { return m_quality.value(name, QStringLiteral("normal")); }
    void setLane(const QString& name, int lane) { m_lane[name] = lane; }
    int lane(const QString& name) const { return m_lane.value(name, 0); }

    // Starts a scan; false (with *error) when one is running.
    bool start(const Scan& scan, QString* error);
    // Waits for the running scan, processing events when `events`; true
    // when it ended without error.
    bool wait(bool events);
    bool isBusy() const { return m_running.load(); }
    // Asks the running scan to end and waits for it; its error text says so.
    void stopEOM();
    // Empty after a scan that ended well, else why it did not.
    QString getRunErr() const;
    // The result file of the last scan that ended well.
    QString getData() const;
    // One record per instance scanned, in the order first scanned.
    QList<EyeResult> results() const;
    // Forgets the results and settings (project closed).
    void reset();

    // Pause per sample point as a fraction of the device's own (tests: 0).
    void setPacing(double factor) { m_pacing = factor; }
    int progress() const { return m_progress.load(); }

    // The width and height measured on a finished grid of error counts.
    static void measure(const Scan& scan, const QVector<quint64>& errors, int nx, int ny, int* width, int* height);
    // Where the scan of `name` writes its file: a folder private to this
    // process, removed when it ends; empty when no such folder can be made.
    static QString resultPath(const QString& name, Format format);

signals:
    // Percent done, from the scan thread (queued to GUI receivers).
    void eyeProgress(int percent);
    void eyeScanFinished(QString name);

private:
    EyeMonitor() = default;
    void run(Scan scan);
    void join();

    QHash<QString, QString> m_quality;
    QHash<QString, int> m_lane;
    mutable QMutex m_mutex;
    QList<EyeResult> m_results;
    QString m_runErr;
    QString m_data;
    std::thread m_thread;
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_progress{0};
    double m_pacing = 1.0;
};
