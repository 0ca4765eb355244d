#pragma once

#include "listgen/common/file_descriptor.h"

#include <sys/stat.h>

#include <memory>
#include <string>
#include <vector>

namespace listgen {

// Which file a path leads to, whatever way the path is spelled.
struct FileIdentity {
    dev_t device = 0;
    ino_t inode = 0;

    static FileIdentity of(const struct stat& status) noexcept { return {status.st_dev, status.st_ino}; }
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};

// An open folder that entries below it are opened relative to, so no path is resolved twice.
struct FolderHandle {
    FileDescriptor fd;
    FileIdentity identity;
    // On a file system whose files make up their content as they are read (procfs, sysfs and
    // the like): their sizes are guesses, so they are read to their end.
    bool pseudoFiles = false;
};

using SharedFolder = std::shared_ptr<const FolderHandle>;

// A name in a folder, known by the folder's identity rather than by the path's spelling.
struct PlaceInFolder {
    FileIdentity folder;
    std::string name;
};

using Places = std::vector<PlaceInFolder>;

} // namespace listgen
