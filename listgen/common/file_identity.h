#pragma once

#include <sys/stat.h>

#include <algorithm>
#include <vector>

namespace listgen {

// Which file a path leads to, whatever way the path is spelled.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;

    static FileIdentity of(const struct stat& status) noexcept { return {status.st_dev, status.st_ino}; }
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

using FileIdentities = std::vector<FileIdentity>;

inline bool contains(const FileIdentities& identities, const FileIdentity& identity) noexcept
{
    return std::find(identities.begin(), identities.end(), identity) != identities.end();
}

} // namespace listgen
