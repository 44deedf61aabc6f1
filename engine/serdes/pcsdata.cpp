#include "pcsdata.h"

#include "deviceregistry.h"
#include "pcsjtag.h"
#include "safefile.h"

#include <QBuffer>
#include <QRegularExpression>
#include <QSet>
#include <QTimer>

namespace {

const QString kDcua = QStringLiteral("dcua");
const QString kChannel = QStringLiteral("channel");

// Every key the tool shows, in the order a full report gives them: the
// selection first, so a page switches channel before it reads its values.
const QStringList& allKeys() {
    static const QStringList keys = [] {
        QStringList k{kDcua, kChannel};
        for (const SerdesMap::Field& f : SerdesMap::settingFields())
            k << f.key;
        return k + SerdesMap::channelResets() + SerdesMap::dcuResets() + SerdesMap::statusKeys();
    }();
    return keys;
}

QString hex(quint32 v, int digits) { return QStringLiteral("%1").arg(v, digits, 16, QLatin1Char('0')).toUpper(); }

bool onOff(const QString& option, bool* on) {
    if (option != QLatin1String("on") && option != QLatin1String("off"))
        return false;
    *on = option == QLatin1String("on");
    return true;
}

} // namespace

PCSData::ScriptLimits PCSData::s_scriptLimits;

PCSData* PCSData::inst() {
    static PCSData* data = new PCSData; // lives as long as the process, like OnaData
    return data;
}

PCSData::PCSData() : m_jtag(new PCSJTAG(this)), m_contTimer(new QTimer(this)) {
    m_contTimer->setInterval(kContinuousMs);
    connect(m_contTimer, &QTimer::timeout, this, &PCSData::continuousTick);
}

PCSData::~PCSData() = default;

void PCSData::setLayout(const SerdesLayout& layout, TargetDevice* target) {
    m_contTimer->stop();
    m_layout = layout;
    // Without a cable's target the default kind answers (a layout set on its own).
    if (!target)
        target = DeviceRegistry::device(QString());
    m_deviceFault.clear();
    m_device = layout.isEmpty() || !target ? nullptr : target->openSerdes(layout, &m_deviceFault);
    m_settings.clear();
    m_injected.clear();
    m_dcu = m_channel = -1;
    for (int i = 0; i < 4 && m_dcu < 0; ++i)
        if (layout.has(i / 2, i % 2)) {
            m_dcu = i / 2;
            m_channel = i % 2;
        }
    m_wbOpen = false;
    m_wbAddr = -1;
    m_wbData.clear();
    m_runErr.clear();
    m_jtag->setSERDES(layout.text());
    emit deviceChanged();
    // Pages refill their lists and forget the old project's values.
    report({}, true);
}

bool PCSData::needSerdes(const QString& verb, QString* error) const {
    if (m_device)
        return true;
    *error = m_deviceFault.isEmpty() ? QStringLiteral("%1: the project has no SERDES").arg(verb)
                                     : QStringLiteral("%1: %2").arg(verb, m_deviceFault);
    return false;
}

void PCSData::panel(int code) { emit m_jtag->pcsPanel(code); }

int PCSData::getValue(const QString& key) const {
    const auto injected = m_injected.constFind(key);
    if (injected != m_injected.constEnd())
        return *injected;
    if (key == kDcua)
        return m_dcu;
    if (key == kChannel)
        return m_channel;
    if (!m_device || m_dcu < 0)
        return -1;
    if (const SerdesMap::Field* f = SerdesMap::field(key)) {
        const auto bytes = m_settings.constFind(chIndex());
        if (bytes == m_settings.constEnd())
            return -1;
        const int v = (quint8(bytes->at(f->reg)) >> f->shift) & ((1 << f->bits) - 1);
        return f->options.isEmpty() ? SerdesMap::amplitudeFromCode(v) : v;
    }
    if (SerdesMap::channelResets().contains(key) || SerdesMap::dcuResets().contains(key))
        return m_device->reset(m_dcu, m_channel, key) ? 1 : 0;
    if (SerdesMap::statusKeys().contains(key))
        return m_device->status(m_dcu, m_channel, key) ? 1 : 0;
    return -1;
}

QHash<QString, int> PCSData::snapshot() const {
    QHash<QString, int> values;
    for (const QString& key : allKeys())
        values.insert(key, getValue(key));
    return values;
}

void PCSData::report(const QHash<QString, int>& before, bool all) {
    const QHash<QString, int> after = snapshot();
    for (const QString& key : allKeys()) {
        if (!all && before.value(key) == after.value(key))
            continue;
        if (SerdesMap::statusKeys().contains(key))
            emit pcsRead(key);
        else
            emit pcsDirty(key);
    }
}

void PCSData::readDevice() {
    for (int i = 0; i < 4; ++i)
        if (m_layout.has(i / 2, i % 2))
            m_settings.insert(i, m_device->settings(i / 2, i % 2));
}

bool PCSData::initSERDES() {
    if (m_jtag->getSERDES().isEmpty()) {
        m_runErr = QStringLiteral("ERROR: the project has no SERDES block to initialise.");
        return false;
    }
    if (!m_device) {
        // A description set without its layout (no device behind it), or a
        // target that has no SERDES block.
        m_runErr = m_deviceFault.isEmpty()
                       ? QStringLiteral("ERROR: SERDES \"%1\" has no device to read.").arg(m_jtag->getSERDES())
                       : QStringLiteral("ERROR: %1").arg(m_deviceFault);
        return false;
    }
    m_runErr.clear();
    panel(PCSJTAG::Connecting);
    panel(PCSJTAG::Initializing);
    readDevice();
    panel(PCSJTAG::Reading);
    report({}, true);
    panel(PCSJTAG::Completed);
    return true;
}

bool PCSData::setControl(const QString& key, const QString& option, QString* error) {
    const QString verb = QStringLiteral("ona_set_pcs -control %1").arg(key);
    if (!needSerdes(verb, error))
        return false;
    const QHash<QString, int> before = snapshot();
    bool on = false;
    if (key == QLatin1String("cont_read")) {
        if (!onOff(option, &on)) {
            *error = QStringLiteral("%1: expected on or off, not \"%2\"").arg(verb, option);
            return false;
        }
        if (on)
            m_contTimer->start();
        else
            m_contTimer->stop();
        return true;
    }
    if (key == kDcua || key == kChannel) {
        const bool dcu = key == kDcua;
        const int n = option == QLatin1String("0") ? 0 : option == QLatin1String("1") ? 1 : -1;
        if (dcu ? !m_layout.hasDcu(n) : !m_layout.has(m_dcu, n)) {
            *error = dcu ? QStringLiteral("%1: the design has no DCU \"%2\"").arg(verb, option)
                         : QStringLiteral("%1: DCU %2 has no channel \"%3\"").arg(verb).arg(m_dcu).arg(option);
            return false;
        }
        if (dcu) {
            m_dcu = n;
            if (!m_layout.has(m_dcu, m_channel))
                m_channel = m_layout.has(m_dcu, 0) ? 0 : 1;
        } else {
            m_channel = n;
        }
        report(before, false);
        return true;
    }
    if (SerdesMap::channelResets().contains(key) || SerdesMap::dcuResets().contains(key)) {
        if (!onOff(option, &on)) {
            *error = QStringLiteral("%1: expected on or off, not \"%2\"").arg(verb, option);
            return false;
        }
        QString why;
        if (!m_device->setReset(m_dcu, m_channel, key, on, &why)) {
            *error = QStringLiteral("%1: %2").arg(verb, why);
            return false;
        }
        report(before, false);
        return true;
    }
    const SerdesMap::Field* f = SerdesMap::field(key);
    if (!f) {
        QStringList known = allKeys().mid(0, allKeys().size() - SerdesMap::statusKeys().size());
        known << QStringLiteral("cont_read");
        *error = QStringLiteral("ona_set_pcs: unknown control \"%1\": expected one of %2")
                     .arg(key, known.join(QStringLiteral(", ")));
        return false;
    }
    int value = -1;
    if (f->options.isEmpty()) {
        // The block's own terms, written plainly: no sign, blank or leading zero.
        static const QRegularExpression plain(QStringLiteral("^(0|[1-9][0-9]{0,3})$"));
        if (plain.match(option).hasMatch() && SerdesMap::amplitudeValid(option.toInt()))
            value = SerdesMap::amplitudeCode(option.toInt());
        if (value < 0) {
            *error = QStringLiteral("%1: \"%2\" is no amplitude: expected 0 to 9 or 100 to 1300 in steps of 20")
                         .arg(verb, option);
            return false;
        }
    } else {
        value = f->options.indexOf(option);
        if (value < 0) {
            *error =
                QStringLiteral("%1: \"%2\" is not one of: %3").arg(verb, option, f->options.join(QStringLiteral(", ")));
            return false;
        }
    }
    if (!m_settings.contains(chIndex()))
        m_settings.insert(chIndex(), m_device->settings(m_dcu, m_channel));
    QByteArray& bytes = m_settings[chIndex()];
    const int mask = ((1 << f->bits) - 1) << f->shift;
    bytes[f->reg] = char((quint8(bytes.at(f->reg)) & ~mask) | (value << f->shift));
    report(before, false);
    return true;
}

bool PCSData::apply(QString* error) {
    if (!needSerdes(QStringLiteral("ona_run_pcs"), error))
        return false;
    m_runErr.clear();
    panel(PCSJTAG::Connecting);
    panel(PCSJTAG::Controlling);
    for (auto it = m_settings.constBegin(); it != m_settings.constEnd(); ++it) {
        QString why;
        // The store only ever holds bytes the block accepts.
        if (!m_device->setSettings(it.key() / 2, it.key() % 2, it.value(), &why)) {
            m_runErr = QStringLiteral("ERROR: %1").arg(why);
            *error = QStringLiteral("ona_run_pcs: %1").arg(why);
            panel(PCSJTAG::Timeout);
            return false;
        }
    }
    panel(PCSJTAG::Writing);
    panel(PCSJTAG::Completed);
    return true;
}

bool PCSData::reloadConfig(QString* error) {
    if (!needSerdes(QStringLiteral("ona_run_pcs -config_sram"), error))
        return false;
    m_runErr.clear();
    const QHash<QString, int> before = snapshot();
    panel(PCSJTAG::Connecting);
    panel(PCSJTAG::Reloading);
    m_device->reload();
    readDevice();
    panel(PCSJTAG::Reading);
    report(before, false);
    panel(PCSJTAG::Completed);
    return true;
}

bool PCSData::openWishbone(QString* error) {
    if (!needSerdes(QStringLiteral("ona_open_pcs"), error))
        return false;
    m_wbOpen = true;
    return true;
}

bool PCSData::readWishbone(quint32 addr, QString* data, QString* error) {
    QString why;
    quint8 value = 0;
    if (!m_device || !m_wbOpen) {
        why = QStringLiteral("the Wishbone bus is not open (ona_open_pcs first)");
    } else if (!m_device->readByte(addr, &value, &why)) {
        m_wbOpen = false;
    } else {
        m_wbAddr = addr;
        m_wbData = hex(value, 2);
        *data = m_wbData;
        emit pcsRead(QStringLiteral("read_data"));
        return true;
    }
    *error = QStringLiteral("ona_pcs read: %1").arg(why);
    return false;
}

bool PCSData::writeWishbone(quint32 addr, quint8 value, QString* error) {
    QString why;
    if (!m_device || !m_wbOpen) {
        why = QStringLiteral("the Wishbone bus is not open (ona_open_pcs first)");
    } else {
        const QHash<QString, int> before = snapshot();
        if (m_device->writeByte(addr, value, &why)) {
            // The store follows the device's byte; the other staged bytes stay.
            const int dcu = int(addr >> 12), block = int((addr >> 8) & 0xF), reg = int(addr & 0xFF);
            if (block < 2 && reg < SerdesMap::kSettingRegs) {
                const int idx = dcu * 2 + block;
                if (!m_settings.contains(idx))
                    m_settings.insert(idx, m_device->settings(dcu, block));
                m_settings[idx][reg] = char(value);
            }
            m_wbAddr = addr;
            report(before, false);
            return true;
        }
        m_wbOpen = false;
    }
    *error = QStringLiteral("ona_pcs write: %1").arg(why);
    return false;
}

bool PCSData::isContinuous() const { return m_contTimer->isActive(); }

void PCSData::continuousTick() {
    quint8 value = 0;
    QString why;
    if (!m_device || m_wbAddr < 0 || !m_device->readByte(quint32(m_wbAddr), &value, &why))
        return;
    m_wbData = hex(value, 2);
    emit pcsRead(QStringLiteral("read_data"));
}

bool PCSData::exportFile(const QString& path, QString* error) const {
    if (!needSerdes(QStringLiteral("ona_export_pcs"), error))
        return false;
    QByteArray text("# Ondrel SERDES register file: address and data in hexadecimal, one setting register a line\n");
    for (int i = 0; i < 4; ++i) {
        if (!m_layout.has(i / 2, i % 2))
            continue;
        const QByteArray bytes = m_settings.value(i, m_device->settings(i / 2, i % 2));
        text += QStringLiteral("# DCU %1 channel %2\n").arg(i / 2).arg(i % 2).toLatin1();
        for (int r = 0; r < SerdesMap::kSettingRegs; ++r)
            text += QStringLiteral("%1 %2\n")
                        .arg(hex(SerdesMap::address(i / 2, i % 2, r), 4), hex(quint8(bytes.at(r)), 2))
                        .toLatin1();
    }
    QString why;
    if (!SafeFile::writeAtomically(
            path,
            [&text](QIODevice* out, QString* w) {
                if (out->write(text) == text.size())
                    return true;
                *w = out->errorString();
                return false;
            },
            &why)) {
        *error = QStringLiteral("ona_export_pcs: %1: %2").arg(path, why);
        return false;
    }
    return true;
}

bool PCSData::parseSrv(const QByteArray& text, const QString& name, const SerdesLayout& layout,
                       QHash<int, QByteArray> base, QHash<int, QByteArray>* out, QString* error) {
    static const QRegularExpression addrRe(QStringLiteral("^[0-9A-Fa-f]{1,8}$"));
    static const QRegularExpression dataRe(QStringLiteral("^[0-9A-Fa-f]{1,2}$"));
    static const QRegularExpression blanks(QStringLiteral("[ \t]+"));
    const QList<QByteArray> lines = text.split('\n');
    QSet<quint32> seen;
    for (int n = 0; n < lines.size(); ++n) {
        const auto refuse = [&](const QString& why) {
            *error = QStringLiteral("%1 line %2: %3").arg(name).arg(n + 1).arg(why);
            return false;
        };
        QByteArray raw = lines.at(n);
        if (raw.endsWith('\r'))
            raw.chop(1);
        if (raw.contains('\0'))
            return refuse(QStringLiteral("contains a NUL character"));
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        const QStringList words = line.split(blanks);
        if (words.size() != 2 || !addrRe.match(words.at(0)).hasMatch() || !dataRe.match(words.at(1)).hasMatch())
            return refuse(
                QStringLiteral("expected a hexadecimal address and data byte, not \"%1\"").arg(SafeFile::shown(line)));
        const quint32 addr = words.at(0).toUInt(nullptr, 16);
        const quint8 data = quint8(words.at(1).toUInt(nullptr, 16));
        const int dcu = int(addr >> 12), block = int((addr >> 8) & 0xF), reg = int(addr & 0xFF);
        if (addr > 0xFFFF || block > 1 || reg >= SerdesMap::kSettingRegs || !layout.has(dcu, block))
            return refuse(QStringLiteral("no setting register at address %1").arg(words.at(0)));
        if (seen.contains(addr))
            return refuse(QStringLiteral("address %1 is given twice").arg(words.at(0)));
        seen.insert(addr);
        QString why;
        if (!SerdesMap::checkSettingByte(reg, data, &why))
            return refuse(QStringLiteral("register %1: %2").arg(words.at(0), why));
        base[dcu * 2 + block][reg] = char(data);
    }
    if (seen.isEmpty()) {
        *error = QStringLiteral("%1: holds no register").arg(name);
        return false;
    }
    *out = base;
    return true;
}

bool PCSData::importFile(const QString& path, QString* error) {
    if (!needSerdes(QStringLiteral("ona_import_pcs"), error))
        return false;
    QByteArray text;
    QString why;
    if (!SafeFile::readRegular(path, kMaxSrvSize, &text, &why)) {
        *error = QStringLiteral("ona_import_pcs: %1 %2").arg(path, why);
        return false;
    }
    QHash<int, QByteArray> base;
    for (int i = 0; i < 4; ++i)
        if (m_layout.has(i / 2, i % 2))
            base.insert(i, m_settings.value(i, m_device->settings(i / 2, i % 2)));
    QHash<int, QByteArray> result;
    if (!parseSrv(text, path, m_layout, base, &result, &why)) {
        *error = QStringLiteral("ona_import_pcs: %1").arg(why);
        return false;
    }
    const QHash<QString, int> before = snapshot();
    m_settings = result;
    report(before, false);
    return true;
}

void PCSData::injectValue(const QString& key, int value) {
    m_injected.insert(key, value);
    if (SerdesMap::statusKeys().contains(key))
        emit pcsRead(key);
    else
        emit pcsDirty(key);
}
