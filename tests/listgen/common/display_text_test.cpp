#include "listgen/common/display_text.h"

#include <gtest/gtest.h>

#include <utility>

TEST(DisplayText, EscapesWhatCouldMoveHideOrImpersonateAName)
{
    const std::pair<std::string_view, std::string_view> cases[] = {
        {"plain 日本語.txt", "plain 日本語.txt"},
        {"\x1b[2Jclear\x7F", "\\x1B[2Jclear\\x7F"},
        {"bad\xFF", "bad\\xFF"},
        {"c1\xC2\x85", "c1\\xC2\\x85"},
        {"invoice\u202Efdp.exe", "invoice\\xE2\\x80\\xAEfdp.exe"},
        // Names that look like "ab" and "xx" in print.
        {"a\u200Bb", "a\\xE2\\x80\\x8Bb"},
        {"x\u00ADx", "x\\xC2\\xADx"},
        // Not in NFC, as macOS writes names: the marks that NFC joins show, the letters stay.
        {"cafe\u0301.txt", "cafe\\xCC\\x81.txt"},
        {"caf\u00E9 \u304C.txt", "caf\u00E9 \u304C.txt"},
        {"\u304B\u3099", "\u304B\\xE3\\x82\\x99"},
        // A backslash is doubled, so the name "a\x01" never prints like a name holding byte 0x01.
        {"a\\x01", "a\\\\x01"},
    };
    for (const auto& [name, shown] : cases)
        EXPECT_EQ(listgen::displayText(name), shown) << shown;
}
