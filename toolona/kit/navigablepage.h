#pragma once

// A page that the window's zoom actions act on. The window sends "zoom
// in", "zoom out", "zoom fit" and zoom-to-trigger to whichever page is the
// current tab, when that page implements this interface and says it has
// something to show; zoom is offered (zoomAvailable) exactly then.
// Actions that move the view or its cursors belong here too, as one
// operation each, so the window never learns which page it is talking to.

namespace vemo::toolona {

class NavigablePage {
public:
    virtual ~NavigablePage() = default;

    // True when there is something to zoom (e.g. a capture is shown).
    virtual bool canNavigate() const = 0;
    virtual void zoomIn() = 0;
    virtual void zoomOut() = 0;
    virtual void zoomFit() = 0;
    virtual void zoomTrigger() = 0;
    // Moves the page's position to the next (previous) change of the
    // selected row; false when there is none (the page says why).
    virtual bool gotoChange(bool forward) = 0;
    // Opens the page's find bar.
    virtual void showFind() = 0;
};

} // namespace vemo::toolona
