#include "listgen/verify/manifest_files.h"

#include "listgen/common/path_split.h"
#include "listgen/common/system_error.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

namespace listgen {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

bool leadsOutOfFolder(std::string_view name)
{
    if (name.starts_with('/'))
        return true;
    for (const std::string_view part : pathParts(name)) {
        if (part == "..")
            return true;
    }
    return false;
}

FileIdentity identityOf(int fd)
{
    struct stat status {};
    return ::fstat(fd, &status) == 0 ? FileIdentity::of(status) : FileIdentity{};
}

void markUnreadable(Entry& entry, std::error_code reason)
{
    entry.kind = Entry::Kind::Unreadable;
    entry.folder.reset();
    entry.reason = reason;
}

} // namespace

ManifestFiles::ManifestFiles(LineReader lines, const std::string& root)
    : reader_(std::move(lines))
{
    reader_.expect(ListingKind::Manifest);
    reader_.allowCarriageReturns();
    const int fd = ::open(root.c_str(), kFolderFlags);
    if (fd < 0)
        throw SystemError(RunAction::ListFolder, root, errno);
    root_ = folders_.adopt(fd, identityOf(fd));
    while (!kindKnown_ && readLine()) {
    }
}

bool ManifestFiles::readLine()
{
    if (!reader_.next(text_))
        return false;
    Line line;
    line.number = ++linesRead_;
    ManifestDigest digest;
    const ManifestLine read = readManifestLine(text_, unmarked_, line.name, digest);
    if (read == ManifestLine::Nothing)
        return true;
    if (read == ManifestLine::Checksum && !kindKnown_) {
        kind_ = digest.kind;
        kindKnown_ = true;
    }
    line.checksum = read == ManifestLine::Checksum && digest.kind == kind_;
    line.hex = std::move(digest.hex);
    lines_.push_back(std::move(line));
    ++ungiven_;
    return true;
}

bool ManifestFiles::next(Entry& entry)
{
    for (;;) {
        while (ungiven_ > 0) {
            const Line& line = lines_[lines_.size() - ungiven_--];
            if (line.checksum) {
                open(entry, line.name);
                return true;
            }
        }
        if (!readLine())
            return false;
    }
}

void ManifestFiles::open(Entry& entry, const std::string& name)
{
    entry.kind = Entry::Kind::File;
    entry.path = name;
    entry.inode = 0;
    entry.throughLink = false;
    entry.reason.clear();
    if (leadsOutOfFolder(name))
        return markUnreadable(entry, RunError::OutsideFolder);
    const std::string_view folder = folderAndName(name).folder;
    if (folder == ".") {
        entry.folder = root_;
        return;
    }
    if (!lastFolder_ || folder != lastFolderName_) {
        lastFolder_.reset();
        const int fd = ::openat(root_->fd.get(), std::string(folder).c_str(), kFolderFlags);
        if (fd < 0)
            return markUnreadable(entry, systemCode(errno));
        lastFolder_ = folders_.adopt(fd, identityOf(fd));
        lastFolderName_ = folder;
    }
    entry.folder = lastFolder_;
}

} // namespace listgen
