#include "cli/checked_output.h"

#include <unistd.h>

#include <cerrno>

namespace vaskerel {

namespace {

constexpr std::size_t kHeldBytes = 64 << 10;

} // namespace

CheckedOutput::CheckedOutput(int fd)
    : fd_(fd)
{
}

void CheckedOutput::write(std::string_view text)
{
    buffer_ += text;
    if (buffer_.size() >= kHeldBytes)
        flush();
}

int CheckedOutput::flush()
{
    std::size_t written = 0;
    while (error_ == 0 && written < buffer_.size()) {
        const ssize_t count = ::write(fd_, buffer_.data() + written, buffer_.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            error_ = count < 0 ? errno : EIO;
        else
            written += static_cast<std::size_t>(count);
    }
    buffer_.clear();
    return error_;
}

} // namespace vaskerel
