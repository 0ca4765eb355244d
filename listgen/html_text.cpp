#include "listgen/html_text.h"

#include "listgen/utf8.h"

namespace listgen {

namespace {

bool appendEntity(std::string& out, char c)
{
    switch (c) {
    case '&': out += "&amp;"; return true;
    case '<': out += "&lt;"; return true;
    case '>': out += "&gt;"; return true;
    case '"': out += "&quot;"; return true;
    default: return false;
    }
}

void appendPercentEncoded(std::string& out, unsigned char byte)
{
    static constexpr char kHex[] = "0123456789ABCDEF";
    out += '%';
    out += kHex[byte >> 4];
    out += kHex[byte & 0xF];
}

bool needsPercentEncoding(unsigned char byte)
{
    return byte < 0x20 || byte == 0x7F || byte == '%' || byte == '#' || byte == '?' || byte == '\\';
}

void appendText(std::string& out, std::string_view text, bool replaceControls)
{
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8SequenceLength(text, at);
        if (length == 0 || (replaceControls && isControlCharacter(utf8CodePoint(text.substr(at, length))))) {
            out += kReplacementCharacter;
            at += length == 0 ? 1 : length;
            continue;
        }
        if (length > 1 || !appendEntity(out, text[at]))
            out.append(text.substr(at, length));
        at += length;
    }
}

} // namespace

void appendEscaped(std::string& out, std::string_view text)
{
    appendText(out, text, false);
}

void appendLinkTarget(std::string& out, std::string_view path)
{
    for (std::size_t at = 0; at < path.size();) {
        const std::size_t length = utf8SequenceLength(path, at);
        const auto byte = static_cast<unsigned char>(path[at]);
        if (length == 0 || (length == 1 && needsPercentEncoding(byte))) {
            appendPercentEncoded(out, byte);
            ++at;
            continue;
        }
        if (length > 1 || !appendEntity(out, path[at]))
            out.append(path.substr(at, length));
        at += length;
    }
}

void appendLinkText(std::string& out, std::string_view path)
{
    appendText(out, path, true);
}

} // namespace listgen
