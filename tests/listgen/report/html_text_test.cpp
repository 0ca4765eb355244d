#include "listgen/report/html_text.h"

#include <gtest/gtest.h>

#include <string>

using namespace std::string_literals;

namespace {

std::string linkTarget(std::string_view name)
{
    std::string out;
    listgen::appendLinkTarget(out, name);
    return out;
}

std::string linkText(std::string_view name)
{
    std::string out;
    listgen::appendLinkText(out, name);
    return out;
}

std::string escaped(std::string_view text)
{
    std::string out;
    listgen::appendEscaped(out, text);
    return out;
}

} // namespace

TEST(HtmlText, EscapesOnlyTheFourMarkupCharacters)
{
    EXPECT_EQ(escaped("a&b<c>d\"e'f g/h"), "a&amp;b&lt;c&gt;d&quot;e'f g/h");
    EXPECT_EQ(escaped("&amp;"), "&amp;amp;");
    EXPECT_EQ(escaped("日本語"), "日本語");
    EXPECT_EQ(escaped("tab\there"), "tab\there");
    EXPECT_EQ(escaped("bad\xFFz"), "bad\xEF\xBF\xBDz");
}

TEST(HtmlText, LinkTargetEncodesWhatWouldRedirectTheLink)
{
    EXPECT_EQ(linkTarget("sub/a b.txt"), "sub/a b.txt");
    EXPECT_EQ(linkTarget("a#b?c%d\\e"), "a%23b%3Fc%25d%5Ce");
    EXPECT_EQ(linkTarget("x&<>\"y"), "x&amp;&lt;&gt;&quot;y");
    EXPECT_EQ(linkTarget("c\x01\x1F\x7F"), "c%01%1F%7F");
    EXPECT_EQ(linkTarget("日本/ü"), "日本/ü");
    EXPECT_EQ(linkTarget("\xFF\xFE"), "%FF%FE");
    // Overlong "/", a lone continuation byte, a UTF-16 surrogate, a truncated sequence, past U+10FFFF.
    EXPECT_EQ(linkTarget("\xC0\xAF"), "%C0%AF");
    EXPECT_EQ(linkTarget("\x80"), "%80");
    EXPECT_EQ(linkTarget("\xED\xA0\x80"), "%ED%A0%80");
    EXPECT_EQ(linkTarget("\xE6\x97"), "%E6%97");
    EXPECT_EQ(linkTarget("\xF4\x90\x80\x80"), "%F4%90%80%80");
    EXPECT_EQ(linkTarget("\xF0\x9F\x98\x80"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(linkTarget("nul\0x"s), "nul%00x");
}

TEST(HtmlText, LinkTextShowsUnprintableBytesAsReplacementCharacters)
{
    const std::string replacement = "\xEF\xBF\xBD";
    EXPECT_EQ(linkText("a b#%?\\.txt"), "a b#%?\\.txt");
    EXPECT_EQ(linkText("<script>&\""), "&lt;script&gt;&amp;&quot;");
    EXPECT_EQ(linkText("bad\xFF\xFEname"), "bad" + replacement + replacement + "name");
    EXPECT_EQ(linkText("line\nbreak\x7F"), "line" + replacement + "break" + replacement);
    EXPECT_EQ(linkText("c1\xC2\x85"), "c1" + replacement);
    EXPECT_EQ(linkText("日本語.txt"), "日本語.txt");
}
