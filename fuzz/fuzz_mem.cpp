// Any bytes as a $readmemh memory file for a small memory: a refusal says
// why and writes nothing; an accepted file's words fit the memory.
#include "simcontroller.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    constexpr int kWidth = 12;
    constexpr qint64 kDepth = 64;
    QVector<SimController::MemWrite> writes;
    QString error;
    const QByteArray text = QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
    if (!SimController::parseMemText(text, QStringLiteral("fuzz.mem"), kWidth, kDepth, 4, 4, 40, &writes, &error)) {
        if (error.isEmpty() || !writes.isEmpty())
            __builtin_trap();
        return 0;
    }
    for (const auto& w : writes)
        if (w.index < 4 || w.index >= 40 || w.value >= (1u << kWidth))
            __builtin_trap();
    return 0;
}
