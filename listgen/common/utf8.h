#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace listgen {

// Length of the well-formed UTF-8 sequence that starts at `at`, or 0 when the byte there
// does not begin one (overlong forms, surrogates and values past U+10FFFF are rejected).
std::size_t utf8SequenceLength(std::string_view text, std::size_t at) noexcept;

// The code point of a sequence that utf8SequenceLength accepted.
char32_t utf8CodePoint(std::string_view sequence) noexcept;

bool isControlCharacter(char32_t codePoint) noexcept;

// The marks and isolates that reorder the text around them, so "a\u202Etxt.exe" can show as "aexe.txt".
bool isBidiControl(char32_t codePoint) noexcept;

// Appends the UTF-8 form of a code point.
void appendUtf8(std::string& out, char32_t codePoint);

} // namespace listgen
