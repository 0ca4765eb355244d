#include "listgen/report/report_file.h"
#include "listgen/common/system_error.h"

#include "child_process.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <functional>

using listgen::ReportFile;
using testing_support::namesIn;
using testing_support::readFile;
using testing_support::TempFolder;
using testing_support::writeFile;

namespace {

std::string failureOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const listgen::SystemError& error) {
        return error.what();
    }
    return "no error";
}

mode_t permissionsOf(const std::string& path)
{
    struct stat status {};
    ::stat(path.c_str(), &status);
    return status.st_mode & 07777;
}

class UmaskGuard {
public:
    explicit UmaskGuard(mode_t mask) : previous_(::umask(mask)) {}
    ~UmaskGuard() { ::umask(previous_); }

private:
    mode_t previous_;
};

} // namespace

TEST(ReportFile, CommitPutsTheNewReportInPlaceAndNothingElse)
{
    TempFolder folder;
    writeFile(folder / "r.htm", "old");
    {
        ReportFile report(folder / "r.htm");
        EXPECT_EQ(namesIn(folder.path()), "r.htm\n");
        report.append("new ");
        report.append(std::string(3 << 20, 'x'));
        report.commit();
    }
    EXPECT_EQ(readFile(folder / "r.htm"), "new " + std::string(3 << 20, 'x'));
    EXPECT_EQ(namesIn(folder.path()), "r.htm\n");
}

TEST(ReportFile, DiscardedReportLeavesTheOldOneByteForByte)
{
    TempFolder folder;
    writeFile(folder / "r.htm", "old report");
    {
        ReportFile report(folder / "r.htm");
        report.append(std::string(3 << 20, 'x'));
    }
    EXPECT_EQ(readFile(folder / "r.htm"), "old report");
    EXPECT_EQ(namesIn(folder.path()), "r.htm\n");
    {
        ReportFile report(folder / "fresh.htm");
    }
    EXPECT_EQ(namesIn(folder.path()), "r.htm\n");
}

TEST(ReportFile, NewReportGetsTheModeOfANewFile)
{
    TempFolder folder;
    writeFile(folder / "r.htm", "old");
    ::chmod((folder / "r.htm").c_str(), 0600);
    for (const mode_t mask : {mode_t{022}, mode_t{077}, mode_t{0}}) {
        const UmaskGuard guard(mask);
        ReportFile report(folder / "r.htm");
        report.commit();
        EXPECT_EQ(permissionsOf(folder / "r.htm"), 0666 & ~mask) << "umask " << mask;
    }
}

TEST(ReportFile, KnowsTheOldReportAndItselfBySpellingNotText)
{
    TempFolder folder;
    writeFile(folder / "r.htm", "old");
    struct stat old {};
    ::stat((folder / "r.htm").c_str(), &old);
    ReportFile report(folder.path().string() + "/./r.htm");
    ASSERT_EQ(report.ownFiles().size(), 2U);
    EXPECT_EQ(report.ownFiles()[0], listgen::FileIdentity::of(old));
    EXPECT_NE(report.ownFiles()[1], listgen::FileIdentity::of(old));
}

TEST(ReportFile, OutputLinkKeepsTheLinkAndReplacesItsTarget)
{
    TempFolder folder;
    writeFile(folder / "target.htm", "old");
    std::filesystem::create_symlink("target.htm", folder / "link.htm");
    ReportFile report(folder / "link.htm");
    report.append("new");
    report.commit();
    EXPECT_TRUE(std::filesystem::is_symlink(folder / "link.htm"));
    EXPECT_EQ(readFile(folder / "target.htm"), "new");
}

TEST(ReportFile, WildcardsInTheOutputAreOrdinaryCharacters)
{
    TempFolder folder;
    writeFile(folder / "r1.htm", "other");
    writeFile(folder / "rx.htm", "other");
    ReportFile report(folder / "r*?.htm");
    report.commit();
    EXPECT_EQ(namesIn(folder.path()), "r*?.htm\nr1.htm\nrx.htm\n");
    EXPECT_EQ(readFile(folder / "r1.htm"), "other");
}

TEST(ReportFile, OutputThatIsAFolderIsAnError)
{
    TempFolder folder;
    std::filesystem::create_directory(folder / "dir");
    EXPECT_EQ(failureOf([&] { ReportFile report(folder / "dir"); }), "cannot write " + (folder / "dir") + ": Is a directory");
    EXPECT_EQ(failureOf([&] { ReportFile report(folder / "dir/"); }), "cannot write " + (folder / "dir/") + ": Is a directory");
}

TEST(ReportFile, OutputThatIsNoRegularFileIsNeverReplaced)
{
    TempFolder folder;
    ASSERT_EQ(::mkfifo((folder / "pipe").c_str(), 0644), 0);
    EXPECT_EQ(failureOf([&] { ReportFile report(folder / "pipe"); }), "cannot write " + (folder / "pipe") + ": not a regular file");
}

TEST(ReportFile, UnwritableFolderIsAnError)
{
    TempFolder folder;
    ::chmod(folder.path().c_str(), 0755);
    const auto result = testing_support::runInChild(
        [&] { return failureOf([&] { ReportFile(folder / "r.htm").commit(); }); }, {.unprivileged = true});
    EXPECT_EQ(result.output, "cannot write " + (folder / "r.htm") + ": Permission denied");
    EXPECT_EQ(namesIn(folder.path()), "");
}
