#include "listgen/hashing/file_hasher.h"

#include "listgen/common/file_descriptor.h"
#include "listgen/common/pseudo_files.h"
#include "listgen/common/system_error.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace listgen {

namespace {

constexpr int kReadFlags = O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

void markUnreadable(Entry& entry, std::error_code reason)
{
    entry.kind = Entry::Kind::Unreadable;
    entry.reason = reason;
}

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

// A name listed as a file is opened without following links; one that has become a link
// since, or was listed as one, goes the careful way.
int openRegular(const Entry& entry, const std::string& name, std::error_code& reason)
{
    const int folderFd = entry.folder->fd.get();
    if (!entry.throughLink) {
        const int fd = ::openat(folderFd, name.c_str(), kReadFlags | O_NOFOLLOW);
        if (fd >= 0 || errno != ELOOP) {
            if (fd < 0)
                reason = openFailure(folderFd, name, errno);
            return fd;
        }
    }
    return openThroughLink(folderFd, name, reason);
}

// A file that still says it is empty after giving bytes is a pseudo file, not one that grew.
bool stillReportsNoSize(int fd)
{
    struct stat status {};
    return ::fstat(fd, &status) == 0 && status.st_size == 0;
}

// Reads may block from here on: the file is known to be a regular one.
bool clearNonBlocking(int fd)
{
    const int flags = ::fcntl(fd, F_GETFL);
    return flags >= 0 && ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK) == 0;
}

} // namespace

FileHasher::FileHasher(const std::atomic<bool>& cancel, ProgressMeter* progress, std::size_t bufferSize, bool sha256)
    : cancel_(cancel)
    , progress_(progress)
    , bufferSize_(bufferSize)
    , buffer_(new char[bufferSize])
    , sha256_(sha256 ? std::make_unique<EvpSha256>() : nullptr)
{
}

void FileHasher::hash(Entry& entry)
{
    if (entry.kind != Entry::Kind::File)
        return;
    const std::string name(entry.name());
    std::error_code reason;
    const FileDescriptor file(openRegular(entry, name, reason));
    if (!file.valid())
        return markUnreadable(entry, reason);
    struct stat status {};
    if (::fstat(file.get(), &status) != 0)
        return markUnreadable(entry, systemCode(errno));
    if (!S_ISREG(status.st_mode))
        return markUnreadable(entry, RunError::NotARegularFile);
    const auto size = static_cast<std::uint64_t>(status.st_size);
    if (size > bufferSize_)
        ::posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    // A link may lead onto a pseudo file system from a folder that is not on one.
    const bool pseudo = entry.folder->pseudoFiles || (entry.throughLink && onPseudoFileSystem(file.get()));
    GetFileMD5(file.get(), size, pseudo, entry);
}

void FileHasher::GetFileMD5(int fd, std::uint64_t expectedSize, bool toTheEnd, Entry& entry)
{
    digest_.begin();
    if (sha256_)
        sha256_->begin();
    std::uint64_t total = 0;
    for (;;) {
        if (cancel_.load(std::memory_order_relaxed)) {
            entry.kind = Entry::Kind::Cancelled;
            return;
        }
        const ssize_t count = ::read(fd, buffer_.get(), bufferSize_);
        if (count == 0)
            break;
        if (count < 0) {
            if (errno == EINTR || (errno == EAGAIN && clearNonBlocking(fd)))
                continue;
            return markUnreadable(entry, systemCode(errno));
        }
        digest_.update(buffer_.get(), static_cast<std::size_t>(count));
        if (sha256_)
            sha256_->update(buffer_.get(), static_cast<std::size_t>(count));
        total += static_cast<std::uint64_t>(count);
        if (progress_ != nullptr) {
            progress_->addBytes(static_cast<std::uint64_t>(count));
            progress_->tick();
        }
        if (toTheEnd)
            continue;
        // Files that report no size (those of /proc and /sys) are read to their end.
        if (total > expectedSize && expectedSize > 0)
            break;
        // A short read that ends exactly at the expected size is the end of the file; this
        // saves a second read per small file, and a file that grew still shows up above.
        if (total == expectedSize && static_cast<std::size_t>(count) < bufferSize_)
            break;
    }
    const Md5Hex md5 = toHex(digest_.finish());
    if (!toTheEnd && total != expectedSize && !(expectedSize == 0 && stillReportsNoSize(fd)))
        return markUnreadable(entry, RunError::ChangedWhileRead);
    entry.kind = Entry::Kind::Hashed;
    entry.facts.size = total;
    entry.facts.md5 = md5;
    if (sha256_)
        entry.facts.sha256 = toHex(sha256_->finish());
}

} // namespace listgen
