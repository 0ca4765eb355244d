#include "listgen/common/display_text.h"

#include "listgen/common/hex.h"
#include "listgen/common/unicode_text.h"
#include "listgen/common/utf8.h"

namespace listgen {

std::string displayText(std::string_view text, bool asciiOnly)
{
    const auto unnormalised = unnormalisedCharacters(text);
    auto nextUnnormalised = unnormalised.begin();
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = utf8SequenceLength(text, at);
        if (text[at] == '\\') {
            shown += "\\\\";
            ++at;
            continue;
        }
        while (nextUnnormalised != unnormalised.end() && nextUnnormalised->second <= at)
            ++nextUnnormalised;
        const bool joinsInNfc = nextUnnormalised != unnormalised.end() && nextUnnormalised->first <= at;
        const char32_t codePoint = length > 0 ? utf8CodePoint(text.substr(at, length)) : 0;
        if (length > 0 && !isInvisible(codePoint) && !joinsInNfc && !(asciiOnly && length > 1)) {
            shown.append(text.substr(at, length));
            at += length;
            continue;
        }
        const std::size_t end = at + (length > 0 ? length : 1);
        for (; at < end; ++at) {
            shown += "\\x";
            appendHexByte(shown, static_cast<unsigned char>(text[at]), HexCase::Upper);
        }
    }
    return shown;
}

} // namespace listgen
