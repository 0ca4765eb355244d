#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace listgen {

// Characters that show as nothing or act on the text around them, so that two names differing
// only in them look alike: controls, format characters (bidirectional marks, zero-width spaces
// and joiners, the soft hyphen), line and paragraph separators, default-ignorable code points.
bool isInvisible(char32_t codePoint) noexcept;

// The byte spans [first, second) of the characters that normalisation form C would join or move
// (the combining marks of "e" U+0301, not the "e"): empty for text in NFC. Bytes that are not
// UTF-8 are left alone.
std::vector<std::pair<std::size_t, std::size_t>> unnormalisedCharacters(std::string_view text);

// `text` in normalisation form C; bytes that are not UTF-8 stay as they are.
std::string toNfc(std::string_view text);

// "NFC", "NFD" (as macOS writes names), or "mixed" for text in neither form.
std::string_view normalisationForm(std::string_view text);

} // namespace listgen
