#include "kit/pagetable.h"

namespace vemo::toolona {

namespace {

QList<PageRow>& table() {
    static QList<PageRow> rows = builtInPageRows();
    return rows;
}

} // namespace

const QList<PageRow>& PageTable::rows() { return table(); }

void PageTable::addPage(const PageRow& row) { table().append(row); }

} // namespace vemo::toolona
