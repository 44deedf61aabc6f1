#pragma once

#include <QGradientStops>
#include <QString>
#include <QStringList>
#include <QWidget>

namespace vemo::toolona {

// The colour scale beside an eye diagram: the surface's gradient from 0 at
// the bottom to the height axis's top, with its ticks and what a height
// means (error ratio in percent, or comb value times 10000).
class EyeScaleBar : public QWidget {
    Q_OBJECT
public:
    explicit EyeScaleBar(QWidget* parent = nullptr);

    void setScale(const QGradientStops& stops, double top, const QString& title, const QString& unit);
    const QGradientStops& stops() const { return m_stops; }
    double top() const { return m_top; }
    QString title() const { return m_title; }
    // The tick labels, bottom first.
    QStringList tickLabels() const;

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    static constexpr int kTicks = 4;
    QGradientStops m_stops;
    double m_top = 1;
    QString m_title;
    QString m_unit;
};

} // namespace vemo::toolona
