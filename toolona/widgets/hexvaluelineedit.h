#pragma once

#include <QLineEdit>

namespace vemo::toolona {

// A line edit for hexadecimal digits with a fixed "0x" label drawn inside it
// at the left. It holds digits only: no prefix, no sign.
class HexValueLineEdit : public QLineEdit {
    Q_OBJECT
public:
    explicit HexValueLineEdit(QWidget* parent = nullptr);
    // Fixes the width to hold `digits` hexadecimal digits after the label.
    void fitDigits(int digits);
};

} // namespace vemo::toolona
