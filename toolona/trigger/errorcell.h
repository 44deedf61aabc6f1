#pragma once

// The cell of a trigger table whose text does not parse is drawn in the
// theme's error colour on a tinted background; its tool tip (the model's)
// carries the engine's message. The group title only counts the errors:
// this shows which cell to fix.

#include "theme/themesetting.h"

#include <QPainter>
#include <QStyleOptionViewItem>

namespace vemo::toolona {

inline QColor errorCellBackground() {
    QColor tint = vemo::theme::ThemeSetting::color(QStringLiteral("error_text"));
    tint.setAlpha(56);
    return tint;
}

// Paints the tint under the cell and turns its text to the error colour.
inline void markErrorCell(QPainter* painter, QStyleOptionViewItem* option) {
    const QColor text = vemo::theme::ThemeSetting::color(QStringLiteral("error_text"));
    painter->fillRect(option->rect, errorCellBackground());
    option->palette.setColor(QPalette::Text, text);
    option->palette.setColor(QPalette::ButtonText, text);
}

} // namespace vemo::toolona
