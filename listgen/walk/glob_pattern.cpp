#include "listgen/walk/glob_pattern.h"

#include "listgen/walk/star_match.h"

#include <array>
#include <cstddef>

namespace listgen {

namespace {

constexpr std::size_t kNoMatch = kNoStep;

// The classes of the C locale; -1 for a name that is none.
int inClass(std::string_view name, unsigned char c)
{
    const bool upper = c >= 'A' && c <= 'Z';
    const bool lower = c >= 'a' && c <= 'z';
    const bool digit = c >= '0' && c <= '9';
    const bool print = c >= 0x20 && c < 0x7F;
    if (name == "alpha") return upper || lower;
    if (name == "digit") return digit;
    if (name == "alnum") return upper || lower || digit;
    if (name == "upper") return upper;
    if (name == "lower") return lower;
    if (name == "space") return c == ' ' || (c >= '\t' && c <= '\r');
    if (name == "blank") return c == ' ' || c == '\t';
    if (name == "xdigit") return digit || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
    if (name == "punct") return print && c != ' ' && !upper && !lower && !digit;
    if (name == "print") return print;
    if (name == "graph") return print && c != ' ';
    if (name == "cntrl") return c < 0x20 || c == 0x7F;
    return -1;
}

enum class Bracket { Matched, Unmatched, Ill, Unterminated };

// One element of a bracket expression at pattern[i]: a byte (escaped or not), a one-byte
// collating symbol [.c.] or equivalence class [=c=]; sets `value` and moves `i` past it.
bool bracketByte(std::string_view pattern, std::size_t& i, unsigned char& value, Bracket& error, bool rangeEnd)
{
    if (pattern[i] == '\\') {
        if (++i >= pattern.size()) {
            error = Bracket::Ill;
            return false;
        }
    } else if (pattern[i] == '[' && i + 1 < pattern.size() &&
               (pattern[i + 1] == '.' || (pattern[i + 1] == '=' && !rangeEnd))) {
        const char kind = pattern[i + 1];
        const char closing[] = {kind, ']', '\0'};
        const std::size_t close = pattern.find(closing, i + 2);
        if (kind == '.' && (close == std::string_view::npos || close != i + 3)) {
            error = Bracket::Ill;
            return false;
        }
        if (kind == '.' || close == i + 3) {
            value = static_cast<unsigned char>(pattern[i + 2]);
            i += 5;
            return true;
        }
    }
    value = static_cast<unsigned char>(pattern[i++]);
    return true;
}

// Skips the rest of a bracket expression whose element matched.
Bracket skipBracket(std::string_view pattern, std::size_t& i)
{
    for (;;) {
        if (i >= pattern.size())
            return Bracket::Unterminated;
        const char c = pattern[i++];
        if (c == ']')
            return Bracket::Matched;
        if (c == '\\') {
            if (i >= pattern.size())
                return Bracket::Ill;
            ++i;
        } else if (c == '[' && i < pattern.size() && pattern[i] == ':') {
            std::size_t end = i + 1;
            while (end < pattern.size() && pattern[end] >= 'a' && pattern[end] < 'z')
                ++end;
            if (end + 1 < pattern.size() && pattern[end] == ':' && pattern[end + 1] == ']')
                i = end + 2;
        } else if (c == '[' && i < pattern.size() && pattern[i] == '=') {
            if (i + 3 >= pattern.size() || pattern[i + 2] != '=' || pattern[i + 3] != ']')
                return Bracket::Ill;
            i += 4;
        } else if (c == '[' && i < pattern.size() && pattern[i] == '.') {
            const std::size_t close = pattern.find(".]", i + 1);
            if (close == std::string_view::npos)
                return Bracket::Ill;
            i = close + 2;
        }
    }
}

// Matches one byte against the bracket expression that opens at pattern[p], element by
// element as glibc does; on a match `next` is the place after the expression.
Bracket matchBracket(std::string_view pattern, std::size_t p, unsigned char c, std::size_t& next)
{
    std::size_t i = p + 1;
    const bool negated = i < pattern.size() && (pattern[i] == '!' || pattern[i] == '^');
    if (negated)
        ++i;
    bool matched = false;
    for (bool first = true; !matched; first = false) {
        if (i >= pattern.size())
            return Bracket::Unterminated;
        if (pattern[i] == ']' && !first) {
            next = i + 1;
            return negated ? Bracket::Matched : Bracket::Unmatched;
        }
        if (pattern[i] == '[' && i + 1 < pattern.size() && pattern[i + 1] == ':') {
            std::size_t end = i + 2;
            while (end < pattern.size() && pattern[end] >= 'a' && pattern[end] < 'z')
                ++end;
            if (end + 1 < pattern.size() && pattern[end] == ':' && pattern[end + 1] == ']') {
                const int member = inClass(pattern.substr(i + 2, end - i - 2), c);
                if (member < 0)
                    return Bracket::Ill;
                matched = member == 1;
                i = end + 2;
                continue;
            }
        }
        Bracket error = Bracket::Ill;
        unsigned char low = 0;
        // An equivalence class stands alone; it never starts a range.
        const bool equivalence = pattern[i] == '[' && i + 1 < pattern.size() && pattern[i + 1] == '=';
        if (!bracketByte(pattern, i, low, error, false))
            return error;
        unsigned char high = low;
        if (!(equivalence && pattern[i - 1] == ']') && i < pattern.size() && pattern[i] == '-' &&
            (i + 1 >= pattern.size() || pattern[i + 1] != ']')) {
            if (++i >= pattern.size())
                return Bracket::Ill;
            if (!bracketByte(pattern, i, high, error, true))
                return error;
        }
        matched = c >= low && c <= high;
    }
    if (const Bracket skipped = skipBracket(pattern, i); skipped != Bracket::Matched)
        return skipped;
    next = i;
    return negated ? Bracket::Unmatched : Bracket::Matched;
}

// Matches one byte against the single-byte item at pattern[p]; returns the place after it.
// An item that is ill-formed matches nothing.
std::size_t matchOne(std::string_view pattern, std::size_t p, unsigned char c)
{
    switch (pattern[p]) {
    case '?':
        return p + 1;
    case '\\':
        if (p + 1 < pattern.size())
            return static_cast<unsigned char>(pattern[p + 1]) == c ? p + 2 : kNoMatch;
        return kNoMatch;
    case '[': {
        std::size_t next = kNoMatch;
        switch (matchBracket(pattern, p, c, next)) {
        case Bracket::Matched: return next;
        case Bracket::Unterminated: return c == '[' ? p + 1 : kNoMatch;
        default: return kNoMatch;
        }
    }
    default:
        return static_cast<unsigned char>(pattern[p]) == c ? p + 1 : kNoMatch;
    }
}

} // namespace

bool globMatches(std::string_view pattern, std::string_view text) noexcept
{
    return starMatch(
        pattern.size(), text.size(), [&](std::size_t p) { return pattern[p] == '*'; },
        [&](std::size_t p, std::size_t t) { return matchOne(pattern, p, static_cast<unsigned char>(text[t])); });
}

} // namespace listgen
