#include "listgen/list_folder.h"
#include "listgen/system_error.h"

#include "child_process.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

using listgen::ListFolder;
using listgen::WalkItem;
using testing_support::TempFolder;
using testing_support::writeFile;

namespace fs = std::filesystem;

namespace {

// The walk as text, one line per item, paths shown below the root.
std::string walkText(const std::string& root)
{
    ListFolder walk(root);
    std::string text;
    WalkItem item;
    while (walk.next(item)) {
        const std::string below = item.path.substr(root.size());
        text += item.kind == WalkItem::Kind::File ? below : below + " unlistable: " + item.reason;
        text += '\n';
    }
    return text;
}

} // namespace

TEST(ListFolder, SubfoldersComeFirstEachWalkedWholeThenTheFolderFiles)
{
    TempFolder tree;
    fs::create_directories(tree / "b/inner");
    fs::create_directories(tree / "A");
    fs::create_directories(tree / "empty");
    for (const char* name : {"z.txt", "B.txt", "b.txt", "c.TXT", ".hidden", "A/one", "b/two", "b/inner/three"})
        writeFile(tree / name, name);
    EXPECT_EQ(walkText(tree.path().string()),
              "/A/one\n/b/inner/three\n/b/two\n/.hidden\n/B.txt\n/b.txt\n/c.TXT\n/z.txt\n");
}

TEST(ListFolder, ListsLinksToFilesButNeitherEntersNorListsOtherSpecialEntries)
{
    TempFolder tree;
    fs::create_directories(tree / "real");
    writeFile(tree / "real/target", "data");
    fs::create_symlink("real/target", tree / "file-link");
    fs::create_directory_symlink("real", tree / "folder-link");
    fs::create_directory_symlink("..", tree / "real/loop");
    fs::create_symlink("nowhere", tree / "broken-link");
    ASSERT_EQ(::mkfifo((tree / "fifo").c_str(), 0644), 0);
    EXPECT_EQ(walkText(tree.path().string()), "/real/target\n/file-link\n");
}

TEST(ListFolder, WalksAThousandLevelsDeep)
{
    TempFolder tree;
    std::string deepest = tree.path().string();
    for (int level = 0; level < 1000; ++level)
        deepest += "/d";
    fs::create_directories(deepest);
    writeFile(deepest + "/bottom", "x");
    writeFile(tree / "top", "y");
    ListFolder walk(tree.path().string());
    WalkItem item;
    ASSERT_TRUE(walk.next(item));
    EXPECT_EQ(item.path, deepest + "/bottom");
    ASSERT_TRUE(walk.next(item));
    EXPECT_EQ(item.path, tree / "top");
    EXPECT_FALSE(walk.next(item));
}

TEST(ListFolder, JoinsChildrenWithOneSlashAfterTheRootAsTyped)
{
    TempFolder tree;
    writeFile(tree / "a.txt", "a");
    ListFolder walk(tree.path().string() + "/");
    WalkItem item;
    ASSERT_TRUE(walk.next(item));
    EXPECT_EQ(item.path, tree.path().string() + "//a.txt");
}

TEST(ListFolder, RecordsAnUnlistableSubfolderAndGoesOn)
{
    TempFolder tree;
    tree.openToEveryone();
    fs::create_directories(tree / "closed");
    writeFile(tree / "closed/secret", "s");
    writeFile(tree / "open", "o");
    ::chmod((tree / "closed").c_str(), 0);
    const auto result = testing_support::runInChild([&] { return walkText(tree.path().string()); },
                                                    {.unprivileged = true});
    ASSERT_EQ(result.exitCode, 0) << result.errors;
    EXPECT_EQ(result.output, "/closed unlistable: Permission denied\n/open\n");
}

TEST(ListFolder, FailsWholeWhenTheRootCannotBeListed)
{
    TempFolder tree;
    writeFile(tree / "plain", "p");
    const auto message = [](const std::string& root) {
        try {
            ListFolder walk(root);
        } catch (const listgen::SystemError& error) {
            return std::string(error.what());
        }
        return std::string("no error");
    };
    EXPECT_EQ(message(tree / "missing"), "cannot list folder " + (tree / "missing") + ": No such file or directory");
    EXPECT_EQ(message(tree / "plain"), "cannot list folder " + (tree / "plain") + ": Not a directory");
}
