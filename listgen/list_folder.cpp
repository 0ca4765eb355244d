#include "listgen/list_folder.h"

#include "listgen/system_error.h"

namespace listgen {

ListFolder::ListFolder(std::string strRoot)
    : strRoot_(std::move(strRoot))
{
    frames_.push_back({strRoot_, FolderListing::read(strRoot_, FolderListing::Follow::Links)});
}

std::optional<WalkItem> ListFolder::next()
{
    while (!frames_.empty()) {
        Frame& top = frames_.back();
        if (top.nextSubfolder < top.listing.subfolders.size()) {
            std::string child = top.path + '/' + top.listing.subfolders[top.nextSubfolder++];
            try {
                FolderListing listing = FolderListing::read(child, FolderListing::Follow::NoLinks);
                frames_.push_back({std::move(child), std::move(listing)});
            } catch (const SystemError& error) {
                return WalkItem{WalkItem::Kind::UnlistableFolder, std::move(child), error.reason()};
            }
            continue;
        }
        if (top.nextFile < top.listing.files.size())
            return WalkItem{WalkItem::Kind::File, top.path + '/' + top.listing.files[top.nextFile++], {}};
        frames_.pop_back();
    }
    return std::nullopt;
}

} // namespace listgen
