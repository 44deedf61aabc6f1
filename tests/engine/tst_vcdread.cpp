// The VCD reader and its store: a simulator's own dump read and searched at
// each time its testbench printed, written back and compared change by
// change; a generated dump with every kind of value read in small blocks
// by one and two workers against the model that generated it; and files
// that are damaged, hostile or not files at all.

#include "enginetest.h"

#include "changestore.h"
#include "vcdreader.h"

#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace Qt::StringLiterals;

namespace {

using Changes = QVector<ChangeStore::Change>;

Changes allChanges(const ChangeStore& s, int signal) {
    Changes out;
    s.changes(signal, 0, std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::max(), &out);
    return out;
}

bool sameChanges(const Changes& a, const Changes& b, QString* why) {
    if (a.size() != b.size()) {
        *why = u"%1 changes against %2"_s.arg(a.size()).arg(b.size());
        return false;
    }
    for (int i = 0; i < a.size(); ++i)
        if (a[i].time != b[i].time || a[i].bits != b[i].bits || a[i].real != b[i].real) {
            *why = u"change %1: %2 %3 against %4 %5"_s.arg(i)
                       .arg(a[i].time)
                       .arg(QString::fromLatin1(a[i].bits) + QString::number(a[i].real))
                       .arg(b[i].time)
                       .arg(QString::fromLatin1(b[i].bits) + QString::number(b[i].real));
            return false;
        }
    return true;
}

// A generated dump and the changes it holds, signal by signal.
struct Model {
    QByteArray vcd;
    QVector<int> widths; // 0: real
    QVector<Changes> changes;
};

Model generate(quint32 seed) {
    QRandomGenerator rng(seed);
    Model m;
    m.widths = {1, 1, 1, 8, 32, 100, 0, 1, 3, 64};
    QByteArray h = "$date today $end\n$timescale 10 ns $end\n$scope module top $end\n";
    for (int s = 0; s < m.widths.size(); ++s) {
        if (s == 5)
            h += "$scope begin inner $end\n";
        const int w = m.widths[s];
        h += "$var " +
             QByteArray(w == 0   ? "real"
                        : w == 1 ? "wire"
                                 : "reg") +
             ' ' + QByteArray::number(w == 0 ? 64 : w) + " s" + QByteArray::number(s) + " sig" + QByteArray::number(s) +
             (w > 1 ? " [" + QByteArray::number(w - 1) + ":0]" : QByteArray()) + " $end\n";
    }
    h += "$upscope $end\n$upscope $end\n$enddefinitions $end\n";
    m.changes.resize(m.widths.size());
    const char kChars[] = "01xz";
    QByteArray body;
    qint64 t = 0;
    for (int step = 0; step < 3000; ++step) {
        body += '#' + QByteArray::number(t) + '\n';
        if (step == 0)
            body += "$dumpvars\n";
        if (step == 1000)
            body += "$comment a note\n#999 that looks like a time\n$end\n";
        for (int s = 0; s < m.widths.size(); ++s) {
            if (step > 0 && rng.bounded(3) != 0)
                continue;
            const int w = m.widths[s];
            ChangeStore::Change c;
            c.time = t;
            const QByteArray id = " s" + QByteArray::number(s) + '\n';
            if (w == 0) {
                c.real = rng.generateDouble() * 1e6 - 5e5;
                body += 'r' + QByteArray::number(c.real, 'g', 17) + id;
            } else {
                const bool four = rng.bounded(4) == 0;
                for (int i = 0; i < w; ++i)
                    c.bits += kChars[rng.bounded(four ? 4 : 2)];
                if (rng.bounded(5) == 0) // a value that extends itself
                    c.bits = QByteArray(w - 1, c.bits.at(0) == '1' ? '0' : c.bits.at(0)) + c.bits.right(1);
                QByteArray shown = c.bits;
                while (shown.size() > 1 && shown.at(0) == '0' && (shown.at(1) == '0' || shown.at(1) == '1'))
                    shown.remove(0, 1);
                while (shown.size() > 1 && (shown.at(0) == 'x' || shown.at(0) == 'z') && shown.at(1) == shown.at(0))
                    shown.remove(0, 1);
                if (w == 1 && rng.bounded(2))
                    body += shown.toUpper() + id.mid(1);
                else
                    body += (rng.bounded(2) ? "b" : "B") + shown + id;
            }
            m.changes[s].append(c);
        }
        if (step == 0)
            body += "$end\n";
        if (step == 2000)
            body += "$dumpoff\n$dumpon\n";
        // Gaps of every size, one past 2^40 and one to near 2^62.
        t += step == 1500   ? (qint64(1) << 40)
             : step == 2999 ? 0
             : step == 2998 ? (qint64(1) << 62)
                            : rng.bounded(1, 200);
    }
    m.vcd = h + body;
    return m;
}

QString model(const Model& m, const ChangeStore& s, qint64 end) {
    if (s.numSignals() != m.widths.size())
        return u"%1 signals"_s.arg(s.numSignals());
    QString why;
    for (int sig = 0; sig < s.numSignals(); ++sig)
        if (!sameChanges(allChanges(s, sig), m.changes[sig], &why))
            return u"signal %1: %2"_s.arg(sig).arg(why);
    // Look-ups at times on, between and around changes, against the model.
    QRandomGenerator rng(7);
    for (int k = 0; k < 2000; ++k) {
        const int sig = int(rng.bounded(m.widths.size()));
        const Changes& c = m.changes[sig];
        qint64 t = c[int(rng.bounded(c.size()))].time + qint64(rng.bounded(3)) - 1;
        if (k % 10 == 0)
            t = qint64(rng.generate64() % quint64(end));
        int last = -1;
        for (int i = 0; i < c.size() && c[i].time <= t; ++i)
            last = i;
        const qint64 next = last + 1 < c.size() ? c[last + 1].time : -1;
        const qint64 prev = last >= 0 ? c[last].time : -1;
        if (s.nextChange(sig, t) != next || s.prevChange(sig, t) != prev)
            return u"signal %1 at %2: next %3 prev %4, expected %5 %6"_s.arg(sig)
                .arg(t)
                .arg(s.nextChange(sig, t))
                .arg(s.prevChange(sig, t))
                .arg(next)
                .arg(prev);
        const ChangeStore::Change v = s.valueAt(sig, t);
        const bool good = last < 0 ? (m.widths[sig] == 0 ? v.real == 0 : v.bits == QByteArray(m.widths[sig], 'x'))
                                   : v.bits == c[last].bits && v.real == c[last].real;
        if (!good)
            return u"signal %1 at %2: value %3"_s.arg(sig).arg(t).arg(QString::fromLatin1(v.bits));
    }
    // Searches, checked against the model's value at every time that
    // could answer: `from` and each change.
    for (int k = 0; k < 200; ++k) {
        const int sig = int(rng.bounded(m.widths.size()));
        const Changes& c = m.changes[sig];
        auto at = [&](qint64 t) {
            const auto after = std::upper_bound(c.begin(), c.end(), t,
                                                [](qint64 v, const ChangeStore::Change& x) { return v < x.time; });
            if (after != c.begin())
                return *(after - 1);
            ChangeStore::Change v;
            if (m.widths[sig] > 0)
                v.bits = QByteArray(m.widths[sig], 'x');
            return v;
        };
        const ChangeStore::Change want = k % 5 == 0 ? at(-1) : c[int(rng.bounded(c.size()))];
        auto reads = [&](qint64 t) { return t >= 0 && at(t).bits == want.bits && at(t).real == want.real; };
        const qint64 from = c[int(rng.bounded(c.size()))].time + qint64(rng.bounded(3)) - 1;
        for (bool backward : {false, true}) {
            const qint64 r = m.widths[sig] == 0 ? s.findReal(sig, want.real, std::max<qint64>(from, 0), backward, end)
                                                : s.findBits(sig, want.bits, std::max<qint64>(from, 0), backward, end);
            const qint64 f = std::max<qint64>(from, 0);
            QVector<qint64> between{f}; // times the answer must not skip
            for (const auto& ch : c) {
                if (!backward && ch.time > f && (r < 0 || ch.time < r))
                    between << ch.time;
                if (backward && ch.time <= f && ch.time > r + 1)
                    between << ch.time << ch.time - 1;
            }
            if (backward && r >= 0)
                between << r + 1;
            bool bad = r >= 0 && (!reads(r) || (backward ? r > f : r < f));
            for (qint64 t : between)
                bad = bad || (t != r && (backward ? t <= f && t > r : t >= f) && reads(t));
            if (bad)
                return u"signal %1: search %2 from %3 gave %4"_s.arg(sig).arg(backward).arg(f).arg(r);
        }
    }
    return QString();
}

} // namespace

class TestVcdRead : public QObject {
    Q_OBJECT

private slots:
    void icarusDesign();
    void generatedDump();
    void hostileFiles();

private:
    TclSession m_tcl;
};

// The testbench strobes its values at the end of each time step it checks;
// the dump Icarus wrote must give each of them at that time, and written
// back, the same changes signal by signal.
void TestVcdRead::icarusDesign() {
    const QString iverilog = QStandardPaths::findExecutable(u"iverilog"_s);
    const QString vvp = QStandardPaths::findExecutable(u"vvp"_s);
    if (iverilog.isEmpty() || vvp.isEmpty())
        QSKIP("iverilog and vvp are not installed: the simulator's dump is not tested");
    QTemporaryDir dir;
    QProcess p;
    p.setWorkingDirectory(dir.path());
    p.start(iverilog, {u"-o"_s, u"tb.vvp"_s, QStringLiteral(ONDREL_SOURCE_DIR "/tests/engine/data/vcd_tb.v")});
    QVERIFY(p.waitForFinished(60000) && p.exitCode() == 0);
    p.start(vvp, {u"-n"_s, u"tb.vvp"_s});
    QVERIFY(p.waitForFinished(60000) && p.exitCode() == 0);
    const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'));
    const QString vcd = dir.filePath(u"vcd_tb.vcd"_s);

    QVERIFY2(m_tcl.call({"ona_open_waveform", vcd}), qPrintable(m_tcl.result()));
    QCOMPARE(m_tcl.dictGet(u"ona_get waveform"_s, u"timescale"_s), u"1ps"_s);
    QCOMPARE(m_tcl.dictGet(u"ona_get waveform"_s, u"partial"_s), u"0"_s);
    QVERIFY(
        m_tcl.eval(u"lmap v [dict get [ona_get waveform] vars] {list [dict get $v name] "
                   "[dict get $v width] [dict get $v kind]}"_s));
    for (const char* var : {"tb.count 8 wire", "tb.level 64 real", "tb.step 32 integer", "tb.dut.count 8 reg",
                            "tb.sh.state 4 reg", "tb.dut.en 1 wire"})
        QVERIFY2(m_tcl.result().contains(QLatin1String(var)), var);

    int checks = 0;
    for (const QString& line : lines) {
        const QStringList w = line.split(QLatin1Char(' '));
        if (w.size() != 4 || (w[0] != QLatin1String("CHECK") && w[0] != QLatin1String("REAL")))
            continue;
        const QString at = u"%1 at %2"_s.arg(w[2], w[1]);
        QVERIFY2(m_tcl.call({"ona_get", "waveform", "-var", w[2], "-at", w[1]}), qPrintable(m_tcl.result()));
        if (w[0] == QLatin1String("REAL")) {
            QVERIFY2(qAbs(m_tcl.result().toDouble() - w[3].toDouble()) < 1e-9, qPrintable(at));
            QVERIFY2(m_tcl.call({"ona_find", "-waveform", "-signal", w[2], "-value", w[3], "-from", w[1]}) &&
                         m_tcl.result() == w[1],
                     qPrintable(at + QLatin1String(" found at ") + m_tcl.result()));
        } else {
            QVERIFY2(m_tcl.result() == w[3], qPrintable(at + QLatin1String(" reads ") + m_tcl.result()));
            QVERIFY2(m_tcl.call({"ona_find", "-waveform", "-signal", w[2], "-value", w[3], "-from", w[1]}) &&
                         m_tcl.result() == w[1],
                     qPrintable(at + QLatin1String(" found at ") + m_tcl.result()));
            // Searching back from the end finds it too: at or after its time.
            QVERIFY2(m_tcl.call({"ona_find", "-waveform", "-signal", w[2], "-value", w[3], "-backward"}) &&
                         m_tcl.result().toLongLong() >= w[1].toLongLong(),
                     qPrintable(at + QLatin1String(" found back at ") + m_tcl.result()));
        }
        ++checks;
    }
    QCOMPARE(checks, 5 * 17);
    // Four-state values and the other radixes.
    QVERIFY(m_tcl
                .steps({{"ona_find -waveform -signal tb.q -value z", "0"},
                        {"ona_find -waveform -signal tb.q -value 1?1? -from 1", "*"},
                        {"ona_find -waveform -signal tb.count -value x", "0"},
                        {"ona_find -waveform -signal tb.count -value 0A -radix Hex", "*"},
                        {"expr {[ona_find -waveform -signal tb.count -value 10 -radix Dec] == "
                         "[ona_find -waveform -signal tb.count -value 1010]}",
                         "1"},
                        {"ona_find -waveform -signal tb.count -value 256 -radix Dec", "error: does not fit in 8 bits"},
                        {"ona_find -waveform -signal tb.count -value 12 -radix Oct", "error: Bin, Hex or Dec"},
                        {"ona_find -waveform -signal tb.nothing -value 1", "error: no variable \"tb.nothing\""},
                        {"ona_find -waveform -signal tb.q -value 1 -from", "error: wrong # args"},
                        {"ona_find -waveform -colour red -signal", "error: ona_find: unknown option \"-colour\": "
                                                                   "expected -waveform, -signal, -value, -radix, -from "
                                                                   "or -backward"},
                        {"ona_get waveform -var tb.rst", "0 1 10 0"},
                        {"ona_get waveform -var tb.en -from 11 -to 12", "12 1"},
                        {"ona_get waveform -var tb.en -to -3", "error: -to takes a time of the file"},
                        {"ona_get waveform -var tb.en -at 12", "1"}})
                .isEmpty());

    // Written back: the same changes, variable by variable; and as many as
    // the dump has value-change lines (aliases share one signal).
    const QString back = dir.filePath(u"back.vcd"_s);
    QVERIFY2(m_tcl.call({"ona_export_project", "-vcd", back, "-waveform"}), qPrintable(m_tcl.result()));
    QString error;
    const auto a = VcdReader::read(vcd, {}, &error);
    const auto b = VcdReader::read(back, {}, &error);
    QVERIFY2(a && b, qPrintable(error));
    QCOMPARE(b->numVars(), a->numVars());
    QCOMPARE(b->numSignals(), a->numSignals());
    QCOMPARE(b->timeUnit, a->timeUnit);
    for (const ChangeStore::Var& v : a->vars()) {
        const int other = b->varNamed(v.name);
        QVERIFY2(other >= 0, qPrintable(v.name));
        QString why;
        QVERIFY2(sameChanges(allChanges(*a, v.signal), allChanges(*b, b->var(other).signal), &why),
                 qPrintable(v.name + QLatin1String(": ") + why));
    }
    qint64 changeLines = 0;
    bool body = false;
    for (const QByteArray& l : readAll(vcd).split('\n')) {
        body = body || l.startsWith("$enddefinitions");
        changeLines += body && !l.isEmpty() && QByteArray("01xzbr").contains(l.at(0));
    }
    QCOMPARE(a->totalChanges(), changeLines);
}

// Small blocks cut the dump at many time steps, in a $comment too; one and
// two workers must give the model's changes exactly.
void TestVcdRead::generatedDump() {
    const Model m = generate(1);
    for (int threads : {1, 2}) {
        VcdReader::Options o;
        o.threads = threads;
        o.blockBytes = 4096;
        qint64 lastDone = 0, calls = 0;
        o.progress = [&](qint64 done, qint64 total) {
            QVERIFY(done >= lastDone && done <= total);
            lastDone = done;
            ++calls;
        };
        QString error;
        const auto s = VcdReader::readBytes(m.vcd, u"gen.vcd"_s, o, &error);
        QVERIFY2(s, qPrintable(error));
        QCOMPARE(s->timeMagnitude, 10);
        QCOMPARE(s->timeUnit, u"ns"_s);
        QCOMPARE(s->var(5).name, u"top.inner.sig5"_s);
        QVERIFY(calls > 10);
        QCOMPARE(lastDone, qint64(m.vcd.size()));
        const QString bad = model(m, *s, s->endTime);
        QVERIFY2(bad.isEmpty(), qPrintable(u"%1 threads: %2"_s.arg(threads).arg(bad)));
    }
    // A time that goes back where a block begins: found where the blocks
    // meet, with its line and byte, and the partial store ends before it.
    QByteArray back = "$var wire 1 ! a $end\n$enddefinitions $end\n";
    for (int t = 0; t < 10000; ++t) // past the header's first read of 64 KiB
        back += "#" + QByteArray::number(t * 10) + "\n" + QByteArray::number(t % 2) + "!\n";
    const int at = back.size();
    back += "#5\n1!\n\x1a\n"; // the time is the first fault, not the byte after it
    for (int t = 0; t < 50; ++t)
        back += "#" + QByteArray::number(3000 + t) + "\n" + QByteArray::number(t % 2) + "!\n";
    for (int blockBytes = 64; blockBytes < 128; ++blockBytes) { // some cut at "#5"
        VcdReader::Options o;
        o.blockBytes = blockBytes;
        o.keepPartial = true;
        o.threads = 1; // the blocks meet in the same merge; no thread a block
        QString error;
        const auto s = VcdReader::readBytes(back, u"back.vcd"_s, o, &error);
        QVERIFY(s && s->partial);
        QCOMPARE(error, u"back.vcd: line 20003, byte %1: time 5 goes back from 99990"_s.arg(at));
        QCOMPARE(s->endTime, qint64(99990));
        QCOMPARE(s->numChanges(0), qint64(10000));
    }
    // A cancel ends the reading, partial when asked.
    std::atomic<bool> cancel{false};
    VcdReader::Options o;
    o.blockBytes = 4096;
    o.cancel = &cancel;
    o.progress = [&](qint64, qint64) { cancel = true; };
    QString error;
    QVERIFY(!VcdReader::readBytes(m.vcd, u"gen.vcd"_s, o, &error));
    cancel = false;
    QVERIFY2(error.contains(QLatin1String("cancelled")), qPrintable(error));
    o.keepPartial = true;
    const auto part = VcdReader::readBytes(m.vcd, u"gen.vcd"_s, o, &error);
    QVERIFY(part && part->partial && part->totalChanges() > 0 && part->error.contains(QLatin1String("cancelled")));
}

// Every fault names its line and byte; nothing crashes; a refused file
// leaves the waveform open before as it was.
void TestVcdRead::hostileFiles() {
    QTemporaryDir dir;
    const QByteArray head =
        "$timescale 1ps $end\n$scope module m $end\n$var wire 1 ! a $end\n"
        "$var wire 4 \" v [3:0] $end\n$upscope $end\n$enddefinitions $end\n";
    const QString good = dir.filePath(u"good.vcd"_s);
    writeAll(good, head + "#0\n0!\n#5\n1!\n");
    QVERIFY2(m_tcl.call({"ona_open_waveform", good}), qPrintable(m_tcl.result()));
    const QList<std::tuple<const char*, QByteArray, const char*>> cases = {
        {"backwards", head + "#0\n0!\n#10\n1!\n#5\n0!\n", "line 11, byte 137: time 5 goes back from 10"},
        {"unknown id", head + "#0\n0!\n1?\n", "line 9, byte 130: unknown identifier \"?\""},
        {"wide var", "$var wire 1000000 ! w $end\n", "line 1, byte 0: a width of 1000000 bits is more than 65536"},
        {"10 GB width", "$var wire 80000000000 ! w $end\n", "line 1, byte 0: a width of 80000000000 bits"},
        {"huge width", "$var wire 999999999999999999999999 ! w $end\n", "a width of 999999999999999999999999"},
        {"garbage",
         QByteArray("\x7f"
                    "ELF\x02\x01\x01\x00\x00\x00",
                    10),
         "line 1, byte 0: expected a $ keyword"},
        {"nul in body", head + QByteArray("#0\n0!\n\0\n", 9), "line 9, byte 130: \"\\x00\" is not a value change"},
        {"nul in name", QByteArray("$var wire 1 ! a\0b $end\n", 23), "line 1, byte 0: a control byte"},
        {"truncated header", head.left(60), "line 3, byte 41: the file ends inside $var"},
        {"no definitions end", "$timescale 1ps $end\n", "line 2, byte 20: the file ends in its header"},
        {"truncated change", head + "#0\nb101", "line 8, byte 127: the file ends inside a value change"},
        {"too many bits", head + "#0\nb10101 \"\n", "a value of 5 bits for a variable of 4"},
        {"bad digit", head + "#0\nb1021 \"\n", "\"b1021\" is not a binary value"},
        {"real for a bit", head + "#0\nr1.5 !\n", "a real value for the bit variable"},
        {"bad time", head + "#12ab\n", "\"#12ab\" is not a time"},
        {"open comment", head + "#0\n$comment no end\n", "the file ends inside $comment"},
        {"empty", "", "the file ends in its header"},
        {"bad timescale", "$timescale 3 ps $end\n", "\"3ps\" is not a timescale"},
        {"upscope", "$upscope $end\n", "$upscope without a $scope"},
        {"redeclared", "$var wire 1 ! a $end\n$var wire 2 ! b $end\n", "line 2, byte 21: identifier \"!\""},
    };
    for (const auto& [name, content, error] : cases) {
        const QString path = dir.filePath(u"hostile.vcd"_s);
        writeAll(path, content);
        QVERIFY2(!m_tcl.call({"ona_open_waveform", path}), name);
        QVERIFY2(m_tcl.result().contains(QLatin1String(error)),
                 qPrintable(name + QLatin1String(": ") + m_tcl.result()));
        QCOMPARE(m_tcl.dictGet(u"ona_get waveform"_s, u"file"_s), good);
    }
    // Partial when asked: what came before the fault, said so.
    const QString broken = dir.filePath(u"broken.vcd"_s);
    writeAll(broken, head + "#0\n0!\nb1 \"\n#10\n1!\n#5\n0!\n");
    QVERIFY2(m_tcl.call({"ona_open_waveform", broken, "-partial"}), qPrintable(m_tcl.result()));
    const QString partialSteps =
        m_tcl.steps({{"dict get [ona_get waveform] partial", "1"},
                     {"string match {*line 12, byte 142: time 5 goes back*} [dict get [ona_get waveform] error]", "1"},
                     {"ona_get waveform -var m.a", "0 0 10 1"},
                     {"ona_get waveform -var m.v", "0 0001"},
                     {"dict get [ona_get waveform] end", "10"}});
    QVERIFY2(partialSteps.isEmpty(), qPrintable(partialSteps));

    // Names with emoji and other scripts come through Tcl whole.
    const QString emoji = dir.filePath(u"名前-😀.vcd"_s);
    writeAll(emoji,
             "$scope module top😀 $end\n$var wire 1 ! señal_😀 $end\n$upscope $end\n$enddefinitions $end\n#0\n1!\n");
    QVERIFY2(m_tcl.call({"ona_open_waveform", emoji}), qPrintable(m_tcl.result()));
    QVERIFY(m_tcl.call({"ona_get", "waveform", "-var", u"top😀.señal_😀"_s}));
    QCOMPARE(m_tcl.result(), u"0 1"_s);

    // Not files: a folder, a FIFO (never waited on), a link to nothing; a
    // link to a file reads the file.
    const QString fifo = dir.filePath(u"fifo.vcd"_s);
    QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    const QString dangling = dir.filePath(u"dangling.vcd"_s);
    QVERIFY(QFile::link(dir.filePath(u"none"_s), dangling));
    const QString link = dir.filePath(u"link.vcd"_s);
    QVERIFY(QFile::link(good, link));
    QVERIFY(m_tcl
                .steps({{u"ona_open_waveform {%1}"_s.arg(dir.path()), "error: is a folder, not a file"},
                        {u"ona_open_waveform {%1}"_s.arg(fifo), "error: is not a regular file"},
                        {u"ona_open_waveform {%1}"_s.arg(dangling), "error: cannot open"},
                        {u"dict get [ona_open_waveform {%1}] changes"_s.arg(link), "2"},
                        {"ona_open_waveform", "error: wrong # args"},
                        {"ona_close_waveform", ""},
                        {"ona_get waveform", "error: no waveform is open"},
                        {"ona_find -waveform -signal m.a -value 1", "error: no waveform is open"},
                        {"ona_export_project -vcd x.vcd -waveform", "error: no waveform is open"}})
                .isEmpty());
}

QTEST_GUILESS_MAIN(TestVcdRead)
#include "tst_vcdread.moc"
