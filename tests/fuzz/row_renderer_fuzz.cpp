// Any byte string can be a file name. The rendered row must be pure ASCII, show the name
// without raw markup, control characters or bidirectional marks, read back as exactly this
// name and these facts, and link to exactly this file: resolved as a browser resolves it
// against the report's own address, the link names the file and nothing else.
#include "listgen/common/unicode_text.h"
#include "listgen/common/utf8.h"
#include "listgen/report/html_text.h"
#include "listgen/report/report_format.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

std::string percentDecoded(std::string_view text)
{
    const auto isHex = [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; };
    std::string bytes;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '%' && at + 2 < text.size() && isHex(text[at + 1]) && isHex(text[at + 2])) {
            bytes += static_cast<char>(std::stoi(std::string(text.substr(at + 1, 2)), nullptr, 16));
            at += 2;
        } else {
            bytes += text[at];
        }
    }
    return bytes;
}

bool isAsciiAlpha(char c)
{
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool isWindowsDriveLetter(std::string_view text)
{
    return text.size() >= 2 && isAsciiAlpha(text[0]) && (text[1] == ':' || text[1] == '|');
}

// The steps of the WHATWG URL parser that a relative link from a file: page goes through:
// trimming, tab and newline removal, scheme detection, drive letters, "\" as "/", dot
// segments (also percent-encoded), query and fragment. Gives the resolved path, or nothing
// when the link leaves the path of the base (a scheme, a query, a fragment, a drive, a root).
std::optional<std::string> resolveAgainstFilePage(std::string input, std::string_view baseFolder)
{
    const auto isTrimmed = [](char c) { return static_cast<unsigned char>(c) <= 0x20; };
    while (!input.empty() && isTrimmed(input.front()))
        input.erase(0, 1);
    while (!input.empty() && isTrimmed(input.back()))
        input.pop_back();
    std::erase_if(input, [](char c) { return c == '\t' || c == '\n' || c == '\r'; });
    if (!input.empty() && isAsciiAlpha(input[0])) {
        std::size_t at = 1;
        while (at < input.size() && (isAsciiAlpha(input[at]) || (input[at] >= '0' && input[at] <= '9') ||
                                     input[at] == '+' || input[at] == '-' || input[at] == '.'))
            ++at;
        if (at < input.size() && input[at] == ':')
            return std::nullopt;
    }
    if (input.empty() || input[0] == '/' || input[0] == '\\' || isWindowsDriveLetter(input))
        return std::nullopt;
    if (input.find_first_of("?#") != std::string::npos)
        return std::nullopt;
    std::vector<std::string> path;
    for (std::size_t start = 1; start <= baseFolder.size();) {
        const std::size_t slash = baseFolder.find('/', start);
        path.emplace_back(baseFolder.substr(start, slash - start));
        start = slash == std::string_view::npos ? baseFolder.size() + 1 : slash + 1;
    }
    const auto lower = [](std::string text) {
        for (char& c : text)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        return text;
    };
    for (std::size_t start = 0; start <= input.size();) {
        const std::size_t end = input.find_first_of("/\\", start);
        const std::string segment = input.substr(start, end == std::string::npos ? std::string::npos : end - start);
        const std::string folded = lower(segment);
        const bool last = end == std::string::npos;
        if (folded == ".." || folded == ".%2e" || folded == "%2e." || folded == "%2e%2e") {
            if (!path.empty())
                path.pop_back();
            if (last)
                path.emplace_back();
        } else if (folded == "." || folded == "%2e") {
            if (last)
                path.emplace_back();
        } else {
            if (path.empty() && isWindowsDriveLetter(segment) && segment.size() == 2)
                return std::nullopt;
            path.push_back(segment);
        }
        start = last ? input.size() + 1 : end + 1;
    }
    std::string resolved;
    for (const std::string& segment : path)
        resolved += "/" + segment;
    return resolved;
}

// Whether a name can stand below the report's folder, told by looking for the parts a path
// may not have ("", "." and "..") with the name between slashes.
bool namesAFileBelowTheRoot(const std::string& name)
{
    const std::string wrapped = "/" + name + "/";
    return name.find('\0') == std::string::npos && wrapped.find("//") == std::string::npos &&
           wrapped.find("/./") == std::string::npos && wrapped.find("/../") == std::string::npos;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string name(reinterpret_cast<const char*>(data), size);
    const std::string root = "/root";
    listgen::FileFacts facts;
    facts.size = size;
    facts.md5.fill('7');
    std::string row;
    listgen::File(row, root + "/" + name, root, facts);

    require(row.ends_with("</td></tr>\r\n"));
    for (std::size_t at = 0; at + 2 < row.size(); ++at) {
        const auto byte = static_cast<unsigned char>(row[at]);
        require(byte >= 0x20 && byte < 0x7F);
    }
    constexpr std::string_view kOpen = "<tr><td><a href=\"";
    require(row.starts_with(kOpen));
    const std::size_t targetEnd = row.find('"', kOpen.size());
    require(targetEnd != std::string::npos && row.compare(targetEnd, 2, "\">") == 0);
    const std::string_view target = std::string_view(row).substr(kOpen.size(), targetEnd - kOpen.size());
    std::string href;
    require(listgen::unescapeText(target, href));
    require(percentDecoded(href) == name);

    const std::size_t textStart = targetEnd + 2;
    const std::size_t textEnd = row.find("</a></td><td>", textStart);
    require(textEnd != std::string::npos);
    // A name is marked when, and only when, it is not in NFC; no other markup is in the text.
    std::string_view text = std::string_view(row).substr(textStart, textEnd - textStart);
    constexpr std::string_view kMarkStart = "<mark title=\"not in Unicode normalisation form C\">";
    constexpr std::string_view kMarkEnd = "</mark>";
    const bool marked = text.starts_with(kMarkStart) && text.ends_with(kMarkEnd);
    require(marked == !listgen::unnormalisedCharacters(name).empty());
    if (marked)
        text = text.substr(kMarkStart.size(), text.size() - kMarkStart.size() - kMarkEnd.size());
    std::string shown;
    require(listgen::unescapeText(text, shown));
    for (std::size_t at = 0; at < shown.size();) {
        const std::size_t length = listgen::utf8SequenceLength(shown, at);
        require(length > 0);
        require(!listgen::isInvisible(listgen::utf8CodePoint(std::string_view(shown).substr(at, length))));
        at += length;
    }

    // A row of a name that no walk gives is refused as such when read back, never taken.
    listgen::ReportRow read;
    const listgen::RowReading reading = listgen::readRow(std::string_view(row).substr(0, row.size() - 2), read);
    if (!namesAFileBelowTheRoot(name)) {
        require(reading == listgen::RowReading::ImpossiblePath);
        return 0;
    }
    require(reading == listgen::RowReading::Row);
    require(read.relName == name && read.facts.size == facts.size && read.facts.md5 == facts.md5);
    const std::optional<std::string> resolved = resolveAgainstFilePage(href, root);
    require(resolved.has_value() && percentDecoded(*resolved) == root + "/" + name);
    return 0;
}
