// Any bytes as an eye scan's CSV result: a refusal names a line; accepted
// rows stay within the grid limits and their heights are percentages.
#include "eomfiles.h"

#include <QSet>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray text = QByteArray::fromRawData(reinterpret_cast<const char*>(data), int(size));
    QList<QStringList> rows;
    QString error;
    if (!EomFiles::readCsv(text, &rows, &error)) {
        if (!error.startsWith(QLatin1String("line ")) || !rows.isEmpty())
            __builtin_trap();
        return 0;
    }
    QSet<int> xs, ys;
    for (const QStringList& row : rows) {
        const EomFiles::CsvPoint p = EomFiles::csvPoint(row);
        xs.insert(p.x);
        ys.insert(p.y);
        const int h = EomFiles::csvHeight(p);
        if (row.size() > 6 || h < 0 || h > 100)
            __builtin_trap();
    }
    if (qint64(xs.size()) * ys.size() > EomFiles::kMaxPoints)
        __builtin_trap();
    return 0;
}
