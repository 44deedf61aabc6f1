#include "controllerrecords.h"

#include "registerradix.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QSet>

VirtualIOData::~VirtualIOData() = default;
UserRegisterData::~UserRegisterData() = default;
RegisterListData::~RegisterListData() = default;

namespace ControllerFile {

namespace {

struct Fault {
    QString text;
};

[[noreturn]] void fault(const QString& path, const QString& why) {
    throw Fault{QStringLiteral("%1: %2").arg(path, why)};
}

QString at(const QString& path, const QString& key) { return path + QLatin1Char('.') + key; }

void onlyKeys(const QJsonObject& o, const QString& path, const QStringList& allowed) {
    for (auto it = o.begin(); it != o.end(); ++it)
        if (!allowed.contains(it.key()))
            fault(at(path, it.key()), QStringLiteral("unknown key"));
}

QJsonObject objectAt(const QJsonObject& o, const QString& key, const QString& path) {
    const QJsonValue v = o.value(key);
    if (!v.isObject())
        fault(at(path, key), QStringLiteral("expected an object"));
    return v.toObject();
}

bool flag(const QJsonObject& o, const QString& key, const QString& path, bool def) {
    if (!o.contains(key))
        return def;
    if (!o.value(key).isBool())
        fault(at(path, key), QStringLiteral("expected true or false"));
    return o.value(key).toBool();
}

QString identifier(const QJsonValue& v, const QString& path) {
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_\\[\\]\\.]{0,127}$"));
    if (!v.isString() || !re.match(v.toString()).hasMatch())
        fault(path, QStringLiteral("expected a name (letters, digits, _ . [ ], at most 128 characters)"));
    return v.toString();
}

int whole(const QJsonObject& o, const QString& key, const QString& path, int min, int max) {
    const QJsonValue v = o.value(key);
    const double d = v.toDouble(-1.5);
    if (!v.isDouble() || d != double(qint64(d)) || d < min || d > max)
        fault(at(path, key), QStringLiteral("expected a whole number from %1 to %2").arg(min).arg(max));
    return int(d);
}

QJsonArray arrayAt(const QJsonObject& o, const QString& key, const QString& path) {
    const QJsonValue v = o.value(key);
    if (!v.isArray())
        fault(at(path, key), QStringLiteral("expected an array"));
    if (v.toArray().size() > kMaxNames)
        fault(at(path, key), QStringLiteral("more than %1 entries").arg(kMaxNames));
    return v.toArray();
}

void readIO(const QJsonObject& parent, const QString& key, const QString& path, VirtualIOData* out) {
    if (!parent.contains(key))
        return;
    const QString p = at(path, key);
    const QJsonObject o = objectAt(parent, key, path);
    onlyKeys(o, p, {QStringLiteral("instance"), QStringLiteral("enabled"), QStringLiteral("names")});
    out->defined = true;
    out->enabled = flag(o, QStringLiteral("enabled"), p, true);
    out->instance = o.contains(QStringLiteral("instance"))
                        ? identifier(o.value(QStringLiteral("instance")), at(p, QStringLiteral("instance")))
                        : QString();
    const QJsonArray names = arrayAt(o, QStringLiteral("names"), p);
    QSet<QString> seen;
    for (int i = 0; i < names.size(); ++i) {
        const QString n = identifier(names.at(i), QStringLiteral("%1[%2]").arg(at(p, QStringLiteral("names"))).arg(i));
        if (seen.contains(n))
            fault(QStringLiteral("%1[%2]").arg(at(p, QStringLiteral("names"))).arg(i),
                  QStringLiteral("\"%1\" is named twice").arg(n));
        seen.insert(n);
        out->names << n;
    }
}

void readMemory(const QJsonObject& parent, const QString& path, UserRegisterData* out) {
    const QString key = QStringLiteral("memory");
    if (!parent.contains(key))
        return;
    const QString p = at(path, key);
    const QJsonObject o = objectAt(parent, key, path);
    onlyKeys(o, p,
             {QStringLiteral("enabled"), QStringLiteral("start"), QStringLiteral("end"), QStringLiteral("width")});
    out->defined = true;
    out->enabled = flag(o, QStringLiteral("enabled"), p, true);
    for (const char* k : {"start", "end"}) {
        const QString kk = QLatin1String(k);
        const QJsonValue v = o.value(kk);
        quint32 value = 0;
        if (!v.isString() || !parseHex32(v.toString(), &value))
            fault(at(p, kk), QStringLiteral("expected a hexadecimal address of at most 32 bits (\"0x0400\")"));
        (kk == QLatin1String("start") ? out->startAddress : out->endAddress) = v.toString();
        (kk == QLatin1String("start") ? out->start : out->end) = value;
    }
    if (out->end < out->start)
        fault(at(p, QStringLiteral("end")), QStringLiteral("below the start address"));
    if (quint64(out->end) - out->start + 1 > quint64(kMaxMemDepth))
        fault(at(p, QStringLiteral("end")), QStringLiteral("more than %1 words").arg(kMaxMemDepth));
    out->depth = int(out->end - out->start + 1);
    out->width = whole(o, QStringLiteral("width"), p, 1, kMaxMemWidth);
}

QString hexText(quint32 v) {
    return QStringLiteral("0x") + QStringLiteral("%1").arg(v, 2, 16, QLatin1Char('0')).toUpper();
}

// Bits a signal name of a register stands for: "base[msb:lsb]" covers its
// range, "base[3]" and "base" one bit; 0 when it is no signal name.
int signalBits(const QString& name) {
    static const QRegularExpression re(
        QStringLiteral("^[A-Za-z_][A-Za-z0-9_.]{0,127}(?:\\[(\\d{1,4})(?::(\\d{1,4}))?\\])?$"));
    const QRegularExpressionMatch m = re.match(name);
    if (!m.hasMatch())
        return 0;
    if (m.captured(2).isEmpty())
        return 1;
    return qAbs(m.captured(1).toInt() - m.captured(2).toInt()) + 1;
}

RegisterEntry readRegister(const QJsonObject& r, const QString& rp, bool status) {
    QStringList keys{QStringLiteral("name"), QStringLiteral("width"), QStringLiteral("address"),
                     QStringLiteral("radix"), QStringLiteral("signals")};
    if (status)
        keys << QStringLiteral("simulation");
    onlyKeys(r, rp, keys);
    RegisterEntry e;
    e.name = identifier(r.value(QStringLiteral("name")), at(rp, QStringLiteral("name")));
    e.width = whole(r, QStringLiteral("width"), rp, 1, kMaxRegisterWidth);
    if (r.contains(QStringLiteral("radix"))) {
        static const QStringList radices{QStringLiteral("Bin"), QStringLiteral("Oct"), QStringLiteral("Dec"),
                                         QStringLiteral("Hex")};
        e.radix = int(radices.indexOf(r.value(QStringLiteral("radix")).toString()));
        if (!r.value(QStringLiteral("radix")).isString() || e.radix < 0)
            fault(at(rp, QStringLiteral("radix")), QStringLiteral("expected \"Bin\", \"Oct\", \"Dec\" or \"Hex\""));
    }
    if (r.contains(QStringLiteral("signals"))) {
        const QJsonArray a = arrayAt(r, QStringLiteral("signals"), rp);
        int bits = 0;
        for (int i = 0; i < a.size(); ++i) {
            const QString sp = QStringLiteral("%1[%2]").arg(at(rp, QStringLiteral("signals"))).arg(i);
            const int n = a.at(i).isString() ? signalBits(a.at(i).toString()) : 0;
            if (n == 0)
                fault(sp, QStringLiteral("expected a signal name (\"name\", \"name[3]\" or \"name[7:0]\")"));
            bits += n;
            e.signalNames << a.at(i).toString();
        }
        if (bits != e.width)
            fault(at(rp, QStringLiteral("signals")),
                  QStringLiteral("the signals cover %1 bits; the register has %2").arg(bits).arg(e.width));
    } else {
        e.signalNames << (e.width == 1 ? e.name : QStringLiteral("%1[%2:0]").arg(e.name).arg(e.width - 1));
    }
    if (r.contains(QStringLiteral("simulation"))) {
        const QString sp = at(rp, QStringLiteral("simulation"));
        const QJsonObject sim = objectAt(r, QStringLiteral("simulation"), rp);
        const QString kind = sim.value(QStringLiteral("kind")).toString();
        if (kind == QLatin1String("counter")) {
            onlyKeys(sim, sp, {QStringLiteral("kind"), QStringLiteral("every")});
            e.source = RegisterEntry::Counter;
            if (sim.contains(QStringLiteral("every")))
                e.every = whole(sim, QStringLiteral("every"), sp, 1, 3600000);
        } else if (kind == QLatin1String("control")) {
            onlyKeys(sim, sp, {QStringLiteral("kind"), QStringLiteral("register"), QStringLiteral("lsb")});
            e.source = RegisterEntry::Control;
            e.control = identifier(sim.value(QStringLiteral("register")), at(sp, QStringLiteral("register")));
            if (sim.contains(QStringLiteral("lsb")))
                e.lsb = whole(sim, QStringLiteral("lsb"), sp, 0, kMaxRegisterWidth - 1);
        } else if (kind == QLatin1String("constant")) {
            onlyKeys(sim, sp, {QStringLiteral("kind"), QStringLiteral("value")});
            e.source = RegisterEntry::Constant;
            const QJsonValue v = sim.value(QStringLiteral("value"));
            static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]{1,256}$"));
            if (!v.isString() || !hex.match(v.toString()).hasMatch())
                fault(at(sp, QStringLiteral("value")), QStringLiteral("expected hexadecimal digits"));
            e.constant = v.toString().toUpper();
            if (!RegisterRadix::fits(QString(e.constant).remove(QRegularExpression(QStringLiteral("^0+(?=.)"))),
                                     e.width, RegisterRadix::Hex))
                fault(at(sp, QStringLiteral("value")),
                      QStringLiteral("wider than the register's %1 bits").arg(e.width));
        } else {
            fault(at(sp, QStringLiteral("kind")), QStringLiteral("expected \"counter\", \"control\" or \"constant\""));
        }
    }
    return e;
}

// A register block: an array of registers, or an object with "start",
// "end", "enabled" and "registers". Addresses not given follow the one
// before (the first: the block's start, else 0).
void readRegisters(const QJsonObject& parent, const QString& key, const QString& path, RegisterListData* out) {
    if (!parent.contains(key))
        return;
    const QString p = at(path, key);
    const bool status = key == QLatin1String("status_registers");
    QJsonArray a;
    QString ap = p;
    bool hasStart = false, hasEnd = false;
    quint32 start = 0, end = 0;
    out->enabled = true;
    if (parent.value(key).isObject()) {
        const QJsonObject o = parent.value(key).toObject();
        onlyKeys(
            o, p,
            {QStringLiteral("enabled"), QStringLiteral("start"), QStringLiteral("end"), QStringLiteral("registers")});
        out->enabled = flag(o, QStringLiteral("enabled"), p, true);
        for (const char* k : {"start", "end"}) {
            const QString kk = QLatin1String(k);
            if (!o.contains(kk))
                continue;
            quint32 v = 0;
            if (!o.value(kk).isString() || !parseHex32(o.value(kk).toString(), &v))
                fault(at(p, kk), QStringLiteral("expected a hexadecimal address of at most 32 bits (\"0x10\")"));
            (kk == QLatin1String("start") ? start : end) = v;
            (kk == QLatin1String("start") ? hasStart : hasEnd) = true;
            (kk == QLatin1String("start") ? out->startAddress : out->endAddress) = o.value(kk).toString();
        }
        if (hasStart && hasEnd && end < start)
            fault(at(p, QStringLiteral("end")), QStringLiteral("below the start address"));
        a = arrayAt(o, QStringLiteral("registers"), p);
        ap = at(p, QStringLiteral("registers"));
    } else {
        a = arrayAt(parent, key, path);
    }
    out->defined = true;
    QSet<QString> seen;
    QSet<quint32> addresses;
    quint64 next = start;
    for (int i = 0; i < a.size(); ++i) {
        const QString rp = QStringLiteral("%1[%2]").arg(ap).arg(i);
        if (!a.at(i).isObject())
            fault(rp, QStringLiteral("expected an object"));
        RegisterEntry e = readRegister(a.at(i).toObject(), rp, status);
        if (seen.contains(e.name))
            fault(at(rp, QStringLiteral("name")), QStringLiteral("\"%1\" is named twice").arg(e.name));
        seen.insert(e.name);
        const QJsonValue addr = a.at(i).toObject().value(QStringLiteral("address"));
        quint32 address = 0;
        if (!addr.isUndefined()) {
            if (!addr.isString() || !parseHex32(addr.toString(), &address))
                fault(at(rp, QStringLiteral("address")),
                      QStringLiteral("expected a hexadecimal address of at most 32 bits (\"0x10\")"));
            e.address = addr.toString();
        } else {
            if (next > 0xFFFFFFFFull)
                fault(rp, QStringLiteral("the address runs past 32 bits"));
            address = quint32(next);
            e.address = hexText(address);
        }
        if ((hasStart && address < start) || (hasEnd && address > end))
            fault(at(rp, QStringLiteral("address")), QStringLiteral("outside the block's addresses"));
        if (addresses.contains(address))
            fault(at(rp, QStringLiteral("address")), QStringLiteral("another register has this address"));
        addresses.insert(address);
        next = quint64(address) + 1;
        out->entries.append(e);
    }
    if (!hasStart)
        out->startAddress = out->entries.isEmpty() ? hexText(0) : out->entries.first().address;
    if (!hasEnd)
        out->endAddress = out->entries.isEmpty() ? out->startAddress : out->entries.last().address;
}

// A status register that shows a control register must name one, and its
// bits must lie inside it.
void checkStatusSources(const ControllerRecords& r, const QString& path) {
    for (int i = 0; i < r.status.entries.size(); ++i) {
        const RegisterEntry& e = r.status.entries.at(i);
        if (e.source != RegisterEntry::Control)
            continue;
        const QString sp = QStringLiteral("%1.simulation")
                               .arg(at(path, QStringLiteral("status_registers")) + QStringLiteral("[%1]").arg(i));
        const RegisterEntry* c = nullptr;
        for (const RegisterEntry& k : r.control.entries)
            if (k.name == e.control)
                c = &k;
        if (!c)
            fault(at(sp, QStringLiteral("register")), QStringLiteral("no control register \"%1\"").arg(e.control));
        if (e.lsb + e.width > c->width)
            fault(sp, QStringLiteral("bits %1 to %2 are outside the %3-bit control register")
                          .arg(e.lsb)
                          .arg(e.lsb + e.width - 1)
                          .arg(c->width));
    }
}

} // namespace

bool parse(const QJsonObject& o, const QString& path, ControllerRecords* out, QString* error) {
    try {
        onlyKeys(o, path,
                 {QStringLiteral("leds"), QStringLiteral("switches"), QStringLiteral("memory"),
                  QStringLiteral("control_registers"), QStringLiteral("status_registers"), QStringLiteral("hard_ip")});
        ControllerRecords r;
        readIO(o, QStringLiteral("leds"), path, &r.leds);
        readIO(o, QStringLiteral("switches"), path, &r.switches);
        readMemory(o, path, &r.memory);
        readRegisters(o, QStringLiteral("control_registers"), path, &r.control);
        readRegisters(o, QStringLiteral("status_registers"), path, &r.status);
        checkStatusSources(r, path);
        QString hardIpError;
        if (o.contains(QStringLiteral("hard_ip")) &&
            !HardIpFile::parse(o.value(QStringLiteral("hard_ip")), at(path, QStringLiteral("hard_ip")), r.memory.start,
                               r.memory.end, r.memory.defined, &r.hardIp, &hardIpError))
            throw Fault{hardIpError};
        *out = r;
        return true;
    } catch (const Fault& f) {
        *error = f.text;
        return false;
    }
}

} // namespace ControllerFile
