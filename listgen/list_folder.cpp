#include "listgen/list_folder.h"

#include "listgen/report_document.h"
#include "listgen/system_error.h"

namespace listgen {

ListFolder::ListFolder(std::string strRoot, ExcludeFilter excludes)
    : strRoot_(std::move(strRoot))
    , excludes_(std::move(excludes))
{
    frames_.push_back({strRoot_, FolderListing::read(strRoot_, FolderListing::Follow::Links)});
}

bool ListFolder::next(WalkItem& item)
{
    while (!frames_.empty()) {
        Frame& top = frames_.back();
        if (top.nextSubfolder < top.listing.subfolders.size()) {
            const std::string& name = top.listing.subfolders[top.nextSubfolder++];
            if (excluded(name, top))
                continue;
            std::string child = top.path + '/' + name;
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
            const std::string& name = top.listing.files[top.nextFile++];
            if (excluded(name, top))
                continue;
            item.kind = WalkItem::Kind::File;
            item.path.assign(top.path).append(1, '/').append(name);
            return true;
        }
        frames_.pop_back();
    }
    return false;
}

bool ListFolder::excluded(const std::string& name, const Frame& frame) const
{
    if (excludes_.empty())
        return false;
    const std::string child = frame.path + '/' + name;
    return excludes_.excludes(name, relName(child, strRoot_));
}

} // namespace listgen
