#pragma once

// Lists of records keyed by their `name` member.

#include <QList>

// Puts `item` in place of every entry of the same name, or appends it when
// there is none.
template <class T>
void replaceOrAppend(QList<T>& list, const T& item) {
    bool replaced = false;
    for (T& old : list)
        if (old.name == item.name) {
            old = item;
            replaced = true;
        }
    if (!replaced)
        list.append(item);
}
