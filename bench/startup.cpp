// Start-up time of `ondrel` against a bare Qt window, as ratios measured in
// one run: until each says its window is on screen (the start-up), and until
// each has left. On two platforms: the offscreen platform and an X server
// (an Xvfb this program starts itself, the X platform users run). On each,
// the programs are started alternately, several times, and the medians
// compared.
//   bench_startup [runs] [ondrel arguments...]
// Default arguments open the bundled demo when it exists.
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

// A start-up's two figures: until the program says its window is on screen
// (a line "window on screen" on its standard output), and until it has left.
struct Times {
    double shown = -1, exited = -1;
};

Times timeRun(const QString& program, const QStringList& args, const QProcessEnvironment& env) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer t;
    t.start();
    p.start(program, args);
    Times times;
    QByteArray said;
    while (times.shown < 0 && p.waitForReadyRead(60000)) {
        said += p.readAllStandardOutput();
        if (said.contains("window on screen"))
            times.shown = t.nsecsElapsed() / 1e6;
    }
    if (!p.waitForFinished(60000) || p.exitCode() != 0 || times.shown < 0) {
        std::fprintf(stderr, "%s failed (exit %d)\n", qPrintable(program), p.exitCode());
        return {};
    }
    times.exited = t.nsecsElapsed() / 1e6;
    return times;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

struct Figures {
    double bare = 0, text = 0, tool = 0;
};

// Medians to the window on screen (the start-up) and to the exit.
struct Measured {
    Figures shown, exited;
};

std::optional<Measured> measure(const QProcessEnvironment& env, int runs, const QStringList& ondrelArgs) {
    std::vector<double> bare[2], text[2], tool[2];
    // One warm-up of each so that all start from a warm file cache.
    timeRun(BARE_WINDOW, {}, env);
    timeRun(BARE_WINDOW, {"--text"}, env);
    timeRun(ONDREL_BIN, ondrelArgs, env);
    for (int i = 0; i < runs; ++i) {
        const Times b = timeRun(BARE_WINDOW, {}, env);
        const Times t = timeRun(BARE_WINDOW, {"--text"}, env);
        const Times o = timeRun(ONDREL_BIN, ondrelArgs, env);
        if (b.exited < 0 || t.exited < 0 || o.exited < 0)
            return std::nullopt;
        bare[0].push_back(b.shown);
        text[0].push_back(t.shown);
        tool[0].push_back(o.shown);
        bare[1].push_back(b.exited);
        text[1].push_back(t.exited);
        tool[1].push_back(o.exited);
    }
    const auto figures = [&](int k) { return Figures{median(bare[k]), median(text[k]), median(tool[k])}; };
    return Measured{figures(0), figures(1)};
}

void report(QTextStream& out, const QString& platform, const Measured& m, const QStringList& ondrelArgs) {
    out << "platform: " << platform << "\n";
    const auto line = [&](const char* what, const Figures& f, const char* target) {
        out << "  " << what << ": bare Qt window " << QString::number(f.bare, 'f', 1) << " ms, with one label "
            << QString::number(f.text, 'f', 1) << " ms, ondrel " << QString::number(f.tool, 'f', 1) << " ms\n";
        out << "    ratio ondrel / bare window: " << QString::number(f.tool / f.bare, 'f', 2) << target
            << "; / bare window with text: " << QString::number(f.tool / f.text, 'f', 2) << "\n";
    };
    out << "  ondrel " << ondrelArgs.join(' ') << "\n";
    line("start-up (median until the window is on screen)", m.shown, " (target <= 2.00)");
    line("start and exit (median until the program has left)", m.exited, "");
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

    // The tool's settings of its own: a window size the user left behind
    // would change what is drawn at start-up.
    QTemporaryDir settings;
    if (!settings.isValid())
        return 1;
    QProcessEnvironment base = QProcessEnvironment::systemEnvironment();
    base.insert(QStringLiteral("ONDREL_SETTINGS_DIR"), settings.path());
    QProcessEnvironment offscreen = base;
    offscreen.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    const std::optional<Measured> off = measure(offscreen, runs, ondrelArgs);
    if (!off)
        return 1;
    report(out, QStringLiteral("offscreen"), *off, ondrelArgs);

    XServer x;
    if (!x.start()) {
        out << "platform: xcb (Xvfb): not measured, no Xvfb could be started\n";
        return 0;
    }
    QProcessEnvironment xcb = base;
    xcb.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    xcb.insert(QStringLiteral("DISPLAY"), x.display());
    const std::optional<Measured> onX = measure(xcb, runs, ondrelArgs);
    if (!onX)
        return 1;
    report(out, QStringLiteral("xcb (Xvfb %1)").arg(x.display()), *onX, ondrelArgs);
    out << "summary: start-up ratio ondrel / bare window: offscreen "
        << QString::number(off->shown.tool / off->shown.bare, 'f', 2) << ", Xvfb "
        << QString::number(onX->shown.tool / onX->shown.bare, 'f', 2) << " (target <= 2.00); to the exit: offscreen "
        << QString::number(off->exited.tool / off->exited.bare, 'f', 2) << ", Xvfb "
        << QString::number(onX->exited.tool / onX->exited.bare, 'f', 2) << "\n";
    return 0;
#endif
}
