#pragma once

#include <QString>

namespace vaskerel {

// Per-user text values by application, section and key, kept in an INI file under the XDG
// config folder. Key names match without regard to case.
class SettingsStore {
public:
    SettingsStore();
    explicit SettingsStore(QString configFolder);

    QString GetSetting(const QString& application, const QString& section, const QString& key,
                       const QString& defaultValue) const;
    // False when the store could not be written.
    bool SaveSetting(const QString& application, const QString& section, const QString& key, const QString& value);

    QString fileFor(const QString& application) const;

private:
    QString configFolder_;
};

} // namespace vaskerel
