#include "hardipdata.h"

#include "bitwords.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>

namespace HardIpFile {

namespace {

bool refuse(QString* error, const QString& where, const QString& why) {
    *error = QStringLiteral("%1: %2").arg(where, why);
    return false;
}

bool readAddress(const QJsonObject& o, const QString& key, const QString& p, QString* text, quint32* value,
                 QString* error) {
    const QJsonValue v = o.value(key);
    if (!v.isString() || !parseHex32(v.toString(), value))
        return refuse(error, p + QLatin1Char('.') + key,
                      QStringLiteral("expected a hexadecimal address of at most 32 bits (\"0x8000\")"));
    *text = v.toString().trimmed();
    return true;
}

bool readOne(const QJsonValue& item, const QString& p, HardIpData* d, QString* error) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]{0,127}$"));
    static const QRegularExpression path(QStringLiteral("^[A-Za-z0-9_./\\[\\]:-]{0,512}$"));
    if (!item.isObject())
        return refuse(error, p, QStringLiteral("expected an object"));
    const QJsonObject h = item.toObject();
    static const QStringList allowed{QStringLiteral("instance"), QStringLiteral("type"), QStringLiteral("hierarchy"),
                                     QStringLiteral("start"),    QStringLiteral("end"),  QStringLiteral("enabled")};
    for (auto it = h.begin(); it != h.end(); ++it)
        if (!allowed.contains(it.key()))
            return refuse(error, p + QLatin1Char('.') + it.key(), QStringLiteral("unknown key"));
    const QJsonValue name = h.value(QStringLiteral("instance"));
    if (!name.isString() || !plain.match(name.toString()).hasMatch())
        return refuse(error, p + QStringLiteral(".instance"),
                      QStringLiteral("expected an instance name (letters, digits and _, not starting with a digit, at "
                                     "most 128 characters)"));
    d->name = name.toString();
    const QJsonValue type = h.value(QStringLiteral("type"));
    if (!type.isString() || !plain.match(type.toString()).hasMatch())
        return refuse(error, p + QStringLiteral(".type"), QStringLiteral("expected a block type (letters, digits, _)"));
    d->type = type.toString();
    if (h.contains(QStringLiteral("hierarchy"))) {
        const QJsonValue hv = h.value(QStringLiteral("hierarchy"));
        if (!hv.isString() || !path.match(hv.toString()).hasMatch())
            return refuse(error, p + QStringLiteral(".hierarchy"),
                          QStringLiteral("expected a design path (letters, digits and _ . / [ ] : -)"));
        d->hierarchy = hv.toString();
    }
    if (h.contains(QStringLiteral("enabled"))) {
        if (!h.value(QStringLiteral("enabled")).isBool())
            return refuse(error, p + QStringLiteral(".enabled"), QStringLiteral("expected true or false"));
        d->enabled = h.value(QStringLiteral("enabled")).toBool();
    }
    if (!readAddress(h, QStringLiteral("start"), p, &d->startAddress, &d->start, error) ||
        !readAddress(h, QStringLiteral("end"), p, &d->endAddress, &d->end, error))
        return false;
    if (d->end < d->start)
        return refuse(error, p + QStringLiteral(".end"), QStringLiteral("below the start address"));
    if (quint64(d->end) - d->start + 1 > quint64(kMaxWords))
        return refuse(error, p + QStringLiteral(".end"), QStringLiteral("more than %1 words").arg(kMaxWords));
    return true;
}

bool overlaps(quint32 a0, quint32 a1, quint32 b0, quint32 b1) { return a0 <= b1 && b0 <= a1; }

} // namespace

bool parse(const QJsonValue& value, const QString& path, quint32 userStart, quint32 userEnd, bool hasUserMemory,
           QList<HardIpData>* out, QString* error) {
    if (!value.isArray())
        return refuse(error, path, QStringLiteral("expected an array"));
    const QJsonArray a = value.toArray();
    if (a.size() > kMaxInstances)
        return refuse(error, path, QStringLiteral("more than %1 entries").arg(kMaxInstances));
    QList<HardIpData> list;
    for (int i = 0; i < a.size(); ++i) {
        const QString p = QStringLiteral("%1[%2]").arg(path).arg(i);
        HardIpData d;
        if (!readOne(a.at(i), p, &d, error))
            return false;
        for (const HardIpData& other : list) {
            if (other.name == d.name)
                return refuse(error, p + QStringLiteral(".instance"),
                              QStringLiteral("\"%1\" is named twice").arg(d.name));
            if (overlaps(d.start, d.end, other.start, other.end))
                return refuse(error, p + QStringLiteral(".start"),
                              QStringLiteral("the address space overlaps that of \"%1\"").arg(other.name));
        }
        if (hasUserMemory && overlaps(d.start, d.end, userStart, userEnd))
            return refuse(error, p + QStringLiteral(".start"),
                          QStringLiteral("the address space overlaps the user memory"));
        list.append(d);
    }
    *out = list;
    return true;
}

} // namespace HardIpFile
