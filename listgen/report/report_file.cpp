#include "listgen/report/report_file.h"

#include "listgen/common/system_error.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <random>

namespace listgen {

namespace {

constexpr std::size_t kFlushSize = std::size_t{1} << 20;

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

// A link as output is kept: the report replaces the file the link leads to.
std::string resolvedTarget(const std::string& path)
{
    struct stat status {};
    if (::lstat(path.c_str(), &status) != 0 || !S_ISLNK(status.st_mode))
        return path;
    char resolved[PATH_MAX];
    return ::realpath(path.c_str(), resolved) != nullptr ? std::string(resolved) : path;
}

} // namespace

ReportFile::ReportFile(std::string outputPath)
    : outputPath_(std::move(outputPath))
    , targetPath_(resolvedTarget(outputPath_))
{
    const auto slash = targetPath_.rfind('/');
    targetName_ = slash == std::string::npos ? targetPath_ : targetPath_.substr(slash + 1);
    if (targetName_.empty())
        fail(EISDIR);
    checkExistingOutput();
    openFolder();
    createTemporary();
    buffer_.reserve(kFlushSize + (kFlushSize >> 2));
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

void ReportFile::checkExistingOutput()
{
    struct stat status {};
    if (::stat(targetPath_.c_str(), &status) != 0) {
        if (errno != ENOENT)
            fail(errno);
        return;
    }
    if (S_ISDIR(status.st_mode))
        fail(EISDIR);
    if (!S_ISREG(status.st_mode))
        throw SystemError("write", outputPath_, RunError::NotARegularFile);
    if (::faccessat(AT_FDCWD, targetPath_.c_str(), W_OK, AT_EACCESS) != 0)
        fail(errno);
    ownFiles_.push_back(FileIdentity::of(status));
}

void ReportFile::openFolder()
{
    const auto slash = targetPath_.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : targetPath_.substr(0, slash);
    folder_.reset(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!folder_.valid())
        fail(errno);
}

void ReportFile::createTemporary()
{
    file_.reset(::openat(folder_.get(), ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
    if (!file_.valid()) {
        if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
            fail(errno);
        // File systems without unnamed files get a named one, removed again unless committed.
        do {
            temporaryName_ = temporaryNameCandidate();
            file_.reset(::openat(folder_.get(), temporaryName_.c_str(),
                                 O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC | O_NOFOLLOW, 0666));
        } while (!file_.valid() && errno == EEXIST);
        if (!file_.valid()) {
            temporaryName_.clear();
            fail(errno);
        }
    }
    struct stat status {};
    if (::fstat(file_.get(), &status) != 0)
        fail(errno);
    ownFiles_.push_back(FileIdentity::of(status));
}

void ReportFile::append(std::string_view text)
{
    buffer_.append(text);
    if (buffer_.size() >= kFlushSize)
        flush();
}

void ReportFile::flush()
{
    std::size_t written = 0;
    while (written < buffer_.size()) {
        const ssize_t count = ::write(file_.get(), buffer_.data() + written, buffer_.size() - written);
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
    if (::fsync(file_.get()) != 0)
        fail(errno);
    if (temporaryName_.empty())
        linkTemporary();
    if (::renameat(folder_.get(), temporaryName_.c_str(), folder_.get(), targetName_.c_str()) != 0)
        fail(errno);
    committed_ = true;
    // The report is in place by now; a folder that refuses fsync must not turn that into a failure.
    ::fsync(folder_.get());
}

} // namespace listgen
