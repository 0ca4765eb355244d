#include "listgen/report/html_text.h"

#include "listgen/common/hex.h"
#include "listgen/common/unicode_text.h"
#include "listgen/common/utf8.h"

#include <utility>

namespace listgen {

namespace {

constexpr std::pair<char, std::string_view> kEntities[] = {
    {'&', "&amp;"}, {'<', "&lt;"}, {'>', "&gt;"}, {'"', "&quot;"}};

constexpr char32_t kReplacement = 0xFFFD;

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

void appendNumericReference(std::string& out, char32_t codePoint)
{
    char digits[8];
    int count = 0;
    do {
        digits[count++] = hexDigit(codePoint & 0xF, HexCase::Upper);
        codePoint >>= 4;
    } while (codePoint != 0);
    out += "&#x";
    while (count > 0)
        out += digits[--count];
    out += ';';
}

// The length of the reference at the start of `text` and the code point it stands for, or 0.
std::size_t referenceAt(std::string_view text, char32_t& codePoint)
{
    for (const auto& [value, entity] : kEntities) {
        if (text.starts_with(entity)) {
            codePoint = static_cast<unsigned char>(value);
            return entity.size();
        }
    }
    if (!text.starts_with("&#x"))
        return 0;
    char32_t value = 0;
    std::size_t at = 3;
    for (; at < text.size() && at < 10; ++at) {
        const int digit = hexDigitValue(text[at], HexCase::Upper);
        if (digit < 0)
            break;
        value = value * 16 + static_cast<char32_t>(digit);
    }
    if (at == 3 || at >= text.size() || text[at] != ';' || value == 0 || value > 0x10FFFF ||
        (value >= 0xD800 && value <= 0xDFFF))
        return 0;
    codePoint = value;
    return at + 1;
}

void appendPercentEncoded(std::string& out, unsigned char byte)
{
    out += '%';
    appendHexByte(out, byte, HexCase::Upper);
}

// Characters a URL parser reads as more than part of a file name: a scheme or a Windows drive
// (":" "|"), a query, a fragment, an escape, a separator ("\" in file URLs), controls.
bool needsPercentEncoding(unsigned char byte, TextForm form)
{
    if (byte < 0x20 || byte == 0x7F || byte == '%' || byte == '#' || byte == '?' || byte == '\\')
        return true;
    return form != TextForm::Utf8 && (byte >= 0x80 || byte == ':' || byte == '|');
}

// Shows text with each code point that must not show as itself replaced by U+FFFD.
void appendShown(std::string& out, std::string_view text, TextForm form, bool (*hidden)(char32_t))
{
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8SequenceLength(text, at);
        const char32_t codePoint = length == 0 ? kReplacement : utf8CodePoint(text.substr(at, length));
        const char32_t shown = hidden(codePoint) ? kReplacement : codePoint;
        at += length == 0 ? 1 : length;
        if (shown < 0x80) {
            if (!appendEntity(out, static_cast<char>(shown)))
                out += static_cast<char>(shown);
        } else if (form != TextForm::Utf8) {
            appendNumericReference(out, shown);
        } else {
            appendUtf8(out, shown);
        }
    }
}

bool hiddenInAscii(char32_t codePoint)
{
    return isControlCharacter(codePoint) || isBidiControl(codePoint);
}

bool hiddenInUtf8Text(char32_t codePoint)
{
    return isControlCharacter(codePoint);
}

bool hiddenInUtf8Title(char32_t)
{
    return false;
}

} // namespace

void appendEscaped(std::string& out, std::string_view text, TextForm form)
{
    appendShown(out, text, form, form == TextForm::Utf8 ? hiddenInUtf8Title : hiddenInAscii);
}

void appendLinkTarget(std::string& out, std::string_view path, TextForm form)
{
    // Browsers trim spaces at either end of a link, so those are encoded too.
    const std::size_t firstKept = form != TextForm::Utf8 ? path.find_first_not_of(' ') : 0;
    const std::size_t lastKept = form != TextForm::Utf8 ? path.find_last_not_of(' ') : path.size();
    for (std::size_t at = 0; at < path.size();) {
        const std::size_t length = utf8SequenceLength(path, at);
        const auto byte = static_cast<unsigned char>(path[at]);
        const bool trimmedSpace = byte == ' ' && (at < firstKept || at > lastKept);
        if (length != 1 || needsPercentEncoding(byte, form) || trimmedSpace) {
            const std::size_t end = at + (length == 0 ? 1 : length);
            for (; at < end; ++at) {
                if (form == TextForm::Utf8 && length > 1)
                    out += path[at];
                else
                    appendPercentEncoded(out, static_cast<unsigned char>(path[at]));
            }
            continue;
        }
        if (!appendEntity(out, path[at]))
            out += path[at];
        ++at;
    }
}

void appendUrl(std::string& out, std::string_view url)
{
    for (const char c : url) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte <= ' ' || byte >= 0x7F)
            appendPercentEncoded(out, byte);
        else if (!appendEntity(out, c))
            out += c;
    }
}

void appendLinkText(std::string& out, std::string_view path, TextForm form)
{
    switch (form) {
    case TextForm::Ascii: {
        // The same name in NFC would look just like it, so it is marked with markup no name can make.
        const bool marked = !unnormalisedCharacters(path).empty();
        if (marked)
            out += "<mark title=\"not in Unicode normalisation form C\">";
        appendShown(out, path, form, isInvisible);
        if (marked)
            out += "</mark>";
        return;
    }
    case TextForm::AsciiBefore1_1: appendShown(out, path, form, hiddenInAscii); return;
    case TextForm::Utf8: appendShown(out, path, form, hiddenInUtf8Text); return;
    }
}

bool unescapeText(std::string_view text, std::string& plain)
{
    plain.clear();
    for (std::size_t at = 0; at < text.size();) {
        const char c = text[at];
        if (c == '<' || c == '>' || c == '"')
            return false;
        if (c != '&') {
            plain += c;
            ++at;
            continue;
        }
        char32_t codePoint = 0;
        const std::size_t length = referenceAt(text.substr(at), codePoint);
        if (length == 0)
            return false;
        appendUtf8(plain, codePoint);
        at += length;
    }
    return true;
}

bool decodeLinkTarget(std::string_view target, std::string& path)
{
    std::string unescaped;
    if (!unescapeText(target, unescaped))
        return false;
    path.clear();
    for (std::size_t at = 0; at < unescaped.size();) {
        if (unescaped[at] != '%') {
            path += unescaped[at++];
            continue;
        }
        if (at + 2 >= unescaped.size())
            return false;
        const int high = hexDigitValue(unescaped[at + 1], HexCase::Upper);
        const int low = hexDigitValue(unescaped[at + 2], HexCase::Upper);
        if (high < 0 || low < 0)
            return false;
        path += static_cast<char>(high * 16 + low);
        at += 3;
    }
    return true;
}

} // namespace listgen
