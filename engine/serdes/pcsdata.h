#pragma once

// The SERDES/PCS singleton: the SERDES block of the open project and its
// device access (PCSJTAG).

#include "onaglobal.h"

#include <QObject>
#include <QString>

class PCSJTAG;

class ONA_EXPORT PCSData : public QObject {
    Q_OBJECT
public:
    static PCSData* inst();

    PCSJTAG* getJTAG() const { return m_jtag; }

    // Reads the SERDES block's state into the engine. Returns false, with
    // the reason in getRunErr() ("ERROR: ..."), when there is nothing to
    // initialise: a project without a SERDES description.
    bool initSERDES();
    // The outcome of the last SERDES operation; texts starting "ERROR:"
    // are failures the tool window shows.
    QString getRunErr() const { return m_runErr; }

signals:
    void pcsDirty(QString what);
    void pcsRead(QString what);

private:
    PCSData();
    ~PCSData() override;

    PCSJTAG* m_jtag;
    QString m_runErr;
};
