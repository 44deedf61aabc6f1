// Eye scans on the demo's simulated lanes through the real verbs: the width
// and height measured against the model's analytic opening, settings that
// open and close the eye, refused arguments, and both result readers on
// hand-written files. Stopping a scan and the quads' lanes are in the
// window's eye test.

#include "enginetest.h"
#include "eomfiles.h"
#include "eyemodel.h"
#include "eyemonitor.h"
#include "hardipblocks.h"
#include "hardipdevice.h"
#include "oncdata.h"

#include <sys/stat.h>
#include <unistd.h>
#include <QProcess>
#include <QtTest>
#include <cmath>

using namespace EomFiles;
using namespace Qt::StringLiterals;

class TestEye : public DemoSession {
    Q_OBJECT
private slots:
    void init() {
        QVERIFY2(openDemo("board_ctrl"), qPrintable(m_tcl.result()));
        EyeMonitor::inst()->setPacing(0);
    }
    void cleanup() { EyeMonitor::inst()->stopEOM(); }
    void widthAndHeightMatchTheModel() {
        QVERIFY2(scan("PCSCH_0", "normal"), qPrintable(m_tcl.result()));
        const QString file = m_tcl.result();
        QCOMPARE(m_tcl.dictGet("ona_get eye PCSCH_0", "file"), file);

        // The analytic opening: a point shows no error when its expected count
        // rounds to 0, i.e. at a BER below half a bit of the bits compared.
        QHash<QString, QString> settings;
        const auto set = ONCData::inst()->hardIp();
        const HardIpInstance* inst = set->instance(u"PCSCH_0"_s);
        for (const HardIpKey& k : inst->block->keys)
            settings.insert(k.name, inst->device->read(k, 0));
        const EyeLane lane = eyeLaneFor(u"PCSCH_0"_s, 0, settings);
        EyeGrid grid;
        QVERIFY(EyeGrid::forQuality(u"normal"_s, &grid));
        const double target = 0.5 / double(grid.bits);
        const int width = 2 * int(std::floor(lane.halfWidth(target) * grid.phaseSteps)) + 1;
        const int height = 2 * int(std::floor(lane.halfHeight(target) * grid.voltSteps / grid.fullScale)) + 1;
        QVERIFY(width > 5 && width < 33 && height > 5 && height < 65);
        QVERIFY(std::abs(eye("PCSCH_0", "width") - width) <= 2 && std::abs(eye("PCSCH_0", "height") - height) <= 2);

        // The file holds the whole grid, and the reader sees the same opening
        // on the centre row: zero-error points exactly where the width says.
        QByteArray data;
        QString error;
        QVERIFY2(readFile(file, &data, &error), qPrintable(error));
        QList<QStringList> rows;
        QVERIFY2(readCsv(data, &rows, &error), qPrintable(error));
        QCOMPARE(int(rows.size()), 33 * 65);
        int open = 0;
        for (const QStringList& row : rows) {
            const CsvPoint p = csvPoint(row);
            QCOMPARE(p.samples, quint64(grid.bits));
            if (p.y == 0 && p.errors == 0)
                ++open;
        }
        QCOMPARE(open, eye("PCSCH_0", "width"));
    }
    void settingsOpenAndCloseTheEye() {
        QVERIFY(scan("PCSCH_0", "low"));
        const int width = eye("PCSCH_0", "width"), height = eye("PCSCH_0", "height");
        QVERIFY(width > 0 && height > 0);
        // A staged setting that was not written leaves the eye as it was.
        QVERIFY(m_tcl.call({"ona_set_controller", "-hard_ip", "PCSCH_0", "-tx_differential_amplitude", "300mV"}));
        QVERIFY(scan("PCSCH_0", "low"));
        QCOMPARE(eye("PCSCH_0", "height"), height);
        // Better equalisation opens it.
        QVERIFY2(write("tx_postcursor_ratio", "12"), qPrintable(m_tcl.result()));
        QVERIFY2(write("rx_equalization", "SS_LMS 8GT/s"), qPrintable(m_tcl.result()));
        QVERIFY(scan("PCSCH_0", "low"));
        const int betterWidth = eye("PCSCH_0", "width");
        QVERIFY(betterWidth > width);
        // A weak transmitter closes it vertically, then entirely.
        QVERIFY(write("tx_differential_amplitude", "300mV") && scan("PCSCH_0", "low"));
        QVERIFY(eye("PCSCH_0", "height") < height && write("tx_differential_amplitude", "0mV"));
        QVERIFY(scan("PCSCH_0", "low"));
        QCOMPARE(eye("PCSCH_0", "height"), 0);
        QCOMPARE(eye("PCSCH_0", "width"), 0);
    }
    void verbsRefuseBadArguments() {
        QCOMPARE(m_tcl.steps({
                     {"ona_set_controller -hard_ip PCSCH_0 -eye_quality best", "error: expected high, normal or low"},
                     {"ona_set_controller -hard_ip MPPHY_0 -eye_lane 4", "error: expected a lane from 0 to 3"},
                     {"ona_run_controller -eye_monitor NOPE", "error: no hard IP instance named \"NOPE\""},
                     {"ona_run_controller -eye_monitor PLL_0", "error: has no eye monitor"},
                     {"ona_run_controller -eye_monitor", "error: ona_run_controller -eye_monitor NAME ?-nowait?"},
                     {"ona_get eye PCSCH_1", "error: no eye scan of \"PCSCH_1\""},
                 }),
                 QString());
        QCOMPARE(EyeMonitor::inst()->quality(u"PCSCH_0"_s), u"normal"_s);
        // A closed project forgets the scans.
        QVERIFY(scan("PCSCH_1", "low") && m_tcl.call({"ona_close_project"}) && EyeMonitor::inst()->results().isEmpty());
    }
    void csvReader() {
        QList<QStringList> rows;
        QString error;
        QVERIFY2(readCsv("0,0,32,32,e,f\n\n-3,2,64,0,1D,0\r\n1,1,0,64,0,0\n5,5,64,0,1\n"
                         "2,2,80000000,80000000,ffffffff,ffffffff\n",
                         &rows, &error),
                 qPrintable(error));
        QCOMPARE(int(rows.size()), 5);
        // 0x1D errors of 0x64 samples: 29 in single precision (28 in double).
        QCOMPARE(csvHeight(csvPoint(rows[1])), 29);
        QCOMPARE(csvHeight(csvPoint(rows[0])), 29); // 0x1d of 0x64 again, split over passes
        QCOMPARE(csvHeight(csvPoint(rows[2])), 0);  // no errors
        QCOMPARE(csvHeight(csvPoint(rows[3])), 0);  // five fields
        const CsvPoint big = csvPoint(rows[4]);
        QCOMPARE(big.samples, quint64(0x100000000)); // 64-bit, no wrap
        QCOMPARE(big.errors, quint64(0x1fffffffe));
        QCOMPARE(csvHeight(big), 0);                          // more errors than samples
        QVERIFY(readCsv("0,0,f4240,0,1,0\n", &rows, &error)); // 1 of a million: shown, not 0
        QCOMPARE(csvHeight(csvPoint(rows[0])), 1);
        QVERIFY(readCsv("", &rows, &error) && rows.isEmpty());

        const QList<QPair<QByteArray, const char*>> bad = {
            {"0,0,1,1,0,0\n1,x,1,1,0,0\n", "line 2: y \"x\""},
            {"0,0,1,1,0,0,7\n", "line 1: 7 fields"},
            {"0,0,1,1,0,zz\n", "line 1: field 6 \"zz\""},
            {"0,0,1,1,,0\n", "line 1: field 5"},
            {"0,0,1,1,0,10000000000000000\n", "field 6"}, // over 64 bits
            {"0,0,1,1,0,4000000000000001\n", "field 6"},  // two of them would overflow a sum
            {"999999,0,1,1,0,0\n", "line 1: x"},
            {"0.5,0,1,1,0,0\n", "line 1: x"},
        };
        for (const auto& [text, message] : bad) {
            QVERIFY2(!readCsv(text, &rows, &error), text.constData());
            QVERIFY2(error.contains(QLatin1String(message)), qPrintable(error));
        }
        // N scattered points would make an N-by-N grid: refused.
        QByteArray scattered;
        for (int i = 0; i < 600; ++i)
            scattered += QByteArray::number(i) + ',' + QByteArray::number(i) + ",1,1,0,0\n";
        QVERIFY(!readCsv(scattered, &rows, &error));
        QVERIFY2(error.startsWith("line 513:"), qPrintable(error));
        QVERIFY(!readCsv(QByteArray(kMaxFileBytes + 1, '\n'), &rows, &error));
        // One point repeated: no more rows than a grid has points.
        QByteArray repeated;
        for (qint64 i = 0; i <= kMaxPoints; ++i)
            repeated += "0,0,1,1,0,0\n";
        QVERIFY(!readCsv(repeated, &rows, &error));
        QVERIFY2(error.startsWith(u"line %1: more than %2 points"_s.arg(kMaxPoints + 1).arg(kMaxPoints)),
                 qPrintable(error));
        // Control bytes of the file are shown escaped, never copied.
        static const char control[] = "0,\x1b[31m\0,1,1,0,0\n";
        QVERIFY(!readCsv(QByteArray(control, sizeof control - 1), &rows, &error));
        QVERIFY2(error.contains(QLatin1String("\"\\x1b[31m\\x00\"")), qPrintable(error));
    }
    void textReader() {
        EomText eye;
        QString error;
        const QByteArray good =
            "{'comb_vals': array([[0.1, 0.2, 0.3],\n"
            "       [0.4, 0.5, 6e-01]]),\n"
            " 'x_axis': array([-0.5, 0. , 0.5]),\n"
            " 'y_axis': array([-1, 1])}\n";
        QVERIFY2(readText(good, &eye, &error), qPrintable(error));
        QCOMPARE(eye.comb, (QVector<double>{0.1, 0.2, 0.3, 0.4, 0.5, 0.6}));
        QCOMPARE(eye.x, (QVector<double>{-0.5, 0, 0.5}));
        QCOMPARE(eye.y, (QVector<double>{-1, 1}));
        // Arrays on one line, the last row's values ("[0.4, 0.5]])") kept.
        QVERIFY(
            readText("{'comb_vals': array([[0.1, 0.2], [0.4, 0.5]]), 'x_axis': array([0, 1]), "
                     "'y_axis': array([0, 1])}",
                     &eye, &error));
        QCOMPARE(eye.comb, (QVector<double>{0.1, 0.2, 0.4, 0.5}));
        // A blank line inside an array is only space.
        QVERIFY(readText(
            "'comb_vals': array([[0.1, 0.2],\n\n [0.3, 0.4]])\n'x_axis': array([0,\n\n 1])\n'y_axis': array([0, 1])",
            &eye, &error));
        QCOMPARE(eye.x, (QVector<double>{0, 1}));
        // The writer's output reads back.
        EomText written{{1e-7, 0.25, 0.5, 0.125}, {-0.5, 0.5}, {-3, 3}};
        QVERIFY(readText(writeText(written), &eye, &error));
        QCOMPARE(eye.comb, written.comb);

        const QByteArray axes = " 'x_axis': array([0, 1]),\n 'y_axis': array([0, 1])}\n";
        const QList<QPair<QByteArray, const char*>> bad = {
            {"{'comb_vals': array([[0.1, 0.2], [0.4, 0.5],]),\n", "line 1: a \",\" before \"]\""},
            {"{'comb_vals': array([[0.1, 0.2,], [0.4, 0.5]]),\n", "line 1: a value is missing"},
            {"{'comb_vals': array([[0.1, nan], [0.4, 0.5]]),\n", "\"nan\" is not a number"},
            {"{'comb_vals': array([[0.1, .5], [0.4, 0.5]]),\n", "\".5\" is not a number"},
            {"{'comb_vals': array([[0.1, ...], [0.4, 0.5]]),\n", "\"...\" is not a number"},
            {"{'comb_vals': array([[0.1, 1e999], [0.4, 0.5]]),\n", "\"1e999\" is not a number"},
            {"{'comb_vals': array([[0.1, 0.2], [0.4]]),\n", "a row of 1 values where the rows above have 2"},
            {"{'comb_vals': array([[0.1, 0.2, 0.3], [0.4, 0.5, 0.6]]),\n", "expected 2 rows of 2"},
            {"{'comb_vals': array([[0.1, 0.2],\n [0.4, 0.5]\n", "line 3: expected \",\" or \"]\" after a row"},
            {"{'comb_vals': array([0.1, 0.2, 0.4]),\n", "comb_vals holds 3 values"},
            {"{'comb_vals': array([[0.1, -1], [0.4, 0.5]]),\n", "line 1: -1 is not an error ratio (0 to 1)"},
            {"{'comb_vals': array([[0.1, 0.2], [1e300, 0.5]]),\n", "line 1: 1e300 is not an error ratio"},
            {"", "line 3: no 'comb_vals' array"},
        };
        for (const auto& [comb, message] : bad) {
            QVERIFY2(!readText(comb + axes, &eye, &error), comb.constData());
            QVERIFY2(error.contains(QLatin1String(message)), qPrintable(error));
        }
        // A flat comb of the right size is a grid too.
        QVERIFY(readText("{'comb_vals': array([0.1, 0.2, 0.4, 0.5]),\n" + axes, &eye, &error));
        // A huge grid is refused before it is built.
        QByteArray huge = "{'comb_vals': array([0]), 'x_axis': array([0";
        for (int i = 1; i < 1100; ++i)
            huge += ", " + QByteArray::number(i);
        huge += "]), 'y_axis': array([0])}";
        QVERIFY(!readText(huge, &eye, &error));
        QVERIFY2(error.contains("larger than 1024"), qPrintable(error));
    }
    // Results go to a folder of this process's own, never through a link, and
    // the folder goes with the program.
    void resultFolderIsPrivate() {
        QVERIFY2(scan("PCSCH_0", "low"), qPrintable(m_tcl.result()));
        const QString file = m_tcl.result();
        const QString dir = QFileInfo(file).absolutePath();
        QVERIFY2(!dir.endsWith(QString::number(QCoreApplication::applicationPid())), qPrintable(dir));
        struct stat st;
        QVERIFY(::lstat(QFile::encodeName(dir).constData(), &st) == 0 && S_ISDIR(st.st_mode));
        QCOMPARE(st.st_mode & 07777, mode_t(0700));
        QCOMPARE(st.st_uid, ::geteuid());

        const QString victim = m_demo->path(u"victim.txt"_s);
        writeAll(victim, "keep");
        QVERIFY(QFile::remove(file) && QFile::link(victim, file) && !scan("PCSCH_0", "low"));
        QVERIFY2(m_tcl.result().contains(QLatin1String("symbolic link")), qPrintable(m_tcl.result()));
        QCOMPARE(readAll(victim), QByteArray("keep"));
        QVERIFY(QFile::remove(file));

        const QString script = m_demo->path(u"scan.tcl"_s);
        writeAll(script,
                 u"ona_open_project {%1}\nona_set_core -name board_ctrl\n"
                 "ona_set_controller -hard_ip PCSCH_0 -eye_quality low\n"
                 "puts [ona_run_controller -eye_monitor PCSCH_0]\n"_s.arg(m_demo->ona())
                     .toUtf8());
        QProcess p;
        p.start(QStringLiteral(ONDREL_BIN), {u"--batch"_s, script});
        QVERIFY(p.waitForFinished(60000));
        const QString out = QString::fromUtf8(p.readAllStandardOutput()).trimmed();
        QVERIFY2(p.exitCode() == 0 && out.endsWith(QLatin1String(".csv")), qPrintable(out + p.readAllStandardError()));
        QVERIFY2(!QFileInfo::exists(QFileInfo(out).absolutePath()), qPrintable(out));
    }

private:
    int eye(const char* name, const char* key) {
        return m_tcl.dictGet(u"ona_get eye %1"_s.arg(QLatin1String(name)), QLatin1String(key)).toInt();
    }
    bool scan(const QString& name, const QString& quality) {
        return m_tcl.call({"ona_set_controller", "-hard_ip", name, "-eye_quality", quality}) &&
               m_tcl.call({"ona_run_controller", "-eye_monitor", name});
    }
    bool write(const QString& key, const QString& value) {
        return m_tcl.call({"ona_set_controller", "-hard_ip", "PCSCH_0", "-" + key, value}) &&
               m_tcl.call({"ona_run_controller", "-write_ip", "PCSCH_0"});
    }
};

QTEST_GUILESS_MAIN(TestEye)
#include "tst_eye.moc"
