#include "listgen/common/utf8.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using listgen::utf8CodePoint;
using listgen::utf8SequenceLength;

// Every length up to its limits gives its code point; overlongs, surrogates, code points above
// U+10FFFF, truncated sequences and stray bytes are no sequence at all (code point 0 here).
TEST(Utf8, AcceptsEveryLengthUpToItsLimitsAndRejectsEveryMalformedSequence)
{
    const std::pair<std::string, char32_t> cases[] = {
        {"\x01", 0x01}, {"\x7F", 0x7F}, {"\xC2\x80", 0x80}, {"\xDF\xBF", 0x7FF}, {"\xE0\xA0\x80", 0x800},
        {"\xED\x9F\xBF", 0xD7FF}, {"\xEE\x80\x80", 0xE000}, {"\xEF\xBF\xBF", 0xFFFF}, {"\xF0\x90\x80\x80", 0x10000},
        {"\xF4\x8F\xBF\xBF", 0x10FFFF},
        {"\xC0\x80", 0}, {"\xC1\xBF", 0}, {"\xE0\x80\x80", 0}, {"\xE0\x9F\xBF", 0}, {"\xF0\x80\x80\x80", 0},
        {"\xF0\x8F\xBF\xBF", 0}, {"\xED\xA0\x80", 0}, {"\xED\xBF\xBF", 0}, {"\xF4\x90\x80\x80", 0},
        {"\xF5\x80\x80\x80", 0}, {"\xF8\x88\x80\x80\x80", 0}, {"\xFF", 0}, {"\xC2", 0}, {"\xE6\x97", 0},
        {"\xF0\x9F\x98", 0}, {"\xE6\x97" "A", 0}, {"\xF0\x9F\x98" "A", 0}, {"\xC2" "A", 0}, {"\xE6\xC2\xA5", 0},
        {"\x80", 0}, {"\xBF\xBF", 0},
    };
    for (const auto& [bytes, codePoint] : cases) {
        // A continuation byte after a whole sequence is not part of it.
        const std::string text = "ab" + bytes + (codePoint == 0 ? "" : "\x80");
        const std::size_t length = utf8SequenceLength(text, 2);
        ASSERT_EQ(length, codePoint == 0 ? 0 : bytes.size()) << ::testing::PrintToString(bytes);
        EXPECT_EQ(length > 0 ? utf8CodePoint(bytes) : 0, codePoint) << std::hex << static_cast<std::uint32_t>(codePoint);
    }
}
