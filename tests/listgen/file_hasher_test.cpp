#include "listgen/file_hasher.h"

#include "temp_folder.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using listgen::FileHasher;
using listgen::HashResult;
using testing_support::TempFolder;

namespace {

const std::atomic<bool> kGoOn{false};

std::string text(const listgen::Md5Digest::Hex& hex)
{
    return std::string(hex.data(), hex.size());
}

// Hashes `path` while `change` runs on another thread a moment after the read began.
template <typename Change>
HashResult hashWhile(const std::string& path, Change change)
{
    std::thread changer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        change();
    });
    FileHasher hasher;
    HashResult result = hasher.hash(path, {}, kGoOn);
    changer.join();
    return result;
}

} // namespace

TEST(FileHasher, FilesGiveRfc1321DigestsWhateverTheChunkSize)
{
    const std::vector<std::pair<std::string, std::string>> vectors = {
        {"", "d41d8cd98f00b204e9800998ecf8427e"},
        {"abc", "900150983cd24fb0d6963f7d28e17f72"},
        {"abcdefghijklmnopqrstuvwxyz", "c3fcd3d76192e4007dfb496cca67e13b"},
        {"12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "57edf4a22be3c955ac49da2e2107b67a"},
    };
    TempFolder folder;
    // A 7-byte buffer splits the vectors across reads, one exactly at a buffer boundary.
    for (const std::size_t bufferSize : {std::size_t{7}, std::size_t{26}, FileHasher::kDefaultBufferSize}) {
        FileHasher hasher(bufferSize);
        for (const auto& [message, expected] : vectors) {
            const std::string path = folder / "vector";
            testing_support::writeFile(path, message);
            const HashResult result = hasher.hash(path, {}, kGoOn);
            ASSERT_EQ(result.kind, HashResult::Kind::Hashed) << result.reason;
            EXPECT_EQ(text(result.facts.md5), expected) << '"' << message << "\" with buffer " << bufferSize;
            EXPECT_EQ(result.facts.size, message.size());
        }
    }
}

TEST(FileHasher, ReportsWhyAFileCannotBeRead)
{
    TempFolder folder;
    FileHasher hasher;
    const HashResult missing = hasher.hash(folder / "missing", {}, kGoOn);
    EXPECT_EQ(missing.kind, HashResult::Kind::Failed);
    EXPECT_EQ(missing.reason, "No such file or directory");

    const HashResult folderItself = hasher.hash(folder.path().string(), {}, kGoOn);
    EXPECT_EQ(folderItself.kind, HashResult::Kind::Failed);
    EXPECT_EQ(folderItself.reason, "not a regular file");
}

TEST(FileHasher, StopsWhenCancelled)
{
    TempFolder folder;
    testing_support::writeFile(folder / "f", "content");
    const std::atomic<bool> cancel{true};
    FileHasher hasher;
    EXPECT_EQ(hasher.hash(folder / "f", {}, cancel).kind, HashResult::Kind::Cancelled);
}

TEST(FileHasher, FileTruncatedOrGrownWhileReadIsRefused)
{
    TempFolder folder;
    const std::string path = folder / "changing";
    testing_support::makeSparseFile(path, off_t{1} << 36);
    const HashResult truncated = hashWhile(path, [&] { EXPECT_EQ(::truncate(path.c_str(), 1 << 20), 0); });
    EXPECT_EQ(truncated.kind, HashResult::Kind::Failed);
    EXPECT_EQ(truncated.reason, "changed while it was read");

    testing_support::makeSparseFile(path, off_t{1} << 30);
    const HashResult grown = hashWhile(path, [&] { EXPECT_EQ(::truncate(path.c_str(), off_t{1} << 36), 0); });
    EXPECT_EQ(grown.kind, HashResult::Kind::Failed);
    EXPECT_EQ(grown.reason, "changed while it was read");
}

TEST(FileHasher, FileDeletedWhileReadKeepsSizeAndDigestOfWhatWasRead)
{
    TempFolder folder;
    const std::string path = folder / "doomed";
    testing_support::makeSparseFile(path, off_t{1} << 30);
    const HashResult result = hashWhile(path, [&] { ::unlink(path.c_str()); });
    ASSERT_EQ(result.kind, HashResult::Kind::Hashed) << result.reason;
    EXPECT_EQ(result.facts.size, std::uint64_t{1} << 30);
    EXPECT_EQ(text(result.facts.md5), "cd573cfaace07e7949bc0c46028904ff");
}
