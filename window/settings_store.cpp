#include "window/settings_store.h"

#include <QFile>
#include <QSettings>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <utility>

#include <tuple>

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

// What changes when a file is written anew: QSettings replaces the file through a new one.
using FileStamp = std::tuple<bool, dev_t, ino_t, off_t, time_t, long>;

FileStamp stampOf(const QString& file)
{
    struct stat status {};
    if (::stat(QFile::encodeName(file).constData(), &status) != 0)
        return {};
    return {true, status.st_dev, status.st_ino, status.st_size, status.st_mtim.tv_sec, status.st_mtim.tv_nsec};
}

// A file that reading could hang on, such as a FIFO, or whose size would take the window
// seconds to parse and gigabytes to hold.
bool unfitToRead(const QString& file)
{
    struct stat status {};
    if (::stat(QFile::encodeName(file).constData(), &status) != 0)
        return false;
    return S_ISDIR(status.st_mode) ? false : !S_ISREG(status.st_mode) || status.st_size > SettingsStore::kLargestFile;
}

} // namespace

bool SettingsStore::setAsideUnfit(const QString& file) const
{
    if (!unfitToRead(file))
        return true;
    const QByteArray from = QFile::encodeName(file);
    for (int attempt = 1; attempt < 100; ++attempt) {
        const QString to = file + QStringLiteral(".set-aside") + (attempt == 1 ? QString() : QStringLiteral(".%1").arg(attempt));
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, QFile::encodeName(to).constData(), RENAME_NOREPLACE) == 0) {
            setAside_ << to;
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    return false;
}

QStringList SettingsStore::takeSetAside()
{
    return std::exchange(setAside_, {});
}

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
    if (!setAsideUnfit(fileFor(application)))
        return defaultValue;
    QSettings settings(fileFor(application), QSettings::IniFormat);
    settings.beginGroup(section);
    const QString stored = storedKey(settings, key);
    return stored.isEmpty() ? defaultValue : settings.value(stored, defaultValue).toString();
}

bool SettingsStore::SaveSetting(const QString& application, const QString& section, const QString& key,
                                const QString& value)
{
    const QString file = fileFor(application);
    if (!setAsideUnfit(file))
        return false;
    const FileStamp before = stampOf(file);
    QSettings settings(file, QSettings::IniFormat);
    settings.beginGroup(section);
    // One value per key whatever its case, so a later read cannot find a stale spelling.
    for (QString stored = storedKey(settings, key); !stored.isEmpty(); stored = storedKey(settings, key))
        settings.remove(stored);
    settings.setValue(key, value);
    settings.endGroup();
    settings.sync();
    switch (settings.status()) {
    case QSettings::NoError:
        return true;
    case QSettings::AccessError:
        return false;
    case QSettings::FormatError:
        // An old file that did not parse keeps this status even when the rewrite failed.
        return stampOf(file) != before;
    }
    return false;
}

} // namespace vaskerel
