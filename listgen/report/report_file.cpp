#include "listgen/report/report_file.h"

#include "listgen/common/system_error.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <random>

namespace listgen {

namespace {

constexpr std::size_t kFlushSize = std::size_t{1} << 20;
// As many links as the kernel follows before it gives up with ELOOP.
constexpr int kMostLinks = 40;
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

std::string temporaryNameCandidate()
{
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    static constexpr char kHex[] = "0123456789abcdef";
    std::string name = ".vaskerel-";
    std::uint64_t bits = generator();
    for (int i = 0; i < 16; ++i, bits >>= 4)
        name += kHex[bits & 0xF];
    return name + ".tmp";
}

// Splits "a/b/c" into "a/b" and "c"; "c" into "." and "c"; "/c" into "/" and "c".
std::pair<std::string, std::string> folderAndName(const std::string& path)
{
    const auto slash = path.rfind('/');
    if (slash == std::string::npos)
        return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

bool isFolderName(const std::string& name)
{
    return name.empty() || name == "." || name == "..";
}

// The rule of the kernel's protected_symlinks: in a sticky folder that everyone may write, a
// link is followed only when it belongs to the follower or to the folder's owner.
bool mayFollow(const struct stat& folder, const struct stat& link)
{
    const bool shared = (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
    return !shared || link.st_uid == ::geteuid() || link.st_uid == folder.st_uid;
}

bool isProcFolder(int fd)
{
    struct statfs status {};
    return ::fstatfs(fd, &status) == 0 && status.f_type == PROC_SUPER_MAGIC;
}

bool sameFile(const struct stat& status, const char* path)
{
    struct stat other {};
    return ::stat(path, &other) == 0 && FileIdentity::of(status) == FileIdentity::of(other);
}

} // namespace

ReportFile::ReportFile(std::string outputPath)
    : outputPath_(std::move(outputPath))
{
    buffer_.reserve(kFlushSize + (kFlushSize >> 2));
    if (outputPath_ == "-") {
        stream_ = STDOUT_FILENO;
        return;
    }
    findTarget();
    if (stream_ < 0)
        createTemporary();
}

ReportFile::~ReportFile()
{
    if (!committed_ && !temporaryName_.empty())
        ::unlinkat(folder_.get(), temporaryName_.c_str(), 0);
}

void ReportFile::fail(int errorNumber) const
{
    throw SystemError("write", outputPath_, errorNumber);
}

// Finds the folder and the name the new report goes to, following links to the file they
// lead to, as the kernel does, one link at a time.
void ReportFile::findTarget()
{
    auto [folder, name] = folderAndName(outputPath_);
    folder_.reset(::open(folder.c_str(), kFolderFlags));
    if (!folder_.valid())
        fail(errno);
    targetName_ = std::move(name);
    for (int links = 0;; ++links) {
        if (isFolderName(targetName_))
            fail(EISDIR);
        struct stat status {};
        if (::fstatat(folder_.get(), targetName_.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) {
            if (errno != ENOENT)
                fail(errno);
            break;
        }
        if (S_ISLNK(status.st_mode)) {
            if (links == kMostLinks)
                fail(ELOOP);
            if (followLink(status))
                continue;
            return;
        }
        if (S_ISDIR(status.st_mode))
            fail(EISDIR);
        if (!S_ISREG(status.st_mode))
            throw SystemError("write", outputPath_, RunError::NotARegularFile);
        if (::faccessat(folder_.get(), targetName_.c_str(), W_OK, AT_EACCESS) != 0) {
            if (errno == EACCES)
                throw SystemError("write", outputPath_, RunError::ReportReadOnly);
            fail(errno);
        }
        oldReport_ = status;
        break;
    }
    struct stat folderStatus {};
    if (::fstat(folder_.get(), &folderStatus) != 0)
        fail(errno);
    folderIdentity_ = FileIdentity::of(folderStatus);
}

// Moves to the place the link names; false when the link names an open stream instead.
bool ReportFile::followLink(const struct stat& link)
{
    if (isProcFolder(folder_.get()))
        return !useOwnStream();
    struct stat folder {};
    if (::fstat(folder_.get(), &folder) != 0)
        fail(errno);
    if (!mayFollow(folder, link))
        throw SystemError("write", outputPath_, RunError::ForeignLinkInSharedFolder);
    std::string target(static_cast<std::size_t>(link.st_size) + 1, '\0');
    const ssize_t length = ::readlinkat(folder_.get(), targetName_.c_str(), target.data(), target.size());
    if (length < 0)
        fail(errno);
    target.resize(static_cast<std::size_t>(length));
    auto [nextFolder, nextName] = folderAndName(target);
    FileDescriptor next(::openat(folder_.get(), nextFolder.c_str(), kFolderFlags));
    if (!next.valid())
        fail(errno);
    folder_ = std::move(next);
    targetName_ = std::move(nextName);
    return true;
}

// A link in /proc/self/fd (where /dev/stdout and /dev/fd/N lead) stands for one of this
// process's descriptors: the report goes into it. Those of other processes are refused.
bool ReportFile::useOwnStream()
{
    struct stat folder {};
    unsigned number = 0;
    const char* end = targetName_.data() + targetName_.size();
    const bool isNumber = !targetName_.empty() && std::from_chars(targetName_.data(), end, number).ptr == end;
    if (::fstat(folder_.get(), &folder) != 0 || !isNumber ||
        !(sameFile(folder, "/proc/self/fd") || sameFile(folder, "/proc/thread-self/fd")))
        throw SystemError("write", outputPath_, RunError::OpenFileOfAnotherProcess);
    const int flags = ::fcntl(static_cast<int>(number), F_GETFL);
    if (flags < 0)
        fail(errno);
    if ((flags & O_ACCMODE) == O_RDONLY)
        fail(EBADF);
    stream_ = static_cast<int>(number);
    return true;
}

void ReportFile::createTemporary()
{
    file_.reset(::openat(folder_.get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
    if (!file_.valid() && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        // File systems without unnamed files get a named one, removed again unless committed.
        do {
            temporaryName_ = temporaryNameCandidate();
            file_.reset(::openat(folder_.get(), temporaryName_.c_str(),
                                 O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, 0666));
        } while (!file_.valid() && errno == EEXIST);
        if (!file_.valid())
            temporaryName_.clear();
    }
    if (!file_.valid()) {
        const int error = errno;
        if (error == EACCES || error == EPERM || error == EROFS)
            throw SystemError("write", outputPath_, std::error_code(error, std::generic_category()),
                              "the report is written as a new file beside the old one and then put in its place, "
                              "so its folder must be writable");
        fail(error);
    }
    takeOverOldAttributes();
}

// A replaced report keeps its permissions, and its owner where the process may set it.
void ReportFile::takeOverOldAttributes()
{
    if (!oldReport_)
        return;
    if (::fchown(file_.get(), oldReport_->st_uid, oldReport_->st_gid) != 0 &&
        ::fchown(file_.get(), static_cast<uid_t>(-1), oldReport_->st_gid) != 0) {
        // Neither may be set by this user: the report keeps the user's own, as a new one would.
    }
    if (::fchmod(file_.get(), oldReport_->st_mode & 07777) != 0)
        fail(errno);
}

Places ReportFile::ownPlaces() const
{
    Places places;
    if (stream_ >= 0)
        return places;
    places.push_back({folderIdentity_, targetName_});
    if (!temporaryName_.empty())
        places.push_back({folderIdentity_, temporaryName_});
    return places;
}

void ReportFile::append(std::string_view text)
{
    buffer_.append(text);
    if (buffer_.size() >= kFlushSize)
        flush();
}

void ReportFile::flush()
{
    const int fd = stream_ >= 0 ? stream_ : file_.get();
    std::size_t written = 0;
    while (written < buffer_.size()) {
        const ssize_t count = ::write(fd, buffer_.data() + written, buffer_.size() - written);
        if (count < 0 && errno == EINTR)
            continue;
        if (count <= 0)
            fail(count == 0 ? ENOSPC : errno);
        written += static_cast<std::size_t>(count);
    }
    buffer_.clear();
}

void ReportFile::linkTemporary()
{
    const std::string procPath = "/proc/self/fd/" + std::to_string(file_.get());
    for (;;) {
        temporaryName_ = temporaryNameCandidate();
        if (::linkat(file_.get(), "", folder_.get(), temporaryName_.c_str(), AT_EMPTY_PATH) == 0)
            return;
        // Linking by descriptor needs a capability; the /proc name does the same without it.
        if (errno == ENOENT || errno == EPERM) {
            if (::linkat(AT_FDCWD, procPath.c_str(), folder_.get(), temporaryName_.c_str(), AT_SYMLINK_FOLLOW) == 0)
                return;
        }
        if (errno != EEXIST) {
            const int error = errno;
            temporaryName_.clear();
            fail(error);
        }
    }
}

void ReportFile::commit()
{
    flush();
    if (stream_ >= 0) {
        committed_ = true;
        return;
    }
    if (::fsync(file_.get()) != 0)
        fail(errno);
    if (temporaryName_.empty())
        linkTemporary();
    // Some file systems report a failed write only here; then the old report must stay.
    if (const int error = file_.close(); error != 0)
        fail(error);
    if (::renameat(folder_.get(), temporaryName_.c_str(), folder_.get(), targetName_.c_str()) != 0)
        fail(errno);
    committed_ = true;
    // The report is in place by now; a folder that refuses fsync must not turn that into a failure.
    ::fsync(folder_.get());
}

} // namespace listgen
