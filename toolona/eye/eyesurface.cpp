#include "eye/eyesurface.h"

#include <QDir>
#include <QFileInfo>
#include <QLibrary>

#include <dlfcn.h>

namespace vemo::toolona {

namespace {

EyeSurface* g_surface = nullptr;
bool g_textVariant = false;

// The module lies beside this library, wherever that was installed; where
// the tool is built into the program, beside the libraries next to the
// program's folder (bin/ and lib/).
QString modulePath() {
    const QString name = QStringLiteral("libtoolona_eye3d.so");
    Dl_info info{};
    if (!dladdr(reinterpret_cast<void*>(&sharedEyeSurface), &info) || !info.dli_fname)
        return name;
    const QDir here = QFileInfo(QString::fromLocal8Bit(info.dli_fname)).absoluteDir();
    if (here.exists(name))
        return here.filePath(name);
    const QString besideLibraries = here.filePath(QStringLiteral("../lib/") + name);
    return QFileInfo::exists(besideLibraries) ? QDir::cleanPath(besideLibraries) : here.filePath(name);
}

} // namespace

EyeSurface* sharedEyeSurface(bool textVariant, QString* error) {
    if (g_surface)
        return g_surface;
    QLibrary module(modulePath());
    auto create = reinterpret_cast<OndrelCreateEyeSurface>(module.resolve("ondrel_create_eye_surface"));
    if (!create) {
        if (error)
            *error = module.errorString();
        return nullptr;
    }
    // The surface lives until the process ends, so the module stays loaded.
    g_surface = create(textVariant);
    g_textVariant = textVariant;
    return g_surface;
}

EyeSurface* existingEyeSurface() { return g_surface; }

bool existingEyeSurfaceIsText() { return g_textVariant; }

} // namespace vemo::toolona
