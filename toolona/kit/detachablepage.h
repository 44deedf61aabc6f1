#pragma once

// A page that can leave the tab widget for a window of its own and come
// back (the controller pages). The right view docks and undocks it and asks
// it these few things; the page asks to move through its row's dock request
// (PageContext::dockRequest).

#include <QString>

class QWidget;

namespace vemo::toolona {

class DetachablePage {
public:
    virtual ~DetachablePage() = default;

    virtual bool isDocked() const = 0;
    // Whether the current core defines what this page shows.
    virtual bool hasContent() const = 0;
    // The core the page shows (empty: none).
    virtual QString coreName() const = 0;
    // Closes the page for good (tool shutdown), docked or not.
    virtual void forceClose() = 0;
    // The button that docks and undocks the page.
    virtual QWidget* dockHandle() const = 0;
    // The width a window of its own needs to show the whole page.
    virtual int detachedWidth() const = 0;
};

} // namespace vemo::toolona
