#include "simserdes.h"

SimSerdes::SimSerdes(const SerdesLayout& layout) : m_layout(layout) { reload(); }

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
