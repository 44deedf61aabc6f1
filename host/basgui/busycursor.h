#pragma once

#include <QApplication>
#include <QCursor>

namespace vemo::basgui {

// Shows a busy cursor for the lifetime of the guard, so it is restored on
// every path out of a long call (early returns and exceptions included).
class BusyCursor {
public:
    explicit BusyCursor(Qt::CursorShape shape = Qt::BusyCursor) { QApplication::setOverrideCursor(QCursor(shape)); }
    ~BusyCursor() { QApplication::restoreOverrideCursor(); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;
};

} // namespace vemo::basgui
