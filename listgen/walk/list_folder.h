#pragma once

#include "listgen/common/entry_stages.h"
#include "listgen/walk/exclude_filter.h"
#include "listgen/walk/folder_listing.h"

#include <string>
#include <vector>

namespace listgen {

// Walks a tree in report order without recursion, so depth costs memory, not stack:
// each folder's subfolders first, each walked whole, then the folder's own files.
// Gives File entries and UnlistableFolder entries for subfolders it cannot enter.
class ListFolder : public EntrySource {
public:
    // Throws SystemError when the root itself cannot be listed. Excluded folders are not entered.
    explicit ListFolder(std::string strRoot, ExcludeFilter excludes = {});

    bool next(Entry& entry) override;

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
