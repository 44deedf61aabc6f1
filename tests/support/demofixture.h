#pragma once

// Shared set-up of the tool-window tests: a private copy of the demo project
// and an embedded tool window on it that talks to a recording host.

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QObject>
#include <QString>
#include <QTemporaryDir>

#include <memory>

class RecordingHost;
namespace vemo::toolona {
class OnaGUI;
}

namespace demofixture {

// Copies the demo's analyzer and debug-logic files into `dir`/`folder`
// (writable) and returns the path of the copied .ona. Without `serdes` the
// copy has no SERDES description, for tests of the analyzer alone (the
// SERDES pages would take the front tab and the run panel).
inline QString copyDemo(const QString& dir, const QString& folder = QStringLiteral("demo"), bool serdes = true) {
    const QString target = dir + QLatin1Char('/') + folder;
    QDir().mkpath(target);
    for (const char* name : {"demo.ona", "demo.onl", "mpp_merge.json"}) {
        const QString to = target + QLatin1Char('/') + QLatin1String(name);
        QFile::remove(to);
        QFile::copy(QStringLiteral(ONDREL_SOURCE_DIR "/examples/demo/") + QLatin1String(name), to);
        QFile(to).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    if (!serdes) {
        QFile onl(target + QStringLiteral("/demo.onl"));
        if (onl.open(QIODevice::ReadWrite)) {
            QJsonObject design = QJsonDocument::fromJson(onl.readAll()).object();
            design.remove(QStringLiteral("serdes"));
            onl.resize(0);
            onl.write(QJsonDocument(design).toJson());
        }
    }
    return target + QStringLiteral("/demo.ona");
}

// Writes a debug-logic file with one deep core, "deep_la" (a 16-bit
// counter, sample memory `depth`), whose trigger fires at once: a capture
// of `depth` samples is long enough to be watched. Returns `path`.
inline QString writeDeepOnl(const QString& path, int depth) {
    const QJsonObject core{
        {"name", "deep_la"},
        {"kind", 1},
        {"clock", "clk"},
        {"signals", QJsonArray{QJsonObject{{"name", "count"}, {"width", 16}}}},
        {"trigger_units", QJsonArray{QJsonObject{{"name", "TU_any"},
                                                 {"signals", QJsonArray{"count"}},
                                                 {"operator", "=="},
                                                 {"radix", "Hex"},
                                                 {"value", "xxxx"}}}},
        {"trigger_expressions", QJsonArray{QJsonObject{{"name", "TE_any"}, {"expression", "TU_any"}}}},
        {"sample_depth", QJsonObject{{"min", 64}, {"max", depth}}},
        {"multi_trigger_capacity", depth},
        {"max_triggers", 4},
        {"simulation",
         QJsonObject{{"count", QJsonObject{{"kind", "counter"}, {"start", 0}, {"step", 1}, {"every", 1}}}}}};
    const QJsonObject root{
        {"format", "ondrel-onl"}, {"version", 1}, {"device", "ONX-SIM-25"}, {"cores", QJsonArray{core}}};
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(QJsonDocument(root).toJson());
    return path;
}

// A window made as an embedding application makes it, with `args` as its
// arguments and `startup` as its start-up command; not initialised.
std::unique_ptr<vemo::toolona::OnaGUI> makeGui(bool standalone, QList<QString> args = {},
                                               const QString& startup = QString());

// An embedded window on `file` attached to `host`; initialised unless
// `init` is false. Null when initialize() refused.
std::unique_ptr<vemo::toolona::OnaGUI> embeddedGui(RecordingHost* host, const QString& file, bool init = true);

// Forgets the window's stored place, size, folders and SERDES choice, and
// the host's project state: a test starts as a first run does.
void resetWindowState();

// A stand-alone window (its own interpreter) on `file`.
std::unique_ptr<vemo::toolona::OnaGUI> standaloneGui(const QString& file);

} // namespace demofixture

// The shared fixture of the tool-window tests: a test class derives from it
// and opens the demo in its init(). m_host records every command the window
// sends; m_dir holds the private copy of the demo under "demo/".
class DemoTest : public QObject {
protected:
    DemoTest();
    ~DemoTest() override;
    // An embedded window on the demo (without its SERDES when `serdes` is
    // false), with `core` picked in the core selector as the user would, and
    // the commands of opening forgotten. False when the window refused.
    bool openDemo(const QString& core = QString(), bool serdes = true);
    // A fresh folder and recording host and a first run's window state, for
    // a test that makes its own windows.
    void freshHost();
    // Closes the window and the host, clears injected device failures,
    // removes the folder and forgets the engine's project.
    void closeDemo();

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<RecordingHost> m_host;
    std::unique_ptr<vemo::toolona::OnaGUI> m_gui;
};
