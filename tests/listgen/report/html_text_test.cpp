#include "listgen/report/html_text.h"

#include <gtest/gtest.h>

#include <string>

using listgen::TextForm;
using namespace std::string_literals;

namespace {

std::string linkTarget(std::string_view name, TextForm form = TextForm::Ascii)
{
    std::string out;
    listgen::appendLinkTarget(out, name, form);
    return out;
}

std::string linkText(std::string_view name, TextForm form = TextForm::Ascii)
{
    std::string out;
    listgen::appendLinkText(out, name, form);
    return out;
}

std::string escaped(std::string_view text, TextForm form = TextForm::Ascii)
{
    std::string out;
    listgen::appendEscaped(out, text, form);
    return out;
}

} // namespace

TEST(HtmlText, TextIsPureAsciiWithMarkupAsEntitiesAndTheRestAsNumericReferences)
{
    EXPECT_EQ(escaped("a&b<c>d\"e'f g/h"), "a&amp;b&lt;c&gt;d&quot;e'f g/h");
    EXPECT_EQ(escaped("&amp;"), "&amp;amp;");
    EXPECT_EQ(escaped("日本語 é"), "&#x65E5;&#x672C;&#x8A9E; &#xE9;");
    EXPECT_EQ(escaped("\xF0\x9F\x98\x80"), "&#x1F600;");
    // Control characters in a title would break its line; they show as U+FFFD as in link text.
    EXPECT_EQ(escaped("line\r\nbreak\tbad\xFF"), "line&#xFFFD;&#xFFFD;break&#xFFFD;bad&#xFFFD;");
}

TEST(HtmlText, LinkTargetEncodesEverythingAUrlParserWouldReadOtherwise)
{
    EXPECT_EQ(linkTarget("sub/a b.txt"), "sub/a b.txt");
    EXPECT_EQ(linkTarget("a#b?c%d\\e"), "a%23b%3Fc%25d%5Ce");
    EXPECT_EQ(linkTarget("javascript:alert(1)"), "javascript%3Aalert(1)");
    EXPECT_EQ(linkTarget("C|/x"), "C%7C/x");
    EXPECT_EQ(linkTarget("Re: notes.eml"), "Re%3A notes.eml");
    EXPECT_EQ(linkTarget("  two ends  "), "%20%20two ends%20%20");
    EXPECT_EQ(linkTarget("x&<>\"y"), "x&amp;&lt;&gt;&quot;y");
    EXPECT_EQ(linkTarget("c\x01\x1F\x7F"), "c%01%1F%7F");
    EXPECT_EQ(linkTarget("日本/ü"), "%E6%97%A5%E6%9C%AC/%C3%BC");
    EXPECT_EQ(linkTarget("\xFF\xFE"), "%FF%FE");
    EXPECT_EQ(linkTarget("nul\0x"s), "nul%00x");
}

TEST(HtmlText, LinkTextShowsInvisibleCharactersAndMarksNamesNotInNfc)
{
    const std::string replacement = "&#xFFFD;";
    const std::string mark = "<mark title=\"not in Unicode normalisation form C\">";
    const std::pair<std::string_view, std::string> cases[] = {
        {"a b#%?\\:.txt", "a b#%?\\:.txt"},
        {"<script>&\"", "&lt;script&gt;&amp;&quot;"},
        {"bad\xFF\xFEname", "bad" + replacement + replacement + "name"},
        {"line\nbreak\x7F", "line" + replacement + "break" + replacement},
        {"c1\xC2\x85", "c1" + replacement},
        {"invoice\u202Efdp.exe", "invoice" + replacement + "fdp.exe"},
        {"\u2066\u061C", replacement + replacement},
        // Invisible otherwise: a zero-width space, a soft hyphen, a Hangul filler, a tag character.
        {"a\u200Bb", "a" + replacement + "b"},
        {"x\u00ADx", "x" + replacement + "x"},
        {"\u3164\U000E0041", replacement + replacement},
        {"caf\u00E9.txt", "caf&#xE9;.txt"},
        {"cafe\u0301.txt", mark + "cafe&#x301;.txt</mark>"},
    };
    for (const auto& [name, shown] : cases)
        EXPECT_EQ(linkText(name), shown) << name;
    // Version 1.0.0 showed only controls and bidirectional marks so, and marked nothing.
    EXPECT_EQ(linkText("a\u200Bb\u202E\x01" "cafe\u0301", TextForm::AsciiBefore1_1),
              "a&#x200B;b" + replacement + replacement + "cafe&#x301;");
}

TEST(HtmlText, UrlIsPercentEncodedAsUtf8BeyondPrintableAsciiAndKeepsItsSyntax)
{
    const auto url = [](std::string_view text) {
        std::string out;
        listgen::appendUrl(out, text);
        return out;
    };
    EXPECT_EQ(url("styles/é ü.css"), "styles/%C3%A9%20%C3%BC.css");
    EXPECT_EQ(url("日.css"), "%E6%97%A5.css");
    EXPECT_EQ(url("../a%20b.css?v=1#top"), "../a%20b.css?v=1#top");
    EXPECT_EQ(url("https://example.org/x.css"), "https://example.org/x.css");
    EXPECT_EQ(url("a&b<c>\"d'"), "a&amp;b&lt;c&gt;&quot;d'");
    EXPECT_EQ(url("tab\tline\r\n\x7F"), "tab%09line%0D%0A%7F");
    EXPECT_EQ(url("bad\xFF"), "bad%FF");
}

TEST(HtmlText, ReportsOfEarlierVersionsHeldRawUtf8)
{
    EXPECT_EQ(escaped("日本\x01", TextForm::Utf8), "日本\x01");
    EXPECT_EQ(linkTarget("日本 a:b\xFF", TextForm::Utf8), "日本 a:b%FF");
    EXPECT_EQ(linkText("日本\x01", TextForm::Utf8), "日本\xEF\xBF\xBD");
}

TEST(HtmlText, DecodingUndoesEveryFormAndRefusesStrayMarkup)
{
    for (const std::string name : {"日本 a:b#%?\\|\x01\xFF", "  x  ", "&<>\""}) {
        for (const TextForm form : {TextForm::Ascii, TextForm::Utf8}) {
            std::string decoded;
            ASSERT_TRUE(listgen::decodeLinkTarget(linkTarget(name, form), decoded));
            EXPECT_EQ(decoded, name);
        }
    }
    std::string plain;
    EXPECT_TRUE(listgen::unescapeText("&#x65E5;&amp;", plain));
    EXPECT_EQ(plain, "日&");
    for (const char* bad : {"a<b", "a\"b", "&nbsp;", "&#65;", "&#xD800;", "&#x110000;", "&#x;", "&#x41"})
        EXPECT_FALSE(listgen::unescapeText(bad, plain)) << bad;
}
