#include "listgen/report/checksum_manifest.h"

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

bool readDigest(std::string_view text, Md5Hex& md5)
{
    if (text.size() < md5.size())
        return false;
    for (std::size_t i = 0; i < md5.size(); ++i) {
        if (!isHexDigit(text[i]))
            return false;
        md5[i] = static_cast<char>(text[i] >= 'A' && text[i] <= 'F' ? text[i] + ('a' - 'A') : text[i]);
    }
    return true;
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

// "(<path>) = <digest>", after "MD5 ": the path ends at the last ")".
bool readTaggedLine(std::string_view rest, bool escaped, std::string& relName, Md5Hex& md5)
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
    return rest.size() - at == md5.size() && readDigest(rest.substr(at), md5);
}

} // namespace

void appendManifestLine(std::string& out, std::string_view relName, const Md5Hex& md5)
{
    const bool escaped = needsEscaping(relName);
    if (escaped)
        out += '\\';
    out.append(md5.data(), md5.size());
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

ManifestLine readManifestLine(std::string_view line, UnmarkedLines& unmarked, std::string& relName, Md5Hex& md5)
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
    if (rest.starts_with("MD5")) {
        rest.remove_prefix(3);
        if (rest.starts_with(' '))
            rest.remove_prefix(1);
        if (!rest.starts_with('('))
            return ManifestLine::Malformed;
        return readTaggedLine(rest.substr(1), escaped, relName, md5) ? ManifestLine::Checksum : ManifestLine::Malformed;
    }
    if (!readDigest(rest, md5) || rest.size() == md5.size() || !isBlank(rest[md5.size()]))
        return ManifestLine::Malformed;
    rest.remove_prefix(md5.size() + 1);
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
