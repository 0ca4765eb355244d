#include "cli/command_line.h"

#include <gtest/gtest.h>

using vaskerel::CommandLine;

namespace {

CommandLine parsed(std::vector<std::string> arguments)
{
    return CommandLine::parse(arguments);
}

} // namespace

TEST(CommandLine, NoArgumentsOpenTheWindow)
{
    EXPECT_EQ(parsed({}).action, CommandLine::Action::OpenWindow);
}

TEST(CommandLine, TakesEveryFieldInBothSpellings)
{
    const CommandLine line = parsed({"--input", "in dir", "--output=out.htm", "--title", "--stylesheet", "--stylesheet=",
                                     "--exclude", "*.tmp", "--exclude=build/*", "--jobs", "3", "--quiet"});
    ASSERT_EQ(line.action, CommandLine::Action::Generate) << line.error;
    EXPECT_EQ(line.request.inputDir, "in dir");
    EXPECT_EQ(line.request.outputFile, "out.htm");
    EXPECT_EQ(line.request.title, "--stylesheet");
    EXPECT_EQ(line.request.stylesheet, "");
    EXPECT_EQ(line.request.excludes, (std::vector<std::string>{"*.tmp", "build/*"}));
    EXPECT_EQ(line.request.jobs, 3U);
    EXPECT_TRUE(line.quiet);
}

TEST(CommandLine, VerifySharesInputExcludesAndJobs)
{
    const CommandLine line = parsed({"--verify", "r.htm", "--input", "in", "--exclude", "x", "--jobs=2"});
    ASSERT_EQ(line.action, CommandLine::Action::Verify) << line.error;
    const listgen::VerifyRequest request = line.verifyRequest();
    EXPECT_EQ(request.report, "r.htm");
    EXPECT_EQ(request.inputDir, "in");
    EXPECT_EQ(request.excludes, std::vector<std::string>{"x"});
    EXPECT_EQ(request.jobs, 2U);
}

TEST(CommandLine, InformationOptionsWinOverTheRest)
{
    EXPECT_EQ(parsed({"--input", "x", "--help", "--bogus"}).action, CommandLine::Action::Help);
    EXPECT_EQ(parsed({"-h"}).action, CommandLine::Action::Help);
    EXPECT_EQ(parsed({"--version"}).action, CommandLine::Action::Version);
}

TEST(CommandLine, UsageErrorsSayWhatIsWrong)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--frobnicate"}, "unknown argument --frobnicate"},
        {{"stray"}, "unknown argument stray"},
        {{"--input"}, "option --input needs a value"},
        {{"--jobs", "0"}, "--jobs takes a whole number from 1 to 1024"},
        {{"--jobs", "2x"}, "--jobs takes a whole number from 1 to 1024"},
        {{"--jobs=-1"}, "--jobs takes a whole number from 1 to 1024"},
        {{"--jobs", "1025"}, "--jobs takes a whole number from 1 to 1024"},
        {{"--verify", "r", "--input", "i", "--output", "o"}, "--verify takes --input, --exclude and --jobs only"},
    };
    for (const auto& [arguments, error] : cases) {
        const CommandLine line = parsed(arguments);
        EXPECT_EQ(line.action, CommandLine::Action::UsageError) << arguments[0];
        EXPECT_EQ(line.error, error);
    }
}
