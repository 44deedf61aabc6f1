#pragma once

#include <QLabel>

namespace vemo::toolona {

// The tool's one lamp: off, red or green. It is drawn as the LED images
// (a hard IP status lamp; a controller LED with its signal name below) or
// as a disc in a raised frame (the SERDES status lamps).
class StatusLEDWidget : public QLabel {
    Q_OBJECT
public:
    enum Look { Image, Disc };
    enum State { Off = 0, Red = 1, Green = 2 };

    // An image lamp, off.
    explicit StatusLEDWidget(QWidget* parent = nullptr);
    // A disc lamp, green.
    StatusLEDWidget(Look look, QWidget* parent);
    // A controller LED: an image lamp with `name` below it, off.
    StatusLEDWidget(const QString& name, QWidget* parent);

    int state() const { return m_state; }
    // 0 off, 1 red, 2 green (anything else is drawn off).
    void setState(int state);

    // As an LED: its signal name, and on (green) or off.
    QString name() const { return m_name; }
    bool isOn() const { return m_state == Green; }
    void setOn(bool on) { setState(on ? Green : Off); }

    // As a status lamp: red or green (any other colour shows it off).
    Qt::GlobalColor color() const;
    void setColor(Qt::GlobalColor color);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    Look m_look = Image;
    int m_state = Off;
    QString m_name;
};

// The names the lamp goes by where it is an LED and a SERDES status lamp.
using VirtualLEDItem = StatusLEDWidget;
using StatusLabel = StatusLEDWidget;

} // namespace vemo::toolona
