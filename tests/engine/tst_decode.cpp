// Protocol decoders through the verbs: the library's list, the demo's
// UART against sigrok-cli on our own VCD export, a stacked I2C -> EEPROM
// decode on a capture built here, a restart that never mixes with the
// decode it replaced, a decoder that raises, refusals and hostile saved
// entries.

#include "enginetest.h"

#include "analyzercore.h"
#include "decoderset.h"
#include "projectfiles.h"
#include "tracedata.h"
#include "waveformmodel.h"

#include <QProcess>
#include <QStandardPaths>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

AnalyzerCore* current() { return OnaData::inst()->getCorePtr(-1).data(); }

// Puts a capture of `samples` into the current core, each channel's level
// at a sample from `level(channel name, sample)`.
void installCapture(qint64 samples, const std::function<int(const QString&, qint64)>& level) {
    AnalyzerCore* core = current();
    const QStringList names = AnalyzerCore::channelNames(core->onl());
    auto t = std::make_shared<TraceData>(names, samples);
    for (int c = 0; c < names.size(); ++c) {
        quint64* w = t->channelWords(c);
        for (qint64 s = 0; s < samples; ++s)
            if (level(names.at(c), s))
                w[s >> 6] |= quint64(1) << (s & 63);
    }
    t->finish();
    QList<QPair<QString, int>> widths;
    for (const auto& s : core->onl().signalList)
        widths.append({s.name, s.width});
    core->getWDModel()->setTrace(t, widths);
    core->getWDModel()->setClockPeriod(10);
}

// A UART line: idle high, then each byte as start bit, 8 data bits LSB
// first and a stop bit, `bit` samples a bit.
std::vector<quint8> uartLine(const QList<int>& bytes, int bit, qint64 samples) {
    std::vector<quint8> line(size_t(samples), 1);
    qint64 at = 100;
    for (int repeat = 0; at + 10 * bit < samples; ++repeat)
        for (int b : bytes) {
            if (at + 10 * bit >= samples)
                break;
            QList<int> bits{0};
            for (int i = 0; i < 8; ++i)
                bits << ((b >> i) & 1);
            bits << 1;
            for (int v : bits)
                for (int k = 0; k < bit; ++k)
                    line[size_t(at++)] = quint8(v);
            at += bit;
        }
    return line;
}

} // namespace

class TestDecode : public DemoSession {
    Q_OBJECT

private slots:
    void initTestCase() {
        // A decoder that raises after its first edge, found through the
        // library's own search path variable before the library starts.
        QVERIFY(m_decoders.isValid());
        QDir(m_decoders.path()).mkpath(u"ona_fail"_s);
        writeAll(m_decoders.filePath(u"ona_fail/__init__.py"_s), "from .pd import Decoder\n");
        writeAll(m_decoders.filePath(u"ona_fail/pd.py"_s),
                 "import sigrokdecode as srd\n"
                 "class Decoder(srd.Decoder):\n"
                 "    api_version = 3\n"
                 "    id = 'ona_fail'\n"
                 "    name = 'Fail'\n"
                 "    longname = 'Failing decoder'\n"
                 "    desc = 'Raises after the first edge.'\n"
                 "    license = 'gplv2+'\n"
                 "    inputs = ['logic']\n"
                 "    outputs = []\n"
                 "    channels = ({'id': 'data', 'name': 'Data', 'desc': 'Data line'},)\n"
                 "    annotations = (('edge', 'Edge'),)\n"
                 "    def reset(self):\n"
                 "        pass\n"
                 "    def start(self):\n"
                 "        self.out_ann = self.register(srd.OUTPUT_ANN)\n"
                 "    def decode(self):\n"
                 "        self.wait({0: 'e'})\n"
                 "        raise Exception('line broke at the first edge')\n");
        qputenv("SIGROKDECODE_DIR", QFile::encodeName(m_decoders.path()));
    }

    void init() {
        QVERIFY2(openDemo(), qPrintable(m_tcl.result()));
        // The data bytes a UART decoder found.
        QVERIFY(
            m_tcl.eval(u"proc _bytes name {lmap a [ona_get annotations -decoder $name -row tx-data] "
                       "{if {[regexp {^[0-9A-F]{2}$} [lindex $a 3]]} {set a} else continue}}"_s));
    }

    void library() {
        QString error;
        QVERIFY2(DecodeLibrary::inst().ready(&error), qPrintable(error));
        const DecoderInfo* uart = DecodeLibrary::inst().find(u"uart"_s);
        QVERIFY(uart);
        QVERIFY(!uart->desc.isEmpty());
        QVERIFY(uart->channels.isEmpty()); // rx and tx are both optional
        QVERIFY(uart->hasChannel(u"tx"_s) && uart->hasChannel(u"rx"_s));
        QCOMPARE(uart->option(u"baudrate"_s)->defaultText, u"115200"_s);
        QCOMPARE(uart->option(u"baudrate"_s)->type, DecoderOption::Int);
        QVERIFY(uart->option(u"parity"_s)->values.contains(u"even"_s));
        QVERIFY(uart->rowIndex(u"tx-data"_s) >= 0);
        // Every class lands in exactly one row.
        for (const DecoderInfo& d : DecodeLibrary::inst().decoders())
            for (int c = 0; c < d.classes.size(); ++c)
                QVERIFY2(d.rowOfClass.at(c) >= 0 && d.rows.at(d.rowOfClass.at(c)).classes.contains(c),
                         qPrintable(d.id));
        const DecoderInfo* i2c = DecodeLibrary::inst().find(u"i2c"_s);
        QCOMPARE(i2c->channels.size(), 2);
        QVERIFY(DecodeLibrary::inst().find(u"eeprom24xx"_s)->inputs.contains(u"i2c"_s));
    }

    // The demo's saved UART decoder on tx: its bytes, their ranges, the
    // search, the export, and the same after saving and opening again.
    void demoUart() {
        // The capture starts in the middle of a frame: the decoder finds its
        // frames after the first idle gap.
        QCOMPARE(
            m_tcl.steps({{"ona_get decoders", u"uart_tx"_s},
                         {TclSession::runAndWait(), u"Completed"_s},
                         {"lmap a [lrange [_bytes uart_tx] 3 8] {lindex $a 3}", u"5A 55 5A 55 5A 55"_s},
                         // 16 samples a bit: the data bits of a byte span 8 * 16 samples.
                         {"lsort -unique [lmap a [_bytes uart_tx] {expr {[lindex $a 1] - [lindex $a 0]}}]", u"128"_s}}),
            QString());
        QVERIFY(m_tcl.eval(u"lindex [_bytes uart_tx] 3"_s));
        const QString first = m_tcl.result();
        const QString second = first.section(u' ', 0, 0);
        QVERIFY(m_tcl.eval(u"ona_get annotations -decoder uart_tx -row tx-data"_s));
        const QString bytes = m_tcl.result();
        const QString csv = m_demo->path(u"bytes.csv"_s);
        QCOMPARE(m_tcl.steps({{"ona_find -decoder uart_tx -text 0x5A -from 400", second},
                              {"ona_find -decoder uart_tx -text 0x5a -from " + second + " -backward", second},
                              {"ona_find -decoder uart_tx -text 0x5A -from 2000", u"-1"_s},
                              {"ona_get annotations -decoder uart_tx -row tx-data -from [expr {" + second +
                                   " + 1}] -to " + second,
                               u"{%1}"_s.arg(first)},
                              {u"ona_export_project -annotations {%1}"_s.arg(csv)}}),
                 QString());
        const QStringList lines = QString::fromUtf8(readAll(csv)).split(u'\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.first(), u"decoder,row,class,start,end,text"_s);
        QVERIFY(lines.contains(u"uart_tx,tx-data,tx-data,%1,%2,5A"_s.arg(second, first.section(u' ', 1, 1))));

        // Saved with the capture, opened again: the same bytes.
        QCOMPARE(m_tcl.steps({"ona_set_decoder uart_tx -colour #ff8000 -hidden 1",
                              "ona_save_project",
                              u"ona_open_project {%1}"_s.arg(m_demo->ona()),
                              {"dict get [ona_get decoder uart_tx] colour", u"#ff8000"_s},
                              {"dict get [ona_get decoder uart_tx] hidden", u"1"_s},
                              {"ona_get annotations -decoder uart_tx -row tx-data", bytes}}),
                 QString());
    }

    // The decoded bytes and their start samples equal what sigrok-cli
    // decodes from our VCD export of the same capture with the same options.
    void matchesSigrokCli() {
        const QString cli = QStandardPaths::findExecutable(u"sigrok-cli"_s);
        if (cli.isEmpty())
            QSKIP("sigrok-cli is not installed: the comparison with it is skipped");
        const QString vcd = m_demo->path(u"uart.vcd"_s);
        // libsigrok's VCD reader (0.5) reads one-bit variables only.
        QVERIFY2(
            m_tcl.eval(u"ona_run; ona_wait -timeout %1; ona_export_project -vcd {%2} -siglist tx"_s.arg(testMs(20000))
                           .arg(vcd)),
            qPrintable(m_tcl.result()));
        QVERIFY(m_tcl.eval(u"join [lmap a [_bytes uart_tx] {list [lindex $a 0] [lindex $a 3]}] \\n"_s));
        const QString ours = m_tcl.result();
        QProcess p;
        p.start(cli, {u"-i"_s, vcd, u"-I"_s, u"vcd"_s, u"-P"_s, u"uart:tx=tx:baudrate=6250000"_s, u"-A"_s,
                      u"uart=tx-data"_s, u"--protocol-decoder-samplenum"_s});
        QVERIFY(p.waitForFinished(testMs(30000)));
        QStringList theirs;
        for (const QString& line : QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts)) {
            // "1234-1362 uart-1: 55"
            const QRegularExpressionMatch m = QRegularExpression(u"^(\\d+)-(\\d+) \\S+: (.*)$"_s).match(line.trimmed());
            QVERIFY2(m.hasMatch(), qPrintable(line));
            theirs << m.captured(1) + u' ' + m.captured(3);
        }
        QCOMPARE(ours, theirs.join(u'\n'));
        QVERIFY(theirs.size() >= 8);
    }

    // I2C on two lines of a capture built here, an EEPROM decoder stacked
    // on it: a byte write of 0x5A to word 0x00 of the chip at 0x50.
    void stackedI2cEeprom() {
        QVERIFY(m_tcl.call({"ona_remove_decoder", "uart_tx"}));
        const int half = 8;
        std::vector<quint8> scl, sda;
        auto put = [&](int c, int d, int n) {
            for (int i = 0; i < n; ++i)
                scl.push_back(quint8(c)), sda.push_back(quint8(d));
        };
        put(1, 1, 40);
        put(1, 0, half); // start: SDA falls while SCL is high
        for (int byte : {0xA0, 0x00, 0x5A}) {
            for (int b = 7; b >= -1; --b) { // 8 bits, then the acknowledge (low)
                const int d = b >= 0 ? (byte >> b) & 1 : 0;
                put(0, d, half);
                put(1, d, half);
            }
        }
        put(0, 0, half);
        put(1, 0, half);
        put(1, 1, 60); // stop: SDA rises while SCL is high
        installCapture(qint64(scl.size()), [&](const QString& name, qint64 s) {
            return name == u"rx"_s ? scl[size_t(s)] : name == u"tx"_s ? sda[size_t(s)] : 0;
        });
        QCOMPARE(m_tcl.steps({{"ona_add_decoder i2c -channels {scl rx sda tx}", u"i2c"_s},
                              {"ona_add_decoder eeprom24xx -stack i2c", u"eeprom24xx"_s},
                              {"ona_get decoders", u"i2c eeprom24xx"_s},
                              {"ona_set_decoder eeprom24xx -position 0", u"error: stays after it"_s},
                              {"ona_set_decoder i2c -hidden 1 -position 2", u"error: -position takes 0 to 1, not 2"_s},
                              {"dict get [ona_get decoder i2c] hidden", u"0"_s},
                              {"lsearch -inline -all [lmap a [ona_get annotations -decoder i2c] {lindex $a 3}] "
                               "{Data write: 5A}",
                               u"{Data write: 5A}"_s},
                              {"lmap a [ona_get annotations -decoder eeprom24xx -row ops] {lindex $a 3}",
                               u"{Byte write (addr=00, 1 byte): 5A}"_s},
                              {"ona_find -decoder eeprom24xx -text 0x5A", u"*"_s}}),
                 QString());
        QVERIFY(m_tcl.result().toLongLong() > 0);
        // Removing the bottom removes what stands on it, top first.
        QCOMPARE(m_tcl.steps({{"ona_remove_decoder i2c", u"eeprom24xx i2c"_s}, {"ona_get decoders", QString()}}),
                 QString());
    }

    // An option changed while a long decode runs: the old decode stops and
    // what is read afterwards is the new decode's alone, the same as a
    // decode started with that option from the beginning.
    void restartNeverMixes() {
        QVERIFY(m_tcl.call({"ona_remove_decoder", "uart_tx"}));
        const qint64 samples = 4 * 1000 * 1000;
        const std::vector<quint8> line = uartLine({0x55, 0x5A, 0xC3}, 16, samples);
        installCapture(samples, [&](const QString& name, qint64 s) { return name == u"tx"_s ? line[size_t(s)] : 0; });
        DecoderSet* set = current()->getDecoders();
        QVERIFY(m_tcl.eval(u"ona_add_decoder uart -name u -channels {tx tx} -options {baudrate 3125000}"_s));
        const quint64 first = set->generation();
        QVERIFY(set->busy());
        QTRY_VERIFY_WITH_TIMEOUT(set->progressDone() > 0 || !set->busy(), testMs(10000));
        QVERIFY(m_tcl.eval(u"ona_set_decoder u -options {baudrate 6250000}"_s));
        QVERIFY(set->generation() > first);
        QVERIFY(m_tcl.eval(u"ona_get annotations -decoder u -row tx-data"_s));
        const QString mixed = m_tcl.result();
        QVERIFY(
            m_tcl.eval(u"ona_remove_decoder u; ona_add_decoder uart -name u -channels {tx tx} "
                       "-options {baudrate 6250000}; ona_get annotations -decoder u -row tx-data"_s));
        QCOMPARE(mixed, m_tcl.result());
        // The baud rate a new decoder guesses from the shortest pulse (16 samples at 100 MHz).
        QCOMPARE(m_tcl.steps({{"lsort -unique [lmap a [_bytes u] {lindex $a 3}]", u"55 5A C3"_s},
                              {"ona_add_decoder uart -channels {tx tx}", u"uart"_s},
                              {"dict get [dict get [ona_get decoder uart] options] baudrate", u"6250000"_s}}),
                 QString());
    }

    // A decoder that raises: its message on its row and in the verbs that
    // read it; the other decoders decode on.
    void decoderError() {
        QCOMPARE(m_tcl.steps({TclSession::runAndWait(),
                              {"ona_add_decoder ona_fail -channels {data tx}", u"ona_fail"_s},
                              {"ona_get annotations -decoder ona_fail", u"error: line broke at the first edge"_s},
                              {"dict get [ona_get decoder ona_fail] state", u"error"_s},
                              {"dict get [ona_get decoder ona_fail] error", u"*"_s},
                              {"llength [_bytes uart_tx]", u"10"_s}}),
                 QString());
        QVERIFY(current()->getDecoders()->status(u"ona_fail"_s).error.contains(u"line broke"_s));
    }

    // A program whose first decode started the library ends: the library
    // stops on the thread that started it (a worker that had ended would
    // leave Python waiting for it at exit).
    void programEndsAfterDecode() {
        const QString script = m_demo->path(u"decode.tcl"_s);
        writeAll(script,
                 u"ona_open_project {%1}\nona_run\nona_wait\n"
                 "puts [llength [ona_get annotations -decoder uart_tx]]\n"_s.arg(m_demo->ona())
                     .toUtf8());
        QProcess p;
        p.start(QStringLiteral(ONDREL_BIN), {u"--batch"_s, script});
        const bool ended = p.waitForFinished(testMs(20000));
        if (!ended)
            p.kill();
        QVERIFY(ended);
        QCOMPARE(p.exitCode(), 0);
        QVERIFY(p.readAllStandardOutput().trimmed().toInt() > 10);
    }

    void refusals() {
        const QString failed = m_tcl.steps({
            {"ona_add_decoder nosuch -channels {tx tx}", u"error: no decoder \"nosuch\""_s},
            {"ona_add_decoder uart -channels {clk tx}", u"error: has no channel \"clk\""_s},
            {"ona_add_decoder uart -channels {tx nosignal}", u"error: no signal or bus bit \"nosignal\""_s},
            {"ona_add_decoder i2c -channels {scl rx}", u"error: needs its channel \"sda\""_s},
            {"ona_add_decoder uart", u"error: needs at least one channel"_s},
            {"ona_add_decoder uart -channels {tx tx} -options {baudrate fast}", u"error: a whole number"_s},
            {"ona_add_decoder uart -channels {tx tx} -options {baudrate -5}", u"error: a number above 0"_s},
            {"ona_add_decoder uart -channels {tx tx} -options {stop_bits nan}", u"error: takes a number"_s},
            {"ona_add_decoder uart -channels {tx tx} -options {parity sometimes}", u"error: takes one of"_s},
            {"ona_add_decoder uart -channels {tx tx} -options {speed 1}", u"error: has no option \"speed\""_s},
            {"ona_add_decoder uart -channels {tx tx} -options {baudrate}", u"error: a list of pairs"_s},
            {"ona_add_decoder uart -name uart_tx -channels {tx tx}", u"error: already has a decoder"_s},
            {"ona_add_decoder uart -name {1 bad} -channels {tx tx}", u"error: is not a decoder name"_s},
            {"ona_add_decoder eeprom24xx -stack nosuch", u"error: no decoder \"nosuch\" to stack"_s},
            {"ona_add_decoder eeprom24xx -stack uart_tx", u"error: takes i2c"_s},
            {"ona_add_decoder uart -stack uart_tx -channels {tx tx}", u"error: takes no channels"_s},
            {"ona_add_decoder uart -channels {tx tx} -speed 1", u"error: unknown option \"-speed\""_s},
            {"ona_add_decoder uart -channels {tx tx} -colour notacolour", u"error: -colour takes"_s},
            {"ona_set_decoder nosuch -hidden 1", u"error: no decoder \"nosuch\""_s},
            {"ona_set_decoder uart_tx -stack x", u"error: -stack is given when"_s},
            {"ona_set_decoder uart_tx -hidden maybe", u"error: -hidden takes"_s},
            {"ona_get decoders", u"uart_tx"_s},
            {"ona_get annotations -decoder uart_tx", u"error: has nothing decoded: the core has no capture"_s},
            TclSession::runAndWait(),
            {"ona_get annotations -decoder uart_tx -row nosuch", u"error: has no row \"nosuch\""_s},
            {"ona_get annotations -decoder uart_tx -from x", u"error: -from takes a sample number"_s},
            {"ona_get annotations -decoder nosuch", u"error: no decoder \"nosuch\""_s},
            {"ona_get annotations", u"error: ona_get annotations -decoder name"_s},
            {"ona_find -decoder uart_tx", u"error: ona_find -decoder name -text"_s},
            {u"ona_export_project -annotations {%1}"_s.arg(m_demo->path(QString())), u"error: cannot write"_s},
            {"ona_remove_decoder nosuch", u"error: no decoder \"nosuch\""_s},
            {"ona_set_core -name board_ctrl; ona_get decoders", u"error: is not an analyzer core"_s},
        });
        QVERIFY2(failed.isEmpty(), qPrintable(failed));
    }

    // Saved entries the reader refuses, each with where and why; entries
    // it keeps although the library cannot decode them save unchanged.
    void hostileSaved() {
        const QByteArray demo = readAll(m_demo->ona());
        const QByteArray good =
            "\"decoders\": [{\"name\": \"uart_tx\", \"decoder\": \"uart\", \"channels\": {\"tx\": \"tx\"}, "
            "\"options\": {\"baudrate\": \"6250000\"}}]";
        QVERIFY(demo.contains("\"decoders\": ["));
        auto withDecoders = [&](const QByteArray& entries) {
            QByteArray d = demo;
            const int at = int(d.indexOf("\"decoders\": ["));
            const int end = int(d.indexOf("\"name\": \"uart_la\""));
            return d.replace(at, end - at, entries + ",\n");
        };
        QVERIFY(withDecoders(good) != demo);
        const QList<QPair<QByteArray, QString>> bad{
            {"\"decoders\": {}", u"cores[0].decoders: expected"_s},
            {"\"decoders\": [1]", u"cores[0].decoders[0]"_s},
            {"\"decoders\": [{\"name\": \"a\", \"decoder\": \"uart\", \"baud\": 1}]",
             u"decoders[0].baud: unknown key"_s},
            {"\"decoders\": [{\"decoder\": \"uart\"}]", u"decoders[0].name: missing"_s},
            {"\"decoders\": [{\"name\": \"\", \"decoder\": \"uart\"}]", u"needs a name and a decoder"_s},
            {"\"decoders\": [{\"name\": \"" + QByteArray(65, 'a') + "\", \"decoder\": \"uart\"}]", u"longer than 64"_s},
            {"\"decoders\": [{\"name\": \"a\", \"decoder\": \"uart\"}, {\"name\": \"a\", \"decoder\": \"uart\"}]",
             u"\"a\" is listed twice"_s},
            {"\"decoders\": [{\"name\": \"b\", \"decoder\": \"eeprom24xx\", \"stack\": \"a\"}, {\"name\": \"a\", "
             "\"decoder\": \"i2c\"}]",
             u"decoders[0].stack: no decoder \"a\" listed before"_s},
            {"\"decoders\": [{\"name\": \"a\", \"decoder\": \"uart\", \"channels\": {\"tx\": 3}}]",
             u"channels.tx: expected a string"_s},
            {"\"decoders\": [{\"name\": \"a\", \"decoder\": \"uart\", \"options\": {\"baudrate\": {}}}]",
             u"options.baudrate: expected a string"_s},
            {"\"decoders\": [{\"name\": \"a\", \"decoder\": \"uart\", \"colour\": \"#12345z\"}]",
             u"expected a colour"_s},
            {"\"decoders\": [{\"name\": \"a\", \"decoder\": \"uart\", \"hidden\": \"yes\"}]",
             u"expected true or false"_s},
        };
        for (const auto& [entries, why] : bad) {
            ProjectFiles::OnaProject p;
            QString error;
            QVERIFY2(!ProjectFiles::parseOna(withDecoders(entries), u"x.ona"_s, &p, &error), entries.constData());
            QVERIFY2(error.contains(why), qPrintable(error));
        }
        QByteArray many = "\"decoders\": [";
        for (int i = 0; i < 33; ++i)
            many +=
                (i ? ", " : "") + QByteArray("{\"name\": \"d") + QByteArray::number(i) + "\", \"decoder\": \"uart\"}";
        ProjectFiles::OnaProject p;
        QString error;
        QVERIFY(!ProjectFiles::parseOna(withDecoders(many + "]"), u"x.ona"_s, &p, &error));

        // Opened although nothing can decode them; their rows say why; saved unchanged.
        writeAll(m_demo->ona(),
                 withDecoders(u"\"decoders\": [{\"name\": \"gone\", \"decoder\": \"nosuch\", \"channels\": "
                              "{\"x\": \"tx\"}}, {\"name\": \"\U0001F600\", \"decoder\": \"uart\", \"channels\": "
                              "{\"tx\": \"no\\u0000signal\"}, \"options\": {\"baudrate\": 9600}}]"_s.toUtf8()));
        QCOMPARE(m_tcl.steps({u"ona_open_project {%1}"_s.arg(m_demo->ona()),
                              TclSession::runAndWait(),
                              {"ona_get annotations -decoder gone", u"error: no decoder \"nosuch\""_s},
                              {u"ona_get annotations -decoder \U0001F600"_s, u"error: no signal or bus bit"_s},
                              "ona_save_project"}),
                 QString());
        QVERIFY(ProjectFiles::parseOna(readAll(m_demo->ona()), u"x.ona"_s, &p, &error));
        QCOMPARE(p.cores.first().decoders.size(), 2);
        QCOMPARE(p.cores.first().decoders.at(1).name, u"\U0001F600"_s);
        QCOMPARE(p.cores.first().decoders.at(1).channels.value(u"tx"_s), u"no\u0000signal"_s);
        QCOMPARE(p.cores.first().decoders.at(1).options.value(u"baudrate"_s), u"9600"_s);
    }

private:
    QTemporaryDir m_decoders;
};

QTEST_GUILESS_MAIN(TestDecode)
#include "tst_decode.moc"
