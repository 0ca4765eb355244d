#include "cli/command_line.h"

#include <gtest/gtest.h>

#include <fstream>
#include <cctype>
#include <set>
#include <sstream>

using vaskerel::CommandLine;

namespace {

CommandLine parsed(std::vector<std::string> arguments)
{
    return CommandLine::parse(arguments);
}

// The fields of a generate request, each as name=value, to compare in one line.
std::string fieldsOf(const CommandLine& line)
{
    const listgen::ListRequest& request = line.request;
    std::string excludes;
    for (const std::string& pattern : request.excludes)
        excludes += "[" + pattern + "]";
    return "input=" + request.inputDir + " output=" + request.outputFile + " title=" + request.title + " stylesheet=" +
           request.stylesheet + " checksums=" + request.checksumsFile + " excludes=" + excludes +
           " jobs=" + std::to_string(request.jobs) + (line.quiet ? " quiet" : "");
}

bool isWordCharacter(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '-';
}

// Every "-x" and "--long" option a text names, but md5sum's own "-c", "-z" and "--tag". A
// manual page writes a dash as "\-".
std::set<std::string> optionsNamedIn(std::string text)
{
    for (std::size_t at = text.find("\\-"); at != std::string::npos; at = text.find("\\-", at))
        text.erase(at, 1);
    std::set<std::string> names;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] != '-' || (at > 0 && isWordCharacter(text[at - 1])))
            continue;
        std::size_t end = at + (text.compare(at, 2, "--") == 0 ? 2 : 1);
        if (end >= text.size() || !std::isalpha(static_cast<unsigned char>(text[end])))
            continue;
        while (end < text.size() &&
               (std::islower(static_cast<unsigned char>(text[end])) || text[end] == '-' ||
                (end > at + 2 && std::isdigit(static_cast<unsigned char>(text[end]))) ||
                (end == at + 1 && std::isalpha(static_cast<unsigned char>(text[end])))))
            ++end;
        names.insert(text.substr(at, end - at));
        at = end;
    }
    for (const char* md5sumOption : {"-c", "-z", "--tag"})
        names.erase(md5sumOption);
    return names;
}

} // namespace

TEST(CommandLine, TakesEveryFieldInLongAndShortSpellings)
{
    for (const auto& arguments : std::vector<std::vector<std::string>>{
             {"--input", "in dir", "--output=out.htm", "--title", "T", "--stylesheet=", "--checksums", "sums.md5",
              "--exclude", "*.tmp", "--exclude=build/", "--jobs", "3", "--quiet"},
             {"-i", "in dir", "-oout.htm", "-t", "T", "-s", "", "--checksums=sums.md5", "-x", "*.tmp", "-xbuild/",
              "-j3", "-q"}}) {
        const CommandLine line = parsed(arguments);
        ASSERT_EQ(line.action, CommandLine::Action::Generate) << line.error;
        EXPECT_EQ(fieldsOf(line),
                  "input=in dir output=out.htm title=T stylesheet= checksums=sums.md5 excludes=[*.tmp][build/] jobs=3 quiet");
    }
    EXPECT_EQ(parsed({"--title=-dash", "-i", "-", "-o", "o"}).request.title, "-dash");
}

TEST(CommandLine, AnOptionsValueIsTheNextArgumentWhateverItLooksLike)
{
    for (const std::string value : {"-h", "--version", "-V", "--", "-", "--input"}) {
        for (const std::vector<std::string>& arguments : std::vector<std::vector<std::string>>{
                 {"-i", "in", "-o", "out", "-t", value}, {"-i", "in", "-o", "out", "--title", value}}) {
            const CommandLine line = parsed(arguments);
            ASSERT_EQ(line.action, CommandLine::Action::Generate) << value << ": " << line.error;
            EXPECT_EQ(line.request.title, value);
        }
    }
    // Short options bundle, and a value may follow its letter.
    const CommandLine bundled = parsed({"-qi", "in", "-oout", "-qj4", "-x-h"});
    ASSERT_EQ(bundled.action, CommandLine::Action::Generate) << bundled.error;
    EXPECT_EQ(fieldsOf(bundled), "input=in output=out title= stylesheet= checksums= excludes=[-h] jobs=4 quiet");
}

TEST(CommandLine, VerifySharesInputExcludesJobsAndQuietAndHasItsStatus)
{
    const CommandLine line = parsed({"--verify", "r.htm", "-i", "in", "--exclude", "x", "--jobs=2", "--status", "-q"});
    ASSERT_EQ(line.action, CommandLine::Action::Verify) << line.error;
    EXPECT_TRUE(line.statusOnly);
    EXPECT_TRUE(line.quiet);
    const listgen::VerifyRequest request = line.verifyRequest();
    EXPECT_EQ(request.report, "r.htm");
    EXPECT_EQ(request.inputDir, "in");
    EXPECT_EQ(request.excludes, std::vector<std::string>{"x"});
    EXPECT_EQ(request.jobs, 2U);
}

TEST(CommandLine, OneFolderAloneOpensTheWindowOnIt)
{
    const CommandLine line = parsed({"photos 2026"});
    EXPECT_EQ(line.action, CommandLine::Action::OpenFolder);
    EXPECT_EQ(line.request.inputDir, "photos 2026");
    EXPECT_EQ(parsed({"photos", "more"}).action, CommandLine::Action::UsageError);
    EXPECT_EQ(parsed({"-i", "photos", "-o", "r.htm"}).action, CommandLine::Action::Generate);
}

TEST(CommandLine, WriteStylesheetStandsAlone)
{
    const CommandLine line = parsed({"--write-stylesheet", "out/report.css"});
    EXPECT_EQ(line.action, CommandLine::Action::WriteStylesheet) << line.error;
    EXPECT_EQ(line.stylesheetFile, "out/report.css");
    EXPECT_EQ(parsed({"--write-stylesheet=-"}).stylesheetFile, "-");
}

TEST(CommandLine, InformationOptionsWinOverTheRest)
{
    EXPECT_EQ(parsed({"--input", "x", "--help", "--bogus"}).action, CommandLine::Action::Help);
    EXPECT_EQ(parsed({"-h"}).action, CommandLine::Action::Help);
    EXPECT_EQ(parsed({"--version"}).action, CommandLine::Action::Version);
    EXPECT_EQ(parsed({"-V", "-i"}).action, CommandLine::Action::Version);
    EXPECT_EQ(parsed({"-qh"}).action, CommandLine::Action::Help);
    EXPECT_EQ(parsed({"--bogus", "-h"}).action, CommandLine::Action::Help);
    EXPECT_EQ(parsed({"-i", "x", "--", "-h"}).action, CommandLine::Action::UsageError);
}

TEST(CommandLine, UsageErrorsSayWhatIsWrong)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--frobnicate"}, "unknown option --frobnicate"},
        {{"-i", "a", "-qz"}, "unknown option -z"},
        {{"--\x1b[2J\\=x"}, "unknown option --\\x1B[2J\\\\"},
        {{"-i", "a", "-o", "b", "first", "--", "stray", "-h"}, "unexpected arguments: first stray -h"},
        {{"-i", "a", "-o", "b", "--", "--"}, "unexpected argument: --"},
        {{"--input"}, "--input needs a value"},
        {{"-i", "a", "-o"}, "-o needs a value"},
        {{"-x", "a", "b"}, "unexpected argument: b"},
        {{"--jobs", "0"}, "--jobs takes a whole number from 1 to 1024"},
        {{"-j", "2x"}, "--jobs takes a whole number from 1 to 1024"},
        {{"--jobs=1025"}, "--jobs takes a whole number from 1 to 1024"},
        {{"--verify", "r", "-i", "i", "--output", "o"}, "--verify takes --input, --exclude, --jobs, --quiet and --status only"},
        {{"--verify", "r", "-i", "i", "--checksums", "c"}, "--verify takes --input, --exclude, --jobs, --quiet and --status only"},
        {{"--verify", "", "--input", "i"}, "--verify needs a report: a file, or - for standard input"},
        {{"--verify=", "--input", "i"}, "--verify needs a report: a file, or - for standard input"},
        {{"-i", "a", "-o", "b", "--status"}, "--status goes with --verify only"},
        {{"--write-stylesheet", "r.css", "-q"}, "--write-stylesheet takes no other option"},
        {{"-i", "d", "--write-stylesheet=r.css"}, "--write-stylesheet takes no other option"},
        {{"--write-stylesheet="}, "--write-stylesheet needs a file, or - for standard output"},
    };
    for (const auto& [arguments, error] : cases) {
        const CommandLine line = parsed(arguments);
        EXPECT_EQ(line.action, CommandLine::Action::UsageError) << arguments[0];
        EXPECT_EQ(line.error, error);
    }
}

TEST(CommandLine, EmptyFieldsKeepTheWindowsWordsAndNameTheOption)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"-q"}, "--input is missing, --output is missing"},
        {{"-i", "", "-o", "o"}, "--input is empty"},
        {{"--input=in"}, "--output is missing"},
        {{"-t", "-h"}, "--input is missing, --output is missing"},
    };
    for (const auto& [arguments, missing] : cases) {
        const CommandLine line = parsed(arguments);
        EXPECT_EQ(line.action, CommandLine::Action::UsageError);
        EXPECT_EQ(line.error, "全部入力してください: " + missing);
    }
    EXPECT_EQ(parsed({"-i", " ", "-o", " "}).action, CommandLine::Action::Generate);
}

TEST(CommandLine, TwoDocumentsCannotGoIntoOneStream)
{
    const std::string oneStream = "--output and --checksums name one stream; every output needs one of its own";
    EXPECT_EQ(parsed({"-i", "in", "-o", "-", "--checksums", "-"}).error, oneStream);
    EXPECT_EQ(parsed({"-i", "in", "-o", "/dev/stdout", "--checksums=-"}).error, oneStream);
    EXPECT_EQ(parsed({"-i", "in", "-o", "/dev/null", "--checksums", "/dev/null"}).error, oneStream);
    EXPECT_EQ(parsed({"-i", "in", "-o", "r", "--checksums", "-", "--sha256", "-"}).error,
              "--checksums and --sha256 name one stream; every output needs one of its own");
    EXPECT_EQ(parsed({"-i", "in", "-o", "-", "--checksums", "sums.md5", "--sha256", "sums.sha256"}).action,
              CommandLine::Action::Generate);
}

TEST(CommandLine, UsageTextAndManualPageNameExactlyTheParsersOptions)
{
    const std::vector<std::string> parser = vaskerel::optionNames();
    const std::set<std::string> known(parser.begin(), parser.end());
    EXPECT_EQ(optionsNamedIn(vaskerel::usageText()), known);
    std::ifstream page(std::string(VASKEREL_SOURCE_DIR) + "/data/vaskerel.1");
    std::stringstream text;
    text << page.rdbuf();
    EXPECT_EQ(optionsNamedIn(text.str()), known);
}
