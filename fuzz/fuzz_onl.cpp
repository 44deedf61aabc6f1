// Any bytes as a debug-logic file: refused or read, never a crash.
#include "deviceregistry.h"
#include "projectfiles.h"
#include "simdevice.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The simulation entries are checked by the simulated target's kind, as
    // when the engine starts.
    static const bool registered = [] {
        if (!DeviceRegistry::kinds().contains(SimDevice::kindName()))
            SimDevice::registerKind();
        return true;
    }();
    (void)registered;
    ProjectFiles::OnlDesign design;
    QString error;
    const bool ok = ProjectFiles::parseOnl(QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size)),
                                           QStringLiteral("fuzz.onl"), &design, &error);
    if (!ok && error.isEmpty())
        __builtin_trap(); // a refusal always says why
    return 0;
}
