#include "controllerrecords.h"

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

void readRegisters(const QJsonObject& parent, const QString& key, const QString& path, RegisterListData* out) {
    if (!parent.contains(key))
        return;
    const QString p = at(path, key);
    const QJsonArray a = arrayAt(parent, key, path);
    out->defined = true;
    out->enabled = true;
    QSet<QString> seen;
    for (int i = 0; i < a.size(); ++i) {
        const QString rp = QStringLiteral("%1[%2]").arg(p).arg(i);
        if (!a.at(i).isObject())
            fault(rp, QStringLiteral("expected an object"));
        const QJsonObject r = a.at(i).toObject();
        onlyKeys(r, rp, {QStringLiteral("name"), QStringLiteral("width")});
        const QString n = identifier(r.value(QStringLiteral("name")), at(rp, QStringLiteral("name")));
        if (seen.contains(n))
            fault(at(rp, QStringLiteral("name")), QStringLiteral("\"%1\" is named twice").arg(n));
        seen.insert(n);
        out->registers.append({n, whole(r, QStringLiteral("width"), rp, 1, 32)});
    }
}

} // namespace

bool parseHex64(const QString& text, quint64* value) {
    QString t = text.trimmed();
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive))
        t = t.mid(2);
    if (t.isEmpty() || t.size() > 64)
        return false;
    quint64 v = 0;
    for (const QChar c : t) {
        const int digit = QStringLiteral("0123456789abcdef").indexOf(c.toLower());
        if (digit < 0 || (v >> 60) != 0)
            return false;
        v = v * 16 + quint64(digit);
    }
    *value = v;
    return true;
}

bool parseHex32(const QString& text, quint32* value) {
    quint64 v = 0;
    if (!parseHex64(text, &v) || v > 0xFFFFFFFFull)
        return false;
    *value = quint32(v);
    return true;
}

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
