#include "widgets/hexvaluelineedit.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QRegularExpressionValidator>

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

} // namespace vemo::toolona
