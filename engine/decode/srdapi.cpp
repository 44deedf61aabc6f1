#include "srdapi.h"

#include <QLibrary>

namespace {

struct Loaded {
    SrdApi api;
    QString error;
    bool ok = false;
};

Loaded load() {
    Loaded l;
    // Never unloaded: Python keeps pointers into it until the process ends.
    auto* lib = new QLibrary(QStringLiteral(ONDREL_SRD_SONAME));
    // Python's extension modules take the interpreter's symbols from the
    // global scope, as they would from a program linked against it.
    lib->setLoadHints(QLibrary::ExportExternalSymbolsHint);
    if (!lib->load()) {
        l.error = QStringLiteral("the protocol decoder library could not be loaded: %1").arg(lib->errorString());
        return l;
    }
    QStringList missing;
#define ONDREL_SRD_RESOLVE(name)                                                                                       \
    l.api.name = reinterpret_cast<decltype(&::srd_##name)>(lib->resolve("srd_" #name));                              \
    if (!l.api.name)                                                                                                   \
        missing << QStringLiteral("srd_" #name);
    ONDREL_SRD_FUNCTIONS(ONDREL_SRD_RESOLVE)
#undef ONDREL_SRD_RESOLVE
    if (!missing.isEmpty())
        l.error = QStringLiteral("the protocol decoder library %1 lacks %2")
                      .arg(lib->fileName(), missing.join(QStringLiteral(", ")));
    l.ok = missing.isEmpty();
    return l;
}

} // namespace

const SrdApi* srdApi(QString* error) {
    static const Loaded loaded = load();
    if (!loaded.ok && error)
        *error = loaded.error;
    return loaded.ok ? &loaded.api : nullptr;
}
