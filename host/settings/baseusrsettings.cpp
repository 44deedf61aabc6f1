#include "settings/baseusrsettings.h"

#include <QDir>

namespace vemo::basgui {

BaseUsrSettings::BaseUsrSettings(const QString& toolName) {
    const QString tool = toolName.isEmpty() ? QStringLiteral("tool") : toolName;
    const QString dir = qEnvironmentVariable("ONDREL_SETTINGS_DIR");
    if (!dir.isEmpty()) {
        QDir().mkpath(dir);
        m_settings = std::make_unique<QSettings>(QDir(dir).filePath(tool + ".ini"), QSettings::IniFormat);
    } else {
        m_settings =
            std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Ondrel"), tool);
    }
}

std::unique_ptr<BaseUsrSettings> BaseUsrSettings::fromFile(const QString& iniFile) {
    std::unique_ptr<BaseUsrSettings> s(new BaseUsrSettings());
    s->m_settings = std::make_unique<QSettings>(iniFile, QSettings::IniFormat);
    return s;
}

QVariant BaseUsrSettings::value(const QString& key, const QVariant& defaultValue) const {
    return m_settings->value(key, defaultValue);
}

void BaseUsrSettings::setValue(const QString& key, const QVariant& value) { m_settings->setValue(key, value); }

void BaseUsrSettings::remove(const QString& key) { m_settings->remove(key); }
bool BaseUsrSettings::contains(const QString& key) const { return m_settings->contains(key); }
void BaseUsrSettings::sync() { m_settings->sync(); }
QString BaseUsrSettings::fileName() const { return m_settings->fileName(); }

} // namespace vemo::basgui
