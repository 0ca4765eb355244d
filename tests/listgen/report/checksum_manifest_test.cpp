#include "listgen/report/checksum_manifest.h"

#include <gtest/gtest.h>

using listgen::ManifestLine;
using listgen::UnmarkedLines;

namespace {

const std::string kHex = "0123456789abcdef0123456789abcdef";

template <typename Hex>
Hex hexOf(const std::string& text)
{
    Hex hex;
    std::copy(text.begin(), text.end(), hex.begin());
    return hex;
}

// The name a line holds, "#" for a line that holds nothing, "!" for one md5sum -c would not
// read, "?" for a digest of another kind; its digest must be kHex (MD5) or kHex twice (SHA-256).
std::string nameIn(std::string_view line, UnmarkedLines& unmarked)
{
    std::string name;
    listgen::ManifestDigest digest;
    switch (listgen::readManifestLine(line, unmarked, name, digest)) {
    case ManifestLine::Nothing: return "#";
    case ManifestLine::Malformed: return "!";
    case ManifestLine::OtherDigest: return "?";
    case ManifestLine::Checksum: break;
    }
    EXPECT_EQ(digest.hex, digest.kind == listgen::DigestKind::Md5 ? kHex : kHex + kHex) << line;
    return digest.kind == listgen::DigestKind::Md5 ? name : "sha256:" + name;
}

std::string nameIn(std::string_view line)
{
    UnmarkedLines unmarked = UnmarkedLines::Undecided;
    return nameIn(line, unmarked);
}

} // namespace

TEST(ChecksumManifest, WritesLinesAsMd5sumDoesAndReadsThemBack)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"sub/a b.txt", kHex + "  sub/a b.txt\n"},
        {"back\\slash", "\\" + kHex + "  back\\\\slash\n"},
        {"new\nline\r", "\\" + kHex + "  new\\nline\\r\n"},
        {"日本語 *x", kHex + "  日本語 *x\n"},
        {"*star", kHex + "  *star\n"},
        {" blank", kHex + "   blank\n"},
        // md5sum -c reads "-" as standard input.
        {"-", kHex + "  ./-\n"},
        {"sub/-", kHex + "  sub/-\n"},
    };
    for (const auto& [name, line] : cases) {
        std::string written;
        listgen::appendManifestLine(written, name, hexOf<listgen::Md5Hex>(kHex));
        EXPECT_EQ(written, line);
        const std::string read = nameIn(std::string_view(written).substr(0, written.size() - 1));
        EXPECT_EQ(read, name == "-" ? "./-" : name);
    }
    std::string written;
    listgen::appendManifestLine(written, "-", hexOf<listgen::Sha256Hex>(kHex + kHex));
    EXPECT_EQ(written, kHex + kHex + "  ./-\n");
}

TEST(ChecksumManifest, ReadsEveryFormMd5sumAndSha256sumReadAndRefusesTheRest)
{
    const std::string upper = "0123456789ABCDEF0123456789ABCDEF";
    const std::string sha = kHex + kHex;
    const std::vector<std::pair<std::string, std::string>> cases = {
        {kHex + " *binary", "binary"},
        {upper + "  upper", "upper"},
        {" \t" + kHex + "  after blanks", "after blanks"},
        {kHex + "\t tab", "tab"},
        {kHex + "  trailing  ", "trailing  "},
        {kHex + "  ", " "},
        {"MD5 (sub/p(q)) = " + kHex, "sub/p(q)"},
        {"MD5(x) =" + kHex, "x"},
        {"MD5 (x)\t=\t" + upper, "x"},
        {"MD5 (a) = b) = " + kHex, "a) = b"},
        {"\\MD5 (new\\nline) = " + kHex, "new\nline"},
        {"  \\" + kHex + "  c\\\\d", "c\\d"},
        {"MD5 (raw\\n) = " + kHex, "raw\\n"},
        {"", "#"},
        {"# a comment", "#"},
        {sha + "  plain", "sha256:plain"},
        {sha + " *binary", "sha256:binary"},
        {"SHA256 (tagged) = " + sha, "sha256:tagged"},
        {"\\SHA256 (new\\nline) = " + sha, "sha256:new\nline"},
        {"SHA1 (x) = " + kHex.substr(0, 40 - 32) + kHex, "?"},
        {"SHA512 (x) = " + sha + sha, "?"},
        {"BLAKE2b (x) = " + sha + sha, "?"},
        {kHex + kHex.substr(0, 8) + "  sha1", "?"},
        {sha + sha + "  sha512", "?"},
    };
    for (const auto& [line, name] : cases)
        EXPECT_EQ(nameIn(line), name) << line;
    for (const std::string& bad : std::vector<std::string>{
             kHex + "x  a", kHex.substr(1) + "  a", kHex.substr(1) + "g  a", "\\" + kHex + "  a\\q", "\\" + kHex + "  a\\",
             " #" + kHex + "  a", "   ", "MD5 (x) = " + kHex + " ", "MD5\t(x) = " + kHex, "md5 (x) = " + kHex,
             "MD5 (x) = " + kHex + kHex, "SHA256 (x) = " + kHex, "MD5 x = " + kHex, "MD5 () = " + kHex,
             kHex + "  a" + std::string(1, '\0') + "b", kHex.substr(0, 31) + "  odd"})
        EXPECT_EQ(nameIn(bad), "!") << bad;
}

TEST(ChecksumManifest, LinesWithOneBlankAndNoMarkAreReadOnlyWithoutMarkedOnes)
{
    UnmarkedLines unmarked = UnmarkedLines::Undecided;
    EXPECT_EQ(nameIn(kHex + " plain", unmarked), "plain");
    EXPECT_EQ(nameIn("MD5 (tagged) = " + kHex, unmarked), "tagged");
    // Once unmarked, a leading blank or star belongs to the name.
    EXPECT_EQ(nameIn(kHex + "  spaced", unmarked), " spaced");
    EXPECT_EQ(nameIn(kHex + " *starred", unmarked), "*starred");

    unmarked = UnmarkedLines::Undecided;
    EXPECT_EQ(nameIn(kHex + "  marked", unmarked), "marked");
    EXPECT_EQ(nameIn(kHex + " plain", unmarked), "!");
    // A one-letter rest is a name, never a mark.
    unmarked = UnmarkedLines::Undecided;
    EXPECT_EQ(nameIn(kHex + " *", unmarked), "*");
}
