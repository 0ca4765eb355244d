#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace listgen {

// One folder's entries, each group in report order. Only real folders count as subfolders.
// Links to files count as files, and so do links that cannot be followed (broken, looping,
// or leading through a folder that may not be entered), so that opening them tells why they
// cannot be read; links to folders, FIFOs, sockets and devices are left out.
struct FolderListing {
    struct File {
        std::string name;
        // Where the file system keeps it; reading in this order saves a spinning disk seeks.
        std::uint64_t inode = 0;
        bool throughLink = false;
    };
    std::vector<std::string> subfolders;
    std::vector<File> files;

    // Lists the open folder `folderFd`; throws std::system_error when it cannot be read.
    static FolderListing read(int folderFd);
};

} // namespace listgen
