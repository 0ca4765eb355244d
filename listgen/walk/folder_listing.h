#pragma once

#include <string>
#include <vector>

namespace listgen {

// One folder's entries, each group in report order. Only real folders count as subfolders.
// Links to files count as files, and so do broken links and link loops, so that opening them
// tells why they cannot be read; links to folders, FIFOs, sockets and devices are left out.
struct FolderListing {
    std::vector<std::string> subfolders;
    std::vector<std::string> files;

    // Lists the open folder `folderFd`; throws std::system_error when it cannot be read.
    static FolderListing read(int folderFd);
};

} // namespace listgen
