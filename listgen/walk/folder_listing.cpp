#include "listgen/walk/folder_listing.h"

#include "listgen/walk/name_order.h"
#include "listgen/common/system_error.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <memory>

namespace listgen {

namespace {

enum class EntryKind { Folder, File, Other };

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
    if (S_ISLNK(status.st_mode)) {
        // A link counts only when it leads to a regular file; a link to a folder could loop.
        if (::fstatat(folderFd, entry.d_name, &status, 0) != 0)
            return EntryKind::Other;
        return S_ISREG(status.st_mode) ? EntryKind::File : EntryKind::Other;
    }
    return kindOf(status);
}

bool isDotOrDotDot(const char* name)
{
    return name[0] == '.' && (name[1] == '\0' || (name[1] == '.' && name[2] == '\0'));
}

struct FolderClose {
    void operator()(DIR* folder) const noexcept { ::closedir(folder); }
};

} // namespace

FolderListing FolderListing::read(const std::string& path, Follow follow)
{
    const int flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC | (follow == Follow::NoLinks ? O_NOFOLLOW : 0);
    const int fd = ::open(path.c_str(), flags);
    if (fd < 0)
        throw SystemError("list folder", path, errno);
    const std::unique_ptr<DIR, FolderClose> folder(::fdopendir(fd));
    if (!folder) {
        const int error = errno;
        ::close(fd);
        throw SystemError("list folder", path, error);
    }

    FolderListing listing;
    for (;;) {
        errno = 0;
        const dirent* entry = ::readdir(folder.get());
        if (entry == nullptr) {
            if (errno != 0)
                throw SystemError("list folder", path, errno);
            break;
        }
        if (isDotOrDotDot(entry->d_name))
            continue;
        switch (kindOf(fd, *entry)) {
        case EntryKind::Folder: listing.subfolders.emplace_back(entry->d_name); break;
        case EntryKind::File: listing.files.emplace_back(entry->d_name); break;
        case EntryKind::Other: break;
        }
    }
    std::sort(listing.subfolders.begin(), listing.subfolders.end(), nameLess);
    std::sort(listing.files.begin(), listing.files.end(), nameLess);
    return listing;
}

} // namespace listgen
