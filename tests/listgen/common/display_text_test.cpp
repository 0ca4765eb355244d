#include "listgen/common/display_text.h"

#include <gtest/gtest.h>

using listgen::displayText;

TEST(DisplayText, EscapesWhatCouldMoveHideOrImpersonateAName)
{
    EXPECT_EQ(displayText("plain 日本語.txt"), "plain 日本語.txt");
    EXPECT_EQ(displayText("\x1b[2Jclear\x7F"), "\\x1B[2Jclear\\x7F");
    EXPECT_EQ(displayText("bad\xFF"), "bad\\xFF");
    EXPECT_EQ(displayText("c1\xC2\x85"), "c1\\xC2\\x85");
    EXPECT_EQ(displayText("invoice\u202Efdp.exe"), "invoice\\xE2\\x80\\xAEfdp.exe");
    // A backslash is doubled, so the name "a\x01" never prints like a name holding byte 0x01.
    EXPECT_EQ(displayText("a\\x01"), "a\\\\x01");
    EXPECT_NE(displayText("a\\x01"), displayText("a\x01"));
}
