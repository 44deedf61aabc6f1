#pragma once

#include <QWidget>

namespace vemo::toolona {

// The "Serdes Debug" page for devices with the older SERDES block. Shown
// only while the project describes a SERDES.
class SERDESView : public QWidget {
    Q_OBJECT
public:
    explicit SERDESView(QWidget* parent = nullptr);

signals:
    // A command the page wants the tool window to evaluate.
    void tclPCS(QString cmd);
};

} // namespace vemo::toolona
