#pragma once

#include <QWidget>

namespace vemo::toolona {

// A three-state lamp: 0 off, 1 red, 2 on (green).
class StatusLEDWidget : public QWidget {
    Q_OBJECT
public:
    explicit StatusLEDWidget(QWidget* parent = nullptr);
    int state() const { return m_state; }
    void setState(int state);
    QSize sizeHint() const override { return {28, 16}; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    int m_state = 0;
};

} // namespace vemo::toolona
