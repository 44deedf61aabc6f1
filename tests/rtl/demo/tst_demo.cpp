// The demo design in RTL: the Verilated demo drives what the engine's
// simulated device drives, clock for clock; OpenOCD finds its TAP through
// the remote_bitbang server; the generator refuses what it must.

#include "bitbangport.h"
#include "deviceregistry.h"
#include "enginetest.h"
#include "hubbus.h"
#include "jtaganalyzer.h"
#include "onajtag.h"
#include "oncdata.h"
#include "openocdport.h"
#include "projectfiles.h"
#include "rtlgen.h"
#include "simcontroller.h"
#include "simdevice.h"
#include "simdriver.h"
#include "simlaunch.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>
#include <functional>
#include <list>
#include <memory>
#include <thread>

using namespace Qt::StringLiterals;

namespace {

const QString kDemo = QStringLiteral(ONDREL_SOURCE_DIR "/examples/demo/demo.onl");
constexpr int kClocks = 100000;

QString hexOfWords(const quint64* words, int width) {
    QString s;
    for (int d = (width + 3) / 4 - 1; d >= 0; --d)
        s += QLatin1Char("0123456789abcdef"[(words[d * 4 / 64] >> (d * 4 % 64)) & 0xF]);
    return s;
}

ProjectFiles::OnlDesign readDemo() {
    QByteArray data;
    QString error;
    ProjectFiles::OnlDesign d;
    if (!ProjectFiles::readFile(kDemo, &data, &error) || !ProjectFiles::parseOnl(data, kDemo, &d, &error))
        qFatal("demo.onl: %s", qPrintable(error));
    return d;
}

// The OpenOCD processes started under `root` (its children and theirs).
QList<int> openocdUnder(int root) {
    QList<int> found;
    const auto parent = [](int pid) {
        const QByteArray stat = readAll(u"/proc/%1/stat"_s.arg(pid));
        return QPair<bool, int>(stat.contains("(openocd)"),
                                stat.mid(stat.lastIndexOf(')') + 2).split(' ').value(1).toInt());
    };
    for (const QString& pid : QDir(u"/proc"_s).entryList({u"[0-9]*"_s}, QDir::Dirs)) {
        const auto [isOpenocd, up] = parent(pid.toInt());
        if (isOpenocd && (up == root || parent(up).second == root))
            found << pid.toInt();
    }
    return found;
}

int startSim(QProcess* sim) { return SimLaunch::startSim(sim, QStringLiteral(ONA_DEMO_SIM)); }
using SimLaunch::freePort;

// Without the simulated demo (or, when `ocd`, without OpenOCD) there is nothing to run.
#define NEED_SIM(ocd)                                                                                                 \
    if (QString(QStringLiteral(ONA_DEMO_SIM)).isEmpty() || ((ocd) && QString(QStringLiteral(OPENOCD_BIN)).isEmpty())) \
    QSKIP("verilator or openocd was not found when the build was configured")

// A socket listening on a free loopback port, or -1.
int listenLocal(int* port) {
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 || ::listen(listener, 1) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&a), &len) != 0) {
        ::close(listener);
        return -1;
    }
    *port = ntohs(a.sin_port);
    return listener;
}
using SimLaunch::openocdArgs;

// The demo's cores on the simulated JTAG chain: each analyzer core is
// opened at its index in the design file and checked by its hash.
class RtlTarget : public SimDevice {
public:
    RtlTarget(HubBus* bus, const QJsonArray& cores) : m_bus(bus), m_cores(cores) {}
    std::unique_ptr<AnalyzerDevice> openAnalyzer(const AnalyzerLoad& load, QString* error) override {
        for (int i = 0; i < m_cores.size(); ++i)
            if (m_cores.at(i)[u"name"_s].toString() == load.coreName)
                return openJtagAnalyzer(m_bus, i, ProjectFiles::coreHash(m_cores.at(i).toObject()), load, error);
        *error = u"no core %1"_s.arg(load.coreName);
        return nullptr;
    }

private:
    HubBus* m_bus;
    QJsonArray m_cores;
};

// The simulated device, armed at a given sample of the design's time.
class SimAt : public SimDevice {
public:
    qint64 start = 0;
    std::unique_ptr<AnalyzerDevice> openAnalyzer(const AnalyzerLoad& load, QString* error) override {
        AnalyzerLoad at = load;
        at.startTime = start;
        return SimDevice::openAnalyzer(at, error);
    }
};

} // namespace

class TestRtlDemo : public QObject {
    Q_OBJECT

private:
    // Runs the demo's setups on the RTL cores (the device `cable` chooses)
    // and on the simulated device armed where each RTL run began, as the
    // core's arm time stamp says: equal captures.
    void captureSetups(const std::function<QString()>& cable) {
        SimAt* simAt = nullptr;
        DeviceRegistry::add(u"sim-at"_s, [&] {
            auto d = std::make_unique<SimAt>();
            simAt = d.get();
            return d;
        });
        TclSession tcl;
        DemoCopy demo;
        const auto run = [&](const QString& vcd) {
            return tcl.eval(
                       u"ona_run; ona_wait -timeout 60000; set e [dict get [ona_get capture] error];"
                       "if {$e ne {}} {error $e}"_s) &&
                   tcl.call({"ona_export_project", "-vcd", vcd}) && tcl.eval("dict get [ona_get capture] frametimes");
        };
        const QStringList setups = {
            QString(),
            u"ona_set_te -name TE_start -enable off; ona_set_te -name TE_byte -enable on;"
            "ona_set_te -name TE_byte -expression {(TU_data | TU_rxword) & TU_valid THEN TU_valid #2};"
            "ona_set_trigoptn -positionmode preset -position post"_s,
            u"ona_set_core -name uart_la -run off; ona_set_core -name bus_la -run on; ona_set_core -name bus_la"_s,
        };
        for (const QString& setup : setups) {
            QVERIFY2(tcl.call({"ona_open_project", demo.ona()}), qPrintable(tcl.result()));
            QVERIFY2(tcl.eval(setup), qPrintable(tcl.result()));
            QVERIFY2(tcl.eval(cable()), qPrintable(tcl.result()));
            QVERIFY2(run(demo.path(u"rtl.vcd"_s)), qPrintable(tcl.result()));
            const QString rtlTimes = tcl.result();
            QVERIFY(tcl.eval("dict get [ona_get capture] armtime"));
            const qint64 armTime = tcl.result().toLongLong();
            QVERIFY(armTime > 0);
            QVERIFY(tcl.eval("ona_set_project -target sim-at -cabletype USB -cableport 0"));
            QVERIFY(simAt);
            simAt->start = armTime;
            QVERIFY2(run(demo.path(u"sim.vcd"_s)), qPrintable(tcl.result()));
            QCOMPARE(rtlTimes, tcl.result());
            // Everything but the date of writing.
            const auto vcd = [&](const char* name) {
                QByteArray text = readAll(demo.path(QLatin1String(name)));
                return text.mid(text.indexOf("$version"));
            };
            QVERIFY(vcd("rtl.vcd").size() > 1000);
            QCOMPARE(vcd("rtl.vcd"), vcd("sim.vcd"));
            tcl.eval("ona_close_project");
        }
        DeviceRegistry::remove(u"sim-at"_s);
    }

private slots:
    // Every probed signal of every analyzer core, the controller's LEDs and
    // status registers: the RTL's value in clock n equals the simulated
    // device's sample n (its millisecond counted in the design's clocks).
    void values() {
        NEED_SIM(false);
        QProcess sim;
        sim.start(QStringLiteral(ONA_DEMO_SIM), {u"--dump"_s, QString::number(kClocks)});
        QVERIFY2(sim.waitForFinished(120000), "the simulated demo did not finish within 2 minutes");
        QCOMPARE(sim.exitCode(), 0);
        const QList<QByteArray> lines = sim.readAllStandardOutput().split('\n');
        QVERIFY(lines.size() >= kClocks + 2);
        const QStringList columns = QString::fromLatin1(lines.at(1)).split(QLatin1Char(' '));

        // The engine's side of each column, stepped once per clock.
        const ProjectFiles::OnlDesign design = readDemo();
        qint64 ms = 0;
        SimDevice target;
        std::vector<std::unique_ptr<SimDriver>> drivers;
        std::vector<std::function<QString()>> expect;
        QStringList wanted;
        for (const ProjectFiles::OnlCore& c : design.cores) {
            if (c.kind == 1) {
                for (const ProjectFiles::OnlSignal& s : c.signalList) {
                    QString why;
                    drivers.push_back(SimDriver::create(c.simulation.value(s.name).toObject(), s.width, &why));
                    SimDriver* d = drivers.back().get();
                    wanted << c.name + QLatin1Char('.') + s.name;
                    expect.push_back([d] { return hexOfWords(d->value(), d->width()); });
                }
                continue;
            }
            ONCData::inst()->selectCore(c.name, c.records, &target);
            const auto dev = std::dynamic_pointer_cast<SimController>(ONCData::inst()->device());
            QVERIFY(dev);
            dev->setClock([&ms] { return ms; });
            wanted << c.name + u".leds"_s;
            expect.push_back([dev] {
                quint32 leds = 0;
                QString why;
                dev->readLeds(&leds, &why);
                const quint64 v = leds;
                return hexOfWords(&v, dev->ledCount());
            });
            for (const RegisterEntry& e : c.records.status.getEntries()) {
                wanted << c.name + QLatin1Char('.') + e.name;
                expect.push_back([dev, e] {
                    QString hex, why;
                    dev->registers().readStatus(e.name, &hex, &why);
                    return hex.toLower();
                });
            }
        }
        QCOMPARE(columns, wanted);
        int changes = 0;
        QByteArray before;
        for (int n = 0; n < kClocks; ++n) {
            ms = n / RtlGen::kClocksPerMs;
            const QByteArray& line = lines.at(n + 2);
            const QList<QByteArray> got = line.split(' ');
            QCOMPARE(got.size(), columns.size());
            for (int i = 0; i < got.size(); ++i) {
                const QString want = expect[size_t(i)]();
                if (QString::fromLatin1(got.at(i)) != want)
                    QFAIL(qPrintable(u"%1 in clock %2: the RTL has %3, the simulated device %4"_s.arg(columns.at(i))
                                         .arg(n)
                                         .arg(QString::fromLatin1(got.at(i)), want)));
            }
            changes += line != before;
            before = line;
            for (auto& d : drivers)
                d->step();
        }
        // The values move: a run of constants would prove little.
        QVERIFY(changes > kClocks / 2);
    }

    // OpenOCD through the remote_bitbang adapter finds the TAP and its
    // IDCODE; the device ends cleanly when the client leaves, and on SIGTERM.
    void openocd() {
        NEED_SIM(true);
        QProcess sim;
        const int port = startSim(&sim);
        QVERIFY2(port > 0, "the simulated demo did not report its port within 30 s");

        QProcess ocd;
        ocd.setProcessChannelMode(QProcess::MergedChannels);
        ocd.start(QStringLiteral(OPENOCD_BIN),
                  openocdArgs(port, {u"tcl_port disabled"_s, u"init"_s, u"scan_chain"_s, u"shutdown"_s}));
        QVERIFY2(ocd.waitForFinished(60000), "openocd did not finish within a minute");
        const QString log = QString::fromLocal8Bit(ocd.readAll());
        // The scan_chain table: "0 demo.tap  Y  0x10dea001 0x10dea001  4 ..."
        const QRegularExpression row(
            u"^\\s*0\\s+demo\\.tap\\s+Y\\s+0x%1\\s"_s.arg(RtlGen::kIdcode, 8, 16, QLatin1Char('0')),
            QRegularExpression::MultilineOption);
        QVERIFY2(row.match(log).hasMatch(), qPrintable(log));

        QVERIFY2(sim.waitForFinished(10000), "the simulated demo did not end when openocd left");
        QCOMPARE(sim.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.exitCode(), 0);

        QProcess idle;
        QVERIFY(startSim(&idle) > 0);
        idle.terminate();
        QVERIFY2(idle.waitForFinished(10000), "the simulated demo did not end on SIGTERM");
        QCOMPARE(idle.exitStatus(), QProcess::NormalExit);
        QCOMPARE(idle.exitCode(), 0);
    }

    // The engine compiles the trigger setup into the RTL cores' registers,
    // runs the capture over JTAG and reads the windows back: the capture
    // equals, bit for bit and time stamp for time stamp, what the simulated
    // device captures when armed at the same sample of the design's time.
    // Setups: the demo's level condition; a sequence with a count, a serial
    // unit and the final counter; four triggers into segments (bus_la).
    void capture() {
        NEED_SIM(false);
        // Our own remote_bitbang client, then the engine's target over JTAG
        // with the OpenOCD it starts.
        for (const bool viaOpenocd : {false, true}) {
            if (viaOpenocd && QString(QStringLiteral(OPENOCD_BIN)).isEmpty()) {
                qWarning(
                    "openocd was not found when the build was configured: the captures ran over "
                    "remote_bitbang only");
                break;
            }
            QProcess sim;
            const int port = startSim(&sim);
            QVERIFY2(port > 0, "the simulated demo did not report its port within 30 s");
            QString error;
            BitbangPort jtag;
            HubBus bus(&jtag);
            const QJsonArray cores = QJsonDocument::fromJson(readAll(kDemo)).object()[u"cores"_s].toArray();
            if (viaOpenocd) {
                // A simulation serves one client: each setup gets its own,
                // and the engine's OpenOCD ends when the device changes.
                std::list<QProcess> more;
                int next = port;
                captureSetups([&] {
                    if (next == 0)
                        next = startSim(&more.emplace_back());
                    const QString cmd = u"ona_set_project -target jtag -cabletype REMOTE -cableport %1"_s.arg(next);
                    next = 0;
                    return cmd;
                });
                if (QTest::currentTestFailed())
                    return;
                QVERIFY(sim.waitForFinished(10000));
                for (QProcess& p : more)
                    QVERIFY(p.waitForFinished(10000));
                continue;
            }
            QVERIFY2(jtag.open(u"127.0.0.1"_s, port, 20000, &error), qPrintable(error));
            QVERIFY2(bus.open(&error), qPrintable(error));
            QCOMPARE(bus.cores(), 3);
            DeviceRegistry::add(u"rtl"_s, [&] { return std::make_unique<RtlTarget>(&bus, cores); });
            captureSetups([] { return u"ona_set_project -target rtl"_s; });
            DeviceRegistry::remove(u"rtl"_s);
            if (QTest::currentTestFailed())
                return;
            // A core built from another design is refused before anything is loaded.
            QVERIFY(
                !openJtagAnalyzer(&bus, 0, ProjectFiles::coreHash(cores.at(0).toObject()) ^ 1, AnalyzerLoad(), &error));
            QVERIFY2(error.contains(QLatin1String("built from another design (its hash is 0x")), qPrintable(error));
            // The simulated demo ends with its client.
            jtag.close();
            QVERIFY(sim.waitForFinished(10000));
        }
    }

    // The controller core over JTAG through the real verbs: switches drive
    // the LEDs' upper half, control registers come back as the status the
    // design derives from them, memory words and files round-trip, and the
    // model's checks still refuse before anything reaches the core.
    void controller() {
        NEED_SIM(true);
        TclSession tcl;
        DemoCopy demo;
        QProcess sim;
        const int port = startSim(&sim);
        QVERIFY(port > 0);
        QVERIFY2(tcl.call({"ona_open_project", demo.ona()}), qPrintable(tcl.result()));
        QVERIFY(
            tcl.eval(u"ona_set_project -target jtag -cabletype REMOTE -cableport %1; "
                     "ona_set_core -name board_ctrl"_s.arg(port)));
        const auto run = [&](const QStringList& words) {
            const bool ok = tcl.call(words);
            return ok ? tcl.result() : u"<error: %1>"_s.arg(tcl.result());
        };
        // Four words at 0x20, for the memory file below.
        for (int i = 0; i < 4; ++i)
            QCOMPARE(run({"ona_write_controller", "-addr", u"0x%1"_s.arg(0x20 + i, 0, 16), "-data",
                          u"0x%1"_s.arg(0xA0 + i, 0, 16)}),
                     QString());
        const QString mem = demo.path(u"part.mem"_s), regs = demo.path(u"ctrl.txt"_s);
        // Each step's result; one ending in "*" is a prefix.
        const struct {
            QStringList words;
            QString result;
        } steps[] = {
            {{"ona_run_controller", "-write_switch", "0xA5"}, QString()},
            {{"ona_run_controller", "-read_switch"}, u"A5"_s},
            // The design: each LED is its switch, the lower half XOR a counter.
            {{"ona_run_controller", "-read_led"}, u"A*"_s},
            {{"ona_run_controller", "-write_switch", "0x1A5"}, u"<error*"_s},
            {{"ona_run_controller", "-write_control", "ctrl_mode", "-data", "a"}, QString()},
            {{"ona_run_controller", "-read_status", "stat_mode"}, u"A"_s},
            {{"ona_run_controller", "-toggle_control", "ctrl_enable"}, QString()},
            {{"ona_run_controller", "-read_status", "stat_running"}, u"1"_s},
            {{"ona_run_controller", "-write_control", "ctrl_key", "-data", "123456789ABCDEF0FEDCBA98"}, QString()},
            {{"ona_run_controller", "-read_control", "ctrl_key"}, u"123456789ABCDEF0FEDCBA98"_s},
            {{"ona_run_controller", "-read_status", "stat_id"}, u"004F0DE1C0FFEE0DD5"_s},
            {{"ona_write_controller", "-addr", "0x10", "-data", "0xDEADBEEF"}, QString()},
            {{"ona_write_controller", "-addr", "0x3FF", "-data", "0x1f"}, QString()},
            {{"ona_read_controller", "-addr", "0x10"}, u"DEADBEEF"_s},
            {{"ona_read_controller", "-addr", "0x3FF"}, u"0000001F"_s},
            {{"ona_run_controller", "-write_control", "ctrl_divisor", "-data", "70000"}, u"<error*"_s},
            // Files: a dump of four words, loaded back after one was overwritten;
            // the control registers likewise.
            {{"ona_run_controller", "-dump_memfile", mem, "-offset", "0x20", "-range", "4"}, QString()},
            {{"ona_write_controller", "-addr", "0x22", "-data", "0"}, QString()},
            {{"ona_run_controller", "-load_memfile", mem}, QString()},
            {{"ona_read_controller", "-addr", "0x22"}, u"000000A2"_s},
            {{"ona_run_controller", "-dump_control", regs}, QString()},
            {{"ona_run_controller", "-write_control", "ctrl_mode", "-data", "3"}, QString()},
            {{"ona_run_controller", "-load_control", regs}, QString()},
            {{"ona_run_controller", "-read_status", "stat_mode"}, u"A"_s},
        };
        for (const auto& step : steps) {
            const QString got = run(step.words);
            if (step.result.endsWith(u'*'))
                QVERIFY2(got.startsWith(step.result.chopped(1)), qPrintable(step.words.join(u' ') + u" -> "_s + got));
            else
                QCOMPARE(got, step.result);
        }
        QVERIFY(readAll(mem).endsWith("@20\n000000a0\n000000a1\n000000a2\n000000a3\n"));
        // Hard IP blocks are the simulated device's alone, and say so,
        // whichever way they are reached.
        for (const QStringList& words : {QStringList{"ona_run_controller", "-dump_memfile", mem, "-hard_ip", "PLL_0"},
                                         QStringList{"ona_run_controller", "-eye_monitor", "PCSCH_1"},
                                         QStringList{"ona_read_controller", "-addr", "0x9000"},
                                         QStringList{"ona_write_controller", "-addr", "0x9000", "-data", "0x1"},
                                         QStringList{"ona_run_controller", "-restart_prbs", "PCSCH_1"}}) {
            const QString hardIp = run(words);
            QVERIFY2(hardIp.contains(u"need the simulated device"_s), qPrintable(hardIp));
        }
        // The simulation gone: a clear error, and the project stays.
        sim.kill();
        sim.waitForFinished(5000);
        const QString gone = run({"ona_run_controller", "-read_led"});
        QVERIFY2(gone.startsWith(u"<error"_s) && gone.contains(u"OpenOCD"_s), qPrintable(gone));
        QCOMPARE(tcl.dictGet(u"ona_get project"_s, u"file"_s), demo.ona());
        tcl.eval("ona_close_project");
    }

    // What a bench brings, through the engine's target over JTAG: each
    // fault ends the run with one clear error in Tcl, within its time limit,
    // and leaves the project open with its last capture.
    void benchFaults() {
        NEED_SIM(true);
        TclSession tcl;
        DemoCopy demo;
        QVERIFY2(tcl.call({"ona_open_project", demo.ona()}), qPrintable(tcl.result()));
        QVERIFY(tcl.eval("ona_set_core -name bus_la -run off"));
        const auto cap = [&](const char* key) { return tcl.dictGet(u"ona_get capture"_s, QLatin1String(key)); };
        // A first capture on the model: the faults below must keep it.
        QVERIFY(tcl.eval("ona_run; ona_wait -timeout 30000; dict get [ona_get capture] samples"));
        const QString kept = tcl.result();
        QVERIFY(kept.toInt() > 0);
        // A remote_bitbang peer whose TDO never moves.
        const auto stuckPeer = [](char tdo, int* port) {
            const int listener = listenLocal(port);
            if (listener < 0)
                return std::thread();
            return std::thread([listener, tdo] {
                const int fd = ::accept(listener, nullptr, nullptr);
                char buf[4096];
                ssize_t n;
                while ((n = ::recv(fd, buf, sizeof buf, 0)) > 0) {
                    QByteArray out;
                    for (ssize_t i = 0; i < n; ++i)
                        if (buf[i] == 'R')
                            out += tdo;
                    if (!out.isEmpty() && ::send(fd, out.constData(), size_t(out.size()), MSG_NOSIGNAL) < 0)
                        break;
                }
                ::close(fd);
                ::close(listener);
            });
        };
        // The OpenOCD children of this process.
        const auto killOpenocd = [] {
            for (const int pid : openocdUnder(int(::getpid())))
                ::kill(pid, SIGKILL);
        };
        QTemporaryDir dir;
        const QString badCfg = dir.filePath(u"bad.cfg"_s);
        QVERIFY(writeAll(badCfg, "no_such_openocd_command 1\n"));
        // Waits for a trigger that takes longer than the test: a count far
        // beyond what the simulation reaches while it is polled.
        const QString slow = u"ona_set_te -name TE_start -expression {TU_valid #65535 THEN TU_valid #65535};"_s;
        const QString remote = u"ona_set_project -target jtag -cabletype REMOTE -cableport "_s;
        struct Fault {
            const char* what;
            QString cable;       // the cable settings; %1 is the port of a simulation started for the run
            const char* openocd; // the OpenOCD the engine is told to start, when not its own
            char during;         // while the run waits for its trigger: 's' kills the simulation, 'o' OpenOCD
            QStringList error;   // one of these in the run's error
        };
        const QList<Fault> faults = {
            {"openocd missing", remote + u"%1"_s, "/nonexistent/openocd", 0, {u"OpenOCD is not installed"_s}},
            {"openocd refuses its configuration",
             u"ona_set_project -target jtag -cabletype USB -interface {%1}"_s.arg(badCfg),
             nullptr,
             0,
             {u"OpenOCD did not start"_s, u"no_such_openocd_command"_s}},
            {"wrong idcode", remote + u"%1 -tap {4 0x2 0x12345678}"_s, nullptr, 0, {u"0x10dea001"_s, u"0x12345678"_s}},
            {"nothing listens",
             remote + QString::number(SimLaunch::freePort()),
             nullptr,
             0,
             {u"OpenOCD did not start"_s}},
            {"simulation killed", slow + remote + u"%1"_s, nullptr, 's', {u"OpenOCD"_s}},
            {"openocd killed", slow + remote + u"%1"_s, nullptr, 'o', {u"OpenOCD"_s}},
        };
        // A trigger that does not come: the manual trigger ends the run with
        // what was sampled, Stop ends it with nothing; both answer at once.
        for (const char* end : {"ona_manualtrig", "ona_stop"}) {
            QProcess sim;
            QVERIFY2(tcl.eval((slow + remote + u"%1; ona_run"_s).arg(startSim(&sim))), qPrintable(tcl.result()));
            QVERIFY(!tcl.eval("ona_wait -timeout 1500"));
            QElapsedTimer took;
            took.start();
            QVERIFY2(tcl.eval(QLatin1String(end) + u"; ona_wait -timeout 20000"_s), qPrintable(tcl.result()));
            QVERIFY(took.elapsed() < 5000);
            QCOMPARE(cap("error"), QString());
            if (QLatin1String(end) == QLatin1String("ona_manualtrig")) {
                QCOMPARE(cap("samples"), kept);
                QVERIFY(cap("armtime").toLongLong() > 0);
            }
            QVERIFY(
                tcl.eval("ona_set_project -target simulated -cabletype USB -cableport 0; "
                         "ona_set_te -name TE_start -expression {TU_state & !TU_valid}"));
            sim.waitForFinished(10000);
        }
        // The last capture is the model's again.
        QVERIFY(tcl.eval("ona_run; ona_wait -timeout 30000"));
        for (const Fault& f : faults) {
            QProcess sim;
            if (f.openocd)
                qputenv("ONDREL_OPENOCD", f.openocd);
            QVERIFY2(tcl.eval(f.cable.contains(u"%1"_s) ? f.cable.arg(startSim(&sim)) : f.cable),
                     qPrintable(tcl.result()));
            QElapsedTimer took;
            took.start();
            QVERIFY2(tcl.eval("ona_run"), qPrintable(tcl.result()));
            if (f.during) {
                // Still waiting for its trigger when the fault comes.
                QVERIFY2(!tcl.eval("ona_wait -timeout 1500"), qPrintable(cap("error")));
                if (f.during == 's')
                    sim.kill();
                else
                    killOpenocd();
            }
            QVERIFY2(tcl.eval("ona_wait -timeout 40000"), f.what);
            QVERIFY2(took.elapsed() < 40000, f.what);
            const QString error = cap("error");
            QVERIFY2(std::any_of(f.error.begin(), f.error.end(), [&](const QString& e) { return error.contains(e); }),
                     qPrintable(u"%1: %2"_s.arg(QLatin1String(f.what), error)));
            QCOMPARE(tcl.dictGet(u"ona_get project"_s, u"file"_s), demo.ona());
            QCOMPARE(cap("samples"), kept);
            qunsetenv("ONDREL_OPENOCD");
            QVERIFY(tcl.eval("ona_set_project -target simulated -cabletype USB -cableport 0 -tap {4 0x2 0x10dea001}"));
            sim.kill();
            sim.waitForFinished(5000);
        }
        // TDO stuck at 0 or 1: no device answers.
        for (const char tdo : {'0', '1'}) {
            int port = 0;
            std::thread peer = stuckPeer(tdo, &port);
            QVERIFY(peer.joinable());
            QVERIFY2(tcl.eval(u"ona_set_project -target jtag -cabletype REMOTE -cableport %1; ona_run; "
                              "ona_wait -timeout 40000"_s.arg(port)),
                     qPrintable(tcl.result()));
            const QString error = cap("error");
            QVERIFY2(error.contains(u"stuck at %1"_s.arg(QLatin1Char(tdo))) || error.contains(QLatin1String("all ")),
                     qPrintable(error));
            QVERIFY(tcl.eval("ona_set_project -target simulated -cabletype USB"));
            peer.join();
        }
        QCOMPARE(cap("samples"), kept);
    }

    // The application headless: a script reaches the RTL cores through the
    // OpenOCD the engine starts, and the capture is exported.
    void batch() {
        NEED_SIM(true);
        DemoCopy demo;
        QProcess sim, app;
        const int port = startSim(&sim);
        QVERIFY(port > 0);
        const QString script = demo.path(u"run.tcl"_s), vcd = demo.path(u"out.vcd"_s);
        QVERIFY(writeAll(script,
                         u"ona_open_project {%1}\n"
                         "ona_set_project -target jtag -cabletype REMOTE -cableport %2\n"
                         "ona_run\nona_wait -timeout 60000\n"
                         "set e [dict get [ona_get capture] error]\n"
                         "if {$e ne {}} {error $e}\n"
                         "ona_export_project -vcd {%3}\n"
                         "puts [dict get [ona_get capture] armtime]\n"_s.arg(demo.ona())
                             .arg(port)
                             .arg(vcd)
                             .toUtf8()));
        app.start(QStringLiteral(ONDREL_BIN), {u"--batch"_s, script});
        QVERIFY(app.waitForFinished(120000));
        const QByteArray out = app.readAllStandardOutput();
        QVERIFY2(app.exitCode() == 0, app.readAllStandardError().constData());
        QVERIFY2(out.trimmed().toLongLong() > 0, out.constData());
        QVERIFY(readAll(vcd).contains("$enddefinitions"));
        QVERIFY(sim.waitForFinished(10000)); // the engine's OpenOCD left at exit, and the simulation with it

        // Killed while it waits for a trigger, the tool leaves no OpenOCD
        // behind to hold the cable.
        const int again = startSim(&sim);
        QVERIFY(writeAll(script,
                         u"ona_open_project {%1}\n"
                         "ona_set_project -target jtag -cabletype REMOTE -cableport %2\n"
                         "ona_set_te -name TE_start -expression {TU_valid #65535 THEN "
                         "TU_valid #65535}\nona_run\nona_wait -timeout 60000\n"_s.arg(demo.ona())
                             .arg(again)
                             .toUtf8()));
        app.start(QStringLiteral(ONDREL_BIN), {u"--batch"_s, script});
        QList<int> ocd;
        QTRY_VERIFY_WITH_TIMEOUT(!(ocd = openocdUnder(int(app.processId()))).isEmpty(), 20000);
        ::kill(pid_t(app.processId()), SIGKILL);
        QVERIFY(app.waitForFinished(5000));
        QTRY_VERIFY_WITH_TIMEOUT(!QFile::exists(u"/proc/%1/stat"_s.arg(ocd.value(0))), 5000);
        sim.kill();
        sim.waitForFinished(5000);
    }

    // The demo capture against Icarus Verilog's simulation of the design's
    // RTL (the generator's stimulus of uart_la under a test bench): the two
    // agree sample for sample, and a value the test bench changes in one
    // clock cycle is the one difference, at that cycle's sample.
    void simulationCompare() {
        if (QStringLiteral(IVERILOG_BIN).isEmpty() || QStringLiteral(VVP_BIN).isEmpty())
            QSKIP("iverilog was not found when the build was configured");
        DemoCopy demo;
        QProcess tool;
        tool.start(QStringLiteral(ONDREL_BIN), {u"--generate-rtl"_s, demo.onl(), u"-o"_s, demo.path(u"rtl"_s)});
        QVERIFY(tool.waitForFinished(60000) && tool.exitCode() == 0);
        tool.setWorkingDirectory(demo.path(QString()));
        tool.start(QStringLiteral(IVERILOG_BIN),
                   {u"-o"_s, u"tb.vvp"_s, QStringLiteral(ONDREL_SOURCE_DIR "/tests/rtl/demo/uart_tb.v"),
                    demo.path(u"rtl/demo_uart_la_stim.v"_s)});
        QVERIFY2(tool.waitForFinished(60000) && tool.exitCode() == 0, tool.readAllStandardError().constData());

        // The capture, armed a little after reset so that the simulation stays short.
        SimAt* simAt = nullptr;
        DeviceRegistry::add(u"sim-at"_s, [&] {
            auto d = std::make_unique<SimAt>();
            d->start = 2000;
            simAt = d.get();
            return d;
        });
        TclSession tcl;
        QVERIFY2(tcl.call({"ona_open_project", demo.ona()}), qPrintable(tcl.result()));
        QVERIFY(
            tcl.eval("ona_set_project -target sim-at -cabletype USB -cableport 0; ona_run; "
                     "ona_wait -timeout 60000"));
        DeviceRegistry::remove(u"sim-at"_s);
        QVERIFY(simAt);
        const qint64 first = tcl.dictGet("ona_get capture", "frametimes").section(u' ', 0, 0).toLongLong();
        const qint64 samples = tcl.dictGet("ona_get capture", "samples").toLongLong();
        QVERIFY(first >= 2000 && samples > 100);

        // Away from the trigger's sample, which the alignment reads.
        const qint64 changed = samples / 2 + 37;
        for (const qint64 flip : {qint64(-1), first + changed}) {
            tool.start(QStringLiteral(VVP_BIN),
                       {u"-n"_s, u"tb.vvp"_s, u"+clocks=%1"_s.arg(first + samples + 10), u"+flip=%1"_s.arg(flip)});
            QVERIFY(tool.waitForFinished(60000) && tool.exitCode() == 0);
            QVERIFY2(tcl.call({"ona_open_waveform", demo.path(u"sim.vcd"_s)}), qPrintable(tcl.result()));
            // Sample k of the capture is the design's clock cycle first + k,
            // which the clock's rise after it takes: the trigger finds that.
            QVERIFY2(tcl.eval("set r [ona_compare -clock tb.clk]"), qPrintable(tcl.result()));
            QCOMPARE(tcl.dictGet("set r", "aligned") + ' ' + tcl.dictGet("set r", "offset"),
                     u"trigger %1"_s.arg(first + 1));
            QVERIFY(
                tcl.eval("join [lmap s [dict get $r signals] {list [lindex $s 0] [lindex $s 2] [lindex $s 3]}] \\n"));
            QStringList want;
            for (const char* name : {"state", "bit_cnt", "rx_data", "rx", "tx", "rx_valid"})
                want << u"%1 0 {}"_s.arg(QLatin1String(name));
            const QStringList got = tcl.result().split(u'\n');
            if (flip >= 0) {
                // The captured byte and the simulation's, its lowest bit inverted.
                const QString byte = got.value(2).section(u' ', 2).remove(u'{').remove(u'}').section(u' ', 2, 2);
                QCOMPARE(byte.size(), 8);
                QString inverted = byte;
                inverted[7] = byte.at(7) == u'0' ? u'1' : u'0';
                want[2] = u"rx_data 1 {{%1 %1 %2 %3}}"_s.arg(changed).arg(byte, inverted);
            }
            QCOMPARE(got, want);
        }
        tcl.eval("ona_close_project");
    }

    // Peers that answer wrongly, close or fall silent: each a clear error
    // within the time limit, never a wrong bit or a hang.
    void hostilePeers() {
        struct Case {
            const char* what;
            QByteArray reply; // sent once the first request arrives, then the peer closes
            bool openocd;
            QString error;
        };
        const QList<Case> cases = {
            {"bitbang junk", "x", false, u"answered 120, not a TDO bit"_s},
            {"bitbang too much", QByteArray(40, '0'), false, u"answered 48, not a TDO bit"_s},
            {"bitbang closes", QByteArray(), false, u"closed the connection"_s},
            {"openocd error", "Einvalid command name \"jtag\"\x1a", true, u"OpenOCD: invalid command name \"jtag\""_s},
            {"openocd no tap", "Rother.tap\x1a", true, u"has no TAP \"demo.tap\" on its chain (it has: other.tap)"_s},
            {"openocd silent", "R", true, u"stopped answering"_s},
        };
        for (const Case& c : cases) {
            int portNumber = 0;
            const int listener = listenLocal(&portNumber);
            QVERIFY(listener >= 0);
            std::thread peer([&] {
                const int fd = ::accept(listener, nullptr, nullptr);
                char buf[4096];
                if (::recv(fd, buf, sizeof buf, 0) > 0 && !c.reply.isEmpty())
                    (void)::send(fd, c.reply.constData(), size_t(c.reply.size()), MSG_NOSIGNAL);
                // A silent peer keeps the line open past the client's limit.
                if (c.reply == "R")
                    QThread::msleep(800);
                ::close(fd);
            });
            QString error;
            QElapsedTimer took;
            took.start();
            if (c.openocd) {
                OpenocdPort port;
                QVERIFY(!port.open(u"127.0.0.1"_s, portNumber, u"demo.tap"_s, 300, &error));
            } else {
                BitbangPort port;
                QVERIFY(port.open(u"127.0.0.1"_s, portNumber, 300, &error));
                QVector<quint32> out;
                QVERIFY(!port.scan(false, {0x12345678}, 32, &out, &error));
            }
            peer.join();
            ::close(listener);
            QVERIFY2(error.contains(c.error), qPrintable(u"%1: %2"_s.arg(c.what, error)));
            QVERIFY(took.elapsed() < 5000);
        }
    }

    // What a core's parameters cannot hold is refused naming the limit; a
    // formula is counted in the product terms it really needs.
    void compileRefusals() {
        AnalyzerCoreInfo info;
        info.sampleWidth = 4;
        info.memoryDepth = 1024;
        info.maxTriggers = 4;
        info.finalCounterMax = 8;
        info.units = 3;
        info.expressions = 2;
        info.terms = 2;
        info.steps = 3;
        info.unitWidth = {1, 1, 2};
        info.unitSerial = {false, false, false};
        const QStringList tus = {u"A"_s, u"B"_s, u"C"_s};
        const auto load = [&](const QStringList& expressions) {
            AnalyzerLoad l;
            l.coreName = u"la"_s;
            l.signalWidths = {{u"a"_s, 1}, {u"b"_s, 1}, {u"c"_s, 2}};
            l.unitNames = tus;
            for (int u = 0; u < 3; ++u) {
                CaptureUnit cu;
                cu.width = info.unitWidth.at(u);
                cu.value = cu.care = cu.high = {1};
                l.units << cu;
            }
            for (const QString& text : expressions) {
                TriggerLang::TEProgram p;
                QString why;
                if (!TriggerLang::parseTE(text, tus, &p, &why))
                    qFatal("%s: %s", qPrintable(text), qPrintable(why));
                l.expressions << p;
                l.expressionNames << u"TE%1"_s.arg(l.expressionNames.size() + 1);
            }
            l.samples = 256;
            return l;
        };
        struct Case {
            const char* what;
            std::function<void(AnalyzerLoad*, AnalyzerCoreInfo*)> change;
            QString refusal; // empty: compiles
        };
        // The setup of expressions `e` instead of "A & B".
        const auto with = [&](const QStringList& e) {
            return [&, e](AnalyzerLoad* l, AnalyzerCoreInfo*) { *l = load(e); };
        };
        const QList<Case> cases = {
            {"a consensus term is not counted", with({"(A & B) | (!A & C) | (B & C)"}), QString()},
            {"a tautology is one term", with({"(A | !A) & (B | !B)"}), QString()},
            {"xor of three needs four terms", with({"A", "B THEN A ^ B ^ C"}),
             u"trigger expression \"TE2\", step 2 needs 4 product terms: the core holds 2 per step (N_TERMS)"_s},
            {"steps", with({"A THEN B THEN C THEN A"}),
             u"trigger expression \"TE1\" has 4 steps: the core holds 3 per expression"_s},
            {"expressions", with({"A", "B", "C"}), u"3 trigger expressions are enabled: the core holds 2 (N_EXPRS)"_s},
            {"final counter", [](AnalyzerLoad* l, AnalyzerCoreInfo*) { l->finalCount = 9; },
             u"the final counter at 9: the core counts up to 8 (FINAL_COUNTER_MAX)"_s},
            {"triggers", [](AnalyzerLoad* l, AnalyzerCoreInfo*) { l->frames = 5; },
             u"5 triggers: the core holds 4 (MAX_TRIGGERS)"_s},
            {"memory",
             [](AnalyzerLoad* l, AnalyzerCoreInfo*) {
                 l->samples = 512;
                 l->frames = 3;
             },
             u"3 triggers of 512 samples need 1536 samples of memory; the core holds 1024"_s},
            {"power of two", [](AnalyzerLoad* l, AnalyzerCoreInfo*) { l->samples = 300; },
             u"300 samples per trigger: the core takes a power of two"_s},
            {"unit width", [](AnalyzerLoad*, AnalyzerCoreInfo* i) { i->unitWidth[2] = 3; },
             u"trigger unit \"C\" compares 2 parallel bits; the core's unit 2 compares 3 parallel bits: "
             "the device was built from another design"_s},
            {"units", [](AnalyzerLoad*, AnalyzerCoreInfo* i) { i->units = 2; },
             u"3 trigger units: the core holds 2 (N_UNITS)"_s},
            {"sample width", [](AnalyzerLoad*, AnalyzerCoreInfo* i) { i->sampleWidth = 5; },
             u"the setup samples 4 bits; the core samples 5 (SAMPLE_WIDTH): the device was built from "
             "another design"_s},
        };
        for (const Case& c : cases) {
            AnalyzerLoad l = load({u"A & B"_s});
            AnalyzerCoreInfo i = info;
            c.change(&l, &i);
            QVector<CoreWrite> writes;
            QString error;
            const bool ok = AnalyzerConfig::compile(l, i, &writes, &error);
            QVERIFY2(ok == c.refusal.isEmpty(), c.what);
            QCOMPARE(error, c.refusal);
        }
    }

    // The generator writes only into its folder and never through a link;
    // names that Verilog cannot carry are refused naming them; a refusal
    // writes nothing. Also through `ondrel --generate-rtl` and the Tcl verb.
    void refusals() {
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        const QString root = tmp.path();
        QStringList written;
        QString error;

        const QString file = root + u"/plain"_s;
        QVERIFY(writeAll(file, "keep"));
        QVERIFY(!RtlGen::generate(kDemo, file, &written, &error));
        QVERIFY2(error.contains(u"is not a folder"_s), qPrintable(error));
        QCOMPARE(readAll(file), QByteArray("keep"));

        const QString elsewhere = root + u"/elsewhere"_s;
        QVERIFY(QDir().mkpath(elsewhere));
        QVERIFY(QFile::link(elsewhere, root + u"/link"_s));
        QVERIFY(!RtlGen::generate(kDemo, root + u"/link"_s, &written, &error));
        QVERIFY2(error.contains(u"is a link"_s), qPrintable(error));
        QVERIFY(QDir(elsewhere).isEmpty());

        // A file of the design that is a link: nothing at all is written.
        const QString out = root + u"/out"_s;
        QVERIFY(QDir().mkpath(out));
        QVERIFY(writeAll(elsewhere + u"/victim.v"_s, "keep"));
        QVERIFY(QFile::link(elsewhere + u"/victim.v"_s, out + u"/demo_sim.h"_s));
        QVERIFY(!RtlGen::generate(kDemo, out, &written, &error));
        QVERIFY2(error.contains(u"demo_sim.h: is a link"_s), qPrintable(error));
        QCOMPARE(readAll(elsewhere + u"/victim.v"_s), QByteArray("keep"));
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::NoDotAndDotDot | QDir::System), {u"demo_sim.h"_s});
        QVERIFY(written.isEmpty());

        // Names: a signal that is a Verilog keyword, a clock that is no
        // identifier or that is a JTAG pin, a file name that is no module name.
        QByteArray demo = readAll(kDemo);
        const auto refused = [&](const QByteArray& text, const QString& name, const QString& needle) {
            const QString path = root + QLatin1Char('/') + name;
            writeAll(path, text);
            QString why;
            QStringList files;
            const bool ok = RtlGen::generate(path, root + u"/names"_s, &files, &why);
            return !ok && why.contains(needle) && !QFileInfo::exists(root + u"/names"_s);
        };
        QByteArray keyword = demo;
        keyword.replace("\"name\": \"beat\"", "\"name\": \"reg\"").replace("\"beat\": {", "\"reg\": {");
        QVERIFY(refused(keyword, u"d.onl"_s, u"core \"bus_la\": signal \"reg\" is not a Verilog identifier"_s));
        QByteArray clock = demo;
        clock.replace("\"clk_sys\"", "\"clk-sys\"");
        QVERIFY(refused(clock, u"d.onl"_s, u"clock \"clk-sys\" is not a Verilog identifier"_s));
        QByteArray pin = demo;
        pin.replace("\"clk_sys\"", "\"tck\"");
        QVERIFY(refused(pin, u"d.onl"_s, u"clock \"tck\" has the name of a port"_s));
        QVERIFY(refused(demo, u"my-demo.onl"_s, u"\"my-demo\" is not a Verilog identifier"_s));
        // What the engine's reader refuses, the generator refuses alike.
        QByteArray broken = demo;
        broken.replace("\"width\": 16", "\"width\": 0");
        QVERIFY(refused(broken, u"d.onl"_s, u"width: expected a whole number"_s));

        // The command line and the Tcl verb write the same files.
        QProcess cli;
        cli.start(QStringLiteral(ONDREL_BIN), {u"--generate-rtl"_s, kDemo, u"-o"_s, root + u"/cli"_s});
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitCode(), 0);
        QCOMPARE(
            QString::fromLocal8Bit(cli.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts).size(), 5);
        const QString script = root + u"/gen.tcl"_s;
        writeAll(script,
                 u"puts [catch {ona_generate_rtl -dir %1/tcl}]\n"
                 "puts [llength [ona_generate_rtl -onl %2 -dir %1/tcl]]\n"_s.arg(root, kDemo)
                     .toUtf8());
        QProcess batch;
        batch.start(QStringLiteral(ONDREL_BIN), {u"--batch"_s, script});
        QVERIFY(batch.waitForFinished(60000));
        QCOMPARE(QString::fromLocal8Bit(batch.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
                 QStringList({u"1"_s, u"5"_s}));
        for (const QString& f : QDir(root + u"/cli"_s).entryList(QDir::Files))
            QCOMPARE(readAll(root + u"/tcl/"_s + f), readAll(root + u"/cli/"_s + f));
    }
};

QTEST_GUILESS_MAIN(TestRtlDemo)
#include "tst_demo.moc"
