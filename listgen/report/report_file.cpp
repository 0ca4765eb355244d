#include "listgen/report/report_file.h"

#include "listgen/common/hex.h"
#include "listgen/common/path_split.h"
#include "listgen/common/system_error.h"
#include "listgen/common/user_access.h"
#include "listgen/report/temporary_files.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <signal.h>
#include <sys/statfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <functional>
#include <iterator>
#include <memory>
#include <random>
#include <vector>

namespace listgen {

namespace {

constexpr std::size_t kFlushSize = std::size_t{1} << 20;
// As many links as the kernel follows before it gives up with ELOOP.
constexpr int kMostLinks = 40;
constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
constexpr std::string_view kTemporaryPrefix = ".vaskerel-";
constexpr std::string_view kTemporarySuffix = ".tmp";
void appendHex(std::string& text, std::uint64_t value, int digits)
{
    for (int i = digits - 1; i >= 0; --i)
        text += hexDigit(static_cast<unsigned>(value >> (4 * i)), HexCase::Lower);
}

// Which machine a temporary file's writer runs on, so that its process id means something.
std::uint32_t hostTag()
{
    char name[256] = {};
    ::gethostname(name, sizeof name - 1);
    std::uint32_t hash = 2166136261U;
    for (const char* c = name; *c != '\0'; ++c)
        hash = (hash ^ static_cast<unsigned char>(*c)) * 16777619U;
    return hash;
}

// ".vaskerel-<host>-<process>-<random>.tmp": the next run into the folder can tell whether
// its writer is gone.
std::string temporaryNameCandidate()
{
    static thread_local std::mt19937_64 generator{std::random_device{}()};
    std::string name(kTemporaryPrefix);
    appendHex(name, hostTag(), 8);
    name += '-';
    name += std::to_string(::getpid());
    name += '-';
    appendHex(name, generator(), 16);
    name += kTemporarySuffix;
    return name;
}

// The writer of a temporary file named by this process's rule, when it ran on this machine.
std::optional<pid_t> writerOf(std::string_view name)
{
    if (!name.starts_with(kTemporaryPrefix) || !name.ends_with(kTemporarySuffix))
        return std::nullopt;
    name.remove_prefix(kTemporaryPrefix.size());
    std::string host;
    appendHex(host, hostTag(), 8);
    if (!name.starts_with(host + "-"))
        return std::nullopt;
    name.remove_prefix(host.size() + 1);
    pid_t pid = 0;
    const auto [end, error] = std::from_chars(name.data(), name.data() + name.size(), pid);
    if (error != std::errc() || pid <= 0 || end == name.data() + name.size() || *end != '-')
        return std::nullopt;
    return pid;
}

bool isFolderName(const std::string& name)
{
    return name.empty() || name == "." || name == "..";
}

bool isSharedFolder(const struct stat& folder)
{
    return (folder.st_mode & S_ISVTX) != 0 && (folder.st_mode & S_IWOTH) != 0;
}

// The kernel's rule for links and files in a sticky folder that everyone may write
// (protected_symlinks, protected_regular): they count only when they belong to the process
// or to the folder's owner; anyone else may have planted them.
bool belongsHere(const struct stat& folder, const struct stat& entry)
{
    return entry.st_uid == ::geteuid() || entry.st_uid == folder.st_uid;
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
    if (!committed_ && !temporaryName_.empty()) {
        ::unlinkat(folder_.get(), temporaryName_.c_str(), 0);
        forgetTemporary();
    }
}

void ReportFile::fail(int errorNumber) const
{
    throw SystemError(RunAction::WriteOutput, outputPath_, errorNumber);
}

// Finds the folder and the name the new report goes to, following links to the file they
// lead to, as the kernel does, one link at a time.
void ReportFile::findTarget()
{
    const auto [folder, name] = folderAndName(outputPath_);
    folder_.reset(::open(std::string(folder).c_str(), kFolderFlags));
    if (!folder_.valid())
        fail(errno);
    targetName_ = name;
    spelled_ = outputPath_;
    for (int links = 0;; ++links) {
        if (isFolderName(targetName_))
            fail(EISDIR);
        if (::fstat(folder_.get(), &folderStatus_) != 0)
            fail(errno);
        struct stat status {};
        const bool exists = ::fstatat(folder_.get(), targetName_.c_str(), &status, AT_SYMLINK_NOFOLLOW) == 0;
        if (!exists && errno != ENOENT)
            fail(errno);
        // A link another user made leads only where that user could write: the report is no
        // way for them to replace what they may not.
        if (foreignLink_ && !UserAccess::mayReplace(foreignLink_->owner, folder_.get(), exists ? &status : nullptr))
            throw SystemError(RunAction::WriteOutput, foreignLink_->path, RunError::ForeignLinkToOthersFile);
        foreignLink_.reset();
        if (!exists)
            break;
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
            throw SystemError(RunAction::WriteOutput, outputPath_, RunError::NotARegularFile);
        if (isSharedFolder(folderStatus_) && !belongsHere(folderStatus_, status))
            throw SystemError(RunAction::WriteOutput, outputPath_, RunError::ForeignFileInSharedFolder);
        if (::faccessat(folder_.get(), targetName_.c_str(), W_OK, AT_EACCESS) != 0) {
            if (errno == EACCES)
                throw SystemError(RunAction::WriteOutput, outputPath_, RunError::ReportReadOnly);
            fail(errno);
        }
        oldReport_ = status;
        break;
    }
}

// Moves to the place the link names; false when the link names an open stream instead.
bool ReportFile::followLink(const struct stat& link)
{
    if (isProcFolder(folder_.get()))
        return !useOwnStream();
    if (isSharedFolder(folderStatus_) && !belongsHere(folderStatus_, link))
        throw SystemError(RunAction::WriteOutput, outputPath_, RunError::ForeignLinkInSharedFolder);
    std::string target(static_cast<std::size_t>(link.st_size) + 1, '\0');
    const ssize_t length = ::readlinkat(folder_.get(), targetName_.c_str(), target.data(), target.size());
    if (length < 0)
        fail(errno);
    target.resize(static_cast<std::size_t>(length));
    if (link.st_uid != ::geteuid())
        foreignLink_ = ForeignLink{link.st_uid, spelled_};
    spelled_ = target.starts_with('/') ? target : std::string(folderAndName(spelled_).folder) + '/' + target;
    const auto [nextFolder, nextName] = folderAndName(target);
    FileDescriptor next(::openat(folder_.get(), std::string(nextFolder).c_str(), kFolderFlags));
    if (!next.valid())
        fail(errno);
    folder_ = std::move(next);
    targetName_ = nextName;
    return true;
}

// A link in /proc/self/fd (where /dev/stdout and /dev/fd/N lead) stands for one of this
// process's descriptors: the report goes into it. Those of other processes are refused.
bool ReportFile::useOwnStream()
{
    unsigned number = 0;
    const char* end = targetName_.data() + targetName_.size();
    const bool isNumber = !targetName_.empty() && std::from_chars(targetName_.data(), end, number).ptr == end;
    if (!isNumber || !(sameFile(folderStatus_, "/proc/self/fd") || sameFile(folderStatus_, "/proc/thread-self/fd")))
        throw SystemError(RunAction::WriteOutput, outputPath_, RunError::OpenFileOfAnotherProcess);
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
    // A run killed between naming its temporary file and renaming it leaves it on any file system.
    removeAbandonedTemporaries();
    file_.reset(::openat(folder_.get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
    if (!file_.valid() && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL))
        createNamedTemporary();
    if (file_.valid())
        lockTemporary();
    if (!file_.valid()) {
        const int error = errno;
        if (error == EACCES || error == EPERM || error == EROFS)
            throw SystemError(RunAction::WriteOutput, outputPath_, systemCode(error),
                              FailureHint::OutputFolderMustBeWritable);
        fail(error);
    }
    takeOverOldAttributes();
}

// File systems without unnamed files (FUSE, some network ones) get a named one, locked while
// it is written, removed again unless committed, and by a later run if this one is killed.
void ReportFile::createNamedTemporary()
{
    do {
        temporaryName_ = temporaryNameCandidate();
        file_.reset(::openat(folder_.get(), temporaryName_.c_str(), O_CREAT | O_EXCL | O_RDWR | O_CLOEXEC | O_NOFOLLOW,
                             0666));
    } while (!file_.valid() && errno == EEXIST);
    if (!file_.valid()) {
        const int error = errno;
        temporaryName_.clear();
        errno = error;
        return;
    }
    TemporaryFiles::add(folder_.get(), temporaryName_);
}

// Held while the file is written, so that a later run knows it is not abandoned yet.
void ReportFile::lockTemporary()
{
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    (void)::fcntl(file_.get(), F_OFD_SETLK, &lock);
}

// A temporary file of a run on this machine whose process is gone, and that nobody holds a
// lock on, was left by a run that was killed; any other is left alone.
void ReportFile::removeAbandonedTemporaries()
{
    const int own = ::fcntl(folder_.get(), F_DUPFD_CLOEXEC, 0);
    if (own < 0)
        return;
    const std::unique_ptr<DIR, int (*)(DIR*)> folder(::fdopendir(own), ::closedir);
    if (!folder) {
        ::close(own);
        return;
    }
    std::vector<std::string> abandoned;
    while (const dirent* entry = ::readdir(folder.get())) {
        const std::optional<pid_t> writer = writerOf(entry->d_name);
        if (!writer || ::kill(*writer, 0) == 0 || errno != ESRCH)
            continue;
        const FileDescriptor file(::openat(folder_.get(), entry->d_name, O_RDWR | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK));
        struct stat status {};
        if (!file.valid() || ::fstat(file.get(), &status) != 0 || !S_ISREG(status.st_mode))
            continue;
        struct flock lock {};
        lock.l_type = F_WRLCK;
        lock.l_whence = SEEK_SET;
        if (::fcntl(file.get(), F_OFD_SETLK, &lock) != 0 && errno != EINVAL && errno != ENOLCK && errno != EOPNOTSUPP)
            continue;
        abandoned.emplace_back(entry->d_name);
    }
    for (const std::string& name : abandoned)
        ::unlinkat(folder_.get(), name.c_str(), 0);
}

// A replaced report keeps its permissions, and its owner where the process may set it, when
// it belonged to the process or to the folder's owner; one that anybody else had put there
// hands down no more than the permissions a new file gets.
void ReportFile::takeOverOldAttributes()
{
    if (!oldReport_)
        return;
    if (!belongsHere(folderStatus_, *oldReport_)) {
        // Still, a report private before stays as private as it was.
        struct stat fresh {};
        if (::fstat(file_.get(), &fresh) != 0 || ::fchmod(file_.get(), fresh.st_mode & oldReport_->st_mode & 0777) != 0)
            fail(errno);
        return;
    }
    if (::fchown(file_.get(), oldReport_->st_uid, oldReport_->st_gid) != 0 &&
        ::fchown(file_.get(), static_cast<uid_t>(-1), oldReport_->st_gid) != 0) {
        // Neither may be set by this user: the report keeps the user's own, as a new one would.
    }
    if (::fchmod(file_.get(), oldReport_->st_mode & 07777) != 0)
        fail(errno);
}

std::optional<FileIdentity> ReportFile::identity() const
{
    struct stat status {};
    if (stream_ >= 0)
        return ::fstat(stream_, &status) == 0 ? std::optional(FileIdentity::of(status)) : std::nullopt;
    return oldReport_ ? std::optional(FileIdentity::of(*oldReport_)) : std::nullopt;
}

Places ReportFile::ownPlaces() const
{
    Places places;
    if (stream_ >= 0)
        return places;
    places.push_back({FileIdentity::of(folderStatus_), targetName_});
    if (!temporaryName_.empty())
        places.push_back({FileIdentity::of(folderStatus_), temporaryName_});
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
        TemporaryFiles::add(folder_.get(), temporaryName_);
        if (::linkat(file_.get(), "", folder_.get(), temporaryName_.c_str(), AT_EMPTY_PATH) == 0)
            return;
        // Linking by descriptor needs a capability; the /proc name does the same without it.
        if (errno == ENOENT || errno == EPERM) {
            if (::linkat(AT_FDCWD, procPath.c_str(), folder_.get(), temporaryName_.c_str(), AT_SYMLINK_FOLLOW) == 0)
                return;
        }
        const int error = errno;
        forgetTemporary();
        if (error != EEXIST)
            fail(error);
    }
}

void ReportFile::forgetTemporary()
{
    TemporaryFiles::remove(folder_.get(), temporaryName_);
    temporaryName_.clear();
}

// Written out, on disk and under a name, ready to be renamed into place.
void ReportFile::prepare()
{
    flush();
    if (stream_ >= 0)
        return;
    if (::fdatasync(file_.get()) != 0)
        fail(errno);
    if (temporaryName_.empty())
        linkTemporary();
    // Some file systems report a failed write only here; then the old report must stay.
    if (const int error = file_.close(); error != 0)
        fail(error);
}

void ReportFile::putInPlace()
{
    if (stream_ < 0 && ::renameat(folder_.get(), temporaryName_.c_str(), folder_.get(), targetName_.c_str()) != 0)
        fail(errno);
    committed_ = true;
    if (stream_ < 0)
        forgetTemporary();
    TemporaryFiles::placed();
}

void ReportFile::syncFolder()
{
    if (stream_ >= 0 || ::fsync(folder_.get()) == 0)
        return;
    const int error = errno;
    // Folders that cannot be synced at all say so; there is nothing to wait for then.
    if (error == EINVAL || error == EROFS)
        return;
    throw SystemError(RunAction::SyncOutputFolder, outputPath_, systemCode(error), FailureHint::InPlaceButNotSynced);
}

// The old file is linked under a temporary name of its own, so that it can be put back.
void ReportFile::keepOld()
{
    if (stream_ >= 0 || !oldReport_)
        return;
    for (int tries = 0; tries < 8; ++tries) {
        keptName_ = temporaryNameCandidate();
        TemporaryFiles::add(folder_.get(), keptName_);
        if (::linkat(folder_.get(), targetName_.c_str(), folder_.get(), keptName_.c_str(), 0) == 0)
            return;
        const int error = errno;
        TemporaryFiles::remove(folder_.get(), keptName_);
        keptName_.clear();
        if (error != EEXIST)
            return;
    }
}

// Undoes putInPlace: the old file back under its name, or the new one gone where there was
// none. False when that cannot be done, so the new file stays.
bool ReportFile::takeBack()
{
    if (stream_ >= 0 || (oldReport_ && keptName_.empty()))
        return false;
    const bool undone = oldReport_ ? ::renameat(folder_.get(), keptName_.c_str(), folder_.get(), targetName_.c_str()) == 0
                                   : ::unlinkat(folder_.get(), targetName_.c_str(), 0) == 0;
    if (undone) {
        TemporaryFiles::remove(folder_.get(), keptName_);
        keptName_.clear();
        (void)::fsync(folder_.get());
    }
    return undone;
}

void ReportFile::dropOld()
{
    if (keptName_.empty())
        return;
    ::unlinkat(folder_.get(), keptName_.c_str(), 0);
    TemporaryFiles::remove(folder_.get(), keptName_);
    keptName_.clear();
}

void ReportFile::commitTogether(std::initializer_list<ReportFile*> outputs)
{
    std::vector<ReportFile*> files;
    std::copy_if(outputs.begin(), outputs.end(), std::back_inserter(files), [](ReportFile* output) { return output; });
    for (ReportFile* output : files)
        output->prepare();
    // A rename that fails after others were made takes them back: every old file stays.
    for (std::size_t i = 0; i + 1 < files.size(); ++i)
        files[i]->keepOld();
    {
        const auto placing = TemporaryFiles::placing();
        for (std::size_t i = 0; i < files.size(); ++i) {
            try {
                files[i]->putInPlace();
            } catch (const SystemError& error) {
                RunFailure failure = error.failure();
                for (std::size_t placed = 0; placed < i; ++placed) {
                    if (!files[placed]->takeBack())
                        failure.inPlace.push_back(files[placed]->outputPath_);
                }
                if (!failure.inPlace.empty())
                    failure.hint = FailureHint::PartlyInPlace;
                for (ReportFile* output : files)
                    output->dropOld();
                throw SystemError(std::move(failure));
            }
        }
    }
    for (ReportFile* output : files)
        output->dropOld();
    for (ReportFile* output : files)
        output->syncFolder();
}

} // namespace listgen
