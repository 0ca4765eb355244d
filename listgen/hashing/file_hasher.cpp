#include "listgen/hashing/file_hasher.h"

#include "listgen/common/entry_file.h"
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

void markUnreadable(Entry& entry, std::error_code reason)
{
    entry.kind = Entry::Kind::Unreadable;
    entry.reason = reason;
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
    , sha256_(sha256 ? std::make_unique<Sha256Stream>() : nullptr)
{
}

void FileHasher::hash(Entry& entry)
{
    if (entry.kind != Entry::Kind::File)
        return;
    std::error_code reason;
    const FileDescriptor file = openEntryFile(entry, reason);
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
