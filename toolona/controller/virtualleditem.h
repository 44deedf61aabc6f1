#pragma once

#include <QWidget>

namespace vemo::toolona {

// One virtual LED: its lamp and, below it, its signal name.
class VirtualLEDItem : public QWidget {
    Q_OBJECT
public:
    explicit VirtualLEDItem(const QString& name, QWidget* parent = nullptr);
    QString name() const { return m_name; }
    bool isOn() const { return m_on; }
    void setOn(bool on) { m_on = on; }
    QSize sizeHint() const override { return {96, 40}; }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QString m_name;
    bool m_on = false;
};

} // namespace vemo::toolona
