#pragma once

// Shared set-up of the tool-window tests: a private copy of the demo project
// and an embedded tool window on it that talks to a recording host.

#include <QDir>
#include <QFile>
#include <QString>

#include <memory>

class RecordingHost;
namespace vemo::toolona {
class OnaGUI;
}

namespace demofixture {

// Copies the demo's analyzer and debug-logic files into `dir`/`folder`
// (writable) and returns the path of the copied .ona. Inline: the source
// folder is known to the test programs only.
#ifdef ONDREL_SOURCE_DIR
inline QString copyDemo(const QString& dir, const QString& folder = QStringLiteral("demo")) {
    const QString target = dir + QLatin1Char('/') + folder;
    QDir().mkpath(target);
    for (const char* name : {"demo.ona", "demo.onl"}) {
        const QString to = target + QLatin1Char('/') + QLatin1String(name);
        QFile::remove(to);
        QFile::copy(QStringLiteral(ONDREL_SOURCE_DIR "/examples/demo/") + QLatin1String(name), to);
        QFile(to).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    }
    return target + QStringLiteral("/demo.ona");
}
#endif

// An embedded window on `file` attached to `host`; initialised unless
// `init` is false. Null when initialize() refused.
std::unique_ptr<vemo::toolona::OnaGUI> embeddedGui(RecordingHost* host, const QString& file, bool init = true);

// A stand-alone window (its own interpreter) on `file`.
std::unique_ptr<vemo::toolona::OnaGUI> standaloneGui(const QString& file);

}  // namespace demofixture
