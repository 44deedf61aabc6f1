// Loading a simulator-like VCD: the reader against GTKWave, in one run.
//
// Writes a dump into a temporary folder that goes with the run: 64 one-bit
// signals of random activity and 8 32-bit buses, all x at time 0, a 1 ps
// timescale, changes at irregular times, about 700 MB (--mb N to change).
// Then loads it in a child process (once with one worker, once with two),
// printing MB/s, peak resident memory, the store's bytes and the time of a
// zoom-fit walk (what the painter asks of the store for 1600 pixel columns
// of every signal); and, when gtkwave is installed, runs it under xvfb-run
// with a script that quits (-S), on a tiny dump for its start-up, on this
// one, and on this one with every signal shown and zoomed to fit. Figures
// for both sides come from /usr/bin/time (wall time, peak RSS).
//
//   bench_vcdload [--mb N] [--keep] [--no-gtkwave]
//                                        (--keep: leave the folder, say where)
//   bench_vcdload --load FILE THREADS    (the child: one load, its figures)
#include "changestore.h"
#include "vcdreader.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <unistd.h>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

qint64 procStatusKb(const char* key) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : f.readAll().split('\n'))
        if (line.startsWith(key))
            return line.mid(int(strlen(key))).trimmed().split(' ').first().toLongLong();
    return -1;
}

int childLoad(const QString& path, int threads) {
    const qint64 rssBefore = procStatusKb("VmRSS:");
    VcdReader::Options o;
    o.threads = threads;
    QString error;
    QElapsedTimer timer;
    timer.start();
    const auto store = VcdReader::read(path, o, &error);
    const double loadS = timer.nsecsElapsed() / 1e9;
    if (!store) {
        fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    // The zoom-fit walk: per signal and pixel column, the value at its
    // start and whether it changes inside it.
    constexpr int kColumns = 1600;
    timer.restart();
    qint64 busy = 0;
    const qint64 end = std::max<qint64>(store->endTime, 1);
    for (int s = 0; s < store->numSignals(); ++s)
        for (int x = 0; x < kColumns; ++x) {
            const qint64 t0 = end * x / kColumns, t1 = end * (x + 1) / kColumns;
            const ChangeStore::Change v = store->valueAt(s, t0);
            const qint64 n = store->nextChange(s, t0);
            busy += (n >= 0 && n < t1) + v.bits.size();
        }
    const double walkMs = timer.nsecsElapsed() / 1e6;
    printf("load_s %.3f store_bytes %lld changes %lld walk_ms %.1f rss_before_kb %lld hwm_kb %lld check %lld\n", loadS,
           (long long)store->storageBytes(), (long long)store->totalChanges(), walkMs, (long long)rssBefore,
           (long long)procStatusKb("VmHWM:"), (long long)busy);
    return 0;
}

// Runs a command line, returns its output (stdout and stderr).
QByteArray run(const QString& command) {
    QByteArray out;
    FILE* p = popen(command.toLocal8Bit().constData(), "r");
    if (!p)
        return out;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, int(n));
    pclose(p);
    return out;
}

// "TIME wall maxrss" as /usr/bin/time -f prints it.
bool timeLine(const QByteArray& out, double* wall, double* rssMb) {
    for (const QByteArray& line : out.split('\n'))
        if (line.startsWith("TIME ")) {
            const QList<QByteArray> w = line.split(' ');
            *wall = w.value(1).toDouble();
            *rssMb = w.value(2).toDouble() / 1024.0;
            return true;
        }
    return false;
}

QByteArray field(const QByteArray& out, const char* key) {
    const QList<QByteArray> w = out.simplified().split(' ');
    const int i = int(w.indexOf(QByteArray(key)));
    return i >= 0 ? w.value(i + 1) : QByteArray();
}

QString q(const QString& s) {
    return QLatin1Char('\'') + QString(s).replace(QLatin1Char('\''), QLatin1String("'\\''")) + QLatin1Char('\'');
}

// The dump: what a simulator of a small design writes.
qint64 generate(const QString& path, qint64 targetBytes, qint64* steps) {
    FILE* f = fopen(QFile::encodeName(path).constData(), "wb");
    if (!f)
        return -1;
    constexpr int kBits = 64, kBuses = 8;
    std::string out;
    out += "$date today $end\n$version bench_vcdload $end\n$timescale 1ps $end\n$scope module top $end\n";
    auto id = [](int i) { return std::string(1, char('!' + i)); };
    for (int i = 0; i < kBits; ++i)
        out += "$var wire 1 " + id(i) + " bit" + std::to_string(i) + " $end\n";
    out += "$scope module core $end\n";
    for (int i = 0; i < kBuses; ++i)
        out += "$var reg 32 " + id(kBits + i) + " bus" + std::to_string(i) + " [31:0] $end\n";
    out += "$upscope $end\n$upscope $end\n$enddefinitions $end\n#0\n$dumpvars\n";
    for (int i = 0; i < kBits; ++i)
        out += "x" + id(i) + "\n";
    for (int i = 0; i < kBuses; ++i)
        out += "bx " + id(kBits + i) + "\n";
    out += "$end\n";
    quint64 rng = 0x9E3779B97F4A7C15ull;
    auto next = [&] {
        rng ^= rng << 13;
        rng ^= rng >> 7;
        rng ^= rng << 17;
        return rng;
    };
    // Each signal's chance to change at a step, out of 1024: a few busy
    // bits (clocks, strobes), most quiet; the buses busy (data paths).
    int chance[kBits + kBuses];
    for (int i = 0; i < kBits + kBuses; ++i)
        chance[i] = i < 4 ? 1024 : i < kBits ? int(next() % 200) + 8 : int(next() % 400) + 400;
    bool level[kBits] = {};
    qint64 written = 0, t = 0;
    *steps = 0;
    char num[40];
    while (written + qint64(out.size()) < targetBytes) {
        t += qint64(next() % 997) + 1;
        out += '#';
        out += std::to_string(t);
        out += '\n';
        ++*steps;
        for (int i = 0; i < kBits + kBuses; ++i) {
            if (int(next() % 1024) >= chance[i])
                continue;
            if (i < kBits) {
                level[i] = !level[i];
                out += level[i] ? '1' : '0';
            } else {
                const quint32 v = quint32(next());
                int n = 0;
                for (int b = 31; b >= 0; --b)
                    if (n || (v >> b) & 1 || b == 0)
                        num[n++] = (v >> b) & 1 ? '1' : '0';
                out += 'b';
                out.append(num, size_t(n));
                out += ' ';
            }
            out += id(i);
            out += '\n';
        }
        if (out.size() > (4u << 20)) {
            if (fwrite(out.data(), 1, out.size(), f) != out.size())
                return -1;
            written += qint64(out.size());
            out.clear();
        }
    }
    if (fwrite(out.data(), 1, out.size(), f) != out.size())
        return -1;
    written += qint64(out.size());
    return fclose(f) == 0 ? written : -1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    setvbuf(stdout, nullptr, _IOLBF, 0); // each figure as soon as it is known
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == QLatin1String("--load"))
        return childLoad(args[2], args[3].toInt());
    qint64 mb = 700;
    bool keep = false, compare = true;
    for (int i = 1; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--mb") && i + 1 < args.size())
            mb = args[++i].toLongLong();
        else if (args[i] == QLatin1String("--keep"))
            keep = true;
        else if (args[i] == QLatin1String("--no-gtkwave"))
            compare = false;
        else {
            fprintf(stderr, "usage: bench_vcdload [--mb N] [--keep] [--no-gtkwave]\n");
            return 2;
        }
    }
    const QString timeBin = QStringLiteral("/usr/bin/time");
    if (!QFile::exists(timeBin)) {
        fprintf(stderr, "bench_vcdload needs /usr/bin/time (package time)\n");
        return 1;
    }
    QTemporaryDir dir;
    dir.setAutoRemove(!keep);
    const QString vcd = dir.filePath(QStringLiteral("sim.vcd"));
    QElapsedTimer timer;
    timer.start();
    qint64 steps = 0;
    const qint64 bytes = generate(vcd, mb << 20, &steps);
    if (bytes < 0) {
        fprintf(stderr, "cannot write %s\n", qPrintable(vcd));
        return 1;
    }
    const double fileMb = bytes / 1048576.0;
    printf("dump: %.0f MB, 72 signals, %lld time steps, written in %.1f s%s%s\n", fileMb, (long long)steps,
           timer.nsecsElapsed() / 1e9, keep ? ", kept in " : "", keep ? qPrintable(dir.path()) : "");

    const QString self = QCoreApplication::applicationFilePath();
    double ourLoad[3] = {}, ourRss[3] = {};
    for (int threads : {1, 2}) {
        const QByteArray out =
            run(QStringLiteral("%1 -f 'TIME %e %M' %2 --load %3 %4 2>&1").arg(timeBin, q(self), q(vcd)).arg(threads));
        double wall = 0, rss = 0;
        if (!timeLine(out, &wall, &rss) || field(out, "load_s").isEmpty()) {
            fprintf(stderr, "the load failed: %s\n", out.constData());
            return 1;
        }
        ourLoad[threads] = field(out, "load_s").toDouble();
        ourRss[threads] = rss;
        printf(
            "ondrel, %d worker%s: load %.2f s (%.0f MB/s), peak RSS %.0f MB (%.0f MB before loading), "
            "store %.0f MB for %lld changes (%.1f bytes a change, %.0f%% of the file), zoom-fit walk %s ms\n",
            threads, threads > 1 ? "s" : "", ourLoad[threads], fileMb / ourLoad[threads], rss,
            field(out, "rss_before_kb").toDouble() / 1024, field(out, "store_bytes").toDouble() / 1048576,
            field(out, "changes").toLongLong(),
            field(out, "store_bytes").toDouble() / std::max(1.0, field(out, "changes").toDouble()),
            100.0 * field(out, "store_bytes").toDouble() / double(bytes), field(out, "walk_ms").constData());
    }
    printf("two workers against one: %.2fx the speed\n", ourLoad[1] / ourLoad[2]);

    const QString gtkwave = QStandardPaths::findExecutable(QStringLiteral("gtkwave"));
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
    if (!compare)
        return 0;
    if (gtkwave.isEmpty() || xvfb.isEmpty()) {
        printf("gtkwave or xvfb-run is not installed: no comparison\n");
        return 0;
    }
    const QString quit = dir.filePath(QStringLiteral("quit.tcl"));
    const QString fit = dir.filePath(QStringLiteral("fit.tcl"));
    const QString tiny = dir.filePath(QStringLiteral("tiny.vcd"));
    {
        QFile f(quit);
        f.open(QIODevice::WriteOnly);
        f.write("gtkwave::/File/Quit\n");
    }
    {
        QFile f(fit);
        f.open(QIODevice::WriteOnly);
        f.write(
            "set sigs {}\n"
            "for {set i 0} {$i < [gtkwave::getNumFacs]} {incr i} {lappend sigs [gtkwave::getFacName $i]}\n"
            "gtkwave::addSignalsFromList $sigs\n"
            "gtkwave::/Time/Zoom/Zoom_Best_Fit\n"
            "update\n"
            "gtkwave::/File/Quit\n");
    }
    {
        QFile f(tiny);
        f.open(QIODevice::WriteOnly);
        f.write("$timescale 1ps $end\n$var wire 1 ! a $end\n$enddefinitions $end\n#0\n0!\n#10\n1!\n");
    }
    auto gtk = [&](const QString& script, const QString& file, double* wall, double* rss) {
        const QByteArray out =
            run(QStringLiteral("%1 -a -s '-screen 0 1600x1000x24' %2 -f 'TIME %e %M' %3 -S %4 %5 2>&1")
                    .arg(q(xvfb), timeBin, q(gtkwave), q(script), q(file)));
        if (!timeLine(out, wall, rss)) {
            fprintf(stderr, "gtkwave did not run: %s\n", out.right(2000).constData());
            return false;
        }
        return true;
    };
    double startWall = 0, startRss = 0, loadWall = 0, loadRss = 0, fitWall = 0, fitRss = 0;
    if (!gtk(quit, tiny, &startWall, &startRss) || !gtk(quit, vcd, &loadWall, &loadRss) ||
        !gtk(fit, vcd, &fitWall, &fitRss))
        return 1;
    const double gtkLoad = std::max(0.01, loadWall - startWall);
    printf(
        "gtkwave: start-up and quit %.2f s; load and quit %.2f s (load %.2f s, %.0f MB/s), peak RSS %.0f MB; "
        "with every signal shown and zoomed to fit %.2f s (%.2f s more), peak RSS %.0f MB\n",
        startWall, loadWall, gtkLoad, fileMb / gtkLoad, loadRss, fitWall, fitWall - loadWall, fitRss);
    printf("ratio: ondrel loads %.1fx as fast as gtkwave (goal 3x) with %.2fx its peak memory (goal at most 1x)\n",
           gtkLoad / ourLoad[2], ourRss[2] / loadRss);
    return 0;
}
