#pragma once

#include "kit/toolona_global.h"

#include <QGroupBox>

class QLabel;

namespace vemo::toolona {

// A group box whose title is a rich-text label (for example a name with a
// red error count). The frame's title gap is widened with blanks to the
// label's width and the label is laid over it.
class TOOLONA_EXPORT LabelGroupBox : public QGroupBox {
    Q_OBJECT
public:
    explicit LabelGroupBox(QWidget* parent = nullptr);

    void setLabel(const QString& text);
    QLabel* label() const { return m_label; }

private:
    QLabel* m_label;
};

} // namespace vemo::toolona
