#include "listgen/report_reader.h"

#include "listgen/display_text.h"
#include "listgen/html_text.h"
#include "listgen/report_document.h"
#include "listgen/system_error.h"
#include "listgen/walk_order.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <utility>

namespace listgen {

namespace {

constexpr std::size_t kReadSize = std::size_t{1} << 20;
// Longer lines cannot come from a real name; refusing them bounds the memory a file can take.
constexpr std::size_t kLongestLine = std::size_t{1} << 20;

constexpr std::string_view kTitleStart = "<html><head><title>";
constexpr std::string_view kTitleEnd = "</title>";
constexpr std::string_view kLinkStart = "<link rel=stylesheet href=\"";
constexpr std::string_view kLinkEnd = "\" type=\"Text/css\">";
constexpr std::string_view kTableHead =
    "</head><body><table border=1><tr><td>FileName</td><td>Size</td><td>MD5</td></tr>";
constexpr std::string_view kTableEnd = "</table>";
constexpr std::string_view kFooter = "<p align=right>Code by Plumbrack</p></body></html>";
constexpr std::string_view kRowStart = "<tr><td><a href=\"";
constexpr std::string_view kRowEnd = "</td></tr>";

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

constexpr std::pair<std::string_view, char> kEntities[] = {
    {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}};

// The length of the entity at the start of `text`, 0 when it is none of the four written.
std::size_t entityLength(std::string_view text, char& character)
{
    for (const auto& [entity, value] : kEntities) {
        if (startsWith(text, entity)) {
            character = value;
            return entity.size();
        }
    }
    return 0;
}

bool isEscapedText(std::string_view text)
{
    for (std::size_t at = 0; at < text.size(); ++at) {
        char character = 0;
        if (text[at] == '<' || text[at] == '>' || text[at] == '"')
            return false;
        if (text[at] == '&' && entityLength(text.substr(at), character) == 0)
            return false;
    }
    return true;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Undoes the link target's encoding; the result is checked by rendering it again.
bool decodeTarget(std::string_view target, std::string& name)
{
    name.clear();
    for (std::size_t at = 0; at < target.size();) {
        if (target[at] == '%') {
            if (at + 2 >= target.size() || hexValue(target[at + 1]) < 0 || hexValue(target[at + 2]) < 0)
                return false;
            name += static_cast<char>(hexValue(target[at + 1]) * 16 + hexValue(target[at + 2]));
            at += 3;
            continue;
        }
        if (target[at] == '&') {
            char character = 0;
            const std::size_t length = entityLength(target.substr(at), character);
            if (length == 0)
                return false;
            name += character;
            at += length;
            continue;
        }
        name += target[at++];
    }
    return true;
}

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
        const std::size_t end = buffer_.find("\r\n", bufferAt_);
        if (end != std::string::npos) {
            line.assign(buffer_, bufferAt_, end - bufferAt_);
            bufferAt_ = end + 2;
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
    if (!readLine(line) || !startsWith(line, kTitleStart) || !line.ends_with(kTitleEnd))
        refuse("it does not start with the title line");
    const std::string_view title =
        std::string_view(line).substr(kTitleStart.size(), line.size() - kTitleStart.size() - kTitleEnd.size());
    if (!isEscapedText(title))
        refuse("the title holds raw markup");
    if (!readLine(line) || !startsWith(line, kLinkStart))
        refuse("the stylesheet link is missing");
    const std::size_t linkEnd = line.find('"', kLinkStart.size());
    if (linkEnd == std::string::npos || line.compare(linkEnd, kLinkEnd.size(), kLinkEnd) != 0)
        refuse("the stylesheet link is malformed");
    if (!isEscapedText(std::string_view(line).substr(kLinkStart.size(), linkEnd - kLinkStart.size())))
        refuse("the stylesheet reference holds raw markup");
    const std::size_t headEnd = linkEnd + kLinkEnd.size();
    if (line.compare(headEnd, kTableHead.size(), kTableHead) != 0)
        refuse("the table header is missing");
    pendingRowText_ = line.substr(headEnd + kTableHead.size());
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
    if (line == kTableEnd) {
        if (!readLine(line) || line != kFooter)
            refuse("the footer is missing");
        if (readLine(line))
            refuse("text after the end of the document");
        finished_ = true;
        return false;
    }
    if (!parseRow(line, row))
        refuse("a row that this tool would not write");
    if (havePrevious_ && !walkOrderLess(previousName_, row.relName))
        refuse("rows out of order");
    previousName_ = row.relName;
    havePrevious_ = true;
    return true;
}

bool ReportReader::parseRow(std::string_view text, ReportRow& row) const
{
    if (!startsWith(text, kRowStart) || !text.ends_with(kRowEnd))
        return false;
    text.remove_prefix(kRowStart.size());
    text.remove_suffix(kRowEnd.size());
    const std::size_t targetEnd = text.find("\">");
    if (targetEnd == std::string_view::npos || !decodeTarget(text.substr(0, targetEnd), row.relName) ||
        row.relName.empty())
        return false;
    std::string expected;
    appendLinkTarget(expected, row.relName);
    expected += "\">";
    appendLinkText(expected, row.relName);
    expected += "</a></td><td>";
    if (!startsWith(text, expected))
        return false;
    text.remove_prefix(expected.size());
    const std::size_t sizeEnd = text.find("</td><td>");
    if (sizeEnd == std::string_view::npos || sizeEnd == 0 || (sizeEnd > 1 && text[0] == '0'))
        return false;
    const auto [end, error] = std::from_chars(text.data(), text.data() + sizeEnd, row.size);
    if (error != std::errc{} || end != text.data() + sizeEnd)
        return false;
    text.remove_prefix(sizeEnd + std::string_view("</td><td>").size());
    if (text.size() != Md5Digest::kHexLength)
        return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f')))
            return false;
        row.md5[i] = c;
    }
    return true;
}

} // namespace listgen
