#include "listgen/walk/exclude_filter.h"

#include <gtest/gtest.h>

using listgen::ExcludeFilter;

namespace {

constexpr bool kFolder = true;
constexpr bool kFile = false;

} // namespace

TEST(ExcludeFilter, PatternsWithoutSlashMatchNamesAtAnyDepth)
{
    const ExcludeFilter filter({"*.tmp", "cache", "[0-9]?"});
    EXPECT_TRUE(filter.excludes("deep/down/a.tmp", kFile));
    EXPECT_TRUE(filter.excludes("cache", kFolder));
    EXPECT_TRUE(filter.excludes("sub/7x", kFile));
    EXPECT_FALSE(filter.excludes("a.tmp.keep", kFile));
    EXPECT_FALSE(filter.excludes("caches", kFolder));
    EXPECT_TRUE(filter.excludesPath("x/cache/y/z.txt"));
    EXPECT_FALSE(filter.excludesPath("x/caches/y/z.txt"));
}

TEST(ExcludeFilter, SlashesAnchorAtTheRootAndATrailingSlashMeansFoldersOnly)
{
    const ExcludeFilter filter({"build/*", "/top", "./docs/*.pdf", "logs/"});
    EXPECT_TRUE(filter.excludes("build/out", kFile));
    EXPECT_FALSE(filter.excludes("src/build/out", kFile));
    EXPECT_TRUE(filter.excludes("top", kFile));
    EXPECT_FALSE(filter.excludes("sub/top", kFile));
    EXPECT_TRUE(filter.excludes("docs/a.pdf", kFile));
    EXPECT_FALSE(filter.excludes("docs/old/a.pdf", kFile));
    EXPECT_TRUE(filter.excludes("a/logs", kFolder));
    EXPECT_FALSE(filter.excludes("a/logs", kFile));
    EXPECT_TRUE(filter.excludesPath("build/out/deep/file"));
    EXPECT_TRUE(filter.excludesPath("x/logs/today"));
    EXPECT_FALSE(filter.excludesPath("x/logs"));
    EXPECT_FALSE(ExcludeFilter().excludesPath("anything"));
}

TEST(ExcludeFilter, DoubleStarMatchesAnyNumberOfFolders)
{
    const ExcludeFilter filter({"**/build", "docs/**", "a/**/z.txt"});
    EXPECT_TRUE(filter.excludes("build", kFolder));
    EXPECT_TRUE(filter.excludes("x/y/build", kFolder));
    EXPECT_TRUE(filter.excludes("docs/any/depth.txt", kFile));
    EXPECT_TRUE(filter.excludes("a/z.txt", kFile));
    EXPECT_TRUE(filter.excludes("a/b/c/z.txt", kFile));
    EXPECT_FALSE(filter.excludes("b/a/z.txt", kFile));
    EXPECT_FALSE(filter.excludes("x/builds", kFolder));
}

TEST(ExcludeFilter, KnowsWhichPatternsNeverMatchedAcrossCopies)
{
    const ExcludeFilter filter({"*.tmp", "never", "build/"});
    const ExcludeFilter copy = filter;
    EXPECT_TRUE(copy.excludes("x.tmp", kFile));
    EXPECT_FALSE(copy.excludes("build", kFile));
    EXPECT_EQ(filter.unused(), (std::vector<std::string>{"never", "build/"}));
}

TEST(ExcludeFilter, RepeatedDoubleStarsNeitherChangeNorSlowTheMatch)
{
    std::string deep;
    for (int depth = 0; depth < 60; ++depth)
        deep.append("d").append(std::to_string(depth)).append("/");
    std::string many;
    for (int i = 0; i < 40'000; ++i)
        many += "**/";
    const ExcludeFilter filter({"**/**/**/**/**/**/zz", many + "yy"});
    EXPECT_FALSE(filter.excludes(deep + "xx", kFile));
    EXPECT_TRUE(filter.excludes(deep + "zz", kFile));
    EXPECT_TRUE(filter.excludes(deep + "yy", kFile));
    EXPECT_TRUE(filter.excludes("yy", kFile));
}
