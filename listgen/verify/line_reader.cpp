#include "listgen/verify/line_reader.h"

#include "listgen/common/system_error.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace listgen {

namespace {

constexpr std::size_t kReadSize = std::size_t{1} << 20;
// Longer lines cannot come from a real name; refusing them bounds the memory a file can take.
constexpr std::size_t kLongestLine = std::size_t{1} << 20;

} // namespace

LineReader::LineReader(std::string path)
    : path_(std::move(path))
{
    // Read blocking, as a pipe or a FIFO needs: a FIFO waits here for its writer.
    file_.reset(path_ == "-" ? ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0)
                             : ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!file_.valid())
        throw SystemError(RunAction::ReadListing, path_, errno);
    readBlocking();
}

LineReader::LineReader(FileDescriptor file, std::string path)
    : path_(std::move(path))
    , file_(std::move(file))
{
    readBlocking();
}

void LineReader::readBlocking()
{
    const int flags = ::fcntl(file_.get(), F_GETFL);
    if (flags < 0 || ::fcntl(file_.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        throw SystemError(RunAction::ReadListing, path_, errno);
}

void LineReader::refuse(ListingProblem problem) const
{
    throw ReportFormatError({path_, kind_, problem, line_});
}

bool LineReader::next(std::string& line)
{
    line.clear();
    for (;;) {
        const std::size_t end = buffer_.find('\n', bufferAt_);
        if (end != std::string::npos) {
            const bool carriageReturn = end > bufferAt_ && buffer_[end - 1] == '\r';
            line.assign(buffer_, bufferAt_, end - bufferAt_ - (carriageReturn ? 1 : 0));
            bufferAt_ = end + 1;
            ++line_;
            if (!carriageReturnsAllowed_ && line.find('\r') != std::string::npos)
                refuse(ListingProblem::CarriageReturnInLine);
            return true;
        }
        if (endOfFile_) {
            if (bufferAt_ == buffer_.size())
                return false;
            line.assign(buffer_, bufferAt_);
            if (line.ends_with('\r'))
                line.pop_back();
            bufferAt_ = buffer_.size();
            ++line_;
            unended_ = true;
            if (!carriageReturnsAllowed_ && line.find('\r') != std::string::npos)
                refuse(ListingProblem::CarriageReturnInLine);
            return true;
        }
        if (buffer_.size() - bufferAt_ > kLongestLine) {
            ++line_;
            refuse(ListingProblem::LineTooLong);
        }
        buffer_.erase(0, bufferAt_);
        bufferAt_ = 0;
        const std::size_t kept = buffer_.size();
        buffer_.resize(kept + readSize_);
        ssize_t count = 0;
        do {
            count = ::read(file_.get(), buffer_.data() + kept, readSize_);
        } while (count < 0 && errno == EINTR);
        if (count < 0)
            throw SystemError(RunAction::ReadListing, path_, errno);
        if (static_cast<std::size_t>(count) == readSize_)
            readSize_ = std::min(readSize_ * 2, kReadSize);
        buffer_.resize(kept + static_cast<std::size_t>(count));
        endOfFile_ = count == 0;
        refuseNul(kept);
    }
}

bool LineReader::canReadAgain() const
{
    struct stat status {};
    return ::fstat(file_.get(), &status) == 0 && S_ISREG(status.st_mode);
}

void LineReader::readAgain()
{
    if (::lseek(file_.get(), 0, SEEK_SET) != 0)
        throw SystemError(RunAction::ReadListing, path_, errno);
    buffer_.clear();
    bufferAt_ = 0;
    endOfFile_ = false;
    unended_ = false;
    line_ = 0;
}

std::optional<std::uint64_t> LineReader::countLineEnds() const
{
    if (!canReadAgain())
        return std::nullopt;
    std::string block(kReadSize, '\0');
    std::uint64_t ends = 0;
    off_t at = 0;
    for (ssize_t count = 0; (count = ::pread(file_.get(), block.data(), block.size(), at)) != 0; at += count) {
        if (count < 0 && errno == EINTR)
            count = 0;
        else if (count < 0)
            return std::nullopt;
        ends += static_cast<std::uint64_t>(std::count(block.data(), block.data() + count, '\n'));
    }
    return ends;
}

// md5sum -z ends its lines with NUL; no report or manifest line holds one.
void LineReader::refuseNul(std::size_t from) const
{
    const std::size_t nul = buffer_.find('\0', from);
    if (nul == std::string::npos)
        return;
    const auto lineEnds = std::count(buffer_.begin() + static_cast<std::ptrdiff_t>(bufferAt_),
                                     buffer_.begin() + static_cast<std::ptrdiff_t>(nul), '\n');
    throw ReportFormatError({path_, kind_, ListingProblem::NulByte, line_ + 1 + static_cast<std::size_t>(lineEnds)});
}

} // namespace listgen
