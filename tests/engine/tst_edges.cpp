// The engine at its edges: a full disk under every writer, pipes and devices
// where files are expected, text beyond the Basic Multilingual Plane and NUL
// through Tcl, saved captures that do not fit the design or the model, the
// status of a run just started, and echoes of huge input.

#include "enginetest.h"

#include "capturefile.h"
#include "safefile.h"
#include "tcltext.h"
#include "triggerumodel.h"
#include "waveformmodel.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QtTest>
#include <atomic>
#include <cstring>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

// Evaluates as the console does: the script in Tcl's own encoding, the
// result read back the same way.
bool consoleEval(TclSession& tcl, const QString& script, QString* result) {
    const QByteArray s = TclText::toTcl(script);
    const int code = Tcl_EvalEx(tcl.interp(), s.constData(), int(s.size()), TCL_EVAL_GLOBAL);
    *result = TclText::fromTcl(Tcl_GetStringResult(tcl.interp()));
    return code == TCL_OK;
}

QString quoted(const QString& text) {
    QString out;
    for (QChar c : text) {
        if (u"\\\"$[]"_s.contains(c))
            out += QLatin1Char('\\');
        out += c;
    }
    return QLatin1Char('"') + out + QLatin1Char('"');
}

QStringList filesIn(const QString& dir) {
    QStringList out;
    QDirIterator it(dir, QDir::Files | QDir::Hidden | QDir::System);
    while (it.hasNext())
        out << QFileInfo(it.next()).fileName();
    out.sort();
    return out;
}

void copyDemoTo(const QString& dir) {
    for (const char* name : {"demo.ona", "demo.onl"})
        QVERIFY(QFile::copy(QStringLiteral(ONDREL_SOURCE_DIR "/examples/demo/") + QLatin1String(name),
                            dir + QLatin1Char('/') + QLatin1String(name)));
}

void runDemoCapture(TclSession& tcl) {
    QVERIFY(
        tcl.eval("ona_set_core -name bus_la -run off; ona_set_core -name uart_la; "
                 "ona_set_te -name TE_start -enable on"));
    QVERIFY2(tcl.capture(), qPrintable(tcl.result()));
    QVERIFY(OnaData::inst()->getWDModel() && OnaData::inst()->getWDModel()->hasData());
}

// Opens each FIFO for writing while a reader waits on it, so that a reader
// that blocked comes back (late) instead of hanging the test.
class Unblocker {
public:
    explicit Unblocker(QStringList fifos)
        : m_thread([this, fifos] {
            while (!m_stop) {
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
                for (const QString& f : fifos) {
                    const int fd = ::open(QFile::encodeName(f).constData(), O_WRONLY | O_NONBLOCK);
                    if (fd >= 0)
                        ::close(fd);
                }
            }
        }) {}
    ~Unblocker() {
        m_stop = true;
        m_thread.join();
    }

private:
    std::atomic<bool> m_stop{false};
    std::thread m_thread;
};

} // namespace
class TestEdges : public DemoSession {
    Q_OBJECT
private slots:
    void init() { OnaData::inst()->resetData(); }
    void cleanup() {
        SafeFile::setSimulatedDeviceFull(false);
        OnaData::inst()->resetData();
    }
    // Every atomic writer on a full file system: the old file stays as it was,
    // the command fails with the system's reason and no temporary file is left.
    // A real small tmpfs where the machine lets us mount one, else the seam.
    void fullDiskKeepsEveryOldFile() {
        QTemporaryDir base;
        const QString dir = base.filePath("fs");
        QDir().mkpath(dir);
        const bool mounted = ::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", 0, "size=512k") == 0;
        auto unmount = qScopeGuard([&] {
            if (mounted)
                ::umount2(QFile::encodeName(dir).constData(), MNT_DETACH);
        });
        if (!mounted)
            qInfo("no tmpfs can be mounted here: the full device is simulated");
        copyDemoTo(dir);

        const QString ona = dir + "/demo.ona";
        QVERIFY2(m_tcl.call({"ona_open_project", ona}), qPrintable(m_tcl.result()));
        runDemoCapture(m_tcl);
        QVERIFY(m_tcl.eval("ona_add_tokenset -tokenset flags -bits 2; ona_add_token flags BOTH=b'11"));
        const QString ont = dir + "/t.ont", vcd = dir + "/x.vcd", txt = dir + "/x.txt";
        QVERIFY2(m_tcl.call({"ona_save_project"}), qPrintable(m_tcl.result()));
        QVERIFY2(m_tcl.call({"ona_export_tokenset", ont}), qPrintable(m_tcl.result()));
        QVERIFY2(m_tcl.call({"ona_export_project", "-vcd", vcd}), qPrintable(m_tcl.result()));
        QVERIFY2(m_tcl.call({"ona_export_project", "-txt", txt}), qPrintable(m_tcl.result()));
        const QString cap = ona + ".cap";
        QVERIFY(QFile::exists(cap));
        QMap<QString, QByteArray> before;
        for (const QString& f : {ona, ont, vcd, txt, cap})
            before[f] = readAll(f);
        // Something to write that differs from what is there.
        QVERIFY(m_tcl.eval("ona_add_token flags NONE=b'00"));

        if (mounted) {
            QFile filler(dir + "/filler");
            QVERIFY(filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
            const QByteArray block(4096, 'x');
            while (filler.write(block) == block.size()) {
            }
        } else {
            SafeFile::setSimulatedDeviceFull(true);
        }
        const QStringList files = filesIn(dir);

        auto refused = [&](const QStringList& words) {
            QVERIFY2(!m_tcl.call(words), qPrintable(words.join(' ') + " succeeded on a full disk"));
            QVERIFY2(m_tcl.result().contains("No space left on device"), qPrintable(m_tcl.result()));
        };
        refused({"ona_save_project"});
        refused({"ona_export_tokenset", ont});
        refused({"ona_export_project", "-vcd", vcd});
        refused({"ona_export_project", "-txt", txt});
        // The sidecar's writer: the analyzer file is written first, so on a full
        // disk it is reached only directly.
        std::vector<CaptureFile::Entry> entries;
        QString why;
        QVERIFY(CaptureFile::parse(before[cap], &entries, &why) && !CaptureFile::write(cap, entries, &why));
        QVERIFY2(why.contains("No space left on device"), qPrintable(why));

        for (auto it = before.cbegin(); it != before.cend(); ++it)
            QVERIFY2(readAll(it.key()) == it.value(), qPrintable(it.key() + " changed"));
        QCOMPARE(filesIn(dir), files);
    }
    // Readers open regular files only and never wait for a writer.
    void pipesDevicesAndFoldersNeverBlock() {
        DemoCopy demo;
        const QString fifoOna = demo.path("pipe.ona"), fifoOnt = demo.path("pipe.ont");
        QVERIFY(::mkfifo(QFile::encodeName(fifoOna).constData(), 0600) == 0);
        QVERIFY(::mkfifo(QFile::encodeName(fifoOnt).constData(), 0600) == 0);
        QVERIFY(m_tcl.call({"ona_open_project", demo.ona()}));
        const QString saved = demo.path("p.ona");
        QVERIFY(m_tcl.call({"ona_save_project", saved}) && m_tcl.eval("ona_close_project"));
        const QString fifoCap = saved + ".cap";
        QVERIFY(::mkfifo(QFile::encodeName(fifoCap).constData(), 0600) == 0);
        const QString fifoMerge = demo.path("mpp_merge.json");
        QVERIFY(QFile::remove(fifoMerge) && ::mkfifo(QFile::encodeName(fifoMerge).constData(), 0600) == 0);

        Unblocker unblocker({fifoOna, fifoOnt, fifoCap, fifoMerge});
        QElapsedTimer clock;
        clock.start();
        QCOMPARE(m_tcl.steps({{"ona_open_project {" + fifoOna + "}", "error: not a regular file"},
                              {"ona_open_project /dev/null", "error: not a regular file"},
                              {"ona_open_project {" + demo.path("") + "}", "error: folder"}}),
                 QString());

        // A pipe named like the saved capture: the project opens, the capture
        // is reported and ignored.
        QSignalSpy info(OnaData::inst(), &OnaData::infoDirty);
        QVERIFY2(m_tcl.call({"ona_open_project", saved}), qPrintable(m_tcl.result()));
        QCOMPARE(info.count(), 1);
        QVERIFY(QString::fromUtf8(info.at(0).at(0).value<const char*>()).contains("not a regular file"));
        QCOMPARE(m_tcl.steps({{"ona_import_tokenset {" + fifoOnt + "}", "error: not a regular file"}}), QString());
        QVERIFY(OnaData::inst()->readZentaMPPMergeInfo().isEmpty()); // the Hard IP tab's read
        QVERIFY2(clock.elapsed() < 150, qPrintable(u"a reader waited %1 ms on a pipe"_s.arg(clock.elapsed())));
    }
    // A writer replaces a regular file or writes through a link to one; a
    // pipe, a folder or a link to nothing stays as it is and the command says
    // why. A temporary a killed writer left goes with the next write.
    void writersReplaceOnlyRegularFiles() {
        QVERIFY2(openDemo("board_ctrl"), qPrintable(m_tcl.result()));
        const QString fifo = m_demo->path("pipe.srv"), folder = m_demo->path("folder.srv");
        QVERIFY(::mkfifo(QFile::encodeName(fifo).constData(), 0600) == 0 && QDir().mkdir(folder));
        const QString dangling = m_demo->path("dangling.srv");
        QVERIFY(QFile::link(m_demo->path("nowhere.srv"), dangling));
        const QList<QPair<QString, const char*>> refused = {{fifo, "is not a regular file (a pipe, socket or device)"},
                                                            {folder, "is a folder, not a file"},
                                                            {dangling, "is a symbolic link to a missing file"}};
        Unblocker unblocker({fifo});
        for (const auto& [path, why] : refused) {
            for (const QStringList& words :
                 {QStringList{"ona_export_pcs", path}, QStringList{"ona_run_controller", "-dump_memfile", path},
                  QStringList{"ona_export_tokenset", path}}) {
                QVERIFY2(!m_tcl.call(words), qPrintable(words.join(' ')));
                QVERIFY2(m_tcl.result().contains(QLatin1String(why)), qPrintable(m_tcl.result()));
            }
        }
        struct stat st;
        QVERIFY(::lstat(QFile::encodeName(fifo).constData(), &st) == 0 && S_ISFIFO(st.st_mode));
        QVERIFY(!QFileInfo::exists(m_demo->path("nowhere.srv")));

        // Through a link to a regular file: the link stays, its file is replaced.
        const QString real = m_demo->path("real.srv"), link = m_demo->path("link.srv");
        writeAll(real, "old");
        ::chmod(QFile::encodeName(real).constData(), 0640);
        QVERIFY(QFile::link(real, link));
        // Leftovers of a killed write of link.srv's file, a live writer's, and a user's file.
        const QString stale = real + ".ondrel-tmp.AbC123", live = real + ".ondrel-tmp.Xyz789";
        const QString user = real + ".backup";
        for (const QString& f : {stale, live, user})
            writeAll(f, "x");
        const int liveFd = ::open(QFile::encodeName(live).constData(), O_RDONLY);
        QVERIFY(liveFd >= 0 && ::flock(liveFd, LOCK_EX) == 0);
        QVERIFY2(m_tcl.call({"ona_export_pcs", link}), qPrintable(m_tcl.result()));
        ::close(liveFd);
        QVERIFY(QFileInfo(link).isSymLink() && readAll(real).startsWith("# Ondrel SERDES register file"));
        QVERIFY(::stat(QFile::encodeName(real).constData(), &st) == 0 && (st.st_mode & 0777) == 0640);
        QVERIFY(!QFileInfo::exists(stale) && QFileInfo::exists(live) && QFileInfo::exists(user));
        QCOMPARE(filesIn(m_demo->path("")).filter(".ondrel-tmp.").size(), 1); // the live one only
    }
    // Characters beyond U+FFFF, CJK and combining marks reach the engine and
    // the file system exactly as typed in the console; NUL is refused.
    void anyUnicodeNulAndHugeInput() {
        DemoCopy demo;
        QString result;
        const QString folder = demo.path(u"\U0001F600 \u6F22\u5B57 e\u0301"_s);
        QVERIFY(QDir().mkpath(folder));
        copyDemoTo(folder);
        const QString ona = folder + u"/\U0001F680.ona"_s;

        QVERIFY2(consoleEval(m_tcl, "ona_open_project " + quoted(folder + "/demo.ona"), &result), qPrintable(result));
        QVERIFY2(consoleEval(m_tcl, "ona_save_project " + quoted(ona), &result), qPrintable(result));
        QCOMPARE(result, ona);
        QVERIFY(QFileInfo(ona).isFile());
        QVERIFY2(consoleEval(m_tcl, "ona_close_project; ona_open_project " + quoted(ona), &result), qPrintable(result));
        QCOMPARE(OnaData::inst()->getCurrentProject(), ona);
        const QString ont = folder + u"/\u4E2D\u6587.ont"_s;
        QVERIFY(consoleEval(m_tcl, "ona_add_tokenset -tokenset flags -bits 2; ona_export_tokenset " + quoted(ont),
                            &result));
        QVERIFY(QFileInfo(ont).isFile());
        QVERIFY2(consoleEval(m_tcl, "ona_import_tokenset " + quoted(ont), &result), qPrintable(result));

        // A trigger value is kept exactly as given.
        const QString value = u"1\U0001F600\u0301\u6F22"_s;
        QVERIFY2(consoleEval(m_tcl, "ona_set_tu -name TU_data -value " + quoted(value), &result), qPrintable(result));
        QCOMPARE(OnaData::inst()->getTUValue(OnaData::inst()->getTUModel()->rowOf(u"TU_data"_s)), value);
        QVERIFY(consoleEval(m_tcl, "dict get [ona_get tu TU_data] value", &result));
        QCOMPARE(result, value);

        // NUL: the system would cut the name at it and write another file.
        const QStringList before = filesIn(folder);
        for (const QString& verb :
             {u"ona_save_project"_s, u"ona_export_tokenset"_s, u"ona_open_project"_s, u"ona_import_tokenset"_s}) {
            const QString path = folder + u"/demo.ona"_s + QChar(0) + u"x"_s;
            QVERIFY2(!consoleEval(m_tcl, verb + ' ' + quoted(path).replace(QChar(0), u"\\0"_s), &result),
                     qPrintable(verb));
            QVERIFY2(result.contains("NUL"), qPrintable(result));
        }
        QCOMPARE(filesIn(folder), before);
        QCOMPARE(readAll(folder + "/demo.ona"), readAll(QStringLiteral(ONDREL_SOURCE_DIR "/examples/demo/demo.ona")));

        // Huge input is not echoed whole.
        const QString huge(1 << 20, QLatin1Char('n'));
        for (const QStringList& words :
             {QStringList{"ona_set_core", "-name", huge}, QStringList{"ona_set_tu", "-name", huge, "-value", "1"},
              QStringList{"ona_open_project", demo.path(huge)}}) {
            QVERIFY(!m_tcl.call(words));
            QVERIFY2(m_tcl.result().size() < 1000, qPrintable(words.first()));
            QVERIFY2(m_tcl.result().contains("characters left out"), qPrintable(m_tcl.result().left(200)));
        }
    }
    void savedCaptureOfUnknownCoreOrTooManySamples() {
        // A saved capture for a core the design does not have is not loaded
        // into the current core.
        QVERIFY2(openDemo(), qPrintable(m_tcl.result()));
        runDemoCapture(m_tcl);
        const QString ona = m_demo->path("p.ona");
        QVERIFY(m_tcl.call({"ona_save_project", ona}));
        std::vector<CaptureFile::Entry> entries;
        QString why;
        QVERIFY(CaptureFile::read(ona + ".cap", &entries, &why));
        QCOMPARE(entries.size(), size_t(1));
        entries[0].core = u"ghost"_s;
        QVERIFY(CaptureFile::write(ona + ".cap", entries, &why) && m_tcl.eval("ona_close_project"));
        QSignalSpy info(OnaData::inst(), &OnaData::infoDirty);
        QVERIFY(m_tcl.call({"ona_open_project", ona}));
        QCOMPARE(OnaData::inst()->getCoreName(-1), u"uart_la"_s);
        for (int c = 0; c < OnaData::inst()->getNumCore(); ++c) {
            const auto core = OnaData::inst()->getCorePtr(c);
            QVERIFY(!core->getWDModel() || !core->getWDModel()->hasData());
        }
        QCOMPARE(info.count(), 1);
        QVERIFY(QString::fromUtf8(info.at(0).at(0).value<const char*>()).contains("\"ghost\""));

        // A sidecar claiming more samples than the model counts is refused by
        // the reader (no signals: the claim costs no data).
        entries.clear();
        entries.push_back({u"c"_s, {}, std::make_shared<TraceData>(QStringList(), 64)});
        QByteArray bytes = CaptureFile::serialize(entries);
        const int samplesAt = 12 + 4 + 4 + 1 + 4 + 4; // header, cores, name, signals, channels
        qint64 samples = 0;
        std::memcpy(&samples, bytes.constData() + samplesAt, 8);
        QCOMPARE(samples, qint64(64));
        QVERIFY(CaptureFile::parse(bytes, &entries, &why));
        for (const qint64 claimed : {TraceData::kMaxSamples + 1, qint64(1) << 31, qint64(1) << 32}) {
            std::memcpy(bytes.data() + samplesAt, &claimed, 8);
            const quint32 crc = CaptureFile::crc32(bytes.constData() + 12, bytes.size() - 16);
            std::memcpy(bytes.data() + bytes.size() - 4, &crc, 4);
            QVERIFY2(!CaptureFile::parse(bytes, &entries, &why), qPrintable(QString::number(claimed)));
            QVERIFY2(why.contains("samples"), qPrintable(why));
        }
        QVERIFY(TraceData::kMaxSamples < std::numeric_limits<int>::max());

        // A core with signals and no samples reads back (no words to copy).
        entries.clear();
        entries.push_back({u"c"_s, {{u"a"_s, 1}}, std::make_shared<TraceData>(QStringList{"a"}, 0)});
        QVERIFY2(CaptureFile::parse(CaptureFile::serialize(entries), &entries, &why), qPrintable(why));
        QCOMPARE(entries.at(0).trace->numSamples(), qint64(0));
    }
    void startedRunSaysConfiguring() {
        QVERIFY2(openDemo(), qPrintable(m_tcl.result()));
        // rx_data is never 0x77: each run waits until it is stopped, so a busy
        // machine cannot finish it before the status is read.
        QVERIFY(
            m_tcl.eval("ona_set_core -name bus_la -run off; ona_set_core -name uart_la; "
                       "ona_set_tu -name TU_data -value 77; ona_set_te -name TE_start -expression TU_data -enable on"));
        for (int i = 0; i < 20; ++i) {
            QVERIFY2(m_tcl.eval("ona_run; ona_get capture"), qPrintable(m_tcl.result()));
            const QString status = m_tcl.result();
            QVERIFY(m_tcl.eval(u"ona_stop; ona_wait -timeout %1"_s.arg(testMs(20000))));
            // The thread may have moved on already; it never reports Ready.
            QVERIFY2(!status.contains("statuscode 0") && status.contains("busy 1"), qPrintable(status));
        }
    }
};

QTEST_GUILESS_MAIN(TestEdges)
#include "tst_edges.moc"
