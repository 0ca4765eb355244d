#pragma once

#include <string>
#include <vector>

namespace listgen {

// One folder's entries, each group in report order. Only real folders count as subfolders;
// links to folders, FIFOs, sockets, devices and broken links are left out unopened.
struct FolderListing {
    std::vector<std::string> subfolders;
    std::vector<std::string> files;

    enum class Follow { Links, NoLinks };
    // Throws SystemError when the folder cannot be opened or read.
    static FolderListing read(const std::string& path, Follow follow);
};

} // namespace listgen
