#include "serdesmap.h"

namespace {

QStringList numbers(int from, int to) {
    QStringList out;
    for (int i = from; i <= to; ++i)
        out << QString::number(i);
    return out;
}

QStringList cursorOptions() { return QStringList{QStringLiteral("Disabled")} + numbers(0, 11); }

const QStringList kOnOff{QStringLiteral("off"), QStringLiteral("on")};

} // namespace

const QVector<SerdesMap::Field>& SerdesMap::settingFields() {
    static const QVector<Field> fields = {
        {QStringLiteral("tx_term"), 0, 0, 2, {"50ohms", "75ohms", "5Kohms"}},
        {QStringLiteral("tx_invert"), 0, 2, 1, kOnOff},
        {QStringLiteral("tx_losslock"),
         0,
         3,
         2,
         {"Lock=+/-300ppm x2 Unlock=+/-600ppm x2", "Lock=+/-300ppm Unlock=+/-2000ppm",
          "Lock=+/-1500ppm Unlock=+/-2200ppm", "Lock=+/-4000ppm Unlock=+/-6000ppm"}},
        {QStringLiteral("tx_precur"), 1, 0, 4, cursorOptions()},
        {QStringLiteral("tx_postcur"), 1, 4, 4, cursorOptions()},
        {QStringLiteral("tx_diffamp"), 2, 0, 8, {}},
        {QStringLiteral("rx_term"), 3, 0, 2, {"50ohms", "60ohms", "75ohms", "5Kohms"}},
        {QStringLiteral("rx_coupling"), 3, 2, 1, {"DC", "AC"}},
        {QStringLiteral("rx_invert"), 3, 3, 1, kOnOff},
        {QStringLiteral("rx_losslock"),
         3,
         4,
         2,
         {"Lock=+/-1000ppm x2 Unlock=+/-1500ppm x2", "Lock=+/-2000ppm x2 Unlock=+/-2500ppm x2",
          "Lock=+/-4000ppm Unlock=+/-7000ppm", "Lock=+/-300ppm Unlock=+/-450ppm"}},
        {QStringLiteral("rx_channellength"), 4, 0, 2, {"Disabled", "5-10in", "10-15in", "15-20in"}},
        {QStringLiteral("rx_datarate"), 4, 2, 3, {"Disabled", "0.5-1Gbps", "1-2Gbps", "2-2.5Gbps", "Above 2.5Gbps"}},
        {QStringLiteral("rx_leq"), 4, 5, 2, {"6dB", "9dB", "12dB"}},
        {QStringLiteral("rx_los_thres"), 5, 0, 3, numbers(0, 7)},
        {QStringLiteral("loopback"),
         5,
         3,
         2,
         {"Disabled", "Rx EQ to Tx", "Tx Output to Rx", "Rx Parallel to Tx by config bit"}},
    };
    return fields;
}

const SerdesMap::Field* SerdesMap::field(const QString& key) {
    for (const Field& f : settingFields())
        if (f.key == key)
            return &f;
    return nullptr;
}

const QStringList& SerdesMap::channelResets() {
    static const QStringList keys{QStringLiteral("dcu_reset"), QStringLiteral("tx_pcs_reset"),
                                  QStringLiteral("rx_pcs_reset"), QStringLiteral("rx_cdr_reset")};
    return keys;
}

const QStringList& SerdesMap::dcuResets() {
    static const QStringList keys{QStringLiteral("tx_pll_reset"), QStringLiteral("macro_reset")};
    return keys;
}

const QStringList& SerdesMap::statusKeys() {
    static const QStringList keys{QStringLiteral("pll_lol_state"), QStringLiteral("los_state"),
                                  QStringLiteral("cdr_lol_state")};
    return keys;
}

bool SerdesMap::amplitudeValid(int mv) { return (mv >= 0 && mv <= 9) || (mv >= 100 && mv <= 1300 && mv % 20 == 0); }

int SerdesMap::amplitudeCode(int mv) {
    if (!amplitudeValid(mv))
        return -1;
    return mv <= 9 ? mv : 10 + (mv - 100) / 20;
}

int SerdesMap::amplitudeFromCode(int code) {
    if (code < 0 || code > 70)
        return -1;
    return code <= 9 ? code : 100 + (code - 10) * 20;
}


QByteArray SerdesMap::defaultSettings() {
    // 50 ohm terminations, DC coupled, no emphasis or equalisation, 500 mV,
    // the tightest lock windows, loss-of-signal threshold 2, no loopback.
    QByteArray b(kSettingRegs, '\0');
    b[1] = char(0x00);
    b[2] = char(amplitudeCode(500));
    b[5] = char(2);
    return b;
}

bool SerdesMap::checkSettingByte(int reg, quint8 value, QString* why) {
    quint8 used = 0;
    for (const Field& f : settingFields()) {
        if (f.reg != reg)
            continue;
        const int mask = (1 << f.bits) - 1;
        used |= quint8(mask << f.shift);
        const int v = (value >> f.shift) & mask;
        const bool ok = f.options.isEmpty() ? amplitudeFromCode(v) >= 0 : v < f.options.size();
        if (!ok) {
            *why = QStringLiteral("%1 cannot be %2").arg(f.key).arg(v);
            return false;
        }
    }
    if (value & ~used) {
        *why = QStringLiteral("bits %1 are reserved and must be 0")
                   .arg(QStringLiteral("%1").arg(quint8(value & ~used), 2, 16, QLatin1Char('0')).toUpper());
        return false;
    }
    return true;
}
