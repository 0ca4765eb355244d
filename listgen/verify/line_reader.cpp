#include "listgen/verify/line_reader.h"

#include "listgen/common/display_text.h"
#include "listgen/common/system_error.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace listgen {

namespace {

constexpr std::size_t kReadSize = std::size_t{1} << 20;
// Longer lines cannot come from a real name; refusing them bounds the memory a file can take.
constexpr std::size_t kLongestLine = std::size_t{1} << 20;

} // namespace

ReportFormatError::ReportFormatError(const std::string& path, const std::string& problem, std::size_t line)
    : std::runtime_error(displayText(path) + problem + " (line " + std::to_string(line) + ")")
{
}

LineReader::LineReader(std::string path)
    : path_(std::move(path))
{
    // Read blocking, as a pipe or a FIFO needs: a FIFO waits here for its writer.
    file_.reset(path_ == "-" ? ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0)
                             : ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY));
    if (!file_.valid())
        throw SystemError("read", path_, errno);
    const int flags = ::fcntl(file_.get(), F_GETFL);
    if (flags < 0 || ::fcntl(file_.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        throw SystemError("read", path_, errno);
}

void LineReader::refuse(const std::string& problem) const
{
    throw ReportFormatError(path_, " is not " + kind_ + ": " + problem, line_);
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
            if (line.find('\r') != std::string::npos)
                refuse("a carriage return inside a line");
            return true;
        }
        if (endOfFile_) {
            if (bufferAt_ < buffer_.size()) {
                ++line_;
                refuse("the last line has no line end");
            }
            return false;
        }
        if (buffer_.size() - bufferAt_ > kLongestLine) {
            ++line_;
            refuse("a line longer than any report row");
        }
        buffer_.erase(0, bufferAt_);
        bufferAt_ = 0;
        const std::size_t kept = buffer_.size();
        buffer_.resize(kept + kReadSize);
        ssize_t count = 0;
        do {
            count = ::read(file_.get(), buffer_.data() + kept, kReadSize);
        } while (count < 0 && errno == EINTR);
        if (count < 0)
            throw SystemError("read", path_, errno);
        buffer_.resize(kept + static_cast<std::size_t>(count));
        endOfFile_ = count == 0;
    }
}

} // namespace listgen
