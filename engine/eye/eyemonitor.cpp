#include "eyemonitor.h"

#include "eomfiles.h"
#include "namedlist.h"
#include "safefile.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QIODevice>
#include <QMutexLocker>
#include <QTemporaryDir>
#include <QThread>
#include <chrono>
#include <cmath>

EyeMonitor* EyeMonitor::inst() {
    static EyeMonitor* monitor = [] {
        auto* m = new EyeMonitor;
        // Ends a scan before the application's objects go away.
        if (QCoreApplication::instance())
            QObject::connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, m, [m] { m->stopEOM(); });
        return m;
    }();
    return monitor;
}

EyeMonitor::~EyeMonitor() {
    m_stop = true;
    join();
}

void EyeMonitor::join() {
    if (m_thread.joinable())
        m_thread.join();
}

QString EyeMonitor::resultPath(const QString& name, Format format) {
    QString safe;
    for (QChar c : name)
        safe += c.isLetterOrNumber() || c == QLatin1Char('_') || c == QLatin1Char('-') ? c : QLatin1Char('_');
    // A folder of this process's own (0700, a name no one can guess first),
    // removed with the program: nothing another user planted is written.
    static QTemporaryDir dir(QDir::temp().filePath(QStringLiteral("ondrel-eye-XXXXXX")));
    if (!dir.isValid())
        return QString();
    return dir.filePath(safe + (format == Csv ? QStringLiteral(".csv") : QStringLiteral(".txt")));
}

bool EyeMonitor::start(const Scan& scan, QString* error) {
    if (m_running.load()) {
        *error = QStringLiteral("an eye scan is already running");
        return false;
    }
    join();
    {
        QMutexLocker lock(&m_mutex);
        m_runErr.clear();
    }
    m_stop = false;
    m_progress = 0;
    m_running = true;
    m_thread = std::thread([this, scan] { run(scan); });
    return true;
}

bool EyeMonitor::wait(bool events) {
    while (m_running.load()) {
        if (events && QCoreApplication::instance() &&
            QThread::currentThread() == QCoreApplication::instance()->thread())
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    join();
    return getRunErr().isEmpty();
}

void EyeMonitor::stopEOM() {
    if (!m_running.load() && !m_thread.joinable())
        return;
    m_stop = true;
    join();
}

QString EyeMonitor::getRunErr() const {
    QMutexLocker lock(&m_mutex);
    return m_runErr;
}

QString EyeMonitor::getData() const {
    QMutexLocker lock(&m_mutex);
    return m_data;
}

QList<EyeResult> EyeMonitor::results() const {
    QMutexLocker lock(&m_mutex);
    return m_results;
}

void EyeMonitor::reset() {
    stopEOM();
    QMutexLocker lock(&m_mutex);
    m_results.clear();
    m_runErr.clear();
    m_data.clear();
    m_quality.clear();
    m_lane.clear();
}

void EyeMonitor::measure(const Scan& scan, const QVector<quint64>& errors, int nx, int ny, int* width, int* height) {
    // The open run through the centre point (x 0, y 0) on its row and column.
    const int cx = nx / 2, cy = ny / 2;
    const auto open = [&](int i, int j) { return errors[j * nx + i] == 0; };
    int w = 0, h = 0;
    if (open(cx, cy)) {
        for (int i = cx; i >= 0 && open(i, cy); --i)
            ++w;
        for (int i = cx + 1; i < nx && open(i, cy); ++i)
            ++w;
        for (int j = cy; j >= 0 && open(cx, j); --j)
            ++h;
        for (int j = cy + 1; j < ny && open(cx, j); ++j)
            ++h;
    }
    *width = w * scan.grid.stride;
    *height = h * scan.grid.stride;
}

void EyeMonitor::run(Scan scan) {
    const EyeGrid& g = scan.grid;
    const int half = g.phaseSteps / 2;
    const int nx = 2 * (half / g.stride) + 1, ny = 2 * (g.voltSteps / g.stride) + 1;
    QVector<quint64> errors(nx * ny, 0);
    QByteArray csv;
    EomFiles::EomText text;
    const auto pause = std::chrono::microseconds(qint64(std::llround((g.stride > 1        ? 500.0
                                                                      : g.phaseSteps > 32 ? 1000.0
                                                                                          : 500.0) *
                                                                     m_pacing)));
    const quint64 pre = quint64(g.bits / 2), cur = quint64(g.bits) - pre;
    int lastPercent = -1;
    QString error;
    for (int j = 0; j < ny && error.isEmpty(); ++j) {
        const int y = (j - ny / 2) * g.stride;
        for (int i = 0; i < nx; ++i) {
            if (m_stop.load()) {
                error = QStringLiteral("The eye scan of %1 was stopped.").arg(scan.name);
                break;
            }
            const int x = (i - nx / 2) * g.stride;
            const double ber = scan.lane.ber(g.phase(x), g.volts(y));
            // The expected count of errors: the same scan gives the same eye.
            const quint64 e = quint64(std::llround(ber * double(g.bits)));
            errors[j * nx + i] = e;
            if (scan.format == Csv)
                csv += EomFiles::csvLine(x, y, cur, pre, e - e / 2, e / 2);
            else
                text.comb << ber;
            if (pause.count() > 0)
                std::this_thread::sleep_for(pause);
        }
        const int percent = (j + 1) * 100 / ny;
        if (percent != lastPercent) {
            m_progress = lastPercent = percent;
            emit eyeProgress(percent);
        }
    }
    if (error.isEmpty()) {
        QByteArray data = csv;
        if (scan.format == Text) {
            for (int i = 0; i < nx; ++i)
                text.x << g.phase((i - nx / 2) * g.stride);
            for (int j = 0; j < ny; ++j)
                text.y << double((j - ny / 2) * g.stride);
            data = EomFiles::writeText(text);
        }
        QString why;
        if (!SafeFile::writeAtomically(
                scan.file,
                [&](QIODevice* out, QString* w) {
                    return out->write(data) == data.size() || (*w = out->errorString(), false);
                },
                &why, SafeFile::RefuseLinks))
            error = QStringLiteral("Cannot write the eye scan result %1: %2").arg(scan.file, why);
    }
    {
        QMutexLocker lock(&m_mutex);
        m_runErr = error;
        if (error.isEmpty()) {
            m_data = scan.file;
            EyeResult r;
            r.name = scan.name;
            r.file = scan.file;
            measure(scan, errors, nx, ny, &r.width, &r.height);
            r.uiPerStep = g.phase(1);
            r.voltsPerStep = g.volts(1);
            replaceOrAppend(m_results, r);
        }
    }
    m_running = false;
    emit eyeScanFinished(scan.name);
}
