#include "listgen/verify/report_reader.h"

#include "listgen/common/display_text.h"
#include "listgen/common/system_error.h"
#include "listgen/walk/walk_order.h"

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
    : std::runtime_error(displayText(path) + " is not a report written by vaskerel: " + problem + " (line " +
                         std::to_string(line) + ")")
{
}

ReportReader::ReportReader(std::string path)
    : path_(std::move(path))
{
    // "-" is standard input. A FIFO is opened without waiting for a writer, then read blocking.
    file_.reset(path_ == "-" ? ::fcntl(STDIN_FILENO, F_DUPFD_CLOEXEC, 0)
                             : ::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK));
    if (!file_.valid())
        throw SystemError("read", path_, errno);
    const int flags = ::fcntl(file_.get(), F_GETFL);
    if (flags < 0 || ::fcntl(file_.get(), F_SETFL, flags & ~O_NONBLOCK) != 0)
        throw SystemError("read", path_, errno);
    readHeader();
}

void ReportReader::refuse(const std::string& problem) const
{
    throw ReportFormatError(path_, problem, line_);
}

bool ReportReader::readLine(std::string& line)
{
    line.clear();
    for (;;) {
        // Lines end in CR LF as written, or in LF where a transfer in text mode changed them.
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

void ReportReader::readHeader()
{
    std::string line;
    std::string title;
    if (!readLine(line) || !readTitleLine(line, title))
        refuse("the first line is not the title line of a report");
    std::string stylesheet;
    std::string_view rest;
    if (!readLine(line) || !readTableStartLine(line, title, stylesheet, rest))
        refuse("the stylesheet link or the table header is malformed");
    pendingRowText_ = rest;
    pendingRow_ = true;
}

bool ReportReader::next(ReportRow& row)
{
    if (finished_)
        return false;
    std::string line;
    if (pendingRow_) {
        line = std::move(pendingRowText_);
        pendingRow_ = false;
    } else if (!readLine(line)) {
        refuse("the file ends before the table does");
    }
    if (isTableEndLine(line)) {
        if (!readLine(line) || !isFooterLine(line))
            refuse("the footer line is missing after the table");
        if (readLine(line))
            refuse("text after the end of the document");
        finished_ = true;
        return false;
    }
    switch (readRow(line, row)) {
    case RowReading::Row: break;
    case RowReading::NotARow: refuse("a table row that vaskerel would not write");
    case RowReading::ImpossiblePath:
        refuse("a row whose path no folder can hold (it is absolute, or has an empty, \".\" or \"..\" part)");
    }
    if (havePrevious_ && !walkOrderLess(previousName_, row.relName))
        refuse("a row that comes before the one above it in the order of a walk");
    previousName_ = row.relName;
    havePrevious_ = true;
    return true;
}

} // namespace listgen
