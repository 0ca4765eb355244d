#include "listgen/walk/name_order.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

TEST(NameOrder, FoldsAsciiCaseThenBreaksTiesByBytes)
{
    std::vector<std::string> names = {"c.TXT", "b.txt", "B.txt", "a", "A", ".hidden", "_x", "Z", "y", "日本", "é", "ab", "a0"};
    std::sort(names.begin(), names.end(), listgen::nameLess);
    // Lower-casing puts "_" (0x5F) before the letters, which it would not be after upper-casing.
    const std::vector<std::string> expected = {".hidden", "_x", "A", "a", "a0", "ab", "B.txt", "b.txt", "c.TXT", "y", "Z", "é", "日本"};
    EXPECT_EQ(names, expected);
}
