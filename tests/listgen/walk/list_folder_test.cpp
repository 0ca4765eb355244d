#include "listgen/walk/list_folder.h"
#include "listgen/common/system_error.h"

#include "child_process.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <string>

using listgen::ListFolder;
using listgen::Entry;
using namespace testing_support;

namespace fs = std::filesystem;

namespace {

// What is left of a walk, one line per item: its path below the root (or its name alone), and
// for an item that could not be listed, the reason.
std::string restOf(ListFolder& walk, std::size_t rootLength, bool namesOnly = false)
{
    std::string text;
    Entry entry;
    while (walk.next(entry)) {
        text += namesOnly ? std::string(entry.name()) : entry.path.substr(rootLength);
        if (entry.kind != Entry::Kind::File)
            text.append(" ").append(entry.reason.message());
        text += '\n';
    }
    return text;
}

std::string walkText(const std::string& root, listgen::ExcludeFilter excludes = {})
{
    ListFolder walk(root, std::move(excludes));
    return restOf(walk, root.size());
}

} // namespace

// Names sort with ASCII case folded, ties broken by bytes; folding to lower case puts "_" (0x5F)
// before the letters, which folding to upper case would not.
TEST(ListFolder, SubfoldersComeFirstEachWalkedWholeThenTheFolderFiles)
{
    TempFolder tree;
    fs::create_directories(tree / "empty");
    for (const char* name : {"z.txt", "B.txt", "b.txt", "c.TXT", ".hidden", "_x", "é", "日本", "a0", "A/one", "b/two",
                             "b/inner/three"})
        writeFile(tree / name, name);
    EXPECT_EQ(walkText(tree.path().string() + "/"),
              "/A/one\n/b/inner/three\n/b/two\n/.hidden\n/_x\n/a0\n/B.txt\n/b.txt\n/c.TXT\n/z.txt\n/é\n/日本\n");
}

TEST(ListFolder, ListsLinksToFilesButNeitherEntersNorListsOtherSpecialEntries)
{
    TempFolder tree;
    writeFile(tree / "real/target", "data");
    fs::create_symlink("real/target", tree / "file-link");
    fs::create_directory_symlink("real", tree / "folder-link");
    fs::create_directory_symlink("..", tree / "real/loop");
    fs::create_symlink("nowhere", tree / "broken-link");
    ASSERT_EQ(::mkfifo((tree / "fifo").c_str(), 0644), 0);
    // A broken link is given, so that hashing it can tell why it cannot be read.
    EXPECT_EQ(walkText(tree.path().string()), "/real/target\n/broken-link\n/file-link\n");
}

TEST(ListFolder, WalksAThousandLevelsDeepWithFewDescriptors)
{
    TempFolder tree;
    makeDeepTree(tree.path().string(), "level-" + std::string(40, 'd'), 1000, "bottom");
    writeFile(tree / "top", "y");
    const auto result = runInChild(
        [&] {
            ListFolder walk(tree.path().string());
            return restOf(walk, 0, true);
        },
        {.openFiles = 32});
    EXPECT_EQ(result.output, "bottom\ntop\n");
}

TEST(ListFolder, FolderSwappedForALinkMidWalkCannotLeadOutOfTheTree)
{
    TempFolder tree;
    writeFile(tree / "private/deeper/secret", "s");
    writeFile(tree / "in/sub/a/first", "f");
    writeFile(tree / "in/sub/deeper/own", "o");
    ListFolder walk(tree / "in");
    Entry entry;
    ASSERT_TRUE(walk.next(entry));
    ASSERT_EQ(entry.path, tree / "in/sub/a/first");
    fs::rename(tree / "in/sub", tree / "elsewhere");
    fs::create_directory_symlink(tree / "private", tree / "in/sub");
    EXPECT_EQ(restOf(walk, 0, true), "own\n");
}

// A chain deeper than the folders the walk keeps open, and a walk of it at its bottom file.
ListFolder walkToTheBottomOfAChain(const TempFolder& tree)
{
    std::string chain = tree.path().string();
    for (int depth = 0; depth < 12; ++depth) {
        chain += "/d" + std::to_string(depth);
        fs::create_directory(chain);
        writeFile(chain + "/f", "f");
    }
    ListFolder walk(tree.path().string());
    Entry entry;
    EXPECT_TRUE(walk.next(entry));
    EXPECT_EQ(entry.path, chain + "/f");
    return walk;
}

// d2 moves to the root while the walk is below it, where d1 and d0 were given up: it loses only
// itself. Where d1 is replaced too, the new d1 is not listed, but its parent is.
TEST(ListFolder, AFolderMovedOrReplacedMidWalkLosesOnlyItself)
{
    for (const bool replaced : {false, true}) {
        TempFolder tree;
        ListFolder walk = walkToTheBottomOfAChain(tree);
        fs::rename(tree / "d0/d1/d2", tree / "d2-moved");
        if (replaced) {
            fs::rename(tree / "d0/d1", tree / "d1-moved");
            writeFile(tree / "d0/d1/impostor", "i");
        }
        const std::string rest = restOf(walk, tree.path().string().size());
        EXPECT_EQ(rest.find("moved"), std::string::npos) << rest;
        EXPECT_EQ(rest.find("impostor"), std::string::npos) << rest;
        EXPECT_NE(rest.find(replaced ? "/d0/d1 MovedWhileListed\n/d0/f\n" : "/d0/d1/f\n/d0/f\n"), std::string::npos) << rest;
    }
}

TEST(ListFolder, RecordsAnUnlistableSubfolderAndGoesOn)
{
    TempFolder tree;
    tree.openToEveryone();
    writeFile(tree / "closed/secret", "s");
    writeFile(tree / "open", "o");
    ::chmod((tree / "closed").c_str(), 0);
    const auto result = runInChild([&] { return walkText(tree.path().string()); }, {.unprivileged = true});
    ASSERT_EQ(result.exitCode, 0) << result.errors;
    EXPECT_EQ(result.output, "/closed Permission denied\n/open\n");
}

TEST(ListFolder, FailsWholeWhenTheRootCannotBeListed)
{
    TempFolder tree;
    writeFile(tree / "plain", "p");
    const auto failure = [](const std::string& root) {
        try {
            ListFolder walk(root);
        } catch (const listgen::SystemError& error) {
            return error.code();
        }
        return std::error_code();
    };
    EXPECT_EQ(failure(tree / "missing"), std::errc::no_such_file_or_directory);
    EXPECT_EQ(failure(tree / "plain"), std::errc::not_a_directory);
}

TEST(ListFolder, DoesNotEnterAnExcludedFolder)
{
    TempFolder tree;
    for (const char* name : {"keep/a", "keep/skip/b", "skip/c", "d.tmp", "e"})
        writeFile(tree / name, name);
    ::chmod((tree / "skip").c_str(), 0);
    EXPECT_EQ(walkText(tree.path().string(), listgen::ExcludeFilter({"skip", "*.tmp"})), "/keep/a\n/e\n");
}
