#include "eye/eyescalebar.h"

#include <QLinearGradient>
#include <QPainter>

namespace vemo::toolona {

EyeScaleBar::EyeScaleBar(QWidget* parent) : QWidget(parent) {
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
}

void EyeScaleBar::setScale(const QGradientStops& stops, double top, const QString& title, const QString& unit) {
    m_stops = stops;
    m_top = top > 0 ? top : 1;
    m_title = title;
    m_unit = unit;
    updateGeometry();
    update();
}

QStringList EyeScaleBar::tickLabels() const {
    // As many places as the axis beside it shows.
    const int places = m_top >= 50 ? 0 : m_top >= 5 ? 1 : 2;
    QStringList out;
    for (int i = 0; i <= kTicks; ++i)
        out << QString::number(m_top * i / kTicks, 'f', places) + m_unit;
    return out;
}

QSize EyeScaleBar::sizeHint() const {
    int labels = fontMetrics().horizontalAdvance(m_title);
    for (const QString& t : tickLabels())
        labels = qMax(labels, fontMetrics().horizontalAdvance(t) + 30);
    return {labels + 12, 200};
}

QSize EyeScaleBar::minimumSizeHint() const { return {sizeHint().width(), 120}; }

void EyeScaleBar::paintEvent(QPaintEvent*) {
    QPainter p(this);
    // Drawn on white with black text, as the diagram beside it is in
    // either theme.
    p.fillRect(rect(), Qt::white);
    p.setPen(Qt::black);
    const QFontMetrics fm = fontMetrics();
    const int titleHeight = fm.height() + 6;
    p.drawText(QRect(0, 2, width(), fm.height()), Qt::AlignCenter, m_title);
    const QRect bar(6, titleHeight + fm.height() / 2, 18, height() - titleHeight - fm.height() - 8);
    if (bar.height() < 10)
        return;
    QLinearGradient g(bar.bottomLeft(), bar.topLeft());
    g.setStops(m_stops);
    p.fillRect(bar, g);
    p.drawRect(bar.adjusted(0, 0, -1, -1));
    const QStringList labels = tickLabels();
    for (int i = 0; i <= kTicks; ++i) {
        const int y = bar.bottom() - (bar.height() - 1) * i / kTicks;
        p.drawLine(bar.right() + 1, y, bar.right() + 4, y);
        p.drawText(QRect(bar.right() + 7, y - fm.height() / 2, width() - bar.right() - 7, fm.height()),
                   Qt::AlignLeft | Qt::AlignVCenter, labels.at(i));
    }
}

} // namespace vemo::toolona
