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

} // namespace

void appendManifestLine(std::string& out, std::string_view relName, const Md5Hex& md5)
{
    const bool escaped = needsEscaping(relName);
    if (escaped)
        out += '\\';
    out.append(md5.data(), md5.size());
    out += "  ";
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

bool readManifestLine(std::string_view line, std::string& relName, Md5Hex& md5)
{
    const bool escaped = line.starts_with('\\');
    if (escaped)
        line.remove_prefix(1);
    if (line.size() < md5.size() + 2 || line[md5.size()] != ' ' || (line[md5.size() + 1] != ' ' && line[md5.size() + 1] != '*'))
        return false;
    for (std::size_t i = 0; i < md5.size(); ++i) {
        if (!isHexDigit(line[i]))
            return false;
        md5[i] = static_cast<char>(line[i] >= 'A' && line[i] <= 'F' ? line[i] + ('a' - 'A') : line[i]);
    }
    relName.clear();
    const std::string_view name = line.substr(md5.size() + 2);
    for (std::size_t at = 0; at < name.size(); ++at) {
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

} // namespace listgen
