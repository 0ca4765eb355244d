#include "listgen/report/html_text.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

using listgen::TextForm;
using namespace std::literals;

namespace {

using Writer = std::function<void(std::string&, std::string_view, TextForm)>;
const Writer kText = [](std::string& out, std::string_view text, TextForm form) { listgen::appendEscaped(out, text, form); };
const Writer kTarget = [](std::string& out, std::string_view name, TextForm form) { listgen::appendLinkTarget(out, name, form); };
const Writer kShown = [](std::string& out, std::string_view name, TextForm form) { listgen::appendLinkText(out, name, form); };
const Writer kUrl = [](std::string& out, std::string_view url, TextForm) { listgen::appendUrl(out, url); };

std::string written(const Writer& writer, std::string_view text, TextForm form = TextForm::Ascii)
{
    std::string out;
    writer(out, text, form);
    return out;
}

} // namespace

// Text is pure ASCII, markup as entities; a link target encodes all a URL parser would read
// otherwise; a link text shows invisible characters as U+FFFD and marks names not in NFC; a URL
// is percent-encoded as UTF-8 and keeps its syntax. Reports of earlier versions held raw UTF-8.
TEST(HtmlText, WritesEachKindOfTextInItsOwnForm)
{
    const std::string ufffd = "&#xFFFD;";
    const std::string mark = "<mark title=\"not in Unicode normalisation form C\">";
    const struct {
        const Writer& writer;
        std::string_view text;
        std::string written;
        TextForm form = TextForm::Ascii;
    } cases[] = {
        {kText, "a&b<c>d\"e'f g/h", "a&amp;b&lt;c&gt;d&quot;e'f g/h"},
        {kText, "&amp;", "&amp;amp;"},
        {kText, "日本語 é", "&#x65E5;&#x672C;&#x8A9E; &#xE9;"},
        {kText, "\xF0\x9F\x98\x80", "&#x1F600;"},
        {kText, "line\r\nbreak\tbad\xFF", "line" + ufffd + ufffd + "break" + ufffd + "bad" + ufffd},
        {kText, "日本\x01", "日本\x01", TextForm::Utf8},
        {kTarget, "sub/a b.txt", "sub/a b.txt"},
        {kTarget, "a#b?c%d\\e", "a%23b%3Fc%25d%5Ce"},
        {kTarget, "javascript:alert(1)", "javascript%3Aalert(1)"},
        {kTarget, "C|/x", "C%7C/x"},
        {kTarget, "  two ends  ", "%20%20two ends%20%20"},
        {kTarget, "x&<>\"y", "x&amp;&lt;&gt;&quot;y"},
        {kTarget, "c\x01\x1F\x7F", "c%01%1F%7F"},
        {kTarget, "日本/ü", "%E6%97%A5%E6%9C%AC/%C3%BC"},
        {kTarget, "\xFF\xFE", "%FF%FE"},
        {kTarget, "nul\0x"sv, "nul%00x"},
        {kTarget, "日本 a:b\xFF", "日本 a:b%FF", TextForm::Utf8},
        {kShown, "a b#%?\\:.txt", "a b#%?\\:.txt"},
        {kShown, "<script>&\"", "&lt;script&gt;&amp;&quot;"},
        {kShown, "bad\xFF\xFEname", "bad" + ufffd + ufffd + "name"},
        {kShown, "line\nbreak\x7F", "line" + ufffd + "break" + ufffd},
        {kShown, "c1\xC2\x85", "c1" + ufffd},
        {kShown, "invoice\u202Efdp.exe", "invoice" + ufffd + "fdp.exe"},
        {kShown, "\u2066\u061C", ufffd + ufffd},
        // Invisible otherwise: a zero-width space, a soft hyphen, a Hangul filler, a tag character.
        {kShown, "a\u200Bb", "a" + ufffd + "b"},
        {kShown, "x\u00ADx", "x" + ufffd + "x"},
        {kShown, "\u3164\U000E0041", ufffd + ufffd},
        {kShown, "caf\u00E9.txt", "caf&#xE9;.txt"},
        {kShown, "cafe\u0301.txt", mark + "cafe&#x301;.txt</mark>"},
        // Version 1.0.0 showed only controls and bidirectional marks so, and marked nothing.
        {kShown, "a\u200Bb\u202E\x01" "cafe\u0301", "a&#x200B;b" + ufffd + ufffd + "cafe&#x301;", TextForm::AsciiBefore1_1},
        {kShown, "日本\x01", "日本\xEF\xBF\xBD", TextForm::Utf8},
        {kUrl, "styles/é ü.css", "styles/%C3%A9%20%C3%BC.css"},
        {kUrl, "../a%20b.css?v=1#top", "../a%20b.css?v=1#top"},
        {kUrl, "https://example.org/x.css", "https://example.org/x.css"},
        {kUrl, "a&b<c>\"d'", "a&amp;b&lt;c&gt;&quot;d'"},
        {kUrl, "tab\tline\r\n\x7F", "tab%09line%0D%0A%7F"},
        {kUrl, "bad\xFF", "bad%FF"},
    };
    for (const auto& each : cases)
        EXPECT_EQ(written(each.writer, each.text, each.form), each.written) << each.text;
}

TEST(HtmlText, DecodingUndoesEveryFormAndRefusesStrayMarkup)
{
    for (const std::string name : {"日本 a:b#%?\\|\x01\xFF", "  x  ", "&<>\""}) {
        for (const TextForm form : {TextForm::Ascii, TextForm::Utf8}) {
            std::string decoded;
            ASSERT_TRUE(listgen::decodeLinkTarget(written(kTarget, name, form), decoded));
            EXPECT_EQ(decoded, name);
        }
    }
    std::string plain;
    EXPECT_TRUE(listgen::unescapeText("&#x65E5;&amp;", plain));
    EXPECT_EQ(plain, "日&");
    for (const char* bad : {"a<b", "a\"b", "&nbsp;", "&#65;", "&#xD800;", "&#x110000;", "&#x;", "&#x41"})
        EXPECT_FALSE(listgen::unescapeText(bad, plain)) << bad;
}
