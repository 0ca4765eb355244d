#include "child_process.h"
#include "program_runs.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <filesystem>

using namespace testing_support;

namespace fs = std::filesystem;

namespace {

class VerifyCliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        for (const char* name : {"a b", "#%?", "&<>\"", "日本語", "raw\xFF", "ctl\x01", "sub/x", "z"})
            writeFile(folder / ("in/" + std::string(name)), name);
        ASSERT_EQ(run({"--input", input(), "--output", report(), "--exclude", "*.skip"}).exitCode, 0);
    }

    ChildResult run(const std::vector<std::string>& arguments) const { return runVaskerel(arguments); }

    ChildResult verify(std::vector<std::string> extra = {}) const
    {
        std::vector<std::string> arguments = {"--verify", report(), "--input", input()};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return run(arguments);
    }

    // A shell command run in the input folder, with the file as $1.
    ChildResult shellInInput(const std::string& command, const std::string& file) const
    {
        return runProgram({"/bin/sh", "-c", "cd \"$0\" && " + command, input(), file});
    }

    std::string input() const { return folder / "in"; }
    std::string report() const { return folder / "report.htm"; }

    TempFolder folder;
};

} // namespace

TEST_F(VerifyCliTest, UnchangedTreeMatches)
{
    const ChildResult result = verify();
    EXPECT_EQ(exitAndErrors(result) + result.output,
              "exit 0: vaskerel: 8 files checked by size and MD5: 0 changed, 0 missing, 0 new\n");
}

TEST_F(VerifyCliTest, DifferencesComeOneLinePerEntryInReportOrderThenNew)
{
    writeFile(folder / "in/&<>\"", "edited");
    writeFile(folder / "in/ctl\x01", "edited too");
    fs::remove(folder / "in/sub/x");
    writeFile(folder / "in/added", "new");
    writeFile(folder / "in/ignored.skip", "not part of the check");
    const ChildResult result = verify({"--exclude", "*.skip", "--jobs", "2"});
    EXPECT_EQ(result.output, "missing sub/x\nchanged &<>\"\nchanged ctl\\x01\nnew added\n");
    EXPECT_EQ(exitAndErrors(result), "exit 1: vaskerel: 7 files checked by size and MD5: 2 changed, 1 missing, 1 new\n");
}

TEST_F(VerifyCliTest, CannotVerifyExitsTwo)
{
    writeFile(folder / "foreign.htm", "<html><head><title>x</title></head></html>\r\n");
    const ChildResult foreign = run({"--verify", folder / "foreign.htm", "--input", input()});
    EXPECT_EQ(foreign.exitCode, 2);
    EXPECT_EQ(foreign.output, "");
    EXPECT_NE(foreign.errors.find("is not a report written by vaskerel"), std::string::npos);

    EXPECT_EQ(run({"--verify", report()}).exitCode, 2);
}

// md5sum -c and sha256sum -c accept the manifests of odd names, and verify reads them back: a
// change, a removal and an addition show through either.
TEST_F(VerifyCliTest, ManifestsPassMd5sumAndSha256sumAndVerifyLikeTheReport)
{
    for (const char* name : {"new\nline", "back\\slash", "-", " lead", "*star", "cr\r"})
        writeFile(folder / ("in/" + std::string(name)), name);
    const std::string md5 = folder / "sums.md5";
    const std::string sha256 = folder / "sums.sha256";
    ASSERT_EQ(run({"-i", input(), "-o", report(), "--checksums", md5, "--sha256", sha256}).exitCode, 0);
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

TEST_F(VerifyCliTest, AManifestOfMixedOrUnknownDigestsIsRefusedInThoseWords)
{
    const std::string md5 = std::string(32, 'a');
    const std::string sha256 = std::string(64, 'b');
    const std::vector<std::pair<std::string, std::string>> cases = {
        {md5 + "  z\n" + sha256 + "  sub/x\n", "it mixes MD5 and SHA-256 digests"},
        {"SHA1 (z) = " + std::string(40, 'c') + "\n", "a digest of a kind it cannot tell; only MD5 and SHA-256 are read"},
    };
    for (const auto& [content, problem] : cases) {
        writeFile(folder / "odd.sums", content);
        const ChildResult result = run({"--verify", folder / "odd.sums", "-i", input()});
        EXPECT_EQ(result.exitCode, 2);
        EXPECT_NE(result.errors.find(problem), std::string::npos) << result.errors;
    }
}

TEST_F(VerifyCliTest, AHandOverVerifiesWithEitherOutputWhereverTheyLie)
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
    EXPECT_EQ(exitAndErrors(byReport), "exit 0: vaskerel: skipped SUMS.md5" + note + "vaskerel: skipped SUMS.sha256" +
                                           namesOnly + "vaskerel: 8 files checked by size and MD5: 0 changed, 0 missing, 0 new\n");
    EXPECT_EQ(exitAndErrors(run({"--verify", manifest, "-i", input()})),
              "exit 0: vaskerel: skipped sub/index.html" + note + "vaskerel: skipped SUMS.sha256" + namesOnly +
                  "vaskerel: 8 files checked by MD5: 0 changed, 0 missing, 0 new\n");
    // Checked by SHA-256, every other output's digests are computed and compared.
    EXPECT_EQ(exitAndErrors(run({"--verify", folder / "in/SUMS.sha256", "-i", input()})),
              "exit 0: vaskerel: skipped sub/index.html" + note + "vaskerel: skipped SUMS.md5" + note +
                  "vaskerel: 8 files checked by SHA-256: 0 changed, 0 missing, 0 new\n");
}

TEST_F(VerifyCliTest, ManifestsInEveryFormMd5sumWritesVerify)
{
    const std::string tagged = folder / "tagged.md5";
    const ChildResult made = shellInInput(
        "{ echo '# made with --tag'; echo; find . -type f | sort | xargs -d '\\n' md5sum --tag; } >\"$1\"", tagged);
    ASSERT_EQ(made.exitCode, 0) << made.errors;
    EXPECT_EQ(exitAndErrors(run({"--verify", tagged, "-i", input()})),
              "exit 0: vaskerel: 8 files checked by MD5: 0 changed, 0 missing, 0 new\n");
}

TEST_F(VerifyCliTest, NulSeparatedAndEmptyManifestsAreRefusedAndSaySo)
{
    const std::string zero = folder / "zero.md5";
    ASSERT_EQ(shellInInput("md5sum -z z >\"$1\"", zero).exitCode, 0);
    EXPECT_EQ(exitAndErrors(run({"--verify", zero, "-i", input()})),
              "exit 2: vaskerel: " + zero +
                  " holds a NUL byte: manifests whose lines end in NUL (md5sum -z) are not read; make it without -z (line 1)\n");
    writeFile(folder / "empty.md5", "");
    EXPECT_EQ(exitAndErrors(run({"--verify", folder / "empty.md5", "-i", input()})),
              "exit 2: vaskerel: " + (folder / "empty.md5") + " is empty\n");
}

TEST_F(VerifyCliTest, DifferencesThatCannotBeWrittenAreAnErrorOfTheirOwn)
{
    writeFile(folder / "in/z", "changed");
    const std::string lost = "; the differences found could not all be written\n";
    const std::vector<std::string> arguments = {"--verify", report(), "-i", input()};
    EXPECT_EQ(exitAndErrors(runVaskerelAfter(standardOutputOnAFullDisk, arguments)),
              "exit 4: vaskerel: write error: No space left on device" + lost);
    EXPECT_EQ(exitAndErrors(runVaskerelAfter(standardOutputOnAClosedPipe, arguments)),
              "exit 4: vaskerel: write error: Broken pipe" + lost);
}

TEST_F(VerifyCliTest, StatusPrintsNothingButTheExitStatusTells)
{
    const ChildResult matches = verify({"--status"});
    EXPECT_EQ(exitAndErrors(matches) + matches.output, "exit 0: ");
    writeFile(folder / "in/z", "changed");
    writeFile(folder / "in/added", "new");
    const ChildResult differs = verify({"--status", "-x", "nothing-matches"});
    EXPECT_EQ(exitAndErrors(differs) + differs.output, "exit 1: ");
    // What makes the check impossible is still said.
    EXPECT_EQ(exitAndErrors(run({"--verify", folder / "none.htm", "-i", input(), "--status"})),
              "exit 2: vaskerel: cannot read " + (folder / "none.htm") + ": No such file or directory\n");
}

TEST_F(VerifyCliTest, ProgressLineShowsOnATerminalUnlessQuiet)
{
    int exitCode = -1;
    const std::string shown = standardErrorOnTerminal({"--verify", report(), "-i", input()}, "xterm", exitCode);
    EXPECT_EQ(exitCode, 0);
    EXPECT_NE(shown.find("\r\033[K8 files, "), std::string::npos) << shown;
    for (const char* quiet : {"-q", "--status"}) {
        const std::string hidden =
            standardErrorOnTerminal({"--verify", report(), "-i", input(), quiet}, "xterm", exitCode);
        EXPECT_EQ(exitCode, 0);
        EXPECT_EQ(hidden.find('\033'), std::string::npos) << quiet << ": " << hidden;
    }
}

// A stopped check says so and nothing more: the differences found before the stop, or the rows
// it never reached as missing, would read as the outcome of a finished check.
TEST_F(VerifyCliTest, StopSignalEndsTheCheckPromptlyAndClaimsNoDifferences)
{
    writeFile(folder / "in/a b", "edited before the stop");
    makeSparseFile(folder / "in/huge", off_t{1} << 40);
    for (const int signal : {SIGINT, SIGTERM}) {
        RunningProgram program({vaskerelPath(), "--verify", report(), "-i", input()});
        ASSERT_TRUE(program.waitUntilReading(folder / "in/huge"));
        const auto signalled = std::chrono::steady_clock::now();
        program.signal(signal);
        const ChildResult result = program.wait();
        EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(5)) << "signal " << signal;
        EXPECT_EQ(exitAndErrors(result) + result.output,
                  "exit " + std::to_string(128 + signal) + ": vaskerel: stopped before the check was complete\n");
    }
}

// A report read from a pipe that never ends holds the check in a read no signal interrupts.
TEST_F(VerifyCliTest, StopSignalEndsACheckStillWaitingForItsReport)
{
    const std::string pipe = folder / "report.fifo";
    ASSERT_EQ(::mkfifo(pipe.c_str(), 0600), 0);
    RunningProgram program({vaskerelPath(), "--verify", pipe, "-i", input()});
    // Opened only now, so that the program cannot have it from the fork.
    const int writer = ::open(pipe.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(writer, 0);
    const std::string firstLine = "<html><head><title>x</title>\r\n";
    ASSERT_EQ(::write(writer, firstLine.data(), firstLine.size()), static_cast<ssize_t>(firstLine.size()));
    ASSERT_TRUE(program.waitUntilReading(pipe));
    const auto signalled = std::chrono::steady_clock::now();
    program.signal(SIGTERM);
    const ChildResult result = program.wait();
    ::close(writer);
    EXPECT_LT(std::chrono::steady_clock::now() - signalled, std::chrono::seconds(5));
    EXPECT_EQ(exitAndErrors(result) + result.output, "exit 143: vaskerel: stopped before the check was complete\n");
}
