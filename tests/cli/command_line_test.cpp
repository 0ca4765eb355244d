#include "cli/command_line.h"
#include "cli/option_table.h"

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
    for (const listgen::ExcludePattern& pattern : request.excludes)
        excludes += "[" + pattern.text + "]";
    return "input=" + request.inputDir + " output=" + request.outputFile + " title=" + request.title + " stylesheet=" +
           request.stylesheet + " checksums=" + request.checksumsFile + " excludes=" + excludes +
           " jobs=" + std::to_string(request.jobs) + (line.quiet ? " quiet" : "");
}

bool isWordCharacter(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '-';
}

// Every "-x" and "--long" option a text names, but md5sum's own "-z" and "--tag" and the
// shortened "--inp" of an example. A
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
    for (const char* notOurs : {"-z", "--tag", "--inp"})
        names.erase(notOurs);
    return names;
}

std::string readSource(const std::string& path)
{
    std::ifstream file(std::string(VASKEREL_SOURCE_DIR) + "/" + path);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// An option as a manual page writes it, each "-" as "\-".
std::string manualDashes(const std::string& option)
{
    std::string text;
    for (const char c : option)
        text += c == '-' ? "\\-" : std::string(1, c);
    return text;
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
    EXPECT_EQ(request.excludes.at(0).text, "x");
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

TEST(CommandLine, UsageErrorsSayWhatIsWrongInGetoptsWords)
{
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--frobnicate=x"}, "unrecognized option '--frobnicate=x'"},
        {{"-i", "a", "-qz"}, "invalid option -- 'z'"},
        {{"--\x1b[2J\\=x"}, "unrecognized option '--\\x1B[2J\\\\=x'"},
        {{"--ver"}, "option '--ver' is ambiguous; possibilities: '--verify' '--version'"},
        {{"--quiet=no", "-i", "a", "-o", "b"}, "option '--quiet' doesn't allow an argument"},
        {{"--q=no"}, "option '--quiet' doesn't allow an argument"},
        {{"--input"}, "option '--input' requires an argument"},
        {{"-i", "a", "-o"}, "option requires an argument -- 'o'"},
        {{"-i", "a", "-o", "b", "first", "--", "stray", "-h"}, "unexpected arguments: first stray -h"},
        {{"-i", "a", "-o", "b", "--", "--"}, "unexpected argument: --"},
        {{"-x", "a", "b"}, "unexpected argument: b"},
        {{"--jobs", "0"}, "--jobs takes a whole number from 1 to 1024"},
        {{"-j", "2x"}, "--jobs takes a whole number from 1 to 1024"},
        {{"--verify", "r", "-i", "i", "--output", "o"},
         "--verify takes --input, --status, --exclude, --exclude-from, --one-file-system, --jobs and --quiet only"},
        {{"--verify", "", "--input", "i"}, "--verify needs a report: a file, or - for standard input"},
        {{"--verify=", "--input", "i"}, "--verify needs a report: a file, or - for standard input"},
        {{"-c", "", "-i", "i"}, "--check needs a manifest: a file, or - for standard input"},
        {{"-c", "m", "-x", "*.tmp"}, "--check takes --input, --status, --warn, --strict, --ignore-missing, --jobs and --quiet only"},
        {{"-c", "m", "--verify", "r"}, "--verify and --check cannot be given together"},
        {{"-i", "a", "-o", "b", "--status"}, "--status goes with --verify or --check only"},
        {{"-i", "a", "-o", "b", "--strict"}, "--strict goes with --check only"},
        {{"--write-stylesheet", "r.css", "-q"}, "--write-stylesheet takes no other option"},
        {{"--write-stylesheet="}, "--write-stylesheet needs a file, or - for standard output"},
        {{"-i", "a", "--exclude-from", "/nonexistent/patterns"}, "cannot read /nonexistent/patterns: No such file or directory"},
    };
    for (const auto& [arguments, error] : cases) {
        const CommandLine line = parsed(arguments);
        EXPECT_EQ(line.action, CommandLine::Action::UsageError) << arguments[0];
        EXPECT_EQ(line.error, error);
    }
}

TEST(CommandLine, LastOptionWinsAndLongOptionsMayBeShortened)
{
    const CommandLine line = parsed({"--inp", "a", "-o", "first", "--outp=second", "--tit", "T", "-j", "2", "--jo=3"});
    ASSERT_EQ(line.action, CommandLine::Action::Generate) << line.error;
    EXPECT_EQ(fieldsOf(line), "input=a output=second title=T stylesheet= checksums= excludes= jobs=3");
    // md5sum's --quiet, --status and --warn: the last one given counts.
    for (const auto& [arguments, verbosity] : std::vector<std::pair<std::vector<std::string>, vaskerel::CheckVerbosity>>{
             {{"-c", "m", "--status", "-w"}, vaskerel::CheckVerbosity::Warn},
             {{"--check=m", "--warn", "--stat"}, vaskerel::CheckVerbosity::StatusOnly},
             {{"-qc", "m", "--strict", "--ignore"}, vaskerel::CheckVerbosity::Quiet}}) {
        const CommandLine check = parsed(arguments);
        ASSERT_EQ(check.action, CommandLine::Action::Check) << check.error;
        EXPECT_EQ(check.check.verbosity, verbosity);
        EXPECT_EQ(check.checkRequest().manifest, "m");
    }
}

TEST(CommandLine, EmptyFieldsNameTheOption)
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
        EXPECT_EQ(line.error, "every field must be filled in: " + missing);
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

// Every option of the table has its entry in --help, in the manual page and in the completion,
// with its value's word, and they name no other.
TEST(CommandLine, HelpManualPageAndCompletionFollowTheOptionTable)
{
    const std::string help = vaskerel::usageText();
    const std::string page = readSource("data/vaskerel.1");
    const std::string completion = readSource("data/bash-completion/vaskerel");
    std::set<std::string> known;
    for (const vaskerel::OptionSpec& option : vaskerel::optionTable()) {
        const std::string name = std::string("--") + option.longName;
        const std::string letter = option.shortName != 0 ? std::string("-") + option.shortName : "";
        known.insert(name);
        if (!letter.empty())
            known.insert(letter);
        std::string helpLine = (letter.empty() ? "      " : "  " + letter + ", ") + name;
        std::string pageLine = letter.empty() ? "" : manualDashes(letter) + " \", \" ";
        pageLine += manualDashes(name);
        if (option.takesValue()) {
            helpLine += std::string(" ") + option.value;
            pageLine = ".BI " + pageLine + " \" " + option.value + "\"";
        } else {
            pageLine = (letter.empty() ? ".B " : ".BR ") + pageLine;
        }
        const std::size_t inHelp = help.find("\n" + helpLine);
        ASSERT_NE(inHelp, std::string::npos) << helpLine;
        EXPECT_TRUE(std::isspace(static_cast<unsigned char>(help[inHelp + 1 + helpLine.size()]))) << helpLine;
        EXPECT_NE(page.find(".TP\n" + pageLine + "\n"), std::string::npos) << pageLine;
        // Options that take a value complete it after them; flags complete nothing of their own.
        const bool completesValue = completion.find(" " + name + " |") != std::string::npos ||
                                    completion.find(" " + name + ")") != std::string::npos;
        EXPECT_EQ(completesValue, option.takesValue()) << name;
    }
    EXPECT_EQ(optionsNamedIn(help), known);
    EXPECT_EQ(optionsNamedIn(page), known);
    const std::size_t words = completion.find("compgen -W '");
    ASSERT_NE(words, std::string::npos);
    EXPECT_EQ(optionsNamedIn(completion.substr(words + 12, completion.find('\'', words + 12) - words - 12)), known);
}
