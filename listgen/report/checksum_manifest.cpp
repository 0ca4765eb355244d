#include "listgen/report/checksum_manifest.h"

#include <algorithm>
#include <cctype>

namespace listgen {

namespace {

bool needsEscaping(std::string_view name)
{
    return name.find_first_of("\\\n\r") != std::string_view::npos;
}

bool isHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// md5sum's blanks: a space or a tab.
bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

constexpr std::size_t digestLength(DigestKind kind)
{
    return kind == DigestKind::Md5 ? kMd5HexLength : kSha256HexLength;
}

// SHA-1, SHA-224, SHA-384 and SHA-512 (or BLAKE2b): digests of kinds this tool does not compute.
bool isOtherDigestLength(std::size_t length)
{
    return length == 40 || length == 56 || length == 96 || length == 128;
}

// The hex digits at the start of `text`, lower-cased.
std::size_t readDigest(std::string_view text, std::string& hex)
{
    hex.clear();
    while (hex.size() < text.size() && isHexDigit(text[hex.size()])) {
        const char c = text[hex.size()];
        hex += static_cast<char>(c >= 'A' && c <= 'F' ? c + ('a' - 'A') : c);
    }
    return hex.size();
}

bool readName(std::string_view name, bool escaped, std::string& relName)
{
    relName.clear();
    for (std::size_t at = 0; at < name.size(); ++at) {
        if (name[at] == '\0')
            return false;
        if (!escaped || name[at] != '\\') {
            relName += name[at];
            continue;
        }
        if (++at == name.size())
            return false;
        switch (name[at]) {
        case '\\': relName += '\\'; break;
        case 'n': relName += '\n'; break;
        case 'r': relName += '\r'; break;
        default: return false;
        }
    }
    return !relName.empty();
}

// "(<path>) = <digest>", after the tag: the path ends at the last ")".
bool readTaggedLine(std::string_view rest, bool escaped, std::string& relName, ManifestDigest& digest)
{
    const std::size_t close = rest.rfind(')');
    if (close == std::string_view::npos || !readName(rest.substr(0, close), escaped, relName))
        return false;
    std::size_t at = close + 1;
    while (at < rest.size() && isBlank(rest[at]))
        ++at;
    if (at == rest.size() || rest[at] != '=')
        return false;
    ++at;
    while (at < rest.size() && isBlank(rest[at]))
        ++at;
    return rest.size() - at == digestLength(digest.kind) && readDigest(rest.substr(at), digest.hex) == digestLength(digest.kind);
}

// The tag of a --tag line ("MD5", "SHA256", "SHA1", ...) when `rest` starts with one and "(".
std::string_view tagOf(std::string_view rest)
{
    std::size_t end = 0;
    while (end < rest.size() && (std::isalnum(static_cast<unsigned char>(rest[end])) != 0 || rest[end] == '-'))
        ++end;
    std::size_t paren = end;
    if (paren < rest.size() && rest[paren] == ' ')
        ++paren;
    if (end == 0 || paren >= rest.size() || rest[paren] != '(')
        return {};
    // An upper-case digest before a name that starts with "(" is no tag.
    if (std::all_of(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(end), isHexDigit))
        return {};
    return rest.substr(0, end);
}

} // namespace

void appendManifestLine(std::string& out, std::string_view relName, std::string_view hexDigest)
{
    const bool escaped = needsEscaping(relName);
    if (escaped)
        out += '\\';
    out += hexDigest;
    out += "  ";
    if (relName == "-")
        out += "./";
    for (const char c : relName) {
        if (!escaped)
            out += c;
        else if (c == '\\')
            out += "\\\\";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\r')
            out += "\\r";
        else
            out += c;
    }
    out += '\n';
}

ManifestLine readManifestLine(std::string_view line, UnmarkedLines& unmarked, std::string& relName,
                              ManifestDigest& digest)
{
    if (line.empty() || line.starts_with('#'))
        return ManifestLine::Nothing;
    std::size_t at = 0;
    while (at < line.size() && isBlank(line[at]))
        ++at;
    const bool escaped = at < line.size() && line[at] == '\\';
    if (escaped)
        ++at;
    std::string_view rest = line.substr(at);
    if (const std::string_view tag = tagOf(rest); !tag.empty()) {
        // coreutils' tags start with a capital ("SHA1", "BLAKE2b"); "md5" is no tag at all.
        if (tag != "MD5" && tag != "SHA256")
            return tag[0] >= 'A' && tag[0] <= 'Z' ? ManifestLine::OtherDigest : ManifestLine::Malformed;
        digest.kind = tag == "MD5" ? DigestKind::Md5 : DigestKind::Sha256;
        rest.remove_prefix(tag.size());
        if (rest.starts_with(' '))
            rest.remove_prefix(1);
        return readTaggedLine(rest.substr(1), escaped, relName, digest) ? ManifestLine::Checksum : ManifestLine::Malformed;
    }
    const std::size_t length = readDigest(rest, digest.hex);
    if (length == rest.size() || !isBlank(rest[length]))
        return ManifestLine::Malformed;
    if (length != kMd5HexLength && length != kSha256HexLength)
        return isOtherDigestLength(length) ? ManifestLine::OtherDigest : ManifestLine::Malformed;
    digest.kind = length == kMd5HexLength ? DigestKind::Md5 : DigestKind::Sha256;
    rest.remove_prefix(length + 1);
    const bool marked = rest.size() > 1 && (rest[0] == ' ' || rest[0] == '*');
    if (!marked) {
        if (unmarked == UnmarkedLines::Refused)
            return ManifestLine::Malformed;
        unmarked = UnmarkedLines::Read;
    } else if (unmarked != UnmarkedLines::Read) {
        unmarked = UnmarkedLines::Refused;
        rest.remove_prefix(1);
    }
    return readName(rest, escaped, relName) ? ManifestLine::Checksum : ManifestLine::Malformed;
}

} // namespace listgen
