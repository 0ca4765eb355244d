#pragma once

#include "listgen/exclude_filter.h"
#include "listgen/folder_listing.h"

#include <string>
#include <vector>

namespace listgen {

// One step of the walk: a file to report, or a subfolder that could not be listed.
struct WalkItem {
    enum class Kind { File, UnlistableFolder };
    Kind kind = Kind::File;
    std::string path;
    std::string reason;
};

// Walks a tree in report order without recursion, so depth costs memory, not stack:
// each folder's subfolders first, each walked whole, then the folder's own files.
class ListFolder {
public:
    // Throws SystemError when the root itself cannot be listed. Excluded folders are not entered.
    explicit ListFolder(std::string strRoot, ExcludeFilter excludes = {});

    // Fills `item` with the next step, reusing its storage; false at the end of the walk.
    bool next(WalkItem& item);

    const std::string& root() const noexcept { return strRoot_; }

private:
    struct Frame {
        std::string path;
        FolderListing listing;
        std::size_t nextSubfolder = 0;
        std::size_t nextFile = 0;
    };

    bool excluded(const std::string& name, const Frame& frame) const;

    std::string strRoot_;
    ExcludeFilter excludes_;
    std::vector<Frame> frames_;
};

} // namespace listgen
