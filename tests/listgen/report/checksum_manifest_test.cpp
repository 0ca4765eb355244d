#include "listgen/report/checksum_manifest.h"

#include <gtest/gtest.h>

namespace {

const listgen::Md5Hex kDigest = [] {
    listgen::Md5Hex digest;
    const std::string_view text = "0123456789abcdef0123456789abcdef";
    std::copy(text.begin(), text.end(), digest.begin());
    return digest;
}();

} // namespace

TEST(ChecksumManifest, WritesLinesAsMd5sumDoesAndReadsThemBack)
{
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"sub/a b.txt", "0123456789abcdef0123456789abcdef  sub/a b.txt\n"},
        {"back\\slash", "\\0123456789abcdef0123456789abcdef  back\\\\slash\n"},
        {"new\nline\r", "\\0123456789abcdef0123456789abcdef  new\\nline\\r\n"},
        {"日本語 *x", "0123456789abcdef0123456789abcdef  日本語 *x\n"},
    };
    for (const auto& [name, line] : cases) {
        std::string written;
        listgen::appendManifestLine(written, name, kDigest);
        EXPECT_EQ(written, line);
        std::string read;
        listgen::Md5Hex digest{};
        ASSERT_TRUE(listgen::readManifestLine(std::string_view(written).substr(0, written.size() - 1), read, digest));
        EXPECT_EQ(read, name);
        EXPECT_EQ(digest, kDigest);
    }
    std::string name;
    listgen::Md5Hex digest{};
    for (const char* bad : {"0123456789abcdef0123456789abcdef a", "0123456789abcdef0123456789abcde  a",
                            "\\0123456789abcdef0123456789abcdef  a\\q", "0123456789abcdef0123456789abcdeg  a",
                            "0123456789abcdef0123456789abcdef  "})
        EXPECT_FALSE(listgen::readManifestLine(bad, name, digest)) << bad;
}
