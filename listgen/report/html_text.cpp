#include "listgen/report/html_text.h"

#include "listgen/common/hex.h"
#include "listgen/common/utf8.h"

#include <utility>

namespace listgen {

namespace {

constexpr std::pair<char, std::string_view> kEntities[] = {
    {'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'"', "&quot;"}};

bool appendEntity(std::string& out, char c)
{
    for (const auto& [character, entity] : kEntities) {
        if (c == character) {
            out += entity;
            return true;
        }
    }
    return false;
}

// The length of the entity at the start of `text`, 0 when it is none of those written.
std::size_t entityAt(std::string_view text, char& character)
{
    for (const auto& [value, entity] : kEntities) {
        if (text.starts_with(entity)) {
            character = value;
            return entity.size();
        }
    }
    return 0;
}

bool isMarkup(char c)
{
    return c == '<' || c == '>' || c == '"';
}

void appendPercentEncoded(std::string& out, unsigned char byte)
{
    out += '%';
    appendHexByte(out, byte, HexCase::Upper);
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

bool unescapeText(std::string_view text, std::string& plain)
{
    plain.clear();
    for (std::size_t at = 0; at < text.size();) {
        if (isMarkup(text[at]))
            return false;
        if (text[at] != '&') {
            plain += text[at++];
            continue;
        }
        char character = 0;
        const std::size_t length = entityAt(text.substr(at), character);
        if (length == 0)
            return false;
        plain += character;
        at += length;
    }
    return true;
}

bool decodeLinkTarget(std::string_view target, std::string& path)
{
    path.clear();
    for (std::size_t at = 0; at < target.size();) {
        if (target[at] == '%') {
            if (at + 2 >= target.size())
                return false;
            const int high = hexDigitValue(target[at + 1], HexCase::Upper);
            const int low = hexDigitValue(target[at + 2], HexCase::Upper);
            if (high < 0 || low < 0)
                return false;
            path += static_cast<char>(high * 16 + low);
            at += 3;
            continue;
        }
        if (target[at] == '&') {
            char character = 0;
            const std::size_t length = entityAt(target.substr(at), character);
            if (length == 0)
                return false;
            path += character;
            at += length;
            continue;
        }
        path += target[at++];
    }
    return true;
}

} // namespace listgen
