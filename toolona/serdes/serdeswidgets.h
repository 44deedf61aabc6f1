#pragma once

#include "widgets/statusledwidget.h"

#include <QLabel>

namespace vemo::toolona {

// A latching reset: a press flips it (red while held on), then clicked().
class ResetButton : public QLabel {
    Q_OBJECT
public:
    explicit ResetButton(QWidget* parent = nullptr);
    bool state() const { return m_state; }
    // Shows the device's state without emitting clicked().
    void setState(bool on);

signals:
    void clicked();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void paintEvent(QPaintEvent* event) override;

private:
    bool m_state = false;
};

} // namespace vemo::toolona
