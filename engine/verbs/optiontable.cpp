#include "optiontable.h"

using namespace Verbs;

void OptionTable::add(const OptionRow& row) {
    for (const OptionRow& r : m_rows)
        if (r.word == row.word && r.run == row.run)
            return;
    m_rows.append(row);
}

void OptionTable::add(const QStringList& words, OptionRow::Run run, OptionRow::Claims claims) {
    for (const QString& w : words) {
        OptionRow row;
        row.word = w;
        row.run = run;
        row.claims = claims;
        add(row);
    }
}

const OptionRow* OptionTable::find(int objc, Tcl_Obj* const objv[], int at) const {
    if (objc <= at)
        return nullptr;
    const QString word = text(objv[at]);
    for (const OptionRow& r : m_rows)
        if (r.claims && r.word == word && r.claims(objc, objv))
            return &r;
    for (const OptionRow& r : m_rows)
        if (!r.claims && r.word == word)
            return &r;
    return nullptr;
}

namespace OptionTables {

OptionTable& runController() {
    static OptionTable table;
    return table;
}

OptionTable& hardIpKeys() {
    static OptionTable table;
    return table;
}

OptionTable& get() {
    static OptionTable table;
    return table;
}

} // namespace OptionTables
