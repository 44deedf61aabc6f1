#include "kit/labelgroupbox.h"

#include <QLabel>
#include <QStyle>
#include <QStyleOptionGroupBox>

namespace vemo::toolona {

LabelGroupBox::LabelGroupBox(QWidget* parent) : QGroupBox(QStringLiteral(" "), parent), m_label(new QLabel(this)) {}

void LabelGroupBox::setLabel(const QString& text) {
    setTitle(QStringLiteral(" "));
    QStyleOptionGroupBox option;
    initStyleOption(&option);
    const QRect titleRect = style()->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, this);
    m_label->setText(text);
    m_label->resize(m_label->sizeHint());
    m_label->move(titleRect.right(), titleRect.top());
    // The shortest title gap, widened by pairs of blanks, that the label
    // fits into. The count the blanks' width predicts is checked by
    // measuring, so a long label costs a few measurements, not one a pair.
    const QFontMetrics metrics(font());
    const QString base = title();
    const int want = m_label->width();
    const auto fits = [&](int pairs) { return metrics.horizontalAdvance(base + QString(2 * pairs, u' ')) >= want; };
    const int pair = qMax(1, metrics.horizontalAdvance(QStringLiteral("  ")));
    int pairs = qMax(0, (want - metrics.horizontalAdvance(base)) / pair - 1);
    while (pairs > 0 && fits(pairs - 1))
        --pairs;
    // Bounded: a font whose blank has no width never fits a label.
    while (!fits(pairs) && pairs < want)
        ++pairs;
    setTitle(base + QString(2 * pairs, u' '));
    m_label->show();
}

} // namespace vemo::toolona
