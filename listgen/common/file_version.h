#pragma once

#include "listgen/common/file_identity.h"

#include <sys/stat.h>

#include <cstdint>
#include <ctime>
#include <system_error>

namespace listgen {

// What a file's metadata says about its content, measured before and after a read: any
// write moves the change time (ctime), which no user can set back. What it cannot show is a
// writer that restores the size and the modification time and turns the system clock back,
// and a write that began long before the read and is still copying its data, where the
// file's owner or root cannot ask whether anyone has it open for writing.
struct FileVersion {
    FileIdentity identity;
    std::uint64_t size = 0;
    timespec modified{};
    timespec changed{};

    // Whether some process has the file open for writing: a read lease tells, where the
    // process may take one (as the file's owner, or root) and the file system has them.
    enum class Writers { None, Some, Unknown };

    static FileVersion of(const struct stat& status) noexcept;
    static FileVersion of(const struct statx& status) noexcept;
    friend bool operator==(const FileVersion& a, const FileVersion& b) noexcept;

    // The clock that file systems stamp changes with, read before a file is measured.
    static timespec now() noexcept;
    static Writers writersOf(int fd);

    // Changed so lately that a write may still be under way: who writes it is worth asking.
    bool recentAt(const timespec& measuredAt) const noexcept;
    // From when on a write after the measure must move the change time, and none from
    // before can still be under way: a write stamps the time as it starts, and within one
    // step of a coarse clock stamps the same time again. Without knowing the writers, a
    // write started a little before is given time to end.
    timespec settledFrom(Writers writers) const noexcept;

    // Measures the open file until its version is settled, waiting for that. Fails with an
    // errno value, or with ChangedWhileRead when the file keeps changing or someone has it
    // open for writing (it is being written), or its change time lies ahead of this
    // machine's clock.
    static std::error_code measureSettled(int fd, FileVersion& version);
};

// Whether `a` comes before `b`.
bool earlier(const timespec& a, const timespec& b) noexcept;

} // namespace listgen
