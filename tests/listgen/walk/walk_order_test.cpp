#include "listgen/walk/list_folder.h"
#include "listgen/walk/walk_order.h"

#include "temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

TEST(WalkOrder, SortsPathsExactlyAsTheWalkReachesThem)
{
    testing_support::TempFolder tree;
    for (const char* name : {"b/Z/1", "b/a", "B", "a/x/y/z", "a/x/w", "a/X", "A", "_", "c.TXT", "b/Z/0", "b/z2/q"})
        testing_support::writeFile(tree / name, "x");
    listgen::ListFolder walk(tree.path().string());
    listgen::Entry entry;
    std::vector<std::string> walked;
    while (walk.next(entry))
        walked.push_back(entry.path.substr(tree.path().string().size() + 1));
    std::vector<std::string> sorted = walked;
    std::reverse(sorted.begin(), sorted.end());
    std::sort(sorted.begin(), sorted.end(), listgen::walkOrderLess);
    EXPECT_EQ(sorted, walked);
}
