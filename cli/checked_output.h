#pragma once

#include <string>
#include <string_view>

namespace vaskerel {

// Text for a standard stream, written with write(2) so that a failed write (a full disk, a pipe
// closed while SIGPIPE is ignored) is known with its reason instead of lost in a buffer.
class CheckedOutput {
public:
    explicit CheckedOutput(int fd);
    CheckedOutput(const CheckedOutput&) = delete;
    CheckedOutput& operator=(const CheckedOutput&) = delete;

    void write(std::string_view text);
    // Writes out what is held; returns 0, or the errno of the first write that failed.
    int flush();

private:
    int fd_;
    std::string buffer_;
    int error_ = 0;
};

} // namespace vaskerel
