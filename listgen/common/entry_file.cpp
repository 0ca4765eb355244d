#include "listgen/common/entry_file.h"

#include "listgen/common/file_identity.h"
#include "listgen/common/path_split.h"
#include "listgen/common/pseudo_files.h"
#include "listgen/common/system_error.h"
#include "listgen/common/user_access.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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

// What a pseudo file is, by the name the kernel gives the file an O_PATH descriptor holds.
PseudoFileKind kindOfTarget(int place)
{
    std::string path(4096, '\0');
    const ssize_t length = ::readlink(("/proc/self/fd/" + std::to_string(place)).c_str(), path.data(), path.size());
    path.resize(static_cast<std::size_t>(std::max<ssize_t>(length, 0)));
    return pseudoFileKind(place, folderAndName(path).name);
}

std::error_code refusedKind(PseudoFileKind kind)
{
    switch (kind) {
    case PseudoFileKind::TakesDataAway: return RunError::TakesDataAway;
    case PseudoFileKind::MemoryImage: return RunError::MemoryImage;
    case PseudoFileKind::Document: break;
    }
    return {};
}

// Opens what a link leads to only once openLinkTarget allows it, by the descriptor that
// looked, so that a link to a FIFO or a device, planted at any moment, is never opened with
// the side effects that has. Returns the descriptor, or -1 with `reason` set.
int openThroughLink(const Entry& entry, std::error_code& reason)
{
    const int folderFd = entry.folder->fd.get();
    const std::string name(entry.name());
    const FileDescriptor place = openLinkTarget(entry, reason);
    if (!place.valid())
        return -1;
    struct stat status {};
    if (::fstat(place.get(), &status) != 0) {
        reason = systemCode(errno);
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

FileDescriptor openLinkTarget(const Entry& entry, std::error_code& reason)
{
    // The kernel's links to processes' open and mapped files lead out of the tree.
    if (entry.folder->pseudoFiles) {
        reason = RunError::KernelLink;
        return {};
    }
    const int folderFd = entry.folder->fd.get();
    const std::string name(entry.name());
    struct stat link {};
    const bool foreign = ::fstatat(folderFd, name.c_str(), &link, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(link.st_mode) &&
                         link.st_uid != ::geteuid();
    FileDescriptor place(::openat(folderFd, name.c_str(), O_PATH | O_CLOEXEC));
    struct stat status {};
    if (!place.valid())
        reason = openFailure(folderFd, name, errno);
    else if (::fstat(place.get(), &status) != 0)
        reason = systemCode(errno);
    else if (!S_ISREG(status.st_mode))
        reason = RunError::NotARegularFile;
    else if (foreign && !UserAccess::mayRead(link.st_uid, place.get()))
        reason = RunError::ForeignLinkToUnreadable;
    else if (onPseudoFileSystem(place.get()))
        reason = refusedKind(kindOfTarget(place.get()));
    if (reason)
        place.reset();
    return place;
}

FileDescriptor openEntryFile(const Entry& entry, std::error_code& reason)
{
    const int folderFd = entry.folder->fd.get();
    const std::string name(entry.name());
    if (entry.folder->pseudoFiles && (reason = refusedKind(pseudoFileKind(folderFd, name))))
        return {};
    if (!entry.throughLink) {
        const int fd = ::openat(folderFd, name.c_str(), kReadFlags | O_NOFOLLOW);
        if (fd >= 0 || errno != ELOOP) {
            if (fd < 0)
                reason = openFailure(folderFd, name, errno);
            return FileDescriptor(fd);
        }
    }
    return FileDescriptor(openThroughLink(entry, reason));
}

} // namespace listgen
