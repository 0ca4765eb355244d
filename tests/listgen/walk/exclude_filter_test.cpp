#include "listgen/walk/exclude_filter.h"

#include <gtest/gtest.h>

using listgen::ExcludeFilter;

TEST(ExcludeFilter, PatternsWithoutSlashMatchNamesAtAnyDepth)
{
    const ExcludeFilter filter({"*.tmp", "cache", "[0-9]?"});
    EXPECT_TRUE(filter.excludes("a.tmp", "deep/down/a.tmp"));
    EXPECT_TRUE(filter.excludes("cache", "cache"));
    EXPECT_TRUE(filter.excludes("7x", "sub/7x"));
    EXPECT_FALSE(filter.excludes("a.tmp.keep", "a.tmp.keep"));
    EXPECT_FALSE(filter.excludes("caches", "caches"));
    EXPECT_TRUE(filter.excludesPath("x/cache/y/z.txt"));
    EXPECT_FALSE(filter.excludesPath("x/caches/y/z.txt"));
}

TEST(ExcludeFilter, PatternsWithSlashMatchThePathFromTheRoot)
{
    const ExcludeFilter filter({"build/*", "docs/*.pdf"});
    EXPECT_TRUE(filter.excludes("out", "build/out"));
    EXPECT_FALSE(filter.excludes("out", "src/build/out"));
    EXPECT_TRUE(filter.excludes("a.pdf", "docs/a.pdf"));
    EXPECT_FALSE(filter.excludes("a.pdf", "docs/old/a.pdf"));
    EXPECT_TRUE(filter.excludesPath("build/out/deep/file"));
    EXPECT_FALSE(ExcludeFilter().excludesPath("anything"));
}
