#include "listgen/common/utf8.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

using listgen::utf8CodePoint;
using listgen::utf8SequenceLength;

TEST(Utf8, AcceptsEveryLengthUpToItsLimitsAndGivesTheCodePoint)
{
    const struct {
        std::string bytes;
        char32_t codePoint;
    } cases[] = {
        {"\x01", 0x01},
        {"\x7F", 0x7F},
        {"\xC2\x80", 0x80},
        {"\xDF\xBF", 0x7FF},
        {"\xE0\xA0\x80", 0x800},
        {"\xED\x9F\xBF", 0xD7FF},
        {"\xEE\x80\x80", 0xE000},
        {"\xEF\xBF\xBF", 0xFFFF},
        {"\xF0\x90\x80\x80", 0x10000},
        {"\xF4\x8F\xBF\xBF", 0x10FFFF},
    };
    for (const auto& [bytes, codePoint] : cases) {
        const std::string text = "ab" + bytes + "\x80";
        ASSERT_EQ(utf8SequenceLength(text, 2), bytes.size()) << std::hex << static_cast<std::uint32_t>(codePoint);
        EXPECT_EQ(utf8CodePoint(bytes), codePoint) << std::hex << static_cast<std::uint32_t>(codePoint);
    }
}

TEST(Utf8, RejectsOverlongsSurrogatesTooHighTruncatedAndStrayBytes)
{
    const struct {
        std::string bytes;
        const char* what;
    } cases[] = {
        {"\xC0\x80", "overlong NUL"},
        {"\xC1\xBF", "overlong U+7F"},
        {"\xE0\x80\x80", "overlong in three bytes"},
        {"\xE0\x9F\xBF", "overlong U+7FF"},
        {"\xF0\x80\x80\x80", "overlong in four bytes"},
        {"\xF0\x8F\xBF\xBF", "overlong U+FFFF"},
        {"\xED\xA0\x80", "surrogate U+D800"},
        {"\xED\xBF\xBF", "surrogate U+DFFF"},
        {"\xF4\x90\x80\x80", "U+110000"},
        {"\xF5\x80\x80\x80", "lead byte past U+10FFFF"},
        {"\xF8\x88\x80\x80\x80", "five-byte form"},
        {"\xFF", "byte 0xFF"},
        {"\xC2", "two bytes cut after one"},
        {"\xE6\x97", "three bytes cut after two"},
        {"\xF0\x9F\x98", "four bytes cut after three"},
        {"\xE6\x97" "A", "three bytes with ASCII as the last"},
        {"\xF0\x9F\x98" "A", "four bytes with ASCII as the last"},
        {"\xC2" "A", "two bytes with ASCII as the second"},
        {"\xE6\xC2\xA5", "a lead byte as a continuation"},
        {"\x80", "stray continuation 0x80"},
        {"\xBF\xBF", "stray continuation 0xBF"},
    };
    for (const auto& [bytes, what] : cases)
        EXPECT_EQ(utf8SequenceLength(bytes, 0), 0U) << what;
}
