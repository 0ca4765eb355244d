#pragma once

#include <QString>
#include <QStringList>

#include <system_error>

namespace vaskerel {

// Per-user text values by application, section and key, kept in an INI file under the XDG
// config folder. Key names match without regard to case. A file far larger than its values can
// be, or one that is not a regular file, is renamed out of the way unread and replaced.
class SettingsStore {
public:
    SettingsStore();
    explicit SettingsStore(QString configFolder);

    QString GetSetting(const QString& application, const QString& section, const QString& key,
                       const QString& defaultValue) const;
    // Why the store could not be written; no error when it was.
    std::error_code SaveSetting(const QString& application, const QString& section, const QString& key,
                                const QString& value);

    QString fileFor(const QString& application) const;

    // Larger than four fields can ever make it.
    static constexpr qint64 kLargestFile = qint64{1} << 20;

    // The files set aside since the last call, each as its new name.
    QStringList takeSetAside();

private:
    // Moves the application's file away when it must not be read; why it could not be.
    std::error_code setAsideUnfit(const QString& file) const;

    QString configFolder_;
    mutable QStringList setAside_;
};

} // namespace vaskerel
