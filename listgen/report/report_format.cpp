#include "listgen/report/report_format.h"

#include "listgen/report/html_text.h"
#include "listgen/report/report_file.h"
#include "listgen/walk/rel_name.h"

#include <charconv>

namespace listgen {

namespace {

constexpr std::string_view kDocumentStart = "<html><head>";
constexpr std::string_view kTitleStart = "<title>";
constexpr std::string_view kTitleEnd = "</title>";
constexpr std::string_view kLinkStart = "<link rel=stylesheet href=\"";
constexpr std::string_view kLinkEnd = "\" type=\"Text/css\">";
constexpr std::string_view kBodyStart =
    "</head><body><table border=1><tr><td>FileName</td><td>Size</td><td>MD5</td></tr>";
constexpr std::string_view kRowStart = "<tr><td><a href=\"";
constexpr std::string_view kTargetEnd = "\">";
constexpr std::string_view kLinkClose = "</a>";
constexpr std::string_view kCellBreak = "</td><td>";
constexpr std::string_view kRowEnd = "</td></tr>";
constexpr std::string_view kTableEnd = "</table>";
constexpr std::string_view kFooter = "<p align=right>Code by Plumbrack</p></body></html>";

bool isLowerHex(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f');
}

// How the stylesheet reference went into reports: percent-encoded now; as numeric references by
// version 1.0.0, which a browser encodes in a query by its guess of the report's encoding; raw
// UTF-8 before that.
enum class ReferenceForm { Percent, NumericReferences, Utf8 };

void appendStylesheetLink(std::string& text, std::string_view stylesheet, ReferenceForm form)
{
    text += kLinkStart;
    if (form == ReferenceForm::Percent)
        appendUrl(text, stylesheet);
    else
        appendEscaped(text, stylesheet, form == ReferenceForm::Utf8 ? TextForm::Utf8 : TextForm::Ascii);
    text += kLinkEnd;
}

} // namespace

std::string headText(std::string_view title, std::string_view stylesheet, TextForm form)
{
    std::string text(kTitleStart);
    appendEscaped(text, title, form);
    text += kTitleEnd;
    text += kLineEnd;
    appendStylesheetLink(text, stylesheet, form == TextForm::Utf8 ? ReferenceForm::Utf8 : ReferenceForm::Percent);
    return text;
}

void File(std::string& rowText, std::string_view strPath, std::string_view strRoot, const FileFacts& facts,
          TextForm form)
{
    appendRow(rowText, relName(strPath, strRoot), facts, form);
}

void appendRow(std::string& rowText, std::string_view name, const FileFacts& facts, TextForm form)
{
    rowText += kRowStart;
    appendLinkTarget(rowText, name, form);
    rowText += kTargetEnd;
    appendLinkText(rowText, name, form);
    rowText += kLinkClose;
    rowText += kCellBreak;
    rowText += GetFileSize(facts.size);
    rowText += kCellBreak;
    rowText.append(facts.md5.data(), facts.md5.size());
    rowText += kRowEnd;
    rowText += kLineEnd;
}

bool WriteHtml(ReportFile& report, std::string_view headText, const std::function<bool()>& bodyText)
{
    report.append(kDocumentStart);
    report.append(headText);
    report.append(kBodyStart);
    if (!bodyText())
        return false;
    report.append(kTableEnd);
    report.append(kLineEnd);
    report.append(kFooter);
    report.append(kLineEnd);
    return true;
}

std::string GetFileSize(std::uint64_t size)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, size).ptr;
    return std::string(digits, end);
}

bool readTitleLine(std::string_view line, std::string& title)
{
    if (!line.starts_with(kDocumentStart))
        return false;
    line.remove_prefix(kDocumentStart.size());
    if (!line.starts_with(kTitleStart) || !line.ends_with(kTitleEnd))
        return false;
    line.remove_prefix(kTitleStart.size());
    line.remove_suffix(kTitleEnd.size());
    if (!unescapeText(line, title))
        return false;
    for (const TextForm form : {TextForm::Ascii, TextForm::Utf8}) {
        std::string again;
        appendEscaped(again, title, form);
        if (again == line)
            return true;
    }
    return false;
}

bool readTableStartLine(std::string_view line, std::string& stylesheet, std::string_view& rest)
{
    if (!line.starts_with(kLinkStart))
        return false;
    const std::size_t linkEnd = line.find(kLinkEnd, kLinkStart.size());
    if (linkEnd == std::string_view::npos ||
        !unescapeText(line.substr(kLinkStart.size(), linkEnd - kLinkStart.size()), stylesheet))
        return false;
    // Written again, the link must come out as it was read.
    for (const ReferenceForm form : {ReferenceForm::Percent, ReferenceForm::NumericReferences, ReferenceForm::Utf8}) {
        std::string link;
        appendStylesheetLink(link, stylesheet, form);
        if (line.starts_with(link) && line.substr(link.size()).starts_with(kBodyStart)) {
            rest = line.substr(link.size() + kBodyStart.size());
            return true;
        }
    }
    return false;
}

RowReading readRow(std::string_view line, ReportRow& row)
{
    if (!line.starts_with(kRowStart) || !line.ends_with(kRowEnd))
        return RowReading::NotARow;
    const std::string_view inner = line.substr(kRowStart.size(), line.size() - kRowStart.size() - kRowEnd.size());
    const std::size_t targetEnd = inner.find(kTargetEnd);
    if (targetEnd == std::string_view::npos || !decodeLinkTarget(inner.substr(0, targetEnd), row.relName))
        return RowReading::NotARow;
    if (inner.size() < kMd5HexLength + kCellBreak.size())
        return RowReading::NotARow;
    const std::string_view md5 = inner.substr(inner.size() - kMd5HexLength);
    for (std::size_t i = 0; i < md5.size(); ++i) {
        if (!isLowerHex(md5[i]))
            return RowReading::NotARow;
        row.facts.md5[i] = md5[i];
    }
    const std::string_view beforeMd5 = inner.substr(0, inner.size() - kMd5HexLength - kCellBreak.size());
    const std::size_t sizeStart = beforeMd5.rfind(kCellBreak);
    if (sizeStart == std::string_view::npos)
        return RowReading::NotARow;
    const std::string_view size = beforeMd5.substr(sizeStart + kCellBreak.size());
    const auto [end, error] = std::from_chars(size.data(), size.data() + size.size(), row.facts.size);
    if (error != std::errc{} || end != size.data() + size.size())
        return RowReading::NotARow;
    if (!isWalkPath(row.relName))
        return RowReading::ImpossiblePath;
    for (const TextForm form : {TextForm::Ascii, TextForm::AsciiBefore1_1, TextForm::Utf8}) {
        std::string rendered;
        appendRow(rendered, row.relName, row.facts, form);
        if (rendered.size() == line.size() + kLineEnd.size() && rendered.starts_with(line))
            return RowReading::Row;
    }
    return RowReading::NotARow;
}

bool isTableEndLine(std::string_view line)
{
    return line == kTableEnd;
}

bool isFooterLine(std::string_view line)
{
    return line == kFooter;
}

} // namespace listgen
