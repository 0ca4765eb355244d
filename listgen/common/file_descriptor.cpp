#include "listgen/common/file_descriptor.h"

#include <unistd.h>

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

} // namespace listgen
