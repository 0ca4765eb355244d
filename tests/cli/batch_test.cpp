#include "cli/option_table.h"

#include "child_process.h"
#include "program_runs.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>

using namespace testing_support;

namespace fs = std::filesystem;

namespace {

const std::string kTryHelp = vaskerel::tryHelpText();

class BatchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        writeFile(folder / "in/sub/a.txt", "abc");
        writeFile(folder / "in/b.txt", "b");
        fs::create_directories(folder / "out");
    }

    ChildResult run(const std::vector<std::string>& arguments, const ChildLimits& limits = {}) const
    {
        return runVaskerel(arguments, limits, folder.path().string());
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
    EXPECT_EQ(exitAndErrors(result) + result.output, "exit 0: ");
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
    // Standard output that is the manifest, as "> FILE" makes it: one file, two outputs.
    const std::string sums = folder / "out/sums";
    const ChildResult twice = runVaskerelAfter(
        [&] { ::dup2(::open(sums.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644), STDOUT_FILENO); },
        {"-q", "-i", input(), "-o", "/dev/stdout", "--checksums", sums});
    EXPECT_EQ(exitAndErrors(twice), "exit 1: vaskerel: cannot write " + sums +
                                        ": two of the outputs (report and manifests) would be the same file\n");
    EXPECT_EQ(readFile(sums), "");
}

TEST_F(BatchTest, UsageErrorIsTwoLinesAndHelpPrintsTheUsage)
{
    EXPECT_EQ(exitAndErrors(run({"--input", input(), "--frobnicate", "x", "y"})),
              "exit 2: vaskerel: unrecognized option '--frobnicate'\n" + kTryHelp);
    EXPECT_EQ(exitAndErrors(run({"x", "--input", input(), "y", "-o", output(), "z"})),
              "exit 2: vaskerel: unexpected arguments: x y z\n" + kTryHelp);
    const ChildResult help = run({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.output.starts_with("Usage: vaskerel"));
    EXPECT_EQ(namesIn(folder / "out"), "");
}

TEST_F(BatchTest, HelpAndVersionThatCannotBeWrittenAreWriteErrors)
{
    for (const char* option : {"--help", "--version"}) {
        EXPECT_EQ(exitAndErrors(runVaskerelAfter(standardOutputOnAFullDisk, {option})),
                  "exit 1: vaskerel: write error: No space left on device\n");
        EXPECT_EQ(exitAndErrors(runVaskerelAfter(standardOutputOnAClosedPipe, {option})),
                  "exit 1: vaskerel: write error: Broken pipe\n");
    }
}

TEST_F(BatchTest, WithoutADisplayNoArgumentsPrintTheUsageAndExitTwo)
{
    // No display named at all, then one that does not exist.
    for (const char* display : {static_cast<const char*>(nullptr), ":4093"}) {
        const ChildResult result = runVaskerelAfter(
            [display] {
                ::unsetenv("WAYLAND_DISPLAY");
                ::unsetenv("QT_QPA_PLATFORM");
                display != nullptr ? ::setenv("DISPLAY", display, 1) : ::unsetenv("DISPLAY");
            },
            {});
        EXPECT_EQ(result.exitCode, 2) << result.errors;
        EXPECT_EQ(result.output, "");
        EXPECT_TRUE(result.errors.starts_with("vaskerel: cannot open the window: ")) << result.errors;
        const std::string synopsis = vaskerel::usageSynopsis();
        EXPECT_EQ(std::count(result.errors.begin(), result.errors.end(), '\n'),
                  1 + std::count(synopsis.begin(), synopsis.end(), '\n'))
            << result.errors;
        EXPECT_NE(result.errors.find("\nUsage: vaskerel -i DIR -o FILE"), std::string::npos) << result.errors;
    }
}

TEST_F(BatchTest, ProgressLineGoesToATerminalWithEscapesOnlyWhereItHasThem)
{
    const std::vector<std::string> arguments = {"-i", input(), "-o", output()};
    int exitCode = -1;
    const std::string xterm = standardErrorOnTerminal(arguments, "xterm", exitCode);
    EXPECT_EQ(exitCode, 0);
    EXPECT_NE(xterm.find("\r\033[K2 files, 4 B, "), std::string::npos) << xterm;
    const std::string plain = standardErrorOnTerminal(arguments, "dumb", exitCode);
    EXPECT_EQ(exitCode, 0);
    EXPECT_NE(plain.find("\r2 files, 4 B, "), std::string::npos) << plain;
    EXPECT_EQ(plain.find('\033'), std::string::npos) << plain;
    EXPECT_EQ(standardErrorOnTerminal({"-q", "-i", input(), "-o", output()}, "xterm", exitCode), "");
}

TEST_F(BatchTest, MissingInputFolderExitsOneAndNamesIt)
{
    writeFile(output(), "old");
    EXPECT_EQ(exitAndErrors(run({"--input", folder / "nope", "--output", output()})),
              "exit 1: vaskerel: cannot list folder " + (folder / "nope") + ": No such file or directory\n");
    EXPECT_EQ(readFile(output()), "old");
}

TEST_F(BatchTest, OutputInAMissingFolderExitsOne)
{
    EXPECT_EQ(exitAndErrors(run({"--input", input(), "--output", folder / "none/list.htm"})),
              "exit 1: vaskerel: cannot write " + (folder / "none/list.htm") + ": No such file or directory\n");
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
    EXPECT_EQ(exitAndErrors(run({"-i", input(), "-o", output(), "-x", "sub/", "-x", "./nothing*", "-q"})),
              "exit 0: vaskerel: --exclude ./nothing* matched nothing\n");
    EXPECT_EQ(readFile(output()).find("sub/a.txt"), std::string::npos);
}

TEST_F(BatchTest, StylesheetIsWrittenOutForReportsToLinkTo)
{
    const std::string shipped = readFile(std::string(VASKEREL_SOURCE_DIR) + "/data/report.css");
    EXPECT_EQ(exitAndErrors(run({"--write-stylesheet", folder / "out/report.css"})), "exit 0: ");
    EXPECT_EQ(readFile(folder / "out/report.css"), shipped);
    const ChildResult shown = run({"--write-stylesheet", "-"});
    EXPECT_EQ(shown.exitCode, 0);
    EXPECT_EQ(shown.output, shipped);
}

TEST_F(BatchTest, StylesheetThatCannotBeWrittenSaysWhy)
{
    const ChildResult result = run({"--write-stylesheet", folder / "missing/report.css"});
    EXPECT_EQ(exitAndErrors(result) + result.output,
              "exit 1: vaskerel: cannot write " + folder / "missing/report.css" + ": No such file or directory\n");
}
