#include "listgen/common/unicode_text.h"
#include "listgen/common/utf8.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>
#include <vector>

namespace {

// One column of the conformance file: code points in hex, separated by spaces.
std::string utf8Column(const std::string& column)
{
    std::istringstream hex(column);
    std::string text;
    for (std::string codePoint; hex >> codePoint;)
        listgen::appendUtf8(text, static_cast<char32_t>(std::stoul(codePoint, nullptr, 16)));
    return text;
}

} // namespace

// Unicode's own conformance file is the oracle: NFC of columns 1 to 3 is column 2, of 4 and 5
// column 4; column 3 is NFD.
TEST(UnicodeText, NormalisesAsTheStandardsConformanceTestSays)
{
    const std::unique_ptr<FILE, int (*)(FILE*)> lines(
        ::popen("bzcat " VASKEREL_UNICODE_DATA "/NormalizationTest.txt.bz2", "r"), ::pclose);
    ASSERT_TRUE(lines);
    std::vector<std::string> wrong;
    int checked = 0;
    for (char buffer[2048]; std::fgets(buffer, sizeof buffer, lines.get()) != nullptr;) {
        if (buffer[0] == '#' || buffer[0] == '@')
            continue;
        std::istringstream fields(buffer);
        std::string column[5];
        for (std::string& text : column) {
            std::getline(fields, text, ';');
            text = utf8Column(text);
        }
        const bool right = listgen::toNfc(column[0]) == column[1] && listgen::toNfc(column[1]) == column[1] &&
                           listgen::toNfc(column[2]) == column[1] && listgen::toNfc(column[3]) == column[3] &&
                           listgen::toNfc(column[4]) == column[3] &&
                           listgen::unnormalisedCharacters(column[0]).empty() == (column[0] == column[1]) &&
                           listgen::normalisationForm(column[2]) == (column[2] == column[1] ? "NFC" : "NFD");
        if (!right && wrong.size() < 10)
            wrong.emplace_back(buffer);
        ++checked;
    }
    EXPECT_GT(checked, 19000);
    EXPECT_EQ(wrong, std::vector<std::string>());
}
