#pragma once

#include "listgen/common/entry_stages.h"
#include "listgen/common/file_identity.h"
#include "listgen/walk/exclude_filter.h"
#include "listgen/walk/folder_listing.h"
#include "listgen/walk/open_folders.h"

#include <atomic>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

namespace listgen {

// Walks a tree in report order without recursion, so depth costs memory, not stack:
// each folder's subfolders first, each walked whole, then the folder's own files.
// Gives File entries, each with its open folder, and UnlistableFolder entries for subfolders
// it cannot enter. Every folder is opened relative to its parent and never through a link,
// so the walk stays in the tree, and only a few folders are held open whatever the depth. A
// folder moved away during the walk loses only itself, never its ancestors.
class ListFolder : public EntrySource {
public:
    // Throws SystemError when the root itself cannot be listed. Excluded folders are not
    // entered; the names in `leftOut` (the report and its temporary file) are not given.
    // With `oneFileSystem`, a folder on another file system than the root's is not entered but
    // given as an OtherFileSystem entry.
    explicit ListFolder(std::string strRoot, ExcludeFilter excludes = {}, Places leftOut = {},
                        bool oneFileSystem = false);

    // False also when the process has run out of descriptors that entries given earlier
    // hold; then mustWait() is true, and the walk goes on once they are done with.
    bool next(Entry& entry) override;
    bool mustWait() const override;

private:
    struct Frame {
        std::string path;
        // Its own name in its parent, to find it again from an ancestor.
        std::string name;
        SharedFolder folder;
        FileIdentity identity;
        FolderListing listing;
        std::size_t nextSubfolder = 0;
        std::size_t nextFile = 0;
        // Why the folder could not be opened again after its descriptor was given up.
        std::error_code lostReason;
    };

    bool excluded(const std::string& name, const Frame& frame, bool isFolder) const;
    bool onOtherFileSystem(int parentFd, const std::string& name) const;
    void enter(std::string path, std::string name, int fd);
    void closeOldFolders();
    void leave();
    void reopenFromAncestor(std::size_t index);
    bool outOfDescriptors(int error);

    OpenFolders openFolders_;
    std::size_t framesKeptOpen_;
    // Out of descriptors: wait until fewer folders than this are open.
    std::size_t waitingBelow_ = 0;
    std::string strRoot_;
    ExcludeFilter excludes_;
    Places leftOut_;
    bool oneFileSystem_;
    std::vector<Frame> frames_;
};

} // namespace listgen
