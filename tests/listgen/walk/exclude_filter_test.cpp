#include "listgen/walk/exclude_filter.h"

#include "temp_folder.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

using listgen::ExcludeFilter;

namespace {

// Which of `paths` the filter leaves out, each with a trailing slash where it names a folder.
std::string excluded(const ExcludeFilter& filter, const std::vector<std::string>& paths)
{
    std::string text;
    for (const std::string& path : paths) {
        const bool folder = path.ends_with('/');
        if (filter.excludes(folder ? path.substr(0, path.size() - 1) : path, folder))
            text += path + " ";
    }
    return text;
}

} // namespace

// Patterns match as git matches .gitignore lines: without a slash a name at any depth, with
// one from the root, a trailing slash folders only, "**" any number of folders, the last
// matching pattern decides and "!" takes entries back.
TEST(ExcludeFilter, MatchesAsGitMatchesGitignoreLines)
{
    const std::vector<std::tuple<std::vector<listgen::ExcludePattern>, std::vector<std::string>, std::string>> cases = {
        {{"*.tmp", "cache", "[0-9]?"},
         {"deep/down/a.tmp", "cache/", "sub/7x", "a.tmp.keep", "caches/"},
         "deep/down/a.tmp cache/ sub/7x "},
        {{"build/*", "/top", "./docs/*.pdf", "logs/"},
         {"build/out", "src/build/out", "top", "sub/top", "docs/a.pdf", "docs/old/a.pdf", "a/logs/", "a/logs"},
         "build/out top docs/a.pdf a/logs/ "},
        {{"**/build", "docs/**", "a/**/z.txt"},
         {"build/", "x/y/build/", "docs/any/depth.txt", "a/z.txt", "a/b/c/z.txt", "b/a/z.txt", "x/builds/"},
         "build/ x/y/build/ docs/any/depth.txt a/z.txt a/b/c/z.txt "},
        {{"*.log", "!keep.log", "!old/", "old/", "\\!literal"},
         {"a.log", "keep.log", "sub/keep.log", "old/", "!literal", "literal"},
         "a.log old/ !literal "},
    };
    for (const auto& [patterns, paths, expected] : cases)
        EXPECT_EQ(excluded(ExcludeFilter(patterns), paths), expected) << patterns.front().text;
    // A path below a folder left out is left out, and nothing below it comes back.
    const ExcludeFilter folders({"cache", "build/*", "logs/"});
    for (const auto& [path, out] : std::vector<std::pair<std::string, bool>>{
             {"x/cache/y/z.txt", true}, {"x/caches/y/z.txt", false}, {"build/out/deep/file", true},
             {"x/logs/today", true}, {"x/logs", false}})
        EXPECT_EQ(folders.excludesPath(path), out) << path;
    EXPECT_TRUE(ExcludeFilter({"logs/", "!logs/keep.log"}).excludesPath("logs/keep.log"));
    EXPECT_FALSE(ExcludeFilter().excludesPath("anything"));
}

TEST(ExcludeFilter, KnowsWhichPatternsNeverMatchedAcrossCopiesButThoseFromFiles)
{
    const ExcludeFilter filter({"*.tmp", "never", "build/", {"from-a-file", true}});
    const ExcludeFilter copy = filter;
    EXPECT_EQ(excluded(copy, {"x.tmp", "build"}), "x.tmp ");
    EXPECT_EQ(filter.unused(), (std::vector<std::string>{"never", "build/"}));
}

TEST(ExcludeFilter, PatternFilesReadAsGitReadsGitignore)
{
    testing_support::TempFolder folder;
    testing_support::writeFile(folder / "patterns", "# comment\n\n*.tmp  \r\nspace\\ \n\\#hash\n!keep.tmp\n");
    std::vector<std::string> texts;
    for (const listgen::ExcludePattern& pattern : listgen::readExcludeFile(folder / "patterns")) {
        EXPECT_TRUE(pattern.fromFile);
        texts.push_back(pattern.text);
    }
    EXPECT_EQ(texts, (std::vector<std::string>{"*.tmp", "space\\ ", "\\#hash", "!keep.tmp"}));
    EXPECT_EQ(excluded(ExcludeFilter({texts.begin(), texts.end()}), {"a.tmp", "keep.tmp", "space ", "#hash"}),
              "a.tmp space  #hash ");
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
    EXPECT_EQ(excluded(filter, {deep + "xx", deep + "zz", deep + "yy", "yy"}), deep + "zz " + deep + "yy yy ");
}
