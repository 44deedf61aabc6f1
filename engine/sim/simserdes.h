#pragma once

// The simulated SERDES block of older devices: up to two DCUs of up to two
// channels, reached byte by byte over the Wishbone bus. Every setting of a
// channel lives in a field of one of its registers; the resets and the
// status flags live in registers of their own.
//
// Register map (address = DCU << 12 | block << 8 | register; block 0 and 1
// are the channels, block 2 the DCU's common registers):
//
//   channel 0x00  [1:0] tx_term  [2] tx_invert  [4:3] tx_losslock
//           0x01  [3:0] tx_precur  [7:4] tx_postcur
//           0x02  tx_diffamp code (0-9: 0-9, 10-70: 100-1300 mV in 20 mV steps)
//           0x03  [1:0] rx_term  [2] rx_coupling  [3] rx_invert  [5:4] rx_losslock
//           0x04  [1:0] rx_channellength  [4:2] rx_datarate  [6:5] rx_leq
//           0x05  [2:0] rx_los_thres  [4:3] loopback
//           0x06  [0] dcu_reset  [1] tx_pcs_reset  [2] rx_pcs_reset  [3] rx_cdr_reset
//           0x07  read only: [0] los_state  [1] cdr_lol_state
//   DCU     0x00  [0] tx_pll_reset  [1] macro_reset
//           0x01  read only: [0] pll_lol_state
//
// Bits outside the fields and field values outside a field's range are
// refused: every byte the block holds is a setting the controls can show.
//
// The simulated link runs each channel's transmitter into its own receiver.
// Lock follows the resets: after power-up, a configuration reload or a
// macro reset the TX PLL and the CDRs are out of lock; releasing the TxPLL
// (or macro) reset locks the PLL, and the receiver sees a signal while the
// PLL is locked and the channel's DCU and TX PCS resets are released;
// releasing the Rx CDR (or DCU) reset with a signal present locks the CDR.

#include "onaglobal.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QVector>

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

class ONA_EXPORT SimSerdes {
public:
    // One setting: its key, register, bit position and width. A field whose
    // options are empty is the amplitude.
    struct Field {
        QString key;
        int reg;
        int shift;
        int bits;
        QStringList options; // the texts the block accepts, by value
    };
    static const QVector<Field>& settingFields();
    static const Field* field(const QString& key);
    // The reset keys: channel resets first, then the DCU's.
    static const QStringList& channelResets();
    static const QStringList& dcuResets();
    static const QStringList& statusKeys(); // pll_lol_state, los_state, cdr_lol_state

    static constexpr int kSettingRegs = 6; // 0x00..0x05 of a channel
    static constexpr int kResetReg = 0x06;
    static constexpr int kStatusReg = 0x07;
    static constexpr int kDcuBlock = 2;

    // Amplitude in the block's terms: 0..9 or 100..1300 in steps of 20.
    static bool amplitudeValid(int mv);
    static int amplitudeCode(int mv);       // -1 when not valid
    static int amplitudeFromCode(int code); // -1 when not valid

    static quint32 address(int dcu, int block, int reg) {
        return quint32(dcu) << 12 | quint32(block) << 8 | quint32(reg);
    }

    explicit SimSerdes(const SerdesLayout& layout);
    const SerdesLayout& layout() const { return m_layout; }

    // Power-up state (also the configuration SRAM reload): the settings of
    // the configuration, resets released, PLL and CDRs out of lock.
    void reload();
    static QByteArray defaultSettings(); // the six setting bytes of a channel

    // A byte of the Wishbone bus. Reads of unmapped addresses and writes of
    // read-only registers or of bytes that encode no setting are refused.
    bool readByte(quint32 addr, quint8* value, QString* why) const;
    bool writeByte(quint32 addr, quint8 value, QString* why);
    // Whether `value` is a byte register `reg` of a channel may hold.
    static bool checkSettingByte(int reg, quint8 value, QString* why);

    QByteArray settings(int dcu, int ch) const;
    bool setSettings(int dcu, int ch, const QByteArray& bytes, QString* why);
    bool reset(int dcu, int ch, const QString& key) const;
    bool setReset(int dcu, int ch, const QString& key, bool on, QString* why);
    bool status(int dcu, int ch, const QString& key) const;

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
