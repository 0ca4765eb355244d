#include "listgen/common/entry_file.h"

#include "listgen/common/file_identity.h"
#include "listgen/common/system_error.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace listgen {

namespace {

// Non-blocking until the file is known to be a regular one, so that a FIFO never holds a reader.
constexpr int kReadFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

// Why a name could not be opened; a link that leads nowhere says so.
std::error_code openFailure(int folderFd, const std::string& name, int error)
{
    struct stat status {};
    const bool isLink = ::fstatat(folderFd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(status.st_mode);
    if (isLink && error == ENOENT)
        return RunError::BrokenLink;
    if (isLink && error == ELOOP)
        return RunError::LinkLoop;
    return systemCode(error);
}

// Opens what a link leads to only once it is known to be a regular file, so that a link to a
// FIFO or a device, planted at any moment, is never opened with the side effects that has.
// Returns the descriptor, or -1 with `reason` set.
int openThroughLink(int folderFd, const std::string& name, std::error_code& reason)
{
    const FileDescriptor place(::openat(folderFd, name.c_str(), O_PATH | O_CLOEXEC));
    if (!place.valid()) {
        reason = openFailure(folderFd, name, errno);
        return -1;
    }
    struct stat status {};
    if (::fstat(place.get(), &status) != 0) {
        reason = systemCode(errno);
        return -1;
    }
    if (!S_ISREG(status.st_mode)) {
        reason = RunError::NotARegularFile;
        return -1;
    }
    const std::string reopen = "/proc/self/fd/" + std::to_string(place.get());
    int fd = ::open(reopen.c_str(), kReadFlags);
    if (fd < 0 && errno == ENOENT) {
        // Without /proc the name is opened once more, and must still lead to the same file.
        fd = ::openat(folderFd, name.c_str(), kReadFlags);
        struct stat opened {};
        if (fd >= 0 && (::fstat(fd, &opened) != 0 || FileIdentity::of(opened) != FileIdentity::of(status))) {
            ::close(fd);
            reason = RunError::ChangedWhileRead;
            return -1;
        }
    }
    if (fd < 0)
        reason = systemCode(errno);
    return fd;
}

} // namespace

FileDescriptor openEntryFile(const Entry& entry, std::error_code& reason)
{
    const int folderFd = entry.folder->fd.get();
    const std::string name(entry.name());
    if (!entry.throughLink) {
        const int fd = ::openat(folderFd, name.c_str(), kReadFlags | O_NOFOLLOW);
        if (fd >= 0 || errno != ELOOP) {
            if (fd < 0)
                reason = openFailure(folderFd, name, errno);
            return FileDescriptor(fd);
        }
    }
    return FileDescriptor(openThroughLink(folderFd, name, reason));
}

} // namespace listgen
