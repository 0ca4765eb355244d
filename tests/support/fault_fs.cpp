// A FUSE file system that shows a folder as it is, except that reads of some files misbehave,
// chosen by a word in the file's name:
//   "short"  every read gives at most 1000 bytes (the file is opened for direct I/O, so the
//            reader sees the short count);
//   "eio"    every read fails with EIO;
//   "hang"   a read waits for up to a minute and then fails, as a stalled network would.
// It also lacks unnamed temporary files, as FUSE does. Usage: fault_fs SOURCE MOUNTPOINT
#define FUSE_USE_VERSION 31

#include <fuse.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <string>
#include <thread>

namespace {

std::string source;

std::string real(const char* path)
{
    return source + path;
}

bool named(const char* path, const char* word)
{
    const char* name = std::strrchr(path, '/');
    return std::strstr(name == nullptr ? path : name, word) != nullptr;
}

int result(int value)
{
    return value < 0 ? -errno : value;
}

int getAttributes(const char* path, struct stat* status, fuse_file_info*)
{
    return result(::lstat(real(path).c_str(), status));
}

int readLink(const char* path, char* buffer, size_t size)
{
    const ssize_t length = ::readlink(real(path).c_str(), buffer, size - 1);
    if (length < 0)
        return -errno;
    buffer[length] = '\0';
    return 0;
}

int readFolder(const char* path, void* buffer, fuse_fill_dir_t fill, off_t, fuse_file_info*, fuse_readdir_flags)
{
    DIR* folder = ::opendir(real(path).c_str());
    if (folder == nullptr)
        return -errno;
    while (const dirent* entry = ::readdir(folder)) {
        struct stat status {};
        status.st_ino = entry->d_ino;
        status.st_mode = static_cast<mode_t>(DTTOIF(entry->d_type));
        if (fill(buffer, entry->d_name, &status, 0, static_cast<fuse_fill_dir_flags>(0)) != 0)
            break;
    }
    ::closedir(folder);
    return 0;
}

int makeFolder(const char* path, mode_t mode)
{
    return result(::mkdir(real(path).c_str(), mode));
}

int removeFile(const char* path)
{
    return result(::unlink(real(path).c_str()));
}

int removeFolder(const char* path)
{
    return result(::rmdir(real(path).c_str()));
}

int makeLink(const char* target, const char* path)
{
    return result(::symlink(target, real(path).c_str()));
}

int renameEntry(const char* from, const char* to, unsigned int flags)
{
    return result(::renameat2(AT_FDCWD, real(from).c_str(), AT_FDCWD, real(to).c_str(), flags));
}

int hardLink(const char* from, const char* to)
{
    return result(::link(real(from).c_str(), real(to).c_str()));
}

int changeMode(const char* path, mode_t mode, fuse_file_info*)
{
    return result(::chmod(real(path).c_str(), mode));
}

int changeOwner(const char* path, uid_t user, gid_t group, fuse_file_info*)
{
    return result(::lchown(real(path).c_str(), user, group));
}

int truncateFile(const char* path, off_t size, fuse_file_info* file)
{
    return result(file != nullptr ? ::ftruncate(static_cast<int>(file->fh), size) : ::truncate(real(path).c_str(), size));
}

int setTimes(const char* path, const timespec times[2], fuse_file_info*)
{
    return result(::utimensat(AT_FDCWD, real(path).c_str(), times, AT_SYMLINK_NOFOLLOW));
}

void prepare(const char* path, fuse_file_info* file)
{
    file->direct_io = named(path, "short") || named(path, "hang") ? 1 : 0;
}

int openFile(const char* path, fuse_file_info* file)
{
    const int fd = ::open(real(path).c_str(), file->flags & ~O_NOFOLLOW);
    if (fd < 0)
        return -errno;
    file->fh = static_cast<uint64_t>(fd);
    prepare(path, file);
    return 0;
}

int createFile(const char* path, mode_t mode, fuse_file_info* file)
{
    const int fd = ::open(real(path).c_str(), file->flags, mode);
    if (fd < 0)
        return -errno;
    file->fh = static_cast<uint64_t>(fd);
    prepare(path, file);
    return 0;
}

int readFile(const char* path, char* buffer, size_t size, off_t offset, fuse_file_info* file)
{
    if (named(path, "eio"))
        return -EIO;
    if (named(path, "hang")) {
        const auto until = std::chrono::steady_clock::now() + std::chrono::minutes(1);
        while (std::chrono::steady_clock::now() < until && fuse_interrupted() == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        return -EIO;
    }
    if (named(path, "short"))
        size = std::min<size_t>(size, 1000);
    return result(static_cast<int>(::pread(static_cast<int>(file->fh), buffer, size, offset)));
}

int writeFile(const char*, const char* buffer, size_t size, off_t offset, fuse_file_info* file)
{
    return result(static_cast<int>(::pwrite(static_cast<int>(file->fh), buffer, size, offset)));
}

int fileSystemStatus(const char* path, struct statvfs* status)
{
    return result(::statvfs(real(path).c_str(), status));
}

int releaseFile(const char*, fuse_file_info* file)
{
    ::close(static_cast<int>(file->fh));
    return 0;
}

int syncFile(const char*, int dataOnly, fuse_file_info* file)
{
    const int fd = static_cast<int>(file->fh);
    return result(dataOnly != 0 ? ::fdatasync(fd) : ::fsync(fd));
}

int checkAccess(const char* path, int mode)
{
    return result(::access(real(path).c_str(), mode));
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: fault_fs SOURCE MOUNTPOINT\n");
        return 2;
    }
    source = argv[1];
    fuse_operations operations{};
    operations.getattr = getAttributes;
    operations.readlink = readLink;
    operations.readdir = readFolder;
    operations.mkdir = makeFolder;
    operations.unlink = removeFile;
    operations.rmdir = removeFolder;
    operations.symlink = makeLink;
    operations.rename = renameEntry;
    operations.link = hardLink;
    operations.chmod = changeMode;
    operations.chown = changeOwner;
    operations.truncate = truncateFile;
    operations.utimens = setTimes;
    operations.open = openFile;
    operations.create = createFile;
    operations.read = readFile;
    operations.write = writeFile;
    operations.statfs = fileSystemStatus;
    operations.release = releaseFile;
    operations.fsync = syncFile;
    operations.access = checkAccess;
    char name[] = "fault_fs";
    char foreground[] = "-f";
    char options[] = "-o";
    char optionList[] = "default_permissions,allow_other";
    char* arguments[] = {name, argv[2], foreground, options, optionList, nullptr};
    return fuse_main(5, arguments, &operations, nullptr);
}
