#include "window/settings_store.h"

#include <QSettings>
#include <QStandardPaths>

namespace vaskerel {

namespace {

QString storedKey(const QSettings& settings, const QString& key)
{
    const QStringList keys = settings.childKeys();
    for (const QString& candidate : keys) {
        if (candidate.compare(key, Qt::CaseInsensitive) == 0)
            return candidate;
    }
    return {};
}

} // namespace

SettingsStore::SettingsStore()
    : SettingsStore(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation))
{
}

SettingsStore::SettingsStore(QString configFolder)
    : configFolder_(std::move(configFolder))
{
}

QString SettingsStore::fileFor(const QString& application) const
{
    return configFolder_ + QLatin1Char('/') + application + QStringLiteral(".ini");
}

QString SettingsStore::GetSetting(const QString& application, const QString& section, const QString& key,
                                  const QString& defaultValue) const
{
    QSettings settings(fileFor(application), QSettings::IniFormat);
    settings.beginGroup(section);
    const QString stored = storedKey(settings, key);
    return stored.isEmpty() ? defaultValue : settings.value(stored, defaultValue).toString();
}

bool SettingsStore::SaveSetting(const QString& application, const QString& section, const QString& key,
                                const QString& value)
{
    QSettings settings(fileFor(application), QSettings::IniFormat);
    settings.beginGroup(section);
    // One value per key whatever its case, so a later read cannot find a stale spelling.
    for (QString stored = storedKey(settings, key); !stored.isEmpty(); stored = storedKey(settings, key))
        settings.remove(stored);
    settings.setValue(key, value);
    settings.endGroup();
    settings.sync();
    return settings.status() == QSettings::NoError;
}

} // namespace vaskerel
