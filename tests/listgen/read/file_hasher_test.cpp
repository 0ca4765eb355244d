#include "listgen/read/file_hasher.h"

#include "listgen/common/digest_text.h"
#include "listgen/common/pseudo_files.h"
#include "listgen/common/system_error.h"

#include "temp_folder.h"

#include <gtest/gtest.h>

#include <openssl/evp.h>
#include <openssl/md5.h>
#include <openssl/sha.h>

#include <fcntl.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

using listgen::FileHasher;
using listgen::Entry;
using testing_support::TempFolder;

namespace {

const std::atomic<bool> kGoOn{false};

template <std::size_t N>
std::string text(const std::array<char, N>& hex)
{
    return std::string(hex.data(), hex.size());
}

// The entry the walk would give for `path`: its name in its open folder.
Entry hashed(FileHasher& hasher, const std::string& path)
{
    auto folder = std::make_shared<listgen::FolderHandle>();
    folder->fd.reset(::open(path.substr(0, path.rfind('/')).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    folder->pseudoFiles = listgen::onPseudoFileSystem(folder->fd.get());
    Entry entry;
    entry.path = path;
    entry.folder = std::move(folder);
    hasher.hash(entry);
    return entry;
}

Entry hashed(const std::string& path, const std::atomic<bool>& cancel = kGoOn)
{
    FileHasher hasher(cancel);
    return hashed(hasher, path);
}

} // namespace

// Every length up to 200 through buffers of 7 and 64 bytes, so that the contents split across
// reads at every point, one of them exactly at a buffer's end; OpenSSL is the reference.
TEST(FileHasher, GivesOpenSslsDigestsWhereverReadsSplitTheContent)
{
    TempFolder folder;
    for (std::size_t size = 0; size <= 200; ++size)
        testing_support::writeFile(folder / std::to_string(size), testing_support::patternedBytes(size, 1));
    for (const std::size_t bufferSize : {std::size_t{7}, std::size_t{64}, FileHasher::kDefaultBufferSize}) {
        FileHasher hasher(kGoOn, nullptr, bufferSize, true);
        for (std::size_t size = 0; size <= 200; ++size) {
            const std::string content = testing_support::patternedBytes(size, 1);
            const Entry result = hashed(hasher, folder / std::to_string(size));
            ASSERT_EQ(result.kind, Entry::Kind::Hashed) << result.reason.message();
            std::array<unsigned char, MD5_DIGEST_LENGTH> md5{};
            std::array<unsigned char, SHA256_DIGEST_LENGTH> sha256{};
            const auto* bytes = reinterpret_cast<const unsigned char*>(content.data());
            ::EVP_Digest(bytes, size, md5.data(), nullptr, EVP_md5(), nullptr);
            ::EVP_Digest(bytes, size, sha256.data(), nullptr, EVP_sha256(), nullptr);
            SCOPED_TRACE(testing::Message() << size << " bytes with buffer " << bufferSize);
            EXPECT_EQ(text(result.facts.md5), text(listgen::toHex(md5)));
            EXPECT_EQ(text(result.facts.sha256), text(listgen::toHex(sha256)));
            EXPECT_EQ(result.facts.size, size);
        }
    }
}

TEST(FileHasher, ReportsWhyAFileCannotBeRead)
{
    TempFolder folder;
    std::filesystem::create_symlink("nowhere", folder / "broken");
    std::filesystem::create_symlink("loop", folder / "loop");
    std::filesystem::create_directory(folder / "sub");
    std::filesystem::create_symlink("/proc/self/pagemap", folder / "pagemap");
    std::filesystem::create_symlink("/proc/kmsg", folder / "kmsg");
    const std::vector<std::pair<std::string, std::error_code>> cases = {
        {"missing", std::make_error_code(std::errc::no_such_file_or_directory)},
        {"broken", listgen::RunError::BrokenLink},
        {"loop", listgen::RunError::LinkLoop},
        {"sub", listgen::RunError::NotARegularFile},
        // Pseudo files: views of memory and the kernel's links by their names, files whose
        // reading takes data away before they are opened, reached directly or through links.
        {"/proc/self/pagemap", listgen::RunError::MemoryImage},
        {"/proc/self/exe", listgen::RunError::KernelLink},
        {"pagemap", listgen::RunError::MemoryImage},
        {"kmsg", listgen::RunError::TakesDataAway},
    };
    for (const auto& [name, reason] : cases) {
        const Entry entry = hashed(name.starts_with('/') ? name : folder / name);
        EXPECT_EQ(entry.kind, Entry::Kind::Unreadable) << name;
        EXPECT_EQ(entry.reason, reason) << name;
    }
}

// Root reads what a link another user made leads to only where that user could read it, so
// that no link makes a digest of a file they may not read part of a report they may read.
TEST(FileHasher, LinksOfAnotherUserLeadOnlyToWhatThatUserMayRead)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give links other owners";
    constexpr uid_t kOther = 65534;
    TempFolder folder;
    folder.openToEveryone();
    testing_support::writeFile(folder / "theirs", "t");
    testing_support::writeFile(folder / "private", "p");
    testing_support::writeFile(folder / "closed/readable", "r");
    ::chmod((folder / "private").c_str(), 0600);
    ::chmod((folder / "closed").c_str(), 0700);
    ASSERT_EQ(::chown((folder / "theirs").c_str(), kOther, kOther), 0);
    ::chmod((folder / "theirs").c_str(), 0600);
    for (const char* target : {"theirs", "private", "closed/readable"}) {
        const std::string link = folder / ("to-" + std::filesystem::path(target).filename().string());
        std::filesystem::create_symlink(folder / target, link);
        ASSERT_EQ(::lchown(link.c_str(), kOther, kOther), 0);
    }
    EXPECT_EQ(hashed(folder / "to-theirs").kind, Entry::Kind::Hashed);
    for (const char* refused : {"to-private", "to-readable"})
        EXPECT_EQ(hashed(folder / refused).reason, listgen::RunError::ForeignLinkToUnreadable) << refused;
}

TEST(FileHasher, StopsWhenCancelled)
{
    TempFolder folder;
    testing_support::writeFile(folder / "f", "content");
    const std::atomic<bool> cancel{true};
    EXPECT_EQ(hashed(folder / "f", cancel).kind, Entry::Kind::Cancelled);
}

TEST(FileHasher, PseudoFileThatReportsNoSizeGivesWhatWasRead)
{
    const Entry mounts = hashed("/proc/self/mounts");
    ASSERT_EQ(mounts.kind, Entry::Kind::Hashed) << mounts.reason.message();
    EXPECT_GT(mounts.facts.size, 0U);
}
