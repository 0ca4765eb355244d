#include "child_process.h"
#include "program_runs.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sched.h>
#include <unistd.h>

#include <filesystem>

using namespace testing_support;

namespace fs = std::filesystem;

namespace {

// A download folder with odd names, a manifest made by the peer itself, and then changes.
class CheckCliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"a b", "日本語", "#%?", "back\\slash", "nl\nname", "sub/deep", "changed"})
            writeFile(folder / ("in/" + std::string(name)), name);
        fs::create_directory(folder / "in/dir");
        fs::create_symlink("nowhere", folder / "in/dangling");
        for (const char* tool : {"md5sum", "sha256sum"}) {
            shell(std::string(tool) + " -- * sub/deep > ../" + tool + ".sums; " + tool + " --tag -- a\\ b > ../" + tool +
                  ".tag");
            // Lines for a folder, a broken link, a missing file and one no peer reads.
            const std::string zeros(tool == std::string("md5sum") ? 32 : 64, '0');
            writeFile(folder / (std::string(tool) + ".sums"), readFile(folder / (std::string(tool) + ".sums")) + zeros +
                                                                  "  dir\n" + zeros + "  dangling\n" + zeros +
                                                                  "  gone\nnot a checksum line\n");
            writeFile(folder / (std::string(tool) + ".missing"), zeros + "  gone\n");
        }
        writeFile(folder / "in/changed", "changed since");
        writeFile(folder / "in/unlisted", "not in the manifest");
        writeFile(folder / "garbage", "# only\nnot a checksum line\n");
    }

    ChildResult shell(const std::string& command) const
    {
        return runProgram({"/bin/sh", "-c", "cd \"$0\" && " + command, folder / "in"});
    }

    TempFolder folder;
};

} // namespace

// The same manifests through the peers, run in the folder, and through vaskerel from elsewhere
// with -i: the same standard output and exit status.
TEST_F(CheckCliTest, ChecksAsMd5sumAndSha256sumDo)
{
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"sha256sum", {}},
        {"md5sum", {}},
        {"sha256sum", {"--ignore-missing"}},
        {"md5sum", {"--strict", "--quiet"}},
        {"sha256sum", {"--status"}},
        {"sha256sum", {"--warn", "--status", "--quiet"}},
        {"md5sum", {"--status", "--warn"}},
    };
    for (const auto& [tool, options] : cases) {
        for (const std::string& manifest : std::vector<std::string>{tool + ".sums", tool + ".tag", tool + ".missing", "garbage"}) {
            std::string peer = tool + " -c ../" + manifest;
            std::vector<std::string> arguments = {"-c", folder / manifest, "-i", folder / "in"};
            for (const std::string& option : options) {
                peer += " " + option;
                arguments.push_back(option);
            }
            const ChildResult expected = shell(peer + " 2>/dev/null");
            const ChildResult result = runVaskerel(arguments);
            EXPECT_EQ(result.output, expected.output) << peer;
            EXPECT_EQ(result.exitCode, expected.exitCode) << peer << "\n" << result.errors;
        }
    }
}

TEST_F(CheckCliTest, NamesThatLeaveTheFolderAreRefusedAndNamed)
{
    writeFile(folder / "outside.sums", std::string(64, '0') + "  ../secret\n" + std::string(64, '0') + "  /etc/hostname\n");
    const ChildResult result = runVaskerel({"-c", folder / "outside.sums", "-i", folder / "in"});
    EXPECT_EQ(result.output, "../secret: FAILED open or read\n/etc/hostname: FAILED open or read\n");
    EXPECT_EQ(exitAndErrors(result),
              "exit 1: vaskerel: ../secret: refused: the name leads out of the folder (it is absolute or has a \"..\" "
              "part)\nvaskerel: /etc/hostname: refused: the name leads out of the folder (it is absolute or has a "
              "\"..\" part)\nvaskerel: WARNING: 2 listed files could not be read\n");
}

TEST_F(CheckCliTest, SpeaksJapaneseUnderAJapaneseLocaleAndOnlyAsciiUnderC)
{
    const auto inLocale = [&](const char* locale) {
        return runVaskerelAfter([locale] { ::setenv("LC_ALL", locale, 1); },
                                {"-c", folder / "sha256sum.sums", "-i", folder / "in"});
    };
    const ChildResult japanese = inLocale("ja_JP.UTF-8");
    if (japanese.errors.find("警告") == std::string::npos && shell("locale -a | grep -qi ja_JP.utf").exitCode != 0)
        GTEST_SKIP() << "no ja_JP.UTF-8 locale";
    EXPECT_EQ(japanese.output, shell("LC_ALL=ja_JP.UTF-8 sha256sum -c ../sha256sum.sums 2>/dev/null").output);
    EXPECT_NE(japanese.errors.find("vaskerel: gone: そのようなファイルやディレクトリはありません\n"), std::string::npos)
        << japanese.errors;
    const ChildResult c = inLocale("C");
    EXPECT_NE(c.output.find("\\\\xE6\\x97\\xA5\\xE6\\x9C\\xAC\\xE8\\xAA\\x9E: OK\n"), std::string::npos) << c.output;
    for (const std::string& text : {c.output, c.errors, runVaskerelAfter([] { ::setenv("LC_ALL", "C", 1); }, {"-q"}).errors})
        EXPECT_TRUE(std::all_of(text.begin(), text.end(), [](char ch) { return static_cast<unsigned char>(ch) < 0x80; }))
            << text;
}

TEST_F(CheckCliTest, OneFileSystemLeavesAMountedFolderOut)
{
    fs::remove(folder / "in/dangling");
    fs::create_directory(folder / "in/mounted");
    const std::string mounted = folder / "in/mounted";
    const auto inNamespace = [&](std::vector<std::string> arguments) {
        return runVaskerelAfter(
            [mounted] {
                if (::unshare(CLONE_NEWNS) != 0 || ::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0 ||
                    ::mount("tmpfs", mounted.c_str(), "tmpfs", 0, nullptr) != 0 ||
                    std::system(("echo x > '" + mounted + "/inside'").c_str()) != 0)
                    ::_exit(77);
            },
            std::move(arguments));
    };
    const ChildResult whole = inNamespace({"-i", folder / "in", "-o", "-"});
    if (whole.exitCode == 77)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    EXPECT_NE(whole.output.find("mounted/inside"), std::string::npos);
    const ChildResult one = inNamespace({"-i", folder / "in", "-o", "-", "--one-file-system"});
    EXPECT_EQ(one.exitCode, 0);
    EXPECT_EQ(one.output.find("mounted/inside"), std::string::npos);
    EXPECT_NE(one.output.find("sub/deep"), std::string::npos);
    EXPECT_EQ(one.errors, "vaskerel: not entered " + mounted + ": another file system\n");
    EXPECT_EQ(exitAndErrors(inNamespace({"-i", folder / "in", "-o", folder / "r.htm", "--one", "-q"})), "exit 0: ");
    // The rows a whole walk listed below it are not checked by a walk that does not enter it.
    writeFile(folder / "whole.htm", whole.output);
    EXPECT_EQ(exitAndErrors(inNamespace({"--verify", folder / "whole.htm", "-i", folder / "in", "--one-file-system", "-q"})),
              "exit 0: vaskerel: 8 files checked by size and MD5: 0 changed, 0 missing, 0 new\n");
}
