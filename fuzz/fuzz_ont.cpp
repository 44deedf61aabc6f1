// Any bytes as a token file; what is read must write back and read again
// to the same sets.
#include "projectfiles.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QList<TokenSetData> sets;
    QString error;
    if (!ProjectFiles::parseOnt(QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size)),
                                QStringLiteral("fuzz.ont"), &sets, &error)) {
        if (error.isEmpty())
            __builtin_trap();
        return 0;
    }
    QList<TokenSetData> again;
    if (!ProjectFiles::parseOnt(ProjectFiles::writeOnt(sets), QStringLiteral("again.ont"), &again, &error))
        __builtin_trap();
    if (again.size() != sets.size())
        __builtin_trap();
    for (int i = 0; i < sets.size(); ++i)
        if (again.at(i).name != sets.at(i).name || again.at(i).tokens != sets.at(i).tokens)
            __builtin_trap();
    return 0;
}
