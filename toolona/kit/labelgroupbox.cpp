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
    const QFontMetrics metrics(font());
    QString gap = title();
    // Widen the title gap until the label fits into it.
    while (metrics.horizontalAdvance(gap) < m_label->width())
        gap += QStringLiteral("  ");
    setTitle(gap);
    m_label->show();
}

} // namespace vemo::toolona
