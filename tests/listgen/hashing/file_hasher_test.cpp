#include "listgen/hashing/file_hasher.h"

#include "temp_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using listgen::FileHasher;
using listgen::Entry;
using testing_support::TempFolder;

namespace {

const std::atomic<bool> kGoOn{false};

std::string text(const listgen::Md5Hex& hex)
{
    return std::string(hex.data(), hex.size());
}

// Hashes `path` while `change` runs on another thread a moment after the read began.
const listgen::FileIdentities kNoReport;

Entry hashed(FileHasher& hasher, const std::string& path)
{
    Entry entry;
    entry.path = path;
    hasher.hash(entry);
    return entry;
}

Entry hashed(const std::string& path, const std::atomic<bool>& cancel = kGoOn)
{
    FileHasher hasher(kNoReport, cancel);
    return hashed(hasher, path);
}

template <typename Change>
Entry hashWhile(const std::string& path, Change change)
{
    std::thread changer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(150));
        change();
    });
    Entry result = hashed(path);
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
        FileHasher hasher(kNoReport, kGoOn, bufferSize);
        for (const auto& [message, expected] : vectors) {
            const std::string path = folder / "vector";
            testing_support::writeFile(path, message);
            const Entry result = hashed(hasher, path);
            ASSERT_EQ(result.kind, Entry::Kind::Hashed) << result.reason;
            EXPECT_EQ(text(result.facts.md5), expected) << '"' << message << "\" with buffer " << bufferSize;
            EXPECT_EQ(result.facts.size, message.size());
        }
    }
}

TEST(FileHasher, ReportsWhyAFileCannotBeRead)
{
    TempFolder folder;
    const Entry missing = hashed(folder / "missing");
    EXPECT_EQ(missing.kind, Entry::Kind::Unreadable);
    EXPECT_EQ(missing.reason, "No such file or directory");

    const Entry folderItself = hashed(folder.path().string());
    EXPECT_EQ(folderItself.kind, Entry::Kind::Unreadable);
    EXPECT_EQ(folderItself.reason, "not a regular file");
}

TEST(FileHasher, StopsWhenCancelledAndNeverReadsTheReport)
{
    TempFolder folder;
    testing_support::writeFile(folder / "f", "content");
    const std::atomic<bool> cancel{true};
    EXPECT_EQ(hashed(folder / "f", cancel).kind, Entry::Kind::Cancelled);

    struct stat status {};
    ASSERT_EQ(::stat((folder / "f").c_str(), &status), 0);
    const listgen::FileIdentities report = {listgen::FileIdentity::of(status)};
    FileHasher hasher(report, kGoOn);
    EXPECT_EQ(hashed(hasher, folder.path().string() + "/./f").kind, Entry::Kind::ReportItself);
}

TEST(FileHasher, FileTruncatedOrGrownWhileReadIsRefused)
{
    TempFolder folder;
    const std::string path = folder / "changing";
    testing_support::makeSparseFile(path, off_t{1} << 36);
    const Entry truncated = hashWhile(path, [&] { ::truncate(path.c_str(), 1 << 20); });
    EXPECT_EQ(truncated.kind, Entry::Kind::Unreadable);
    EXPECT_EQ(truncated.reason, "changed while it was read");

    testing_support::makeSparseFile(path, off_t{1} << 30);
    const Entry grown = hashWhile(path, [&] { ::truncate(path.c_str(), off_t{1} << 36); });
    EXPECT_EQ(grown.kind, Entry::Kind::Unreadable);
    EXPECT_EQ(grown.reason, "changed while it was read");
}

TEST(FileHasher, FileDeletedWhileReadKeepsSizeAndDigestOfWhatWasRead)
{
    TempFolder folder;
    const std::string path = folder / "doomed";
    testing_support::makeSparseFile(path, off_t{1} << 30);
    const Entry result = hashWhile(path, [&] { ::unlink(path.c_str()); });
    ASSERT_EQ(result.kind, Entry::Kind::Hashed) << result.reason;
    EXPECT_EQ(result.facts.size, std::uint64_t{1} << 30);
    EXPECT_EQ(text(result.facts.md5), "cd573cfaace07e7949bc0c46028904ff");
}
