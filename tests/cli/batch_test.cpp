#include "child_process.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

using testing_support::ChildResult;
using testing_support::namesIn;
using testing_support::readFile;
using testing_support::runProgram;
using testing_support::TempFolder;
using testing_support::vaskerelPath;
using testing_support::writeFile;

namespace fs = std::filesystem;

namespace {

const std::string kEmptyFields = "全部入力してください\n";

class BatchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(folder / "in/sub");
        writeFile(folder / "in/sub/a.txt", "abc");
        writeFile(folder / "in/b.txt", "b");
        fs::create_directories(folder / "out");
    }

    ChildResult run(std::vector<std::string> arguments, const testing_support::ChildLimits& limits = {}) const
    {
        const std::string program =
            limits.unprivileged ? testing_support::vaskerelCopyIn(folder.path().string()) : vaskerelPath();
        arguments.insert(arguments.begin(), program);
        return runProgram(arguments, limits);
    }

    std::string input() const { return folder / "in"; }
    std::string output() const { return folder / "out/list.htm"; }

    TempFolder folder;
};

} // namespace

TEST_F(BatchTest, CompleteRunIsSilentAndWritesTheReport)
{
    const ChildResult result =
        run({"--input", input(), "--output", output(), "--title", "T", "--stylesheet=s.css", "--jobs", "2", "--quiet"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(result.errors, "");
    const std::string report = readFile(output());
    EXPECT_TRUE(report.starts_with("<html><head><title>T</title>\r\n<link rel=stylesheet href=\"s.css\""));
    EXPECT_NE(report.find("<a href=\"sub/a.txt\">sub/a.txt</a></td><td>3</td><td>900150983cd24fb0d6963f7d28e17f72"),
              std::string::npos);
}

TEST_F(BatchTest, OutputDashWritesTheReportToStandardOutput)
{
    const ChildResult result = run({"--input", input(), "--output", "-", "--title", "T"});
    EXPECT_EQ(result.exitCode, 0) << result.errors;
    EXPECT_TRUE(result.output.starts_with("<html><head><title>T</title>\r\n"));
    EXPECT_TRUE(result.output.ends_with("</body></html>\r\n"));
    EXPECT_EQ(namesIn(folder / "out"), "");
}

TEST_F(BatchTest, EmptyFieldPrintsTheWarning)
{
    const ChildResult result = run({"--input", "", "--output", output()});
    EXPECT_EQ(result.exitCode, 2);
    EXPECT_EQ(result.errors, kEmptyFields);
}

TEST_F(BatchTest, UsageErrorShowsTheUsageAndHelpPrintsIt)
{
    const ChildResult unknown = run({"--input", input(), "--frobnicate"});
    EXPECT_EQ(unknown.exitCode, 2);
    EXPECT_TRUE(unknown.errors.starts_with("vaskerel: The following argument was not expected: --frobnicate\n\nUsage: "));
    const ChildResult help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.output.starts_with("Usage: vaskerel"));
    EXPECT_EQ(namesIn(folder / "out"), "");
}

TEST_F(BatchTest, MissingInputFolderExitsOneAndNamesIt)
{
    writeFile(output(), "old");
    const ChildResult result = run({"--input", folder / "nope", "--output", output()});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.errors, "vaskerel: cannot list folder " + (folder / "nope") + ": No such file or directory\n");
    EXPECT_EQ(readFile(output()), "old");
}

TEST_F(BatchTest, OutputInAMissingFolderExitsOne)
{
    const ChildResult result = run({"--input", input(), "--output", folder / "none/list.htm"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.errors, "vaskerel: cannot write " + (folder / "none/list.htm") + ": No such file or directory\n");
    EXPECT_FALSE(fs::exists(folder / "none"));
}

TEST_F(BatchTest, NamesThatLookLikeMarkupCannotReachTheTerminalRaw)
{
    folder.openToEveryone();
    ::chmod((folder / "out").c_str(), 0777);
    const std::string sneaky = folder / "in/\x1b[2Jclear";
    writeFile(sneaky, "x");
    ::chmod(sneaky.c_str(), 0);
    const ChildResult result = run({"--input", input(), "--output", output()}, {.unprivileged = true});
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_EQ(result.errors.find('\x1b'), std::string::npos);
    EXPECT_NE(result.errors.find("\\x1B[2Jclear"), std::string::npos);
}

TEST_F(BatchTest, ExcludePatternThatMatchedNothingIsNamed)
{
    const ChildResult result = run({"-i", input(), "-o", output(), "-x", "sub/", "-x", "./nothing*", "-q"});
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.errors, "vaskerel: --exclude ./nothing* matched nothing\n");
    EXPECT_EQ(readFile(output()).find("sub/a.txt"), std::string::npos);
}

TEST_F(BatchTest, StylesheetIsWrittenOutForReportsToLinkTo)
{
    const std::string shipped = readFile(std::string(VASKEREL_SOURCE_DIR) + "/data/report.css");
    const ChildResult written = run({"--write-stylesheet", folder / "out/report.css"});
    EXPECT_EQ(written.exitCode, 0);
    EXPECT_EQ(written.errors, "");
    EXPECT_EQ(readFile(folder / "out/report.css"), shipped);
    const ChildResult shown = run({"--write-stylesheet", "-"});
    EXPECT_EQ(shown.exitCode, 0);
    EXPECT_EQ(shown.output, shipped);
}

TEST_F(BatchTest, StylesheetThatCannotBeWrittenSaysWhy)
{
    const ChildResult result = run({"--write-stylesheet", folder / "missing/report.css"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(result.errors, "vaskerel: cannot write " + folder / "missing/report.css" + ": No such file or directory\n");
}
