#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace vemo::toolona {

// One row of a block panel's table: what the user sees, the engine key it
// stands for and how a change is staged. A panel declares its rows; the
// base builds, fills, connects, stages and reloads them all the same way.
struct HardIpControl {
    enum Kind {
        Combo,   // ControlComboBox with `items`
        Spin,    // ControlSpinBox from `min` to `max`
        Number,  // line edit with an integer validator from `min` to `max`
        Status,  // read-only line edit showing what the device reports
        Section, // a plain section title in column 0 (no key)
        Spacer,  // a 20 x 15 gap
        Lamp,    // StatusLEDWidget: `lampOn` when the device reports "1", else off
    };
    Kind kind = Combo;
    QString label;
    QString key;
    QStringList items;
    int min = 0;
    int max = 0;
    // The set command: %1 the instance name, %2 the value. A %2 inside
    // double quotes is escaped for them; a bare one is made one Tcl word.
    QString command;
    int visibleItems = 0; // Combo: items shown at once, 0 = the default
    int lampOn = 2;       // Lamp: 1 = red, 2 = green
    bool fixedSize = false;
    // Combo: when set, as wide as this many characters (longer items are
    // cut), so a long item does not squeeze the labels of the panel.
    int contentsLength = 0;
    int columnSpan = 1;
};

} // namespace vemo::toolona
