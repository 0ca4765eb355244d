// Any byte string can be a file name: the rendered row must stay valid UTF-8, show the name
// without raw markup or control characters, and link to exactly the name's bytes with nothing
// a browser would read as a fragment, a query or a separator.
#include "listgen/report/report_format.h"
#include "listgen/common/utf8.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

bool isValidUtf8(std::string_view text)
{
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = listgen::utf8SequenceLength(text, at);
        if (length == 0)
            return false;
        at += length;
    }
    return true;
}

std::string unescape(std::string_view text)
{
    static constexpr std::pair<std::string_view, char> kEntities[] = {
        {"&amp;", '&'}, {"&lt;", '<'}, {"&gt;", '>'}, {"&quot;", '"'}};
    std::string plain;
    for (std::size_t at = 0; at < text.size();) {
        if (text[at] != '&') {
            plain += text[at++];
            continue;
        }
        bool known = false;
        for (const auto& [entity, character] : kEntities) {
            if (text.substr(at, entity.size()) == entity) {
                plain += character;
                at += entity.size();
                known = true;
                break;
            }
        }
        require(known);
    }
    return plain;
}

int hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    require(c >= 'A' && c <= 'F');
    return c - 'A' + 10;
}

std::string percentDecode(std::string_view text)
{
    std::string bytes;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '%') {
            bytes += text[at];
            continue;
        }
        require(at + 2 < text.size());
        bytes += static_cast<char>(hexValue(text[at + 1]) * 16 + hexValue(text[at + 2]));
        at += 2;
    }
    return bytes;
}

void checkLinkText(std::string_view linkText)
{
    for (std::size_t at = 0; at < linkText.size();) {
        const std::size_t length = listgen::utf8SequenceLength(linkText, at);
        const char32_t codePoint = listgen::utf8CodePoint(linkText.substr(at, length));
        require(codePoint != '<' && codePoint != '>' && codePoint != '"' && !listgen::isControlCharacter(codePoint));
        at += length;
    }
    unescape(linkText);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string name(reinterpret_cast<const char*>(data), size);
    const std::string root = "/root";
    listgen::FileFacts facts;
    facts.size = size;
    std::string row;
    listgen::File(row, root + "/" + name, root, facts);

    require(isValidUtf8(row));
    constexpr std::string_view kOpen = "<tr><td><a href=\"";
    require(row.starts_with(kOpen));
    const std::size_t targetEnd = row.find('"', kOpen.size());
    require(targetEnd != std::string::npos && row.compare(targetEnd, 2, "\">") == 0);
    const std::string_view target = std::string_view(row).substr(kOpen.size(), targetEnd - kOpen.size());
    const std::string unescapedTarget = unescape(target);
    for (const char c : unescapedTarget) {
        const auto byte = static_cast<unsigned char>(c);
        require(byte >= 0x20 && byte != 0x7F && c != '#' && c != '?' && c != '\\');
    }
    require(percentDecode(unescapedTarget) == name);

    const std::size_t textStart = targetEnd + 2;
    const std::size_t textEnd = row.find("</a></td><td>", textStart);
    require(textEnd != std::string::npos);
    checkLinkText(std::string_view(row).substr(textStart, textEnd - textStart));
    require(row.ends_with("</td></tr>\r\n"));
    return 0;
}
