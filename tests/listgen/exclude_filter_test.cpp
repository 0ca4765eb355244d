#include "listgen/exclude_filter.h"
#include "listgen/list_folder.h"
#include "listgen/walk_order.h"

#include "temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sys/stat.h>

#include <filesystem>

using listgen::ExcludeFilter;

namespace fs = std::filesystem;

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

TEST(ExcludeFilter, WalkDoesNotEnterAnExcludedFolder)
{
    testing_support::TempFolder tree;
    fs::create_directories(tree / "keep/skip");
    fs::create_directories(tree / "skip");
    for (const char* name : {"keep/a", "keep/skip/b", "skip/c", "d.tmp", "e"})
        testing_support::writeFile(tree / name, name);
    listgen::ListFolder walk(tree.path().string(), ExcludeFilter({"skip", "*.tmp"}));
    ::chmod((tree / "skip").c_str(), 0);
    listgen::WalkItem item;
    std::string seen;
    while (walk.next(item))
        seen += item.path.substr(tree.path().string().size()) + (item.kind == listgen::WalkItem::Kind::File ? "\n" : " !\n");
    EXPECT_EQ(seen, "/keep/a\n/e\n");
}

TEST(WalkOrder, SortsPathsExactlyAsTheWalkReachesThem)
{
    testing_support::TempFolder tree;
    for (const char* name : {"b/Z/1", "b/a", "B", "a/x/y/z", "a/x/w", "a/X", "A", "_", "c.TXT", "b/Z/0", "b/z2/q"}) {
        fs::create_directories((tree.path() / name).parent_path());
        testing_support::writeFile(tree / name, "x");
    }
    listgen::ListFolder walk(tree.path().string());
    listgen::WalkItem item;
    std::vector<std::string> walked;
    while (walk.next(item))
        walked.push_back(item.path.substr(tree.path().string().size() + 1));
    std::vector<std::string> sorted = walked;
    std::reverse(sorted.begin(), sorted.end());
    std::sort(sorted.begin(), sorted.end(), listgen::walkOrderLess);
    EXPECT_EQ(sorted, walked);
}
