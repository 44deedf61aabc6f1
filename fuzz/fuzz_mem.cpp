// Any bytes as a $readmemh memory file for a memory the input chooses: the
// first six bytes give the word width (1 to 1024 bits), the depth (1 to
// 65536 words), the offset and the range of words allowed; the rest is the
// file. A refusal says why and writes nothing; an accepted file's words fit
// the width and land inside the range.
#include "simcontroller.h"

#include <algorithm>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 6)
        return 0;
    const int width = 1 + ((data[0] | data[1] << 8) % 1024);
    const qint64 depth = 1 + (data[2] | data[3] << 8);
    const qint64 offset = data[4] % depth;
    const qint64 hi = std::min<qint64>(depth, offset + 1 + data[5]);
    QVector<SimController::MemWrite> writes;
    QString error;
    const QByteArray text = QByteArray::fromRawData(reinterpret_cast<const char*>(data + 6), int(size - 6));
    if (!SimController::parseMemText(text, QStringLiteral("fuzz.mem"), width, depth, offset, offset, hi, &writes,
                                     &error)) {
        if (error.isEmpty() || !writes.isEmpty() || error.contains(QChar(0)))
            __builtin_trap();
        return 0;
    }
    const quint64 mask = width >= 64 ? ~quint64(0) : (quint64(1) << width) - 1;
    if (writes.isEmpty() || writes.size() > depth * 4)
        __builtin_trap();
    for (const auto& w : writes)
        if (qint64(w.index) < offset || qint64(w.index) >= hi || (w.value & ~mask) != 0)
            __builtin_trap();
    return 0;
}
