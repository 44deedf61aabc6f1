#pragma once

#include <QAbstractButton>

namespace vemo::toolona {

// One virtual switch: a checkable slide switch with its signal name below.
// Only a press on the switch image toggles it, not one on the name.
class VirtualSwitchItem : public QAbstractButton {
    Q_OBJECT
public:
    explicit VirtualSwitchItem(const QString& name, QWidget* parent = nullptr);
    QString name() const { return m_name; }
    QSize sizeHint() const override { return {96, 72}; }

protected:
    void paintEvent(QPaintEvent* event) override;
    bool hitButton(const QPoint& pos) const override;

private:
    QString m_name;
};

} // namespace vemo::toolona
