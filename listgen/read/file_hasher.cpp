#include "listgen/read/file_hasher.h"

#include "listgen/common/entry_file.h"
#include "listgen/common/file_descriptor.h"
#include "listgen/common/file_version.h"
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
    // A link may lead onto a pseudo file system from a folder that is not on one.
    if (entry.folder->pseudoFiles || (entry.throughLink && onPseudoFileSystem(file.get()))) {
        // Their sizes are guesses and their times say nothing: what they give is what they hold.
        const std::uint64_t most = status.st_size > 0 ? static_cast<std::uint64_t>(status.st_size) : kLongestPseudoFile;
        if (GetFileMD5(file.get(), most, true, entry) > most && entry.kind == Entry::Kind::Hashed)
            markUnreadable(entry, RunError::LongerThanItsSize);
        return;
    }
    FileVersion before;
    if (const std::error_code changing = FileVersion::measureSettled(file.get(), before))
        return markUnreadable(entry, changing);
    if (before.size > bufferSize_)
        ::posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    // A file that says it is empty may make up its content as it is read, as pseudo files do.
    const std::uint64_t most = before.size > 0 ? before.size : kLongestPseudoFile;
    const std::uint64_t total = GetFileMD5(file.get(), most, false, entry);
    if (entry.kind != Entry::Kind::Hashed)
        return;
    if (::fstat(file.get(), &status) != 0)
        return markUnreadable(entry, systemCode(errno));
    if (FileVersion::of(status) != before || (total != before.size && before.size > 0))
        markUnreadable(entry, RunError::ChangedWhileRead);
    else if (total > most)
        markUnreadable(entry, RunError::LongerThanItsSize);
}

std::uint64_t FileHasher::GetFileMD5(int fd, std::uint64_t most, bool pseudo, Entry& entry)
{
    digest_.begin();
    if (sha256_)
        sha256_->begin();
    std::uint64_t total = 0;
    while (total <= most) {
        if (cancel_.load(std::memory_order_relaxed)) {
            entry.kind = Entry::Kind::Cancelled;
            return total;
        }
        const ssize_t count = ::read(fd, buffer_.get(), bufferSize_);
        if (count == 0)
            break;
        if (count < 0) {
            // A pseudo file that would block has given what it holds for now.
            if (errno == EAGAIN && pseudo)
                break;
            if (errno == EINTR || (errno == EAGAIN && clearNonBlocking(fd)))
                continue;
            markUnreadable(entry, systemCode(errno));
            return total;
        }
        digest_.update(buffer_.get(), static_cast<std::size_t>(count));
        if (sha256_)
            sha256_->update(buffer_.get(), static_cast<std::size_t>(count));
        total += static_cast<std::uint64_t>(count);
        if (progress_ != nullptr) {
            progress_->addBytes(static_cast<std::uint64_t>(count));
            progress_->tick();
        }
        // A short read that ends exactly at the expected size is the end of the file; this
        // saves a second read per small file, and a file that grew shows up in its version.
        if (!pseudo && total == most && static_cast<std::size_t>(count) < bufferSize_)
            break;
    }
    entry.kind = Entry::Kind::Hashed;
    entry.facts.size = total;
    entry.facts.md5 = toHex(digest_.finish());
    if (sha256_)
        entry.facts.sha256 = toHex(sha256_->finish());
    return total;
}

} // namespace listgen
