#include "listgen/report/report_file.h"
#include "listgen/report/temporary_files.h"
#include "listgen/common/system_error.h"

#include "child_process.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sys/mount.h>
#include <sys/wait.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>

using listgen::ReportFile;
using namespace testing_support;

namespace {

// "write|sync <path>: <reason>[; <hint>]", the fields a front end turns into words.
std::string failureOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const listgen::SystemError& error) {
        const listgen::RunFailure& failure = error.failure();
        std::string text = failure.action == listgen::RunAction::WriteOutput        ? "write "
                           : failure.action == listgen::RunAction::SyncOutputFolder ? "sync "
                                                                                    : "other ";
        text += failure.path + ": " + failure.code.message();
        if (failure.hint == listgen::FailureHint::OutputFolderMustBeWritable)
            text += "; folder must be writable";
        if (failure.hint == listgen::FailureHint::InPlaceButNotSynced)
            text += "; in place";
        return text;
    }
    return "no error";
}

// "owner mode", the mode in octal.
std::string ownerAndMode(const std::string& path)
{
    struct stat status {};
    ::stat(path.c_str(), &status);
    char mode[8];
    std::snprintf(mode, sizeof mode, "%o", status.st_mode & 07777);
    return std::to_string(status.st_uid) + " " + mode;
}

class ReportFileTest : public ::testing::Test {
protected:
    TempFolder folder;
};

class UmaskGuard {
public:
    explicit UmaskGuard(mode_t mask) : previous_(::umask(mask)) {}
    ~UmaskGuard() { ::umask(previous_); }

private:
    mode_t previous_;
};

} // namespace

TEST_F(ReportFileTest, CommitPutsTheNewReportInPlaceAndADiscardedOneLeavesTheOld)
{
    writeFile(folder / "r.htm", "old");
    for (const bool commit : {false, true}) {
        EXPECT_EQ(readFile(folder / "r.htm"), "old");
        ReportFile report(folder / "r.htm");
        ReportFile fresh(folder / "fresh.htm");
        EXPECT_EQ(namesIn(folder.path()), "r.htm\n");
        report.append("new ");
        report.append(std::string(3 << 20, 'x'));
        if (commit)
            report.commit();
    }
    EXPECT_EQ(readFile(folder / "r.htm"), "new " + std::string(3 << 20, 'x'));
    EXPECT_EQ(namesIn(folder.path()), "r.htm\n");
}

TEST_F(ReportFileTest, ReplacedReportKeepsItsModeAndANewOneGetsTheUmask)
{
    writeFile(folder / "r.htm", "old");
    ::chmod((folder / "r.htm").c_str(), 0640);
    for (const mode_t mask : {mode_t{022}, mode_t{077}}) {
        const UmaskGuard guard(mask);
        ReportFile(folder / "r.htm").commit();
        const std::string me = std::to_string(::geteuid());
        EXPECT_EQ(ownerAndMode(folder / "r.htm"), me + " 640");
        ReportFile(folder / "new").commit();
        EXPECT_EQ(ownerAndMode(folder / "new"), me + (mask == 022 ? " 644" : " 600"));
        std::filesystem::remove(folder / "new");
    }
}

// A report that somebody else put there hands its owner down to nobody, and its mode only
// where that is narrower: they could read the listing or rewrite its digests. In a shared
// sticky folder it is not replaced at all.
TEST_F(ReportFileTest, AnOldReportOfAnotherUserHandsOnlyItsPrivacyDownAndInASharedFolderStays)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give files other owners";
    constexpr uid_t kOther = 65534;
    const UmaskGuard guard(022);
    const auto plant = [&](const std::string& path, uid_t owner, mode_t mode) {
        writeFile(path, "planted");
        ::chmod(path.c_str(), mode);
        ASSERT_EQ(::chown(path.c_str(), owner, owner), 0);
    };
    for (const auto& [planted, written] : {std::pair{0600U, "0 600"}, std::pair{0777U, "0 644"}}) {
        plant(folder / "r.htm", kOther, planted);
        ReportFile(folder / "r.htm").commit();
        EXPECT_EQ(ownerAndMode(folder / "r.htm"), written) << planted;
    }

    const std::string shared = folder / "shared";
    std::filesystem::create_directory(shared);
    ::chmod(shared.c_str(), 01777);
    plant(shared + "/r.htm", kOther, 0600);
    EXPECT_EQ(failureOf([&] { ReportFile(shared + "/r.htm").commit(); }),
              "write " + shared + "/r.htm: ForeignFileInSharedFolder");
    EXPECT_EQ(readFile(shared + "/r.htm"), "planted");
    // The folder's owner may put it there; then it is that owner's report, kept as it was.
    ASSERT_EQ(::chown(shared.c_str(), kOther, kOther), 0);
    ReportFile(shared + "/r.htm").commit();
    EXPECT_EQ(ownerAndMode(shared + "/r.htm"), "65534 600");
}

TEST_F(ReportFileTest, OutputLinkKeepsTheLinkAndReplacesItsTarget)
{
    writeFile(folder / "sub/target.htm", "old");
    std::filesystem::create_symlink("sub/target.htm", folder / "link.htm");
    std::filesystem::create_symlink("link.htm", folder / "link2.htm");
    ReportFile report(folder / "link2.htm");
    ASSERT_EQ(report.ownPlaces().at(0).name, "target.htm");
    report.append("new");
    report.commit();
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "link.htm"));
    EXPECT_EQ(readFile(folder / "sub/target.htm"), "new");
}

// A link another user made leads the report only where that user could write it, and in a
// shared sticky folder only when they own the folder, as the kernel has it.
TEST_F(ReportFileTest, LinkOfAnotherUserLeadsOnlyWhereThatUserCouldWrite)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give the link another owner";
    constexpr uid_t kOther = 65534;
    folder.openToEveryone();
    const std::string shared = folder / "shared";
    std::filesystem::create_directory(shared);
    ::chmod(shared.c_str(), 01777);
    // Root's own file, in a folder only root may write.
    const std::string victim = folder / "root/victim";
    writeFile(victim, "precious");
    ::chmod((victim).c_str(), 0600);
    std::filesystem::create_symlink(victim, shared + "/report.htm");
    ASSERT_EQ(::lchown((shared + "/report.htm").c_str(), kOther, kOther), 0);
    EXPECT_EQ(failureOf([&] { ReportFile report(shared + "/report.htm"); }),
              "write " + shared + "/report.htm: ForeignLinkInSharedFolder");
    ASSERT_EQ(::chown(shared.c_str(), kOther, kOther), 0);
    EXPECT_EQ(failureOf([&] { ReportFile report(shared + "/report.htm"); }),
              "write " + shared + "/report.htm: ForeignLinkToOthersFile");
    EXPECT_EQ(readFile(victim), "precious");
    // To a file of their own, or into a folder they may write, it is followed.
    ASSERT_EQ(::chown((victim).c_str(), kOther, kOther), 0);
    EXPECT_EQ(failureOf([&] { ReportFile(shared + "/report.htm").commit(); }), "no error");
    EXPECT_EQ(readFile(victim), "");
    std::filesystem::remove(shared + "/report.htm");
    std::filesystem::create_symlink("new.htm", shared + "/report.htm");
    ASSERT_EQ(::lchown((shared + "/report.htm").c_str(), kOther, kOther), 0);
    EXPECT_EQ(failureOf([&] { ReportFile(shared + "/report.htm").commit(); }), "no error");
    EXPECT_TRUE(std::filesystem::exists(shared + "/new.htm"));
}

TEST_F(ReportFileTest, OutputThatNamesAnOpenStreamIsWrittenIntoIt)
{
    writeFile(folder / "build.log", "before\n");
    struct stat before {};
    ::stat((folder / "build.log").c_str(), &before);
    const int log = ::open((folder / "build.log").c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    ASSERT_GE(log, 0);
    for (const std::string name : {"/dev/fd/", "/proc/self/fd/"}) {
        ReportFile report(name + std::to_string(log));
        EXPECT_TRUE(report.ownPlaces().empty());
        report.append(name);
        report.commit();
    }
    ::close(log);
    EXPECT_EQ(readFile(folder / "build.log"), "before\n/dev/fd//proc/self/fd/");
    struct stat after {};
    ::stat((folder / "build.log").c_str(), &after);
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(namesIn(folder.path()), "build.log\n");

    const auto child = runInChild([] {
        ReportFile report("-");
        report.append("to standard output");
        report.commit();
        return std::string();
    });
    EXPECT_EQ(child.output, "to standard output");
    EXPECT_EQ(failureOf([] { ReportFile report("/proc/1/fd/1"); }), "write /proc/1/fd/1: OpenFileOfAnotherProcess");
}

TEST_F(ReportFileTest, ACloseThatFailsLeavesTheOldReport)
{
    writeFile(folder / "r.htm", "old report");
    const auto result = runInChild([&] {
        ReportFile report(folder / "r.htm");
        report.append("new report");
        refuseSystemCalls({.failingClose = true});
        return failureOf([&] { report.commit(); });
    });
    EXPECT_EQ(result.output, "write " + (folder / "r.htm") + ": Input/output error");
    EXPECT_EQ(readFile(folder / "r.htm"), "old report");
    EXPECT_EQ(namesIn(folder.path()), "r.htm\n");
}

TEST_F(ReportFileTest, OutputThatIsNoRegularFileIsNeverReplaced)
{
    std::filesystem::create_directory(folder / "dir");
    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0644), 0);
    std::filesystem::create_symlink("self", folder / "self");
    for (const auto& [name, reason] : std::vector<std::pair<std::string, std::string>>{
             {"dir", "Is a directory"}, {"dir/", "Is a directory"}, {"pipe", "NotARegularFile"},
             {"self", "Too many levels of symbolic links"}})
        EXPECT_EQ(failureOf([&] { ReportFile report(folder / name); }), "write " + (folder / name) + ": " + reason);
    // Wildcards are ordinary characters.
    writeFile(folder / "r1.htm", "other");
    ReportFile(folder / "r*?.htm").commit();
    EXPECT_EQ(namesIn(folder.path()), "dir\npipe\nr*?.htm\nr1.htm\nself\n");
}

TEST_F(ReportFileTest, UnwritableFolderOrReportIsRefusedAsSuch)
{
    const auto failureAsNobody = [](const std::string& path) {
        return runInChild([&] { return failureOf([&] { ReportFile(path).commit(); }); }, {.unprivileged = true}).output;
    };
    ::chmod(folder.path().c_str(), 0755);
    EXPECT_EQ(failureAsNobody(folder / "r.htm"), "write " + (folder / "r.htm") + ": Permission denied; folder must be writable");
    EXPECT_EQ(namesIn(folder.path()), "");
    folder.openToEveryone();
    writeFile(folder / "r.htm", "old report");
    ::chmod((folder / "r.htm").c_str(), 0444);
    EXPECT_EQ(failureAsNobody(folder / "r.htm"), "write " + (folder / "r.htm") + ": ReportReadOnly");
    EXPECT_EQ(readFile(folder / "r.htm"), "old report");
}

TEST_F(ReportFileTest, AFolderThatCannotBeSyncedAfterTheRenameIsAFailureThatSaysSo)
{
    writeFile(folder / "r.htm", "old");
    const auto result = runInChild(
        [&] {
            ReportFile report(folder / "r.htm");
            report.append("new");
            return failureOf([&] { report.commit(); });
        },
        {.failingFsync = true});
    EXPECT_EQ(result.output, "sync " + (folder / "r.htm") + ": Input/output error; in place");
    EXPECT_EQ(readFile(folder / "r.htm"), "new");
}

// Where files cannot be unnamed, a run that is killed leaves its temporary file; the next run
// into the folder removes it once its writer is known to be gone, and never one still in use.
TEST_F(ReportFileTest, TemporaryFilesOfKilledRunsAreRemovedAndNoOtherOne)
{
    const ChildLimits named{.withoutUnnamedFiles = true};
    const auto killedRun = runInChild(
        [&] {
            ReportFile report(folder / "r.htm");
            report.append("half");
            ::_exit(9);
            return std::string();
        },
        named);
    ASSERT_EQ(killedRun.exitCode, 9);
    const std::string leftBehind = namesIn(folder.path());
    ASSERT_EQ(leftBehind.rfind(".vaskerel-", 0), 0U) << leftBehind;
    writeFile(folder / ".vaskerel-0123456789abcdef.tmp", "an earlier version's, writer unknown");
    int toChild[2];
    int fromChild[2];
    ASSERT_EQ(::pipe(toChild), 0);
    ASSERT_EQ(::pipe(fromChild), 0);
    const pid_t living = ::fork();
    if (living == 0) {
        refuseSystemCalls(named);
        ReportFile report(folder / "other.htm");
        char byte = 0;
        (void)!::write(fromChild[1], &byte, 1);
        (void)!::read(toChild[0], &byte, 1);
        ::_exit(0);
    }
    char byte = 0;
    ASSERT_EQ(::read(fromChild[0], &byte, 1), 1);
    // Where unnamed temporary files can be had, a run removes named ones all the same.
    const auto nextRun = runInChild([&] {
        ReportFile report(folder / "r.htm");
        report.append("new");
        report.commit();
        return namesIn(folder.path());
    });
    (void)!::write(toChild[1], &byte, 1);
    ::waitpid(living, nullptr, 0);
    for (const int fd : {toChild[0], toChild[1], fromChild[0], fromChild[1]})
        ::close(fd);
    EXPECT_EQ(nextRun.output.find(leftBehind), std::string::npos) << nextRun.output;
    EXPECT_NE(nextRun.output.find(".vaskerel-0123456789abcdef.tmp\n"), std::string::npos);
    EXPECT_EQ(std::count(nextRun.output.begin(), nextRun.output.end(), '\n'), 3) << "the living run's file stays";
    EXPECT_EQ(readFile(folder / "r.htm"), "new");
}

// An output that cannot be renamed into place after another was (a report that is a mount
// point) takes that one back: every old file stays.
TEST_F(ReportFileTest, ARenameThatFailsTakesBackTheOutputsPutInPlaceBeforeIt)
{
    writeFile(folder / "sums.md5", "old sums");
    writeFile(folder / "r.htm", "old report");
    writeFile(folder / "elsewhere", "mounted");
    if (::mount((folder / "elsewhere").c_str(), (folder / "r.htm").c_str(), nullptr, MS_BIND, nullptr) != 0)
        GTEST_SKIP() << "cannot bind-mount here: " << std::strerror(errno);
    ReportFile sums(folder / "sums.md5");
    ReportFile report(folder / "r.htm");
    sums.append("new sums");
    EXPECT_EQ(failureOf([&] { ReportFile::commitTogether({&sums, &report}); }),
              "write " + (folder / "r.htm") + ": Device or resource busy");
    ::umount2((folder / "r.htm").c_str(), MNT_DETACH);
    EXPECT_EQ(readFile(folder / "sums.md5"), "old sums");
    EXPECT_EQ(readFile(folder / "r.htm"), "old report");
}

TEST_F(ReportFileTest, UnfinishedNamedTemporaryIsRemovedForAProcessThatEndsWithoutIt)
{
    writeFile(folder / "r.htm", "old");
    const auto result = runInChild(
        [&] {
            // Left as a thread stuck in a read leaves it: never committed, never destroyed.
            auto* stuck = new ReportFile(folder / "r.htm");
            stuck->append("partial");
            const std::string during = namesIn(folder.path());
            listgen::TemporaryFiles::abandon(std::chrono::milliseconds(100));
            return during + "|" + namesIn(folder.path());
        },
        {.withoutUnnamedFiles = true});
    ASSERT_EQ(result.exitCode, 0) << result.errors;
    EXPECT_NE(result.output.find(".vaskerel-"), std::string::npos) << "no named temporary to begin with: " << result.output;
    EXPECT_EQ(result.output.substr(result.output.find('|') + 1), "r.htm\n");
    EXPECT_EQ(readFile(folder / "r.htm"), "old");
}
