#include "listgen/walk/list_folder.h"

#include "listgen/common/system_error.h"
#include "listgen/walk/rel_name.h"

namespace listgen {

ListFolder::ListFolder(std::string strRoot, ExcludeFilter excludes)
    : strRoot_(std::move(strRoot))
    , excludes_(std::move(excludes))
{
    frames_.push_back({strRoot_, FolderListing::read(strRoot_, FolderListing::Follow::Links)});
}

bool ListFolder::next(Entry& entry)
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
                entry.kind = Entry::Kind::UnlistableFolder;
                entry.path = std::move(child);
                entry.reason = error.reason();
                return true;
            }
            continue;
        }
        if (top.nextFile < top.listing.files.size()) {
            const std::string& name = top.listing.files[top.nextFile++];
            if (excluded(name, top))
                continue;
            entry.kind = Entry::Kind::File;
            entry.path.assign(top.path).append(1, '/').append(name);
            entry.reason.clear();
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
