#pragma once

#include <QWidget>

namespace vemo::toolona {

// The "Wishbone Debug" page: the SERDES block's Wishbone registers. Shown
// only while the project describes a SERDES.
class WishboneView : public QWidget {
    Q_OBJECT
public:
    explicit WishboneView(QWidget* parent = nullptr);

signals:
    // A command the page wants the tool window to evaluate.
    void tclPCS(QString cmd);
};

} // namespace vemo::toolona
