#include "listgen/walk/list_folder.h"

#include "listgen/common/system_error.h"
#include "listgen/walk/rel_name.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>

namespace listgen {

namespace {

// Folders held open by the walk itself, besides the root; entries on their way to the
// hashers hold more.
constexpr std::size_t kOpenFolders = 8;

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

FileIdentity identityOf(int fd)
{
    struct stat status {};
    if (::fstat(fd, &status) != 0)
        throw std::system_error(errno, std::generic_category());
    return FileIdentity::of(status);
}

void markUnlistable(Entry& entry, std::string path, std::error_code reason)
{
    entry.kind = Entry::Kind::UnlistableFolder;
    entry.path = std::move(path);
    entry.folder.reset();
    entry.reason = reason;
}

} // namespace

ListFolder::ListFolder(std::string strRoot, ExcludeFilter excludes, Places leftOut, bool oneFileSystem)
    : framesKeptOpen_(std::clamp<std::size_t>(openFolders_.budget() / 4, 1, kOpenFolders))
    , strRoot_(std::move(strRoot))
    , excludes_(std::move(excludes))
    , leftOut_(std::move(leftOut))
    , oneFileSystem_(oneFileSystem)
{
    // The root may be reached through a link; nothing below it is.
    const int fd = ::open(strRoot_.c_str(), kFolderFlags);
    if (fd < 0)
        throw SystemError(RunAction::ListFolder, strRoot_, errno);
    try {
        enter(strRoot_, {}, fd);
    } catch (const std::system_error& error) {
        throw SystemError(RunAction::ListFolder, strRoot_, error.code());
    }
}

bool ListFolder::mustWait() const
{
    return openFolders_.full() || (waitingBelow_ > 0 && openFolders_.open() >= waitingBelow_);
}

// With the process out of descriptors while entries on their way hold folders, the walk
// waits for them to let go; with none held elsewhere, the folder cannot be listed.
bool ListFolder::outOfDescriptors(int error)
{
    waitingBelow_ = 0;
    if (error != EMFILE && error != ENFILE)
        return false;
    std::size_t ownOpen = 0;
    for (const Frame& frame : frames_)
        ownOpen += frame.folder ? 1 : 0;
    const std::size_t open = openFolders_.open();
    if (open <= ownOpen)
        return false;
    waitingBelow_ = open;
    return true;
}

void ListFolder::enter(std::string path, std::string name, int fd)
{
    Frame frame;
    frame.path = std::move(path);
    frame.name = std::move(name);
    try {
        frame.identity = identityOf(fd);
        frame.folder = openFolders_.adopt(fd, frame.identity);
    } catch (...) {
        ::close(fd);
        throw;
    }
    frame.listing = FolderListing::read(fd);
    frames_.push_back(std::move(frame));
    closeOldFolders();
}

// Keeps the deepest folders and the root open; the root is where lost folders are found again.
void ListFolder::closeOldFolders()
{
    std::size_t open = 0;
    for (std::size_t i = frames_.size(); i-- > 1;) {
        if (frames_[i].folder && ++open > framesKeptOpen_)
            frames_[i].folder.reset();
    }
}

bool ListFolder::next(Entry& entry)
{
    while (!frames_.empty()) {
        Frame& top = frames_.back();
        if (!top.folder) {
            std::string path = std::move(top.path);
            const std::error_code reason = top.lostReason ? top.lostReason : make_error_code(RunError::MovedWhileListed);
            frames_.pop_back();
            // Its parent may have been given up too; it is found again from the root.
            if (!frames_.empty() && !frames_.back().folder)
                reopenFromAncestor(frames_.size() - 1);
            markUnlistable(entry, std::move(path), reason);
            return true;
        }
        if (top.nextSubfolder < top.listing.subfolders.size()) {
            const std::string& name = top.listing.subfolders[top.nextSubfolder++];
            if (excluded(name, top, true))
                continue;
            std::string child = top.path + '/' + name;
            if (oneFileSystem_ && onOtherFileSystem(top.folder->fd.get(), name)) {
                entry.kind = Entry::Kind::OtherFileSystem;
                entry.path = std::move(child);
                entry.folder.reset();
                return true;
            }
            // A folder swapped for a link since it was listed is refused, not followed.
            const int fd = ::openat(top.folder->fd.get(), name.c_str(), kFolderFlags | O_NOFOLLOW);
            int error = fd < 0 ? errno : 0;
            if (fd >= 0) {
                try {
                    enter(child, name, fd);
                    continue;
                } catch (const std::system_error& failure) {
                    error = failure.code().value();
                }
            }
            if (outOfDescriptors(error)) {
                --frames_.back().nextSubfolder;
                return false;
            }
            markUnlistable(entry, std::move(child), systemCode(error));
            return true;
        }
        if (top.nextFile < top.listing.files.size()) {
            const FolderListing::File& file = top.listing.files[top.nextFile++];
            if (excluded(file.name, top, false))
                continue;
            entry.kind = Entry::Kind::File;
            entry.path.assign(top.path).append(1, '/').append(file.name);
            entry.inode = file.inode;
            entry.throughLink = file.throughLink;
            entry.folder = top.folder;
            entry.reason.clear();
            return true;
        }
        leave();
    }
    return false;
}

// Pops the finished folder. A parent whose descriptor was given up is opened again through
// ".." of the child; if the child has moved meanwhile, by name from the nearest open ancestor.
// Either way it must still be the folder it was; otherwise the rest of it is lost.
void ListFolder::leave()
{
    const Frame finished = std::move(frames_.back());
    frames_.pop_back();
    if (frames_.empty() || frames_.back().folder)
        return;
    Frame& parent = frames_.back();
    const int fd = ::openat(finished.folder->fd.get(), "..", kFolderFlags | O_NOFOLLOW);
    struct stat status {};
    if (fd >= 0 && ::fstat(fd, &status) == 0 && FileIdentity::of(status) == parent.identity) {
        parent.folder = openFolders_.adopt(fd, parent.identity);
        return;
    }
    if (fd >= 0)
        ::close(fd);
    reopenFromAncestor(frames_.size() - 1);
}

void ListFolder::reopenFromAncestor(std::size_t index)
{
    std::size_t open = index;
    while (!frames_[open].folder)
        --open;
    FileDescriptor current(::fcntl(frames_[open].folder->fd.get(), F_DUPFD_CLOEXEC, 0));
    std::error_code lostReason = current.valid() ? std::error_code() : systemCode(errno);
    for (std::size_t i = open + 1; i <= index && current.valid(); ++i) {
        FileDescriptor next(::openat(current.get(), frames_[i].name.c_str(), kFolderFlags | O_NOFOLLOW));
        struct stat status {};
        if (!next.valid() && errno != ENOENT && errno != ENOTDIR && errno != ELOOP)
            lostReason = systemCode(errno);
        if (next.valid() && (::fstat(next.get(), &status) != 0 || FileIdentity::of(status) != frames_[i].identity))
            next.reset();
        current = std::move(next);
    }
    Frame& frame = frames_[index];
    if (!current.valid()) {
        frame.lostReason = lostReason ? lostReason : make_error_code(RunError::MovedWhileListed);
        return;
    }
    frame.folder = openFolders_.adopt(current.release(), frame.identity);
}

// Looked at without opening it, so that an automount point is not mounted just to be passed by.
bool ListFolder::onOtherFileSystem(int parentFd, const std::string& name) const
{
    struct stat status {};
    return ::fstatat(parentFd, name.c_str(), &status, AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT) == 0 &&
           status.st_dev != frames_.front().identity.device;
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
