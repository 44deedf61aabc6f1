#pragma once

// Device access of the SERDES/PCS debug block found on older devices.
//
// The SERDES description comes from the debug-logic file. No debug-logic
// reader fills it yet, so every project reports none and the SERDES pages
// stay out of the tool window.

#include "onaglobal.h"

#include <QObject>
#include <QString>

class ONA_EXPORT PCSJTAG : public QObject {
    Q_OBJECT
public:
    explicit PCSJTAG(QObject* parent = nullptr);

    // The SERDES description text of the open project; empty when the
    // project has no SERDES block.
    QString getSERDES() const { return m_serdes; }
    // Sets the description (the debug-logic reader; empty: none).
    void setSERDES(const QString& description) { m_serdes = description; }

signals:
    // Progress of a SERDES operation, as a state code for the run panel.
    void pcsPanel(int state);

private:
    QString m_serdes;
};
