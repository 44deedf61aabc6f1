// Start-up time of `ondrel` against a bare Qt window, as a ratio measured in
// one run: both programs are started alternately, several times, on the same
// platform, and the medians compared.
//   bench_startup [runs] [ondrel arguments...]
// Default arguments open the bundled demo when it exists.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTextStream>

#include <algorithm>
#include <cstdio>

namespace {

double timeRun(const QString& program, const QStringList& args) {
    QProcess p;
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

}  // namespace

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

    std::vector<double> bare, text, tool;
    // One warm-up of each so that all start from a warm file cache.
    timeRun(BARE_WINDOW, {});
    timeRun(BARE_WINDOW, {"--text"});
    timeRun(ONDREL_BIN, ondrelArgs);
    for (int i = 0; i < runs; ++i) {
        const double b = timeRun(BARE_WINDOW, {});
        const double t = timeRun(BARE_WINDOW, {"--text"});
        const double o = timeRun(ONDREL_BIN, ondrelArgs);
        if (b < 0 || t < 0 || o < 0)
            return 1;
        bare.push_back(b);
        text.push_back(t);
        tool.push_back(o);
    }
    const double mb = median(bare), mt = median(text), mo = median(tool);
    QTextStream out(stdout);
    out << "platform: " << qEnvironmentVariable("QT_QPA_PLATFORM", "default") << ", runs: " << runs << "\n";
    out << "bare Qt window median: " << QString::number(mb, 'f', 1) << " ms\n";
    out << "ondrel " << ondrelArgs.join(' ') << " median: " << QString::number(mo, 'f', 1) << " ms\n";
    out << "bare Qt window with one label median: " << QString::number(mt, 'f', 1) << " ms\n";
    out << "ratio ondrel / bare window: " << QString::number(mo / mb, 'f', 2) << " (target <= 2.00)\n";
    out << "ratio ondrel / bare window with text: " << QString::number(mo / mt, 'f', 2) << "\n";
    return 0;
#endif
}
