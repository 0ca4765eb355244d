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
    , file_(::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK))
{
    if (!file_.valid())
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
        const std::size_t end = buffer_.find(kLineEnd, bufferAt_);
        if (end != std::string::npos) {
            line.assign(buffer_, bufferAt_, end - bufferAt_);
            bufferAt_ = end + kLineEnd.size();
            ++line_;
            if (line.find_first_of("\r\n") != std::string::npos)
                refuse("a line break that is not CR LF");
            return true;
        }
        if (endOfFile_) {
            if (bufferAt_ < buffer_.size()) {
                ++line_;
                refuse("the last line does not end with CR LF");
            }
            return false;
        }
        if (buffer_.size() - bufferAt_ > kLongestLine)
            refuse("a line longer than any report row");
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
        refuse("it does not start with the title line");
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
        refuse("the table does not end");
    }
    if (isTableEndLine(line)) {
        if (!readLine(line) || !isFooterLine(line))
            refuse("the footer is missing");
        if (readLine(line))
            refuse("text after the end of the document");
        finished_ = true;
        return false;
    }
    if (!readRow(line, row))
        refuse("a row that this tool would not write");
    if (havePrevious_ && !walkOrderLess(previousName_, row.relName))
        refuse("rows out of order");
    previousName_ = row.relName;
    havePrevious_ = true;
    return true;
}

} // namespace listgen
