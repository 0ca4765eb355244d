#pragma once

#include "listgen/common/file_identity.h"

#include <sys/stat.h>

#include <cstdint>
#include <ctime>
#include <system_error>

namespace listgen {

// What a file's metadata says about its content. Any write moves the change time (ctime), and
// no user can set it back; a writer that restores the size and the modification time is
// still seen, one that also turns the system clock back is not.
struct FileVersion {
    FileIdentity identity;
    std::uint64_t size = 0;
    timespec modified{};
    timespec changed{};

    static FileVersion of(const struct stat& status) noexcept;
    static FileVersion of(const struct statx& status) noexcept;
    friend bool operator==(const FileVersion& a, const FileVersion& b) noexcept;

    // The clock that file systems stamp changes with, read before a file is measured.
    static timespec now() noexcept;
    // True when a write after `measuredAt` must move the change time past this version's:
    // its change time lies at least one timestamp step before that moment. A file changed
    // within that step may be written again unseen, with the same change time.
    bool settledAt(const timespec& measuredAt) const noexcept;

    // Measures the open file until its version is settled, waiting out the current step of
    // the clock. Fails with an errno value, or with ChangedWhileRead when the file keeps
    // changing (it is being written) or its change time lies ahead of this machine's clock.
    static std::error_code measureSettled(int fd, FileVersion& version);
};

} // namespace listgen
