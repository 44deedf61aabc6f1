#pragma once

#include "widgets/statusledwidget.h"

#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

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

// A push button put in a cell of `grid`, its click going to `slot`.
template <typename Receiver>
QPushButton* gridButton(QGridLayout* grid, int row, int column, const QString& text, Receiver* receiver,
                        void (Receiver::*slot)()) {
    auto* button = new QPushButton(text, grid->parentWidget());
    grid->addWidget(button, row, column);
    QObject::connect(button, &QPushButton::clicked, receiver, slot);
    return button;
}

} // namespace vemo::toolona
