#include "simserdes.h"

#include <QJsonArray>

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

bool SerdesLayout::isEmpty() const { return !hasDcu(0) && !hasDcu(1); }

QString SerdesLayout::text() const {
    QStringList parts;
    for (int d = 0; d < 2; ++d) {
        if (!hasDcu(d))
            continue;
        QStringList chans;
        for (int c = 0; c < 2; ++c)
            if (has(d, c))
                chans << QString::number(c);
        parts << QStringLiteral("DCU%1: %2").arg(d).arg(chans.join(QLatin1Char(' ')));
    }
    return parts.join(QStringLiteral("; "));
}

bool SerdesLayout::parse(const QJsonObject& o, SerdesLayout* out, QString* why) {
    SerdesLayout l;
    if (o.isEmpty()) {
        *out = l;
        return true;
    }
    for (auto it = o.begin(); it != o.end(); ++it) {
        if (it.key() != QLatin1String("dcus")) {
            *why = QStringLiteral("serdes: unknown key \"%1\": expected dcus").arg(it.key());
            return false;
        }
    }
    const QJsonValue dcus = o.value(QLatin1String("dcus"));
    if (!dcus.isArray() || dcus.toArray().isEmpty() || dcus.toArray().size() > 2) {
        *why = QStringLiteral("serdes.dcus: expected a list of one or two DCUs");
        return false;
    }
    const QJsonArray list = dcus.toArray();
    for (int i = 0; i < list.size(); ++i) {
        const QString at = QStringLiteral("serdes.dcus[%1]").arg(i);
        const QJsonObject dcu = list.at(i).toObject();
        if (!list.at(i).isObject() || dcu.size() != 2 || !dcu.contains(QLatin1String("dcu")) ||
            !dcu.contains(QLatin1String("channels"))) {
            *why = QStringLiteral("%1: expected {\"dcu\": 0 or 1, \"channels\": [0, 1]}").arg(at);
            return false;
        }
        const QJsonValue n = dcu.value(QLatin1String("dcu"));
        const int d = n.toInt(-1);
        if (!n.isDouble() || n.toDouble() != d || d < 0 || d > 1) {
            *why = QStringLiteral("%1.dcu: expected 0 or 1").arg(at);
            return false;
        }
        if (l.hasDcu(d)) {
            *why = QStringLiteral("%1.dcu: DCU %2 is described twice").arg(at).arg(d);
            return false;
        }
        const QJsonValue chans = dcu.value(QLatin1String("channels"));
        if (!chans.isArray() || chans.toArray().isEmpty() || chans.toArray().size() > 2) {
            *why = QStringLiteral("%1.channels: expected a list of one or two channels (0, 1)").arg(at);
            return false;
        }
        for (const QJsonValue& cv : chans.toArray()) {
            const int c = cv.toInt(-1);
            if (!cv.isDouble() || cv.toDouble() != c || c < 0 || c > 1 || l.channel[d][c]) {
                *why = QStringLiteral("%1.channels: expected distinct channels 0 and 1").arg(at);
                return false;
            }
            l.channel[d][c] = true;
        }
    }
    *out = l;
    return true;
}

const QVector<SimSerdes::Field>& SimSerdes::settingFields() {
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

const SimSerdes::Field* SimSerdes::field(const QString& key) {
    for (const Field& f : settingFields())
        if (f.key == key)
            return &f;
    return nullptr;
}

const QStringList& SimSerdes::channelResets() {
    static const QStringList keys{QStringLiteral("dcu_reset"), QStringLiteral("tx_pcs_reset"),
                                  QStringLiteral("rx_pcs_reset"), QStringLiteral("rx_cdr_reset")};
    return keys;
}

const QStringList& SimSerdes::dcuResets() {
    static const QStringList keys{QStringLiteral("tx_pll_reset"), QStringLiteral("macro_reset")};
    return keys;
}

const QStringList& SimSerdes::statusKeys() {
    static const QStringList keys{QStringLiteral("pll_lol_state"), QStringLiteral("los_state"),
                                  QStringLiteral("cdr_lol_state")};
    return keys;
}

bool SimSerdes::amplitudeValid(int mv) { return (mv >= 0 && mv <= 9) || (mv >= 100 && mv <= 1300 && mv % 20 == 0); }

int SimSerdes::amplitudeCode(int mv) {
    if (!amplitudeValid(mv))
        return -1;
    return mv <= 9 ? mv : 10 + (mv - 100) / 20;
}

int SimSerdes::amplitudeFromCode(int code) {
    if (code < 0 || code > 70)
        return -1;
    return code <= 9 ? code : 100 + (code - 10) * 20;
}

SimSerdes::SimSerdes(const SerdesLayout& layout) : m_layout(layout) { reload(); }

QByteArray SimSerdes::defaultSettings() {
    // 50 ohm terminations, DC coupled, no emphasis or equalisation, 500 mV,
    // the tightest lock windows, loss-of-signal threshold 2, no loopback.
    QByteArray b(kSettingRegs, '\0');
    b[1] = char(0x00);
    b[2] = char(amplitudeCode(500));
    b[5] = char(2);
    return b;
}

void SimSerdes::reload() {
    for (Dcu& d : m_dcu) {
        d.resets = 0;
        d.pllLol = true;
        for (Channel& c : d.ch) {
            c.settings = defaultSettings();
            c.resets = 0;
            c.cdrLol = true;
        }
    }
}

bool SimSerdes::checkSettingByte(int reg, quint8 value, QString* why) {
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

bool SimSerdes::los(int dcu, int ch) const {
    const Dcu& d = m_dcu[dcu];
    return d.pllLol || (d.resets & 2) || (d.ch[ch].resets & 0x3);
}

bool SimSerdes::readByte(quint32 addr, quint8* value, QString* why) const {
    const int dcu = int(addr >> 12), block = int((addr >> 8) & 0xF), reg = int(addr & 0xFF);
    if (addr <= 0xFFFF && dcu < 2 && block < 2 && m_layout.has(dcu, block) && reg <= kStatusReg) {
        const Channel& c = m_dcu[dcu].ch[block];
        if (reg < kSettingRegs)
            *value = quint8(c.settings.at(reg));
        else if (reg == kResetReg)
            *value = c.resets;
        else
            *value = quint8((los(dcu, block) ? 1 : 0) | (c.cdrLol ? 2 : 0));
        return true;
    }
    if (addr <= 0xFFFF && dcu < 2 && block == kDcuBlock && m_layout.hasDcu(dcu) && reg <= 1) {
        *value = reg == 0 ? m_dcu[dcu].resets : quint8(m_dcu[dcu].pllLol ? 1 : 0);
        return true;
    }
    *why = QStringLiteral("no register at address %1").arg(addr, 4, 16, QLatin1Char('0'));
    return false;
}

bool SimSerdes::writeByte(quint32 addr, quint8 value, QString* why) {
    quint8 dummy = 0;
    if (!readByte(addr, &dummy, why))
        return false;
    const int dcu = int(addr >> 12), block = int((addr >> 8) & 0xF), reg = int(addr & 0xFF);
    const QString at = QStringLiteral("register %1").arg(addr, 4, 16, QLatin1Char('0'));
    if ((block < 2 && reg == kStatusReg) || (block == kDcuBlock && reg == 1)) {
        *why = QStringLiteral("%1 is a status register and cannot be written").arg(at);
        return false;
    }
    if (block == kDcuBlock || reg == kResetReg) {
        const QStringList& keys = block == kDcuBlock ? dcuResets() : channelResets();
        if (value >> keys.size()) {
            *why = QStringLiteral("%1: only bits 0 to %2 are resets").arg(at).arg(keys.size() - 1);
            return false;
        }
        for (int i = 0; i < keys.size(); ++i)
            setReset(dcu, block, keys.at(i), (value >> i) & 1, why);
        return true;
    }
    QString bad;
    if (!checkSettingByte(reg, value, &bad)) {
        *why = QStringLiteral("%1: %2").arg(at, bad);
        return false;
    }
    m_dcu[dcu].ch[block].settings[reg] = char(value);
    return true;
}

QByteArray SimSerdes::settings(int dcu, int ch) const {
    return m_layout.has(dcu, ch) ? m_dcu[dcu].ch[ch].settings : QByteArray();
}

bool SimSerdes::setSettings(int dcu, int ch, const QByteArray& bytes, QString* why) {
    if (!m_layout.has(dcu, ch) || bytes.size() != kSettingRegs) {
        *why = QStringLiteral("DCU %1 has no channel %2").arg(dcu).arg(ch);
        return false;
    }
    for (int r = 0; r < kSettingRegs; ++r)
        if (!checkSettingByte(r, quint8(bytes.at(r)), why))
            return false;
    m_dcu[dcu].ch[ch].settings = bytes;
    return true;
}

bool SimSerdes::reset(int dcu, int ch, const QString& key) const {
    if (!m_layout.hasDcu(dcu))
        return false;
    const int di = dcuResets().indexOf(key);
    if (di >= 0)
        return (m_dcu[dcu].resets >> di) & 1;
    const int ci = channelResets().indexOf(key);
    return ci >= 0 && m_layout.has(dcu, ch) && ((m_dcu[dcu].ch[ch].resets >> ci) & 1);
}

bool SimSerdes::setReset(int dcu, int ch, const QString& key, bool on, QString* why) {
    const int di = dcuResets().indexOf(key);
    const int ci = channelResets().indexOf(key);
    if ((di >= 0 && !m_layout.hasDcu(dcu)) || (ci >= 0 && !m_layout.has(dcu, ch)) || (di < 0 && ci < 0)) {
        *why = QStringLiteral("no reset %1 on DCU %2 channel %3").arg(key).arg(dcu).arg(ch);
        return false;
    }
    Dcu& d = m_dcu[dcu];
    const quint8 oldDcu = d.resets;
    const quint8 oldCh[2] = {d.ch[0].resets, d.ch[1].resets};
    if (di >= 0)
        d.resets = on ? quint8(d.resets | (1 << di)) : quint8(d.resets & ~(1 << di));
    else
        d.ch[ch].resets = on ? quint8(d.ch[ch].resets | (1 << ci)) : quint8(d.ch[ch].resets & ~(1 << ci));
    settle(dcu, oldDcu, oldCh);
    return true;
}

void SimSerdes::settle(int dcu, quint8 oldDcuResets, const quint8 oldChResets[2]) {
    Dcu& d = m_dcu[dcu];
    // The PLL loses lock while either DCU reset is held and locks when the
    // last of them is released.
    if (d.resets)
        d.pllLol = true;
    else if (oldDcuResets)
        d.pllLol = false;
    for (int c = 0; c < 2; ++c) {
        Channel& ch = d.ch[c];
        const quint8 cdrHeld = ch.resets & 0x9; // rx_cdr_reset, dcu_reset
        const bool released = (oldChResets[c] & 0x9) && !cdrHeld;
        if (cdrHeld || (d.resets & 2) || los(dcu, c))
            ch.cdrLol = true;
        else if (released)
            ch.cdrLol = false;
    }
}

bool SimSerdes::status(int dcu, int ch, const QString& key) const {
    if (!m_layout.hasDcu(dcu))
        return false;
    if (key == QLatin1String("pll_lol_state"))
        return m_dcu[dcu].pllLol;
    if (!m_layout.has(dcu, ch))
        return false;
    if (key == QLatin1String("los_state"))
        return los(dcu, ch);
    if (key == QLatin1String("cdr_lol_state"))
        return m_dcu[dcu].ch[ch].cdrLol;
    return false;
}
