#pragma once

// Device access of the SERDES/PCS debug block found on older devices: the
// project's SERDES description and the progress of SERDES operations.

#include "onaglobal.h"

#include <QObject>
#include <QString>

class ONA_EXPORT PCSJTAG : public QObject {
    Q_OBJECT
public:
    explicit PCSJTAG(QObject* parent = nullptr);

    // The SERDES description text of the open project ("DCU0: 0 1; DCU1:
    // 0 1"); empty when the project has no SERDES block.
    QString getSERDES() const { return m_serdes; }
    void setSERDES(const QString& description) { m_serdes = description; }

    // Progress codes of SERDES operations (the run panel's texts).
    enum Progress {
        Connecting = 0,
        Controlling = 2,
        Writing = 4,
        Reading = 5,
        Initializing = 6,
        Completed = 7,
        Timeout = 9,
        Reloading = 16,
    };

signals:
    // Progress of a SERDES operation, as a state code for the run panel.
    void pcsPanel(int state);

private:
    QString m_serdes;
};
