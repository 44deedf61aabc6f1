#pragma once

#include "onaglobal.h"

#include <QJsonObject>
#include <QString>

// Which DCU channels the design has (the project's SERDES description).
struct ONA_EXPORT SerdesLayout {
    bool channel[2][2] = {{false, false}, {false, false}}; // [dcu][channel]

    bool isEmpty() const;
    bool has(int dcu, int ch) const { return dcu >= 0 && dcu < 2 && ch >= 0 && ch < 2 && channel[dcu][ch]; }
    bool hasDcu(int dcu) const { return has(dcu, 0) || has(dcu, 1); }
    // "DCU0: 0 1; DCU1: 1" (empty for no SERDES).
    QString text() const;
    // Reads {"dcus": [{"dcu": 0, "channels": [0, 1]}, ...]}; an empty object
    // is no SERDES. False with *why (naming the key) for anything else.
    static bool parse(const QJsonObject& o, SerdesLayout* out, QString* why);
};
