#pragma once

#include <utility>

namespace listgen {

// Owns one POSIX file descriptor and closes it when it goes out of scope.
class FileDescriptor {
public:
    FileDescriptor() noexcept = default;
    explicit FileDescriptor(int fd) noexcept : fd_(fd) {}
    FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor() { reset(); }

    int get() const noexcept { return fd_; }
    bool valid() const noexcept { return fd_ >= 0; }
    void reset(int fd = -1) noexcept;
    // Gives up ownership without closing.
    [[nodiscard]] int release() noexcept { return std::exchange(fd_, -1); }
    // Closes now and returns 0, or the errno of a close that failed (the data may not be written).
    int close() noexcept;

private:
    int fd_ = -1;
};

} // namespace listgen
