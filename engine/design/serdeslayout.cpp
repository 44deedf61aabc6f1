#include "serdeslayout.h"

#include <QJsonArray>
#include <QStringList>

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
