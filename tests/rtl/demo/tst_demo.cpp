// The demo design in RTL: the Verilated demo drives what the engine's
// simulated device drives, clock for clock; OpenOCD finds its TAP through
// the remote_bitbang server; the generator refuses what it must.

#include "oncdata.h"
#include "projectfiles.h"
#include "rtlgen.h"
#include "simcontroller.h"
#include "simdevice.h"
#include "simdriver.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

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

bool writeText(const QString& path, const QByteArray& text) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(text) == text.size();
}

QByteArray readText(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

class TestRtlDemo : public QObject {
    Q_OBJECT

private slots:
    // Every probed signal of every analyzer core, the controller's LEDs and
    // status registers: the RTL's value in clock n equals the simulated
    // device's sample n (its millisecond counted in the design's clocks).
    void values() {
        if (QString(QStringLiteral(ONA_DEMO_SIM)).isEmpty())
            QSKIP("verilator was not found when the build was configured: no simulated demo");
        QProcess sim;
        sim.start(QStringLiteral(ONA_DEMO_SIM), {QStringLiteral("--dump"), QString::number(kClocks)});
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
            wanted << c.name + QStringLiteral(".leds");
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
                    QFAIL(qPrintable(QStringLiteral("%1 in clock %2: the RTL has %3, the simulated device %4")
                                         .arg(columns.at(i))
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
        if (QString(QStringLiteral(ONA_DEMO_SIM)).isEmpty())
            QSKIP("verilator was not found when the build was configured: no simulated demo");
        if (QString(QStringLiteral(OPENOCD_BIN)).isEmpty())
            QSKIP("openocd was not found when the build was configured");
        const auto startSim = [](QProcess* sim) {
            sim->start(QStringLiteral(ONA_DEMO_SIM), {QStringLiteral("--port"), QStringLiteral("0"),
                                                      QStringLiteral("--time-limit"), QStringLiteral("120")});
            QByteArray out;
            static const QRegularExpression re(QStringLiteral("127\\.0\\.0\\.1:(\\d+)"));
            QDeadlineTimer deadline(30000);
            while (!deadline.hasExpired() && !re.match(QString::fromLatin1(out)).hasMatch()) {
                sim->waitForReadyRead(100);
                out += sim->readAllStandardOutput();
            }
            return re.match(QString::fromLatin1(out)).captured(1).toInt();
        };
        QProcess sim;
        const int port = startSim(&sim);
        QVERIFY2(port > 0, "the simulated demo did not report its port within 30 s");

        QProcess ocd;
        ocd.setProcessChannelMode(QProcess::MergedChannels);
        QStringList args;
        for (const QString& c :
             {QStringLiteral("adapter driver remote_bitbang"), QStringLiteral("remote_bitbang host 127.0.0.1"),
              QStringLiteral("remote_bitbang port %1").arg(port), QStringLiteral("transport select jtag"),
              QStringLiteral("gdb_port disabled"), QStringLiteral("telnet_port disabled"),
              QStringLiteral("tcl_port disabled"),
              QStringLiteral("jtag newtap demo tap -irlen 4 -expected-id 0x%1")
                  .arg(RtlGen::kIdcode, 8, 16, QLatin1Char('0')),
              QStringLiteral("init"), QStringLiteral("scan_chain"), QStringLiteral("shutdown")})
            args << QStringLiteral("-c") << c;
        ocd.start(QStringLiteral(OPENOCD_BIN), args);
        QVERIFY2(ocd.waitForFinished(60000), "openocd did not finish within a minute");
        const QString log = QString::fromLocal8Bit(ocd.readAll());
        // The scan_chain table: "0 demo.tap  Y  0x10dea001 0x10dea001  4 ..."
        const QRegularExpression row(
            QStringLiteral("^\\s*0\\s+demo\\.tap\\s+Y\\s+0x%1\\s").arg(RtlGen::kIdcode, 8, 16, QLatin1Char('0')),
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

    // The generator writes only into its folder and never through a link;
    // names that Verilog cannot carry are refused naming them; a refusal
    // writes nothing. Also through `ondrel --generate-rtl` and the Tcl verb.
    void refusals() {
        QTemporaryDir tmp;
        QVERIFY(tmp.isValid());
        const QString root = tmp.path();
        QStringList written;
        QString error;

        const QString file = root + QStringLiteral("/plain");
        QVERIFY(writeText(file, "keep"));
        QVERIFY(!RtlGen::generate(kDemo, file, &written, &error));
        QVERIFY2(error.contains(QStringLiteral("is not a folder")), qPrintable(error));
        QCOMPARE(readText(file), QByteArray("keep"));

        const QString elsewhere = root + QStringLiteral("/elsewhere");
        QVERIFY(QDir().mkpath(elsewhere));
        QVERIFY(QFile::link(elsewhere, root + QStringLiteral("/link")));
        QVERIFY(!RtlGen::generate(kDemo, root + QStringLiteral("/link"), &written, &error));
        QVERIFY2(error.contains(QStringLiteral("is a link")), qPrintable(error));
        QVERIFY(QDir(elsewhere).isEmpty());

        // A file of the design that is a link: nothing at all is written.
        const QString out = root + QStringLiteral("/out");
        QVERIFY(QDir().mkpath(out));
        QVERIFY(writeText(elsewhere + QStringLiteral("/victim.v"), "keep"));
        QVERIFY(QFile::link(elsewhere + QStringLiteral("/victim.v"), out + QStringLiteral("/demo_sim.h")));
        QVERIFY(!RtlGen::generate(kDemo, out, &written, &error));
        QVERIFY2(error.contains(QStringLiteral("demo_sim.h: is a link")), qPrintable(error));
        QCOMPARE(readText(elsewhere + QStringLiteral("/victim.v")), QByteArray("keep"));
        QCOMPARE(QDir(out).entryList(QDir::Files | QDir::NoDotAndDotDot | QDir::System),
                 {QStringLiteral("demo_sim.h")});
        QVERIFY(written.isEmpty());

        // Names: a signal that is a Verilog keyword, a clock that is no
        // identifier or that is a JTAG pin, a file name that is no module name.
        QByteArray demo = readText(kDemo);
        const auto refused = [&](const QByteArray& text, const QString& name, const QString& needle) {
            const QString path = root + QLatin1Char('/') + name;
            writeText(path, text);
            QString why;
            QStringList files;
            const bool ok = RtlGen::generate(path, root + QStringLiteral("/names"), &files, &why);
            return !ok && why.contains(needle) && !QFileInfo::exists(root + QStringLiteral("/names"));
        };
        QByteArray keyword = demo;
        keyword.replace("\"name\": \"beat\"", "\"name\": \"reg\"").replace("\"beat\": {", "\"reg\": {");
        QVERIFY(refused(keyword, QStringLiteral("d.onl"),
                        QStringLiteral("core \"bus_la\": signal \"reg\" is not a Verilog identifier")));
        QByteArray clock = demo;
        clock.replace("\"clk_sys\"", "\"clk-sys\"");
        QVERIFY(
            refused(clock, QStringLiteral("d.onl"), QStringLiteral("clock \"clk-sys\" is not a Verilog identifier")));
        QByteArray pin = demo;
        pin.replace("\"clk_sys\"", "\"tck\"");
        QVERIFY(refused(pin, QStringLiteral("d.onl"), QStringLiteral("clock \"tck\" has the name of a port")));
        QVERIFY(
            refused(demo, QStringLiteral("my-demo.onl"), QStringLiteral("\"my-demo\" is not a Verilog identifier")));
        // What the engine's reader refuses, the generator refuses alike.
        QByteArray broken = demo;
        broken.replace("\"width\": 16", "\"width\": 0");
        QVERIFY(refused(broken, QStringLiteral("d.onl"), QStringLiteral("width: expected a whole number")));

        // The command line and the Tcl verb write the same files.
        QProcess cli;
        cli.start(QStringLiteral(ONDREL_BIN),
                  {QStringLiteral("--generate-rtl"), kDemo, QStringLiteral("-o"), root + QStringLiteral("/cli")});
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitCode(), 0);
        QCOMPARE(
            QString::fromLocal8Bit(cli.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts).size(), 5);
        const QString script = root + QStringLiteral("/gen.tcl");
        writeText(script, QStringLiteral("puts [catch {ona_generate_rtl -dir %1/tcl}]\n"
                                         "puts [llength [ona_generate_rtl -onl %2 -dir %1/tcl]]\n")
                              .arg(root, kDemo)
                              .toUtf8());
        QProcess batch;
        batch.start(QStringLiteral(ONDREL_BIN), {QStringLiteral("--batch"), script});
        QVERIFY(batch.waitForFinished(60000));
        QCOMPARE(QString::fromLocal8Bit(batch.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts),
                 QStringList({QStringLiteral("1"), QStringLiteral("5")}));
        for (const QString& f : QDir(root + QStringLiteral("/cli")).entryList(QDir::Files))
            QCOMPARE(readText(root + QStringLiteral("/tcl/") + f), readText(root + QStringLiteral("/cli/") + f));
    }
};

QTEST_GUILESS_MAIN(TestRtlDemo)
#include "tst_demo.moc"
