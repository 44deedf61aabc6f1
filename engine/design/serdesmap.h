#pragma once

// The SERDES block of older devices as the engine addresses it: up to two
// DCUs of up to two channels, reached byte by byte over the Wishbone bus.
// Every setting of a channel lives in a field of one of its registers; the
// resets and the status flags live in registers of their own.
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

#include "onaglobal.h"

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>

class ONA_EXPORT SerdesMap {
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

    static QByteArray defaultSettings(); // the six setting bytes of a channel
    // Whether `value` is a byte register `reg` of a channel may hold.
    static bool checkSettingByte(int reg, quint8 value, QString* why);
};
