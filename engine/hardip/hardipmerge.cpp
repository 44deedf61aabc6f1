#include "hardipmerge.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>

namespace HardIpMerge {

QString fileFor(const QString& onlPath) {
    if (onlPath.isEmpty())
        return QString();
    const QFileInfo onl(onlPath);
    return onl.absoluteDir().filePath(QStringLiteral("mpp_merge.json"));
}

bool parse(const QByteArray& text, QHash<QString, ZentaMPPMergeInfo>* table, QString* warning) {
    if (text.isEmpty()) {
        *warning = QStringLiteral("WARNING: Failed to retrieve MPP merge JSON file.");
        return false;
    }
    const QJsonDocument doc = QJsonDocument::fromJson(text);
    if (doc.isNull() || !doc.isObject()) {
        *warning = QStringLiteral("WARNING: Failed to parse MPP merge JSON file.");
        return false;
    }
    const QJsonObject top = doc.object();
    int entries = 0;
    for (auto it = top.begin(); it != top.end() && entries < kMaxEntries; ++it) {
        if (it.key() == QLatin1String("version") || !it.value().isObject())
            continue;
        ++entries;
        const QJsonObject o = it.value().toObject();
        const auto textOf = [&o](const char* key) {
            const QJsonValue v = o.value(QLatin1String(key));
            return v.isString() ? v.toString() : QString();
        };
        ZentaMPPMergeInfo info;
        info.type = textOf("type");
        info.merged = textOf("merged") == QLatin1String("yes");
        info.quad = textOf("quad");
        const QStringList parts = textOf("lane").split(QLatin1Char(','));
        for (int i = 0; i < parts.size() && i < kMaxLaneParts; ++i)
            info.lanes.insert(parts.at(i));
        if (textOf("lane").isEmpty())
            info.lanes.clear();
        table->insert(it.key(), info);
    }
    return true;
}

} // namespace HardIpMerge
