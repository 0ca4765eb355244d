#include "listgen/common/file_descriptor.h"

#include <unistd.h>

#include <cerrno>
#include <utility>

namespace listgen {

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept
{
    if (this != &other)
        reset(std::exchange(other.fd_, -1));
    return *this;
}

void FileDescriptor::reset(int fd) noexcept
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = fd;
}

int FileDescriptor::close() noexcept
{
    const int fd = std::exchange(fd_, -1);
    if (fd < 0 || ::close(fd) == 0)
        return 0;
    // Linux closes the descriptor even when close reports EINTR, so it is never retried.
    return errno;
}

} // namespace listgen
