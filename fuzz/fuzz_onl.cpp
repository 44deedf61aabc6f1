// Any bytes as a debug-logic file: refused or read, never a crash.
#include "projectfiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ProjectFiles::OnlDesign design;
    QString error;
    const bool ok = ProjectFiles::parseOnl(QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size)),
                                           QStringLiteral("fuzz.onl"), &design, &error);
    if (!ok && error.isEmpty())
        __builtin_trap(); // a refusal always says why
    return 0;
}
