#pragma once

// The controller singleton: the controller session with the debug logic of
// controller cores (virtual LEDs and switches, user memory, registers, hard
// IP). Its commands come with the controller; the tool window already
// listens to its signals.

#include "onaglobal.h"

#include <QObject>
#include <QString>

class ONA_EXPORT ONCData : public QObject
{
    Q_OBJECT
public:
    static ONCData* inst();

signals:
    // A controller value changed on the device side: kind ("switch", ...)
    // and its new value text.
    void sigControllerDataChanged(QString kind, QString data);
    // A polled read finished; the text is the value read.
    void pollingRead(QString data);

private:
    ONCData() = default;
};
