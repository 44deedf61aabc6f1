#pragma once

// The simulated SERDES block of older devices: up to two DCUs of up to two
// channels, reached byte by byte over the Wishbone bus. Every setting of a
// channel lives in a field of one of its registers; the resets and the
// status flags live in registers of their own.
//
// The register map is SerdesMap (serdesmap.h).
//
// The simulated link runs each channel's transmitter into its own receiver.
// Lock follows the resets: after power-up, a configuration reload or a
// macro reset the TX PLL and the CDRs are out of lock; releasing the TxPLL
// (or macro) reset locks the PLL, and the receiver sees a signal while the
// PLL is locked and the channel's DCU and TX PCS resets are released;
// releasing the Rx CDR (or DCU) reset with a signal present locks the CDR.

#include "onaglobal.h"
#include "serdeslayout.h"
#include "serdesmap.h"
#include "targetdevice.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVector>

class ONA_EXPORT SimSerdes : public SerdesMap, public SerdesDevice {
public:
    explicit SimSerdes(const SerdesLayout& layout);
    const SerdesLayout& layout() const { return m_layout; }

    // Power-up state (also the configuration SRAM reload): the settings of
    // the configuration, resets released, PLL and CDRs out of lock.
    void reload() override;

    // A byte of the Wishbone bus. Reads of unmapped addresses and writes of
    // read-only registers or of bytes that encode no setting are refused.
    bool readByte(quint32 addr, quint8* value, QString* why) const override;
    bool writeByte(quint32 addr, quint8 value, QString* why) override;

    QByteArray settings(int dcu, int ch) const override;
    bool setSettings(int dcu, int ch, const QByteArray& bytes, QString* why) override;
    bool reset(int dcu, int ch, const QString& key) const override;
    bool setReset(int dcu, int ch, const QString& key, bool on, QString* why) override;
    bool status(int dcu, int ch, const QString& key) const override;

private:
    struct Channel {
        QByteArray settings;
        quint8 resets = 0;
        bool cdrLol = true;
    };
    struct Dcu {
        quint8 resets = 0;
        bool pllLol = true;
        Channel ch[2];
    };
    bool los(int dcu, int ch) const;
    void settle(int dcu, quint8 oldDcuResets, const quint8 oldChResets[2]);

    SerdesLayout m_layout;
    Dcu m_dcu[2];
};
