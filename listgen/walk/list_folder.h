#pragma once

#include "listgen/common/entry_stages.h"
#include "listgen/common/file_identity.h"
#include "listgen/walk/exclude_filter.h"
#include "listgen/walk/folder_listing.h"

#include <string>
#include <vector>

namespace listgen {

// Walks a tree in report order without recursion, so depth costs memory, not stack:
// each folder's subfolders first, each walked whole, then the folder's own files.
// Gives File entries, each with its open folder, and UnlistableFolder entries for subfolders
// it cannot enter. Every folder is opened relative to its parent and never through a link,
// so the walk stays in the tree, and only a few folders are held open whatever the depth.
class ListFolder : public EntrySource {
public:
    // Throws SystemError when the root itself cannot be listed. Excluded folders are not
    // entered; the names in `leftOut` (the report and its temporary file) are not given.
    explicit ListFolder(std::string strRoot, ExcludeFilter excludes = {}, Places leftOut = {});

    bool next(Entry& entry) override;

private:
    struct Frame {
        std::string path;
        SharedFolder folder;
        FileIdentity identity;
        FolderListing listing;
        std::size_t nextSubfolder = 0;
        std::size_t nextFile = 0;
        // Why the folder could not be opened again after its descriptor was given up.
        std::string lostReason;
    };

    bool excluded(const std::string& name, const Frame& frame, bool isFolder) const;
    void enter(std::string path, int fd);
    void closeOldFolders();
    void leave();

    std::string strRoot_;
    ExcludeFilter excludes_;
    Places leftOut_;
    std::vector<Frame> frames_;
};

} // namespace listgen
