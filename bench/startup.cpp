// Start-up time of `ondrel` against a bare Qt window, as ratios measured in
// one run, on two platforms: the offscreen platform and an X server (an
// Xvfb this program starts itself, the X platform users run). On each, both
// programs are started alternately, several times, and the medians compared.
//   bench_startup [runs] [ondrel arguments...]
// Default arguments open the bundled demo when it exists.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

double timeRun(const QString& program, const QStringList& args, const QProcessEnvironment& env) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0) {
        std::fprintf(stderr, "%s failed (exit %d)\n", qPrintable(program), p.exitCode());
        return -1;
    }
    return t.nsecsElapsed() / 1e6;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Figures {
    double bare = 0, text = 0, tool = 0;
};

std::optional<Figures> measure(const QProcessEnvironment& env, int runs, const QStringList& ondrelArgs) {
    std::vector<double> bare, text, tool;
    // One warm-up of each so that all start from a warm file cache.
    timeRun(BARE_WINDOW, {}, env);
    timeRun(BARE_WINDOW, {"--text"}, env);
    timeRun(ONDREL_BIN, ondrelArgs, env);
    for (int i = 0; i < runs; ++i) {
        const double b = timeRun(BARE_WINDOW, {}, env);
        const double t = timeRun(BARE_WINDOW, {"--text"}, env);
        const double o = timeRun(ONDREL_BIN, ondrelArgs, env);
        if (b < 0 || t < 0 || o < 0)
            return std::nullopt;
        bare.push_back(b);
        text.push_back(t);
        tool.push_back(o);
    }
    return Figures{median(bare), median(text), median(tool)};
}

void report(QTextStream& out, const QString& platform, const Figures& f, const QStringList& ondrelArgs) {
    out << "platform: " << platform << "\n";
    out << "  bare Qt window median: " << QString::number(f.bare, 'f', 1) << " ms\n";
    out << "  ondrel " << ondrelArgs.join(' ') << " median: " << QString::number(f.tool, 'f', 1) << " ms\n";
    out << "  bare Qt window with one label median: " << QString::number(f.text, 'f', 1) << " ms\n";
    out << "  ratio ondrel / bare window: " << QString::number(f.tool / f.bare, 'f', 2) << " (target <= 2.00)\n";
    out << "  ratio ondrel / bare window with text: " << QString::number(f.tool / f.text, 'f', 2) << "\n";
}

// An Xvfb on a free display number; stopped with the object.
class XServer {
public:
    bool start() {
        const QString program = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (program.isEmpty())
            return false;
        for (int n = 90; n < 140; ++n) {
            if (QFileInfo::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)) ||
                QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)))
                continue;
            m_display = QStringLiteral(":%1").arg(n);
            m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
            m_process.start(program,
                            {m_display, QStringLiteral("-screen"), QStringLiteral("0"), QStringLiteral("1600x1000x24"),
                             QStringLiteral("-nolisten"), QStringLiteral("tcp")});
            if (!m_process.waitForStarted(5000))
                return false;
            // Ready once its socket exists.
            for (int i = 0; i < 100; ++i) {
                if (QFileInfo::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)))
                    return true;
                if (m_process.state() != QProcess::Running)
                    break;
                QThread::msleep(50);
            }
            stop();
        }
        return false;
    }
    void stop() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            if (!m_process.waitForFinished(5000))
                m_process.kill();
            m_process.waitForFinished(5000);
        }
    }
    ~XServer() { stop(); }
    QString display() const { return m_display; }

private:
    QProcess m_process;
    QString m_display;
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
#ifndef ONDREL_BIN
    std::fprintf(stderr, "ondrel was not built\n");
    return 1;
#else
    QStringList rest = app.arguments().mid(1);
    int runs = 7;
    if (!rest.isEmpty() && rest.first().toInt() > 0)
        runs = rest.takeFirst().toInt();
    QStringList ondrelArgs = rest;
    const QString demo = QStringLiteral(ONDREL_SOURCE_DIR "/examples/demo/demo.ona");
    if (ondrelArgs.isEmpty() && QFileInfo::exists(demo))
        ondrelArgs << demo;
    ondrelArgs << "--quit-after-start";

    QTextStream out(stdout);
    out << "runs per program and platform: " << runs << "\n";

    QProcessEnvironment offscreen = QProcessEnvironment::systemEnvironment();
    offscreen.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const std::optional<Figures> off = measure(offscreen, runs, ondrelArgs);
    if (!off)
        return 1;
    report(out, QStringLiteral("offscreen"), *off, ondrelArgs);

    XServer x;
    if (!x.start()) {
        out << "platform: xcb (Xvfb): not measured, no Xvfb could be started\n";
        return 0;
    }
    QProcessEnvironment xcb = QProcessEnvironment::systemEnvironment();
    xcb.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    xcb.insert(QStringLiteral("DISPLAY"), x.display());
    const std::optional<Figures> onX = measure(xcb, runs, ondrelArgs);
    if (!onX)
        return 1;
    report(out, QStringLiteral("xcb (Xvfb %1)").arg(x.display()), *onX, ondrelArgs);
    out << "summary: ratio ondrel / bare window: offscreen " << QString::number(off->tool / off->bare, 'f', 2)
        << ", Xvfb " << QString::number(onX->tool / onX->bare, 'f', 2) << " (target <= 2.00)\n";
    return 0;
#endif
}
