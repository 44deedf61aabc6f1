#pragma once

#include <QSettings>
#include <QString>
#include <QVariant>

#include <memory>

namespace vemo::basgui {

// A tool's persistent preferences. By default an INI file per tool in the
// user's configuration folder; $ONDREL_SETTINGS_DIR moves every tool's file
// into that folder (tests use it to stay off the user's real settings).
class BaseUsrSettings {
public:
    explicit BaseUsrSettings(const QString& toolName);
    // Settings kept in exactly this INI file.
    static std::unique_ptr<BaseUsrSettings> fromFile(const QString& iniFile);

    QVariant value(const QString& key, const QVariant& defaultValue = QVariant()) const;
    void setValue(const QString& key, const QVariant& value);
    void remove(const QString& key);
    bool contains(const QString& key) const;
    void sync();
    QString fileName() const;
    QSettings* settings() { return m_settings.get(); }

private:
    BaseUsrSettings() = default;
    std::unique_ptr<QSettings> m_settings;
};

} // namespace vemo::basgui
