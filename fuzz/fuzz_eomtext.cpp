// Any bytes as an eye scan's text result: a refusal names a line; an
// accepted grid is within the limits and holds exactly x by y finite values.
#include "eomfiles.h"

#include <cmath>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text = QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
    EomFiles::EomText eye;
    QString error;
    if (!EomFiles::readText(text, &eye, &error)) {
        if (!error.startsWith(QLatin1String("line ")) || !eye.comb.isEmpty())
            __builtin_trap();
        return 0;
    }
    const qint64 nx = eye.x.size(), ny = eye.y.size();
    if (nx < 1 || ny < 1 || nx * ny > EomFiles::kMaxPoints || eye.comb.size() != nx * ny)
        __builtin_trap();
    for (double v : eye.comb)
        if (!std::isfinite(v))
            __builtin_trap();
    return 0;
}
