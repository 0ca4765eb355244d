#include "listgen/list_folder.h"

#include "listgen/system_error.h"

namespace listgen {

ListFolder::ListFolder(std::string strRoot)
    : strRoot_(std::move(strRoot))
{
    frames_.push_back({strRoot_, FolderListing::read(strRoot_, FolderListing::Follow::Links)});
}

bool ListFolder::next(WalkItem& item)
{
    while (!frames_.empty()) {
        Frame& top = frames_.back();
        if (top.nextSubfolder < top.listing.subfolders.size()) {
            std::string child = top.path + '/' + top.listing.subfolders[top.nextSubfolder++];
            try {
                FolderListing listing = FolderListing::read(child, FolderListing::Follow::NoLinks);
                frames_.push_back({std::move(child), std::move(listing)});
            } catch (const SystemError& error) {
                item.kind = WalkItem::Kind::UnlistableFolder;
                item.path = std::move(child);
                item.reason = error.reason();
                return true;
            }
            continue;
        }
        if (top.nextFile < top.listing.files.size()) {
            item.kind = WalkItem::Kind::File;
            item.path.assign(top.path).append(1, '/').append(top.listing.files[top.nextFile++]);
            return true;
        }
        frames_.pop_back();
    }
    return false;
}

} // namespace listgen
