#include "window/settings_store.h"

#include "listgen/common/file_descriptor.h"
#include "listgen/common/system_error.h"

#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <fcntl.h>
#include <sys/stat.h>

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <tuple>
#include <utility>

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

// Why `file` cannot be written anew: QSettings keeps the system's reason to itself, so the
// steps it takes (make the folder, write a new file there, replace the old) are tried here.
std::error_code whyUnwritable(const QString& file)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(file).absolutePath());
    std::error_code error;
    std::filesystem::create_directories(folder.toStdString(), error);
    if (error)
        return error;
    const QByteArray name = QFile::encodeName(file);
    if (::access(name.constData(), F_OK) == 0 && ::access(name.constData(), W_OK) != 0)
        return listgen::systemCode(errno);
    const listgen::FileDescriptor probe(::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
    if (!probe.valid())
        return errno == EOPNOTSUPP || errno == EISDIR ? listgen::RunError::Unexpected : listgen::systemCode(errno);
    // As much as the new file would take, for a full disk, a quota or a size limit to show.
    const std::string room(static_cast<std::size_t>(std::max<off_t>(std::get<3>(stampOf(file)), 4096)), '\n');
    for (std::size_t written = 0; written < room.size();) {
        const ssize_t count = ::write(probe.get(), room.data() + written, room.size() - written);
        if (count <= 0)
            return listgen::systemCode(count < 0 ? errno : ENOSPC);
        written += static_cast<std::size_t>(count);
    }
    return listgen::RunError::Unexpected;
}

} // namespace

std::error_code SettingsStore::setAsideUnfit(const QString& file) const
{
    if (!unfitToRead(file))
        return {};
    const QByteArray from = QFile::encodeName(file);
    for (int attempt = 1; attempt < 100; ++attempt) {
        const QString to = file + QStringLiteral(".set-aside") + (attempt == 1 ? QString() : QStringLiteral(".%1").arg(attempt));
        if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, QFile::encodeName(to).constData(), RENAME_NOREPLACE) == 0) {
            setAside_ << to;
            return {};
        }
        if (errno != EEXIST)
            return listgen::systemCode(errno);
    }
    return listgen::systemCode(EEXIST);
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
    if (setAsideUnfit(fileFor(application)))
        return defaultValue;
    QSettings settings(fileFor(application), QSettings::IniFormat);
    settings.beginGroup(section);
    const QString stored = storedKey(settings, key);
    return stored.isEmpty() ? defaultValue : settings.value(stored, defaultValue).toString();
}

std::error_code SettingsStore::SaveSetting(const QString& application, const QString& section, const QString& key,
                                           const QString& value)
{
    const QString file = fileFor(application);
    if (const std::error_code error = setAsideUnfit(file))
        return error;
    const FileStamp before = stampOf(file);
    QSettings settings(file, QSettings::IniFormat);
    settings.beginGroup(section);
    // One value per key whatever its case, so a later read cannot find a stale spelling.
    for (QString stored = storedKey(settings, key); !stored.isEmpty(); stored = storedKey(settings, key))
        settings.remove(stored);
    settings.setValue(key, value);
    settings.endGroup();
    settings.sync();
    // An old file that did not parse keeps FormatError even when the rewrite worked.
    const bool written = settings.status() == QSettings::NoError ||
                         (settings.status() == QSettings::FormatError && stampOf(file) != before);
    return written ? std::error_code() : whyUnwritable(file);
}

} // namespace vaskerel
