// Any bytes as an analyzer file, opened against the demo's debug-logic
// file: refused with the previous project kept, or opened and saved.
#include "onadata.h"
#include "projectfiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

namespace {

struct Setup {
    QTemporaryDir dir;
    QString ona, onl, good;
    Setup() {
        onl = dir.filePath(QStringLiteral("demo.onl"));
        ona = dir.filePath(QStringLiteral("fuzz.ona"));
        good = dir.filePath(QStringLiteral("demo.ona"));
        QFile::copy(QStringLiteral(ONDREL_SOURCE_DIR "/examples/demo/demo.onl"), onl);
        QFile::copy(QStringLiteral(ONDREL_SOURCE_DIR "/examples/demo/demo.ona"), good);
        QString error;
        if (!OnaData::inst()->openProject(good, &error))
            __builtin_trap();
    }
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static Setup setup;
    const QByteArray bytes(reinterpret_cast<const char*>(data), int(size));
    ProjectFiles::OnaProject project;
    QString error;
    if (!ProjectFiles::parseOna(bytes, QStringLiteral("fuzz.ona"), &project, &error)) {
        if (error.isEmpty())
            __builtin_trap();
        return 0;
    }
    // Readable: open it for real (file, design, cores) and save it back.
    QFile f(setup.ona);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    f.write(bytes);
    f.close();
    OnaData* d = OnaData::inst();
    if (d->openProject(setup.ona, &error)) {
        if (!d->saveProject(QString(), &error))
            __builtin_trap();
        if (!d->openProject(setup.ona, &error)) // what was saved opens again
            __builtin_trap();
        d->getNumError();
    } else if (d->getCurrentProject() != setup.good && d->getCurrentProject() != setup.ona) {
        __builtin_trap(); // a refused open must keep the project
    }
    return 0;
}
