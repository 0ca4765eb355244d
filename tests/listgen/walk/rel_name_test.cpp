#include "listgen/walk/rel_name.h"

#include <gtest/gtest.h>

using listgen::relName;

TEST(RelName, DropsTheRootAndOneSeparator)
{
    EXPECT_EQ(relName("/data/sub/a b.txt", "/data"), "sub/a b.txt");
    EXPECT_EQ(relName("/data//a.txt", "/data/"), "a.txt");
    EXPECT_EQ(relName("//x.txt", "/"), "x.txt");
    EXPECT_EQ(relName("rel/dir/f", "rel"), "dir/f");
    EXPECT_EQ(relName("/data/back\\slash", "/data"), "back\\slash");
}
