#include "listgen/walk/folder_listing.h"

#include "listgen/walk/name_order.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>
#include <system_error>

namespace listgen {

namespace {

enum class EntryKind { Folder, File, LinkToFile, Other };

EntryKind kindOf(const struct stat& status)
{
    if (S_ISDIR(status.st_mode))
        return EntryKind::Folder;
    return S_ISREG(status.st_mode) ? EntryKind::File : EntryKind::Other;
}

EntryKind kindOf(int folderFd, const dirent& entry)
{
    switch (entry.d_type) {
    case DT_DIR: return EntryKind::Folder;
    case DT_REG: return EntryKind::File;
    case DT_LNK:
    case DT_UNKNOWN: break;
    default: return EntryKind::Other;
    }
    struct stat status {};
    if (::fstatat(folderFd, entry.d_name, &status, AT_SYMLINK_NOFOLLOW) != 0)
        return EntryKind::Other;
    if (!S_ISLNK(status.st_mode))
        return kindOf(status);
    // A link to a folder could lead out of the tree or loop, so it is never entered. One that
    // cannot be followed at all is an entry that cannot be read, never silently nothing.
    if (::fstatat(folderFd, entry.d_name, &status, 0) != 0)
        return EntryKind::LinkToFile;
    return S_ISREG(status.st_mode) ? EntryKind::LinkToFile : EntryKind::Other;
}

bool isDotOrDotDot(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

struct FolderClose {
    void operator()(DIR* folder) const noexcept { ::closedir(folder); }
};

[[noreturn]] void fail(int error)
{
    throw std::system_error(error, std::generic_category());
}

} // namespace

FolderListing FolderListing::read(int folderFd)
{
    // The listing closes its own copy of the descriptor; the caller's stays open.
    const int own = ::fcntl(folderFd, F_DUPFD_CLOEXEC, 0);
    if (own < 0)
        fail(errno);
    const std::unique_ptr<DIR, FolderClose> folder(::fdopendir(own));
    if (!folder) {
        const int error = errno;
        ::close(own);
        fail(error);
    }

    FolderListing listing;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(folder.get());
        if (entry == nullptr) {
            if (errno != 0)
                fail(errno);
            break;
        }
        if (isDotOrDotDot(entry->d_name))
            continue;
        switch (kindOf(folderFd, *entry)) {
        case EntryKind::Folder: listing.subfolders.emplace_back(entry->d_name); break;
        case EntryKind::File: listing.files.push_back({entry->d_name, entry->d_ino, false}); break;
        case EntryKind::LinkToFile: listing.files.push_back({entry->d_name, entry->d_ino, true}); break;
        case EntryKind::Other: break;
        }
    }
    std::sort(listing.subfolders.begin(), listing.subfolders.end(), nameLess);
    std::sort(listing.files.begin(), listing.files.end(),
              [](const File& a, const File& b) { return nameLess(a.name, b.name); });
    return listing;
}

} // namespace listgen
