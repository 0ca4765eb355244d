#include "cli/option_table.h"

#include "child_process.h"
#include "program_runs.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <tuple>

using namespace testing_support;

namespace fs = std::filesystem;

namespace {

class BatchTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"a b", "#%?", "&<>\"", "日本語", "raw\xFF", "ctl\x01", "sub/x", "z"})
            writeFile(folder / ("in/" + std::string(name)), name);
        fs::create_directories(folder / "out");
    }

    ChildResult run(const std::vector<std::string>& arguments) const { return runVaskerel(arguments); }
    ChildResult generate() const { return run({"-i", input(), "-o", output(), "-q"}); }
    ChildResult verify(std::vector<std::string> extra = {}) const
    {
        extra.insert(extra.begin(), {"--verify", output(), "--input", input()});
        return run(extra);
    }
    // A shell command run in the input folder, with the file as $1.
    ChildResult shellInInput(const std::string& command, const std::string& file) const
    {
        return runProgram({"/bin/sh", "-c", "cd \"$0\" && " + command, input(), file});
    }

    std::string input() const { return folder / "in"; }
    std::string output() const { return folder / "out/list.htm"; }

    TempFolder folder;
};

const std::string kMatches = "vaskerel: 8 files checked by size and MD5: 0 changed, 0 missing, 0 new\n";

} // namespace

TEST_F(BatchTest, ARunWritesTheReportSilentlyAndVerifiesAgainstIt)
{
    const ChildResult result =
        run({"--input", input(), "--output", output(), "--title", "T", "--stylesheet=s.css", "--jobs", "2", "--quiet"});
    EXPECT_EQ(exitAndErrors(result) + result.output, "exit 0: ");
    const std::string report = readFile(output());
    EXPECT_TRUE(report.starts_with("<html><head><title>T</title>\r\n<link rel=stylesheet href=\"s.css\""));
    EXPECT_NE(report.find("<a href=\"z\">z</a></td><td>1</td><td>fbade9e36a3f36d3d676c1b808451dd7"), std::string::npos);
    const ChildResult matches = verify();
    EXPECT_EQ(exitAndErrors(matches) + matches.output, "exit 0: " + kMatches);
    EXPECT_EQ(exitAndErrors(verify({"--status"})), "exit 0: ");
}

TEST_F(BatchTest, DifferencesComeOneLinePerEntryInReportOrderThenNew)
{
    ASSERT_EQ(run({"-i", input(), "-o", output(), "-x", "*.skip"}).exitCode, 0);
    writeFile(folder / "in/&<>\"", "edited");
    writeFile(folder / "in/ctl\x01", "edited too");
    fs::remove(folder / "in/sub/x");
    writeFile(folder / "in/added", "new");
    writeFile(folder / "in/ignored.skip", "not part of the check");
    const ChildResult result = verify({"--exclude", "*.skip", "--jobs", "2"});
    EXPECT_EQ(result.output, "missing sub/x\nchanged &<>\"\nchanged ctl\\x01\nnew added\n");
    EXPECT_EQ(exitAndErrors(result), "exit 1: vaskerel: 7 files checked by size and MD5: 2 changed, 1 missing, 1 new\n");
    const ChildResult silent = verify({"--status", "-x", "*.skip"});
    EXPECT_EQ(exitAndErrors(silent) + silent.output, "exit 1: ");
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

TEST_F(BatchTest, EveryFailureEndsInItsStatusAndOneLine)
{
    ASSERT_EQ(generate().exitCode, 0);
    const std::string zero(32, '0');
    writeFile(folder / "nul.md5", zero + "  z" + std::string(1, '\0') + zero + "  a b" + std::string(1, '\0'));
    writeFile(folder / "empty.md5", "");
    const std::string missing = folder / "none/list.htm";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"-i", input(), "-x", "y", "-o", output(), "z"}, "exit 2: vaskerel: unexpected argument: z\n" + vaskerel::tryHelpText()},
        {{"-i", folder / "nope", "-o", output()},
         "exit 1: vaskerel: cannot list folder " + (folder / "nope") + ": No such file or directory\n"},
        {{"-i", input(), "-o", missing}, "exit 1: vaskerel: cannot write " + missing + ": No such file or directory\n"},
        {{"--write-stylesheet", missing}, "exit 1: vaskerel: cannot write " + missing + ": No such file or directory\n"},
        {{"-i", input(), "-o", folder / "r.htm", "-x", "sub/", "-x", "./nothing*", "-q"},
         "exit 0: vaskerel: --exclude ./nothing* matched nothing\n"},
        {{"--verify", missing, "-i", input(), "--status"},
         "exit 2: vaskerel: cannot read " + missing + ": No such file or directory\n"},
        {{"--verify", folder / "empty.md5", "-i", input()}, "exit 2: vaskerel: " + (folder / "empty.md5") + " is empty\n"},
        {{"--verify", folder / "nul.md5", "-i", input()},
         "exit 2: vaskerel: " + (folder / "nul.md5") +
             " holds a NUL byte: manifests whose lines end in NUL (md5sum -z) are not read; make it without -z (line 1)\n"},
    };
    for (const auto& [arguments, expected] : cases) {
        const ChildResult result = run(arguments);
        EXPECT_EQ(exitAndErrors(result) + result.output, expected);
    }
    EXPECT_FALSE(fs::exists(folder / "none"));
    EXPECT_EQ(readFile(folder / "r.htm").find("sub/x"), std::string::npos);
    EXPECT_EQ(verify().exitCode, 0) << "a failed run replaced the report";
    // Listings it cannot read as a whole are refused in words of what they hold.
    const std::vector<std::pair<std::string, std::string>> listings = {
        {"<html><head><title>x</title></head></html>\r\n", "is not a report written by vaskerel"},
        {std::string(32, 'a') + "  z\n" + std::string(64, 'b') + "  sub/x\n", "it mixes MD5 and SHA-256 digests"},
        {"SHA1 (z) = " + std::string(40, 'c') + "\n", "a digest of a kind it cannot tell; only MD5 and SHA-256 are read"},
    };
    for (const auto& [content, problem] : listings) {
        writeFile(folder / "odd", content);
        const ChildResult result = run({"--verify", folder / "odd", "-i", input()});
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_NE(result.errors.find(problem), std::string::npos) << result.errors;
    }
}

TEST_F(BatchTest, StandardOutputThatCannotBeWrittenIsAWriteError)
{
    ASSERT_EQ(generate().exitCode, 0);
    writeFile(folder / "in/z", "changed");
    const std::string lost = "; the differences found could not all be written";
    for (const auto& [arguments, status, ending] : std::vector<std::tuple<std::vector<std::string>, int, std::string>>{
             {{"--help"}, 1, ""}, {{"--version"}, 1, ""}, {{"--verify", output(), "-i", input()}, 4, lost}}) {
        const std::string said = "exit " + std::to_string(status) + ": vaskerel: write error: ";
        EXPECT_EQ(exitAndErrors(runVaskerelAfter(standardOutputOnAFullDisk, arguments)),
                  said + "No space left on device" + ending + "\n");
        EXPECT_EQ(exitAndErrors(runVaskerelAfter(standardOutputOnAClosedPipe, arguments)), said + "Broken pipe" + ending + "\n");
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
    const std::vector<std::string> check = {"--verify", output(), "-i", input()};
    int exitCode = -1;
    const std::string xterm = standardErrorOnTerminal(arguments, "xterm", exitCode);
    EXPECT_EQ(exitCode, 0);
    EXPECT_NE(xterm.find("\r\033[K8 files, 33 B, "), std::string::npos) << xterm;
    const std::string plain = standardErrorOnTerminal(arguments, "dumb", exitCode);
    EXPECT_NE(plain.find("\r8 files, 33 B, "), std::string::npos) << plain;
    EXPECT_EQ(plain.find('\033'), std::string::npos) << plain;
    const std::string checking = standardErrorOnTerminal(check, "xterm", exitCode);
    EXPECT_EQ(exitCode, 0);
    EXPECT_NE(checking.find("\r\033[K8 files, "), std::string::npos) << checking;
    for (const char* quiet : {"-q", "--status"})
        EXPECT_EQ(standardErrorOnTerminal({check[0], check[1], check[2], check[3], quiet}, "xterm", exitCode).find('\033'),
                  std::string::npos);
    EXPECT_EQ(standardErrorOnTerminal({"-q", "-i", input(), "-o", output()}, "xterm", exitCode), "");
}

TEST_F(BatchTest, StylesheetIsWrittenOutForReportsToLinkTo)
{
    const std::string shipped = readFile(std::string(VASKEREL_SOURCE_DIR) + "/data/report.css");
    writeFile(folder / "out/report.css", "an older stylesheet");
    EXPECT_EQ(exitAndErrors(run({"--write-stylesheet", folder / "out/report.css"})), "exit 0: ");
    EXPECT_EQ(readFile(folder / "out/report.css"), shipped);
    EXPECT_EQ(namesIn(folder / "out"), "report.css\n");
    const ChildResult shown = run({"--write-stylesheet", "-"});
    EXPECT_EQ(shown.exitCode, 0);
    EXPECT_EQ(shown.output, shipped);
}

// md5sum -c and sha256sum -c accept the manifests of odd names, and verify reads them back: a
// change, a removal and an addition show through either.
TEST_F(BatchTest, ManifestsPassMd5sumAndSha256sumAndVerifyLikeTheReport)
{
    for (const char* name : {"new\nline", "back\\slash", "-", " lead", "*star", "cr\r"})
        writeFile(folder / ("in/" + std::string(name)), name);
    const std::string md5 = folder / "sums.md5";
    const std::string sha256 = folder / "sums.sha256";
    ASSERT_EQ(run({"-i", input(), "-o", output(), "--checksums", md5, "--sha256", sha256}).exitCode, 0);
    for (const auto& [tool, manifest] : {std::pair{"md5sum", md5}, std::pair{"sha256sum", sha256}}) {
        const ChildResult check = shellInInput(std::string(tool) + " --quiet -c \"$1\"", manifest);
        EXPECT_EQ(check.exitCode, 0) << tool << check.output << check.errors;
        const ChildResult matches = run({"--verify", manifest, "-i", input()});
        EXPECT_EQ(matches.exitCode, 0) << matches.errors;
    }
    writeFile(folder / "in/sub/x", "edited");
    fs::remove(folder / "in/z");
    writeFile(folder / "in/added", "new");
    const ChildResult differs = run({"--verify", sha256, "-i", input()});
    EXPECT_EQ(differs.output, "changed sub/x\nmissing z\nnew added\n");
    EXPECT_EQ(exitAndErrors(differs), "exit 1: vaskerel: 13 files checked by SHA-256: 1 changed, 1 missing, 1 new\n");
}

TEST_F(BatchTest, AHandOverVerifiesWithEitherOutputWhereverTheyLie)
{
    const std::string report = folder / "in/sub/index.html";
    const std::string manifest = folder / "in/SUMS.md5";
    ASSERT_EQ(run({"-i", input(), "-o", report, "--checksums", manifest, "--sha256", folder / "in/SUMS.sha256"}).exitCode,
              0);
    const ChildResult md5sum = shellInInput("md5sum --quiet -c \"$1\"", manifest);
    EXPECT_EQ(md5sum.exitCode, 0) << md5sum.output;
    const std::string note = ": it lists exactly the files of the report being checked\n";
    const ChildResult byReport = run({"--verify", report, "-i", input()});
    EXPECT_EQ(byReport.output, "");
    const std::string namesOnly =
        ": it lists the files of the report being checked; its SHA-256 digests were not compared\n";
    EXPECT_EQ(exitAndErrors(byReport),
              "exit 0: vaskerel: skipped SUMS.md5" + note + "vaskerel: skipped SUMS.sha256" + namesOnly + kMatches);
    EXPECT_EQ(exitAndErrors(run({"--verify", manifest, "-i", input()})),
              "exit 0: vaskerel: skipped sub/index.html" + note + "vaskerel: skipped SUMS.sha256" + namesOnly +
                  "vaskerel: 8 files checked by MD5: 0 changed, 0 missing, 0 new\n");
    // Checked by SHA-256, every other output's digests are computed and compared.
    EXPECT_EQ(exitAndErrors(run({"--verify", folder / "in/SUMS.sha256", "-i", input()})),
              "exit 0: vaskerel: skipped sub/index.html" + note + "vaskerel: skipped SUMS.md5" + note +
                  "vaskerel: 8 files checked by SHA-256: 0 changed, 0 missing, 0 new\n");
}

// A stopped check says so and nothing more: the differences found before the stop, or the rows
// it never reached as missing, would read as the outcome of a finished check. A report read
// from a pipe that never ends holds the check in a read no signal interrupts.
TEST_F(BatchTest, StopSignalEndsACheckPromptlyAndClaimsNoDifferences)
{
    ASSERT_EQ(generate().exitCode, 0);
    writeFile(folder / "in/a b", "edited before the stop");
    makeSparseFile(folder / "in/huge", off_t{1} << 40);
    const std::string pipe = folder / "report.fifo";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    for (const auto& [report, signal] : {std::pair{output(), SIGINT}, std::pair{output(), SIGTERM}, std::pair{pipe, SIGTERM}}) {
        RunningProgram program({vaskerelPath(), "--verify", report, "-i", input()});
        // Opened only now, so that the program cannot have it from the fork.
        const int writer = report == pipe ? ::open(pipe.c_str(), O_RDWR | O_CLOEXEC) : -1;
        const std::string firstLine = "<html><head><title>x</title>\r\n";
        if (writer >= 0) {
            ASSERT_EQ(::write(writer, firstLine.data(), firstLine.size()), static_cast<ssize_t>(firstLine.size()));
        }
        ASSERT_TRUE(program.waitUntilReading(writer >= 0 ? pipe : folder / "in/huge"));
        const auto signalled = std::chrono::steady_clock::now();
        program.signal(signal);
        const ChildResult result = program.wait();
        EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(5)) << report;
        EXPECT_EQ(exitAndErrors(result) + result.output,
                  "exit " + std::to_string(128 + signal) + ": vaskerel: stopped before the check was complete\n");
        if (writer >= 0)
            ::close(writer);
    }
}
