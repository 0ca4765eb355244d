#include "listgen/report_document.h"

#include "listgen/html_text.h"

#include <charconv>

namespace listgen {

std::string_view relName(std::string_view strPath, std::string_view strRoot) noexcept
{
    const std::size_t skipped = strRoot.size() + 1;
    return skipped < strPath.size() ? strPath.substr(skipped) : std::string_view{};
}

std::string headText(std::string_view title, std::string_view stylesheet)
{
    std::string text = "<title>";
    appendEscaped(text, title);
    text += "</title>";
    text += kLineEnd;
    text += "<link rel=stylesheet href=\"";
    appendEscaped(text, stylesheet);
    text += "\" type=\"Text/css\">";
    return text;
}

void File(std::string& rowText, std::string_view strPath, std::string_view strRoot, const FileFacts& facts)
{
    const std::string_view name = relName(strPath, strRoot);
    rowText += "<tr><td><a href=\"";
    appendLinkTarget(rowText, name);
    rowText += "\">";
    appendLinkText(rowText, name);
    rowText += "</a></td><td>";
    rowText += GetFileSize(facts.size);
    rowText += "</td><td>";
    rowText.append(facts.md5.data(), facts.md5.size());
    rowText += "</td></tr>";
    rowText += kLineEnd;
}

bool WriteHtml(ReportFile& report, std::string_view headText, const std::function<bool()>& bodyText)
{
    report.append(kDocumentStart);
    report.append(headText);
    report.append(kBodyStart);
    if (!bodyText())
        return false;
    report.append(kDocumentEnd);
    report.commit();
    return true;
}

std::string GetFileSize(std::uint64_t size)
{
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, size).ptr;
    return std::string(digits, end);
}

} // namespace listgen
