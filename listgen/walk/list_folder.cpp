#include "listgen/walk/list_folder.h"

#include "listgen/common/system_error.h"
#include "listgen/walk/rel_name.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

namespace listgen {

namespace {

// Folders held open by the walk itself; entries on their way to the hashers hold a few more.
constexpr std::size_t kOpenFolders = 8;

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

SharedFolder adopt(int fd, const FileIdentity& identity)
{
    auto folder = std::make_shared<FolderHandle>();
    folder->fd.reset(fd);
    folder->identity = identity;
    return folder;
}

FileIdentity identityOf(int fd)
{
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        throw std::system_error(errno, std::generic_category());
    return FileIdentity::of(status);
}

void markUnlistable(Entry& entry, std::string path, const std::string& reason)
{
    entry.kind = Entry::Kind::UnlistableFolder;
    entry.path = std::move(path);
    entry.folder.reset();
    entry.reason = reason;
}

} // namespace

ListFolder::ListFolder(std::string strRoot, ExcludeFilter excludes, Places leftOut)
    : strRoot_(std::move(strRoot))
    , excludes_(std::move(excludes))
    , leftOut_(std::move(leftOut))
{
    // The root may be reached through a link; nothing below it is.
    const int fd = ::open(strRoot_.c_str(), kFolderFlags);
    if (fd < 0)
        throw SystemError("list folder", strRoot_, errno);
    try {
        enter(strRoot_, fd);
    } catch (const std::system_error& error) {
        throw SystemError("list folder", strRoot_, error.code());
    }
}

void ListFolder::enter(std::string path, int fd)
{
    Frame frame;
    frame.path = std::move(path);
    try {
        frame.identity = identityOf(fd);
        frame.folder = adopt(fd, frame.identity);
    } catch (...) {
        ::close(fd);
        throw;
    }
    frame.listing = FolderListing::read(fd);
    frames_.push_back(std::move(frame));
    closeOldFolders();
}

void ListFolder::closeOldFolders()
{
    std::size_t open = 0;
    for (auto frame = frames_.rbegin(); frame != frames_.rend(); ++frame) {
        if (frame->folder && ++open > kOpenFolders)
            frame->folder.reset();
    }
}

bool ListFolder::next(Entry& entry)
{
    while (!frames_.empty()) {
        Frame& top = frames_.back();
        if (!top.folder) {
            std::string path = std::move(top.path);
            const std::string reason = top.lostReason.empty() ? "moved while it was listed" : top.lostReason;
            frames_.pop_back();
            markUnlistable(entry, std::move(path), reason);
            return true;
        }
        if (top.nextSubfolder < top.listing.subfolders.size()) {
            const std::string& name = top.listing.subfolders[top.nextSubfolder++];
            if (excluded(name, top, true))
                continue;
            std::string child = top.path + '/' + name;
            // A folder swapped for a link since it was listed is refused, not followed.
            const int fd = ::openat(top.folder->fd.get(), name.c_str(), kFolderFlags | O_NOFOLLOW);
            if (fd < 0) {
                markUnlistable(entry, std::move(child), reasonText(errno));
                return true;
            }
            try {
                enter(child, fd);
            } catch (const std::system_error& error) {
                markUnlistable(entry, std::move(child), error.code().message());
                return true;
            }
            continue;
        }
        if (top.nextFile < top.listing.files.size()) {
            const std::string& name = top.listing.files[top.nextFile++];
            if (excluded(name, top, false))
                continue;
            entry.kind = Entry::Kind::File;
            entry.path.assign(top.path).append(1, '/').append(name);
            entry.folder = top.folder;
            entry.reason.clear();
            return true;
        }
        leave();
    }
    return false;
}

// Pops the finished folder. A parent whose descriptor was given up is opened again through
// ".." of the child, and must still be the folder it was; otherwise the rest of it is lost.
void ListFolder::leave()
{
    const Frame finished = std::move(frames_.back());
    frames_.pop_back();
    if (frames_.empty() || frames_.back().folder)
        return;
    Frame& parent = frames_.back();
    const int fd = ::openat(finished.folder->fd.get(), "..", kFolderFlags | O_NOFOLLOW);
    if (fd < 0) {
        parent.lostReason = reasonText(errno);
        return;
    }
    struct stat status {};
    if (::fstat(fd, &status) == 0 && FileIdentity::of(status) == parent.identity) {
        parent.folder = adopt(fd, parent.identity);
        return;
    }
    ::close(fd);
    parent.lostReason = "moved while it was listed";
}

bool ListFolder::excluded(const std::string& name, const Frame& frame, bool isFolder) const
{
    for (const PlaceInFolder& place : leftOut_) {
        if (place.folder == frame.identity && place.name == name)
            return true;
    }
    if (excludes_.empty())
        return false;
    const std::string child = frame.path + '/' + name;
    return excludes_.excludes(relName(child, strRoot_), isFolder);
}

} // namespace listgen
