#include "widgets/hexvaluelineedit.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QRegularExpressionValidator>
#include <QStyle>
#include <QStyleOptionFrame>

namespace vemo::toolona {

HexValueLineEdit::HexValueLineEdit(QWidget* parent) : QLineEdit(parent) {
    setStyleSheet(QStringLiteral("font-size : 12px"));
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 0, 0, 0);
    auto* prefix = new QLabel(QStringLiteral("0x"), this);
    prefix->setAttribute(Qt::WA_TransparentForMouseEvents);
    layout->addWidget(prefix);
    layout->addStretch(1);
    // Typed text starts after the label, whatever the font makes its width.
    prefix->setFont(font());
    setTextMargins(qMax(17, 10 + prefix->fontMetrics().horizontalAdvance(prefix->text()) + 2), 0, 0, 0);
    setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[a-fA-F0-9]*")), this));
}

void HexValueLineEdit::fitDigits(int digits) {
    // Room for the label, `digits` of the widest digit, one more for the
    // cursor, and the frame: the field is as wide as its value.
    ensurePolished();
    const QMargins text = textMargins();
    QStyleOptionFrame frame;
    initStyleOption(&frame);
    const QSize content(
        text.left() + text.right() + fontMetrics().horizontalAdvance(QString(qMax(1, digits) + 1, QLatin1Char('D'))),
        sizeHint().height());
    setFixedWidth(style()->sizeFromContents(QStyle::CT_LineEdit, &frame, content, this).width());
}

} // namespace vemo::toolona
