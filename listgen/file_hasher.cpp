#include "listgen/file_hasher.h"

#include "listgen/file_descriptor.h"
#include "listgen/system_error.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace listgen {

namespace {

HashResult failure(std::string reason)
{
    return {HashResult::Kind::Failed, {}, std::move(reason)};
}

} // namespace

FileHasher::FileHasher(std::size_t bufferSize)
    : bufferSize_(bufferSize)
    , buffer_(new char[bufferSize])
{
}

HashResult FileHasher::hash(const std::string& path, const FileIdentities& excluded, const std::atomic<bool>& cancel)
{
    // O_NONBLOCK: a name swapped for a FIFO after the listing must not hang the run.
    const FileDescriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!file.valid())
        return failure(reasonText(errno));
    struct stat status {};
    if (::fstat(file.get(), &status) != 0)
        return failure(reasonText(errno));
    if (!S_ISREG(status.st_mode))
        return failure("not a regular file");
    if (contains(excluded, FileIdentity::of(status)))
        return {HashResult::Kind::Excluded, {}, {}};
    const auto size = static_cast<std::uint64_t>(status.st_size);
    if (size > bufferSize_)
        ::posix_fadvise(file.get(), 0, 0, POSIX_FADV_SEQUENTIAL);
    return GetFileMD5(file.get(), size, cancel);
}

HashResult FileHasher::GetFileMD5(int fd, std::uint64_t expectedSize, const std::atomic<bool>& cancel)
{
    std::uint64_t total = 0;
    for (;;) {
        if (cancel.load(std::memory_order_relaxed)) {
            digest_.finish();
            return {HashResult::Kind::Cancelled, {}, {}};
        }
        const ssize_t count = ::read(fd, buffer_.get(), bufferSize_);
        if (count == 0)
            break;
        if (count < 0) {
            if (errno == EINTR)
                continue;
            const int error = errno;
            digest_.finish();
            return failure(reasonText(error));
        }
        digest_.update(buffer_.get(), static_cast<std::size_t>(count));
        total += static_cast<std::uint64_t>(count);
        if (total > expectedSize)
            break;
        // A short read that ends exactly at the expected size is the end of the file; this
        // saves a second read per small file, and a file that grew still shows up above.
        if (total == expectedSize && static_cast<std::size_t>(count) < bufferSize_)
            break;
    }
    const Md5Digest::Hex md5 = digest_.finish();
    if (total != expectedSize)
        return failure("changed while it was read");
    return {HashResult::Kind::Hashed, {total, md5}, {}};
}

} // namespace listgen
