// A FUSE file system that shows a folder as it is, except that reads of some files misbehave,
// chosen by a word in the file's name:
//   "short"  every read gives at most 1000 bytes (the file is opened for direct I/O, so the
//            reader sees the short count);
//   "eio"    every read fails with EIO;
//   "hang"   a read waits for up to a minute and then fails, as a stalled network would,
//            deaf to interrupts, so the reading thread cannot end before.
// It is read-only: the tests write their reports outside it. Usage: fault_fs SOURCE MOUNTPOINT
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

int openFile(const char* path, fuse_file_info* file)
{
    const int fd = ::open(real(path).c_str(), file->flags & ~O_NOFOLLOW);
    if (fd < 0)
        return -errno;
    file->fh = static_cast<uint64_t>(fd);
    file->direct_io = named(path, "short") || named(path, "hang") ? 1 : 0;
    return 0;
}

int readFile(const char* path, char* buffer, size_t size, off_t offset, fuse_file_info* file)
{
    if (named(path, "eio"))
        return -EIO;
    if (named(path, "hang")) {
        std::this_thread::sleep_for(std::chrono::minutes(1));
        return -EIO;
    }
    if (named(path, "short"))
        size = std::min<size_t>(size, 1000);
    return result(static_cast<int>(::pread(static_cast<int>(file->fh), buffer, size, offset)));
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
    operations.readdir = readFolder;
    operations.open = openFile;
    operations.read = readFile;
    operations.statfs = fileSystemStatus;
    operations.release = releaseFile;
    char name[] = "fault_fs";
    char foreground[] = "-f";
    char options[] = "-o";
    char optionList[] = "default_permissions,allow_other";
    char* arguments[] = {name, argv[2], foreground, options, optionList, nullptr};
    return fuse_main(5, arguments, &operations, nullptr);
}
