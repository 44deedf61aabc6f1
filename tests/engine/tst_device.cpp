// A scripted target registered through the device registry: the real verbs
// run a capture and reach the registers on it, and its refusals come back
// as the verbs' errors.

#include "enginetest.h"

#include "deviceregistry.h"
#include "jtagtarget.h"
#include "onajtag.h"
#include "oncdata.h"
#include "targetdevice.h"
#include "tracedata.h"

#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

// What the engine asked of the target, and what it should refuse.
struct Script {
    QList<AnalyzerLoad> loads;
    int polls = 0;
    bool stopped = false;
    QString armFault;
    QString pollFault;
    QStringList registerWrites;
    QString registerFault;
};

// A core that waits two polls, records for two and is then done; sample i
// of every signal holds i modulo 2^width.
class ScriptedAnalyzer : public AnalyzerDevice {
public:
    ScriptedAnalyzer(const AnalyzerLoad& load, Script* script) : m_load(load), m_script(script) {}
    bool arm(QString* error) override {
        *error = m_script->armFault;
        return error->isEmpty();
    }
    bool poll(int, QString* error) override {
        *error = m_script->pollFault;
        ++m_polls;
        ++m_script->polls;
        return error->isEmpty();
    }
    void manualTrigger() override {}
    void stop() override { m_script->stopped = true; }
    State state() const override { return m_polls < 2 ? Waiting : m_polls < 4 ? Recording : Done; }
    int frames() const override { return state() == Done ? 1 : 0; }
    qint64 stored() const override { return state() == Done ? m_load.samples : 0; }
    qint64 waited() const override { return 0; }
    std::shared_ptr<TraceData> readSamples(QString*) override {
        auto t = std::make_shared<TraceData>(m_load.channelNames, m_load.samples);
        int channel = 0;
        for (const auto& sig : m_load.signalWidths) {
            for (qint64 i = 0; i < m_load.samples; ++i)
                for (int b = 0; b < sig.second; ++b) // channels run most significant bit first
                    if ((i >> (sig.second - 1 - b)) & 1)
                        t->channelWords(channel + b)[i >> 6] |= quint64(1) << (i & 63);
            channel += sig.second;
        }
        t->frameStarts = {0};
        t->frameTimes = {100};
        t->triggerPositions = {m_load.position};
        t->finish();
        return t;
    }

private:
    AnalyzerLoad m_load;
    Script* m_script;
    int m_polls = 0;
};

class ScriptedRegisters : public RegisterBank {
public:
    explicit ScriptedRegisters(Script* script) : m_script(script) {}
    bool hasControl(const QString& name) const override { return name == QLatin1String("ctrl_mode"); }
    bool hasStatus(const QString&) const override { return false; }
    bool readControl(const QString& name, QString* hex, QString* error) const override {
        *hex = u"C"_s;
        return refuse(name, error);
    }
    bool readStatus(const QString& name, QString*, QString* error) const override { return refuse(name, error); }
    bool writeControl(const QString& name, const QString& text, QString* error) override {
        m_script->registerWrites << name + "=" + text;
        return refuse(name, error);
    }
    bool toggleControl(const QString& name, QString* error) override { return refuse(name, error); }
    bool dumpControl(const QString& path, QString* error) const override { return refuse(path, error); }
    bool dumpStatus(const QString& path, QString* error) const override { return refuse(path, error); }
    bool loadControl(const QString& path, QString* error) override { return refuse(path, error); }

private:
    bool refuse(const QString& name, QString* error) const {
        *error = m_script->registerFault.isEmpty() ? QString() : m_script->registerFault + ": " + name;
        return error->isEmpty();
    }
    Script* m_script;
};

class ScriptedController : public ControllerDevice {
public:
    explicit ScriptedController(Script* script) : m_registers(script) {}
    bool hasMemory() const override { return false; }
    quint32 memStart() const override { return 0; }
    int memDepth() const override { return 0; }
    int memWidth() const override { return 0; }
    bool readWord(quint64, quint64*, QString* error) const override { return none(error); }
    bool writeWord(quint64, quint64, QString* error) override { return none(error); }
    bool fill(quint64, QString* error) override { return none(error); }
    bool dump(const QString&, qint64, qint64, int, QString* error) const override { return none(error); }
    bool load(const QString&, qint64, qint64, int, QString* error) override { return none(error); }
    int ledCount() const override { return 0; }
    int switchCount() const override { return 0; }
    bool readLeds(quint32*, QString* error) const override { return none(error); }
    bool readSwitches(quint32*, QString* error) const override { return none(error); }
    bool writeSwitches(quint32, QString* error) override { return none(error); }
    RegisterBank& registers() const override { return m_registers; }

private:
    static bool none(QString* error) {
        *error = u"not on the scripted target"_s;
        return false;
    }
    mutable ScriptedRegisters m_registers;
};

class ScriptedTarget : public TargetDevice {
public:
    explicit ScriptedTarget(Script* script) : m_script(script) {}
    QStringList usbPorts(const CableSettings&) const override { return {u"EzUSB-0"_s}; }
    bool parallelPortAnswers(int) const override { return false; }
    QString cableFault(const CableSettings&) const override { return QString(); }
    bool checkSignalSource(const QJsonObject&, int, QString*) const override { return true; }
    std::unique_ptr<AnalyzerDevice> openAnalyzer(const AnalyzerLoad& load, QString*) override {
        m_script->loads << load;
        return std::make_unique<ScriptedAnalyzer>(load, m_script);
    }
    std::shared_ptr<ControllerDevice> openController(const ControllerRecords&, QString*) override {
        return std::make_shared<ScriptedController>(m_script);
    }
    std::unique_ptr<HardIpDevice> openHardIp(const HardIpData&, const HardIpBlock*, QString* error) override {
        *error = u"no hard IP on the scripted target"_s;
        return nullptr;
    }
    std::unique_ptr<SerdesDevice> openSerdes(const SerdesLayout&, QString* error) override {
        *error = u"no SERDES on the scripted target"_s;
        return nullptr;
    }

private:
    Script* m_script;
};

} // namespace

class TstDevice : public QObject {
    Q_OBJECT
private slots:
    void init() {
        m_script = Script();
        DeviceRegistry::add(u"scripted"_s, [this] { return std::make_unique<ScriptedTarget>(&m_script); });
        QVERIFY2(m_tcl.call({"ona_open_project", m_demo.ona()}), qPrintable(m_tcl.result()));
        // The cable settings choose the target; a project opens on the default one.
        OnaJTAG* cable = OnaData::inst()->getJTAG();
        QVERIFY(cable->settings().device.isEmpty());
        CableSettings settings = cable->settings();
        settings.device = u"scripted"_s;
        cable->setSettings(settings);
        // A cable edit keeps the target.
        QVERIFY2(m_tcl.call({"ona_set_project", "-cableport", "0"}), qPrintable(m_tcl.result()));
        QCOMPARE(cable->settings().device, u"scripted"_s);
    }
    void cleanup() {
        m_tcl.eval("ona_close_project");
        DeviceRegistry::remove(u"scripted"_s);
    }
    void captureRunsOnTheChosenTarget() {
        QVERIFY(m_tcl.call({"ona_set_core", "-name", "bus_la", "-run", "off"}));
        QVERIFY2(m_tcl.capture(), qPrintable(m_tcl.result()));

        // The core was loaded with the project's trigger setup.
        QCOMPARE(m_script.loads.size(), 1);
        const AnalyzerLoad& load = m_script.loads.first();
        QCOMPARE(load.coreName, u"uart_la"_s);
        QCOMPARE(load.expressions.size(), 1); // TE_byte is disabled
        QCOMPARE(load.channelNames.size(), 1 + 1 + 3 + 3 + 8 + 1);
        QCOMPARE(m_script.polls, 4);

        // What the verbs read is what the target uploaded.
        QCOMPARE(m_tcl.dictGet("ona_get capture", "samples"), u"2048"_s);
        QCOMPARE(m_tcl.dictGet("ona_get capture", "triggers"), QString::number(load.position));
        QVERIFY(m_tcl.eval("ona_get value rx_data 300"));
        QCOMPARE(m_tcl.result(), u"%1"_s.arg(300 % 256, 8, 2, QLatin1Char('0')));

        // A target that fails while the core runs fails the run with its text.
        m_script.pollFault = u"ERROR: the scripted target stopped answering"_s;
        QVERIFY2(m_tcl.capture(), qPrintable(m_tcl.result()));
        QCOMPARE(OnaData::inst()->getRunErr(), m_script.pollFault);
        m_script.pollFault.clear();
        // A target's own words become a run error the window shows.
        m_script.armFault = u"the scripted core will not arm"_s;
        QVERIFY2(m_tcl.capture(), qPrintable(m_tcl.result()));
        QCOMPARE(OnaData::inst()->getRunErr(), u"ERROR: the scripted core will not arm"_s);
    }
    void registersAndRefusalsComeFromTheTarget() {
        QVERIFY2(m_tcl.call({"ona_set_core", "-name", "board_ctrl"}), qPrintable(m_tcl.result()));
        QVERIFY(m_tcl.call({"ona_run_controller", "-write_control", "ctrl_mode", "-data", "a"}));
        QCOMPARE(m_script.registerWrites, QStringList{"ctrl_mode=a"});
        QVERIFY2(m_tcl.call({"ona_run_controller", "-read_control", "ctrl_mode"}), qPrintable(m_tcl.result()));
        QCOMPARE(ONCData::inst()->getWBData(), u"C"_s);

        m_script.registerFault = u"cable timed out"_s;
        QCOMPARE(
            m_tcl.steps({{"ona_run_controller -write_control ctrl_mode -data b", "error: cable timed out: ctrl_mode"},
                         {"ona_run_controller -read_led", "error: no virtual LEDs"},
                         {"ona_read_controller -addr 0", "error: not on the scripted target"}}),
            QString());
    }

    // The settings of the target over JTAG: taken by ona_set_project and
    // kept in the analyzer file (which without them opens as before); what
    // would reach OpenOCD's Tcl as syntax is refused, on the command and in
    // a file; OpenOCD gets one argument per setting.
    void jtagCableSettings() {
        const QString steps = m_tcl.steps({
            {"ona_set_project -target jtag -cabletype REMOTE -cableport 4444 -cablehost sim.lan "
             "-tap {8 0x32 0x1234abcd} -openocd {127.0.0.1:6666 fpga.tap}",
             ""},
            {"ona_save_project; ona_close_project", "*"},
            {"ona_open_project {" + m_demo.ona() + "}", "*"},
            {"set p [ona_get project]; list [dict get $p target] [dict get $p cabletype] [dict get $p "
             "cableport] [dict get $p cablehost] [dict get $p tap] [dict get $p openocd]",
             "jtag REMOTE 4444 sim.lan {8 0x32 0x1234abcd} {127.0.0.1:6666 fpga.tap}"},
            {"ona_set_project -target nowhere", "error: target must be one of"},
            {"ona_set_project -cablehost {a;b}", "error: host must be a name"},
            {"ona_set_project -ftdi {0x403 0x6010}", "error: VID PID CHANNEL DATA DIRECTION"},
            {"ona_set_project -ftdi {0x403 0x6010 7 8 11}", "error: channel must be from 0 to 3"},
            {"ona_set_project -openocd localhost", "error: HOST:PORT"},
            {"ona_set_project -interface /tmp/a\\}b.cfg", "error: holds a character"},
            {"ona_set_project -tap {40 1 1}", "error: tap must be"},
            {"ona_set_project -tap {4 0x20 0}", "error: does not fit an IR of 4 bits"},
            // Nothing refused was kept.
            {"dict get [ona_get project] cablehost", "sim.lan"},
        });
        QVERIFY2(steps.isEmpty(), qPrintable(steps));
        QByteArray text = readAll(m_demo.ona());
        QVERIFY(text.contains("\"host\": \"sim.lan\""));
        writeAll(m_demo.ona(), text.replace("\"host\": \"sim.lan\"", "\"host\": \"x[exec rm -rf ~]\""));
        QCOMPARE(
            m_tcl.steps({{"ona_close_project; ona_open_project {" + m_demo.ona() + "}", "error: host must be a name"}}),
            QString());

        CableSettings c;
        c.type = u"USB"_s;
        c.interfaceFile = u"/usr/share/openocd/scripts/interface/my cable.cfg"_s;
        c.tckDelay = 4;
        QString error;
        QStringList args = JtagTarget::openocdArgs(c, &error);
        QCOMPARE(args.mid(0, 2), QStringList({u"-f"_s, c.interfaceFile}));
        QVERIFY(args.contains(u"adapter speed 2500"_s));
        QVERIFY(args.contains(u"jtag newtap ondrel tap -irlen 4 -expected-id 0x10dea001"_s));
        c.type = u"USB2"_s;
        args = JtagTarget::openocdArgs(c, &error);
        QVERIFY(args.contains(u"ftdi vid_pid 0x0403 0x6010"_s) && args.contains(u"ftdi layout_init 0x0008 0x000b"_s));
        c.type = u"VORANTE"_s;
        c.port = 0x278;
        QVERIFY(JtagTarget::openocdArgs(c, &error).contains(u"parport port 0x278"_s));
        c.type = u"REMOTE"_s;
        c.port = 0;
        QVERIFY(JtagTarget::openocdArgs(c, &error).isEmpty());
        QVERIFY2(error.contains(u"remote_bitbang port must be from 1 to 65535"_s), qPrintable(error));
    }

private:
    TclSession m_tcl;
    DemoCopy m_demo;
    Script m_script;
};

QTEST_GUILESS_MAIN(TstDevice)
#include "tst_device.moc"
