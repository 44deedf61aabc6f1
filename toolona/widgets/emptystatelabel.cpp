#include "widgets/emptystatelabel.h"

namespace vemo::toolona {

EmptyStateLabel::EmptyStateLabel(const QString& text, QWidget* parent) : QLabel(text, parent) {
    setObjectName(QStringLiteral("EmptyState"));
    setAlignment(Qt::AlignCenter);
    setWordWrap(true);
    setMargin(24);
    setForegroundRole(QPalette::PlaceholderText);
}

} // namespace vemo::toolona
