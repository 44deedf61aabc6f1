#pragma once

#include <QLabel>

namespace vemo::toolona {

// The centred, muted text a page shows while it has nothing to show: what
// will appear there and why it is empty now.
class EmptyStateLabel : public QLabel {
    Q_OBJECT
public:
    explicit EmptyStateLabel(const QString& text, QWidget* parent = nullptr);
};

} // namespace vemo::toolona
