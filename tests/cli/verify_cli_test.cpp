#include "child_process.h"
#include "temp_folder.h"

#include <gtest/gtest.h>

#include <filesystem>

using testing_support::ChildResult;
using testing_support::TempFolder;
using testing_support::vaskerelPath;
using testing_support::writeFile;

namespace fs = std::filesystem;

namespace {

class VerifyCliTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        fs::create_directories(folder / "in/sub");
        for (const char* name : {"a b", "#%?", "&<>\"", "日本語", "raw\xFF", "ctl\x01", "sub/x", "z"})
            writeFile(folder / ("in/" + std::string(name)), name);
        ASSERT_EQ(run({"--input", input(), "--output", report(), "--exclude", "*.skip"}).exitCode, 0);
    }

    ChildResult run(std::vector<std::string> arguments) const
    {
        arguments.insert(arguments.begin(), vaskerelPath());
        return testing_support::runProgram(arguments);
    }

    ChildResult verify(std::vector<std::string> extra = {}) const
    {
        std::vector<std::string> arguments = {"--verify", report(), "--input", input()};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        return run(arguments);
    }

    std::string input() const { return folder / "in"; }
    std::string report() const { return folder / "report.htm"; }

    TempFolder folder;
};

} // namespace

TEST_F(VerifyCliTest, UnchangedTreeMatches)
{
    const ChildResult result = verify();
    EXPECT_EQ(result.exitCode, 0);
    EXPECT_EQ(result.output, "");
    EXPECT_EQ(result.errors, "vaskerel: 8 files checked: 0 changed, 0 missing, 0 new\n");
}

TEST_F(VerifyCliTest, DifferencesComeOneLinePerEntryInReportOrderThenNew)
{
    writeFile(folder / "in/&<>\"", "edited");
    writeFile(folder / "in/ctl\x01", "edited too");
    fs::remove(folder / "in/sub/x");
    writeFile(folder / "in/added", "new");
    writeFile(folder / "in/ignored.skip", "not part of the check");
    const ChildResult result = verify({"--exclude", "*.skip", "--jobs", "2"});
    EXPECT_EQ(result.exitCode, 1);
    EXPECT_EQ(result.output, "missing sub/x\nchanged &<>\"\nchanged ctl\\x01\nnew added\n");
    EXPECT_EQ(result.errors, "vaskerel: 7 files checked: 2 changed, 1 missing, 1 new\n");
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

TEST_F(VerifyCliTest, ChecksumManifestPassesMd5sumAndVerifiesLikeTheReport)
{
    writeFile(folder / "in/new\nline", "n");
    writeFile(folder / "in/back\\slash", "b");
    const std::string manifest = folder / "sums.md5";
    ASSERT_EQ(run({"-i", input(), "-o", report(), "--checksums", manifest}).exitCode, 0);
    const ChildResult check = testing_support::runProgram({"/bin/sh", "-c", "cd \"$0\" && md5sum --quiet -c \"$1\"",
                                                           input(), manifest});
    EXPECT_EQ(check.exitCode, 0) << check.output << check.errors;
    const ChildResult matches = run({"--verify", manifest, "-i", input()});
    EXPECT_EQ(matches.exitCode, 0) << matches.errors;
    writeFile(folder / "in/sub/x", "edited");
    const ChildResult differs = run({"--verify", manifest, "-i", input()});
    EXPECT_EQ(differs.exitCode, 1);
    EXPECT_EQ(differs.output, "changed sub/x\n");
}
