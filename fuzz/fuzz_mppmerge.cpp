// Any bytes as multi-protocol PHY merge JSON: the reader either refuses with
// one of its two warnings or gives a table within its limits.
#include "hardipmerge.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    QHash<QString, ZentaMPPMergeInfo> table;
    QString warning;
    const bool ok = HardIpMerge::parse(QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size)), &table,
                                       &warning);
    if (!ok && (warning.isEmpty() || !table.isEmpty()))
        __builtin_trap();
    if (ok && !warning.isEmpty())
        __builtin_trap();
    if (table.size() > HardIpMerge::kMaxEntries)
        __builtin_trap();
    for (const ZentaMPPMergeInfo& info : std::as_const(table))
        if (info.lanes.size() > HardIpMerge::kMaxLaneParts)
            __builtin_trap();
    return 0;
}
