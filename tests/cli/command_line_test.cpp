#include "cli/command_line.h"
#include "cli/option_table.h"

#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <set>
#include <sstream>

using vaskerel::CommandLine;

namespace {

// What the arguments ask for, in one line: the action and every field it carries.
std::string parsedAs(const std::vector<std::string>& arguments)
{
    using Action = CommandLine::Action;
    const CommandLine line = CommandLine::parse(arguments);
    const listgen::ListRequest& request = line.request;
    std::string excludes;
    for (const listgen::ExcludePattern& pattern : request.excludes)
        excludes += "[" + pattern.text + "]";
    const std::string shared = " input=" + request.inputDir + " excludes=" + excludes +
                               " jobs=" + std::to_string(request.jobs) + (line.quiet ? " quiet" : "");
    switch (line.action) {
    case Action::Generate:
        return "output=" + request.outputFile + " title=" + request.title + " stylesheet=" + request.stylesheet +
               " checksums=" + request.checksumsFile + shared;
    case Action::Verify:
        return "verify " + line.verifyRequest().report + shared + (line.statusOnly ? " status" : "");
    case Action::Check:
        return "check " + line.checkRequest().manifest + " verbosity=" +
               std::to_string(static_cast<int>(line.check.verbosity)) + (line.check.strict ? " strict" : "") +
               (line.check.ignoreMissing ? " ignore-missing" : "");
    case Action::OpenFolder: return "window on " + request.inputDir;
    case Action::WriteStylesheet: return "stylesheet " + line.stylesheetFile;
    case Action::Help: return "help";
    case Action::Version: return "version";
    case Action::OpenWindow: return "window";
    case Action::UsageError: break;
    }
    return "usage: " + line.error;
}

bool isWordCharacter(char c)
{
    return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '_' || c == '-';
}

// Every "-x" and "--long" option a text names (a manual page writes a dash as "\-"), but
// md5sum's own "-z" and "--tag" and the shortened "--inp" of an example.
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

TEST(CommandLine, ReadsArgumentsAsGetoptLongDoes)
{
    const std::string full = "output=out.htm title=T stylesheet= checksums=sums.md5 input=in dir excludes=[*.tmp][build/] "
                             "jobs=3 quiet";
    const std::string noDigits = "--jobs takes a whole number from 1 to 1024";
    const std::string oneStream = "--output and --checksums name one stream; every output needs one of its own";
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{"--input", "in dir", "--output=out.htm", "--title", "T", "--stylesheet=", "--checksums", "sums.md5",
          "--exclude", "*.tmp", "--exclude=build/", "--jobs", "3", "--quiet"},
         full},
        {{"-i", "in dir", "-oout.htm", "-t", "T", "-s", "", "--checksums=sums.md5", "-x", "*.tmp", "-xbuild/", "-j3",
          "-q"},
         full},
        // Short options bundle, a value may follow its letter, and the last one given wins.
        {{"-qi", "in", "-oout", "-qj4", "-x-h"}, "output=out title= stylesheet= checksums= input=in excludes=[-h] jobs=4 quiet"},
        {{"--inp", "a", "-o", "first", "--outp=second", "--tit", "T", "-j", "2", "--jo=3"},
         "output=second title=T stylesheet= checksums= input=a excludes= jobs=3"},
        {{"--title=-dash", "-i", "-", "-o", "o"}, "output=o title=-dash stylesheet= checksums= input=- excludes= jobs=0"},
        {{"-i", " ", "-o", "-", "--checksums", "s.md5", "--sha256", "s.sha256"},
         "output=- title= stylesheet= checksums=s.md5 input=  excludes= jobs=0"},
        {{"--verify", "r.htm", "-i", "in", "--exclude", "x", "--jobs=2", "--status", "-q"},
         "verify r.htm input=in excludes=[x] jobs=2 quiet status"},
        // md5sum's --quiet, --status and --warn: the last one given counts.
        {{"-c", "m", "--status", "-w"}, "check m verbosity=3"},
        {{"--check=m", "--warn", "--stat"}, "check m verbosity=2"},
        {{"-qc", "m", "--strict", "--ignore"}, "check m verbosity=1 strict ignore-missing"},
        {{"photos 2026"}, "window on photos 2026"},
        {{}, "window"},
        {{"--write-stylesheet", "out/report.css"}, "stylesheet out/report.css"},
        {{"--write-stylesheet=-"}, "stylesheet -"},
        // Information options win over the rest, but not after "--".
        {{"--input", "x", "--help", "--bogus"}, "help"},
        {{"-qh"}, "help"},
        {{"--bogus", "-h"}, "help"},
        {{"-V", "-i"}, "version"},
        {{"-i", "x", "--", "-h"}, "usage: unexpected argument: -h"},
        {{"photos", "more"}, "usage: unexpected arguments: photos more"},
        {{"--frobnicate=x"}, "usage: unrecognized option '--frobnicate=x'"},
        {{"-i", "a", "-qz"}, "usage: invalid option -- 'z'"},
        {{"--\x1b[2J\\=x"}, "usage: unrecognized option '--\\x1B[2J\\\\=x'"},
        {{"--ver"}, "usage: option '--ver' is ambiguous; possibilities: '--verify' '--version'"},
        {{"--quiet=no", "-i", "a", "-o", "b"}, "usage: option '--quiet' doesn't allow an argument"},
        {{"--q=no"}, "usage: option '--quiet' doesn't allow an argument"},
        {{"--input"}, "usage: option '--input' requires an argument"},
        {{"-i", "a", "-o"}, "usage: option requires an argument -- 'o'"},
        {{"-i", "a", "-o", "b", "first", "--", "stray", "-h"}, "usage: unexpected arguments: first stray -h"},
        {{"-i", "a", "-o", "b", "--", "--"}, "usage: unexpected argument: --"},
        {{"-x", "a", "b"}, "usage: unexpected argument: b"},
        {{"--jobs", "0"}, "usage: " + noDigits},
        {{"-j", "2x"}, "usage: " + noDigits},
        {{"--verify", "r", "-i", "i", "--output", "o"},
         "usage: --verify takes --input, --status, --exclude, --exclude-from, --one-file-system, --jobs and --quiet only"},
        {{"--verify", "", "--input", "i"}, "usage: --verify needs a report: a file, or - for standard input"},
        {{"--verify=", "--input", "i"}, "usage: --verify needs a report: a file, or - for standard input"},
        {{"-c", "", "-i", "i"}, "usage: --check needs a manifest: a file, or - for standard input"},
        {{"-c", "m", "-x", "*.tmp"},
         "usage: --check takes --input, --status, --warn, --strict, --ignore-missing, --jobs and --quiet only"},
        {{"-c", "m", "--verify", "r"}, "usage: --verify and --check cannot be given together"},
        {{"-i", "a", "-o", "b", "--status"}, "usage: --status goes with --verify or --check only"},
        {{"-i", "a", "-o", "b", "--strict"}, "usage: --strict goes with --check only"},
        {{"--write-stylesheet", "r.css", "-q"}, "usage: --write-stylesheet takes no other option"},
        {{"--write-stylesheet="}, "usage: --write-stylesheet needs a file, or - for standard output"},
        {{"-i", "a", "--exclude-from", "/nonexistent/patterns"},
         "usage: cannot read /nonexistent/patterns: No such file or directory"},
        {{"-q"}, "usage: every field must be filled in: --input is missing, --output is missing"},
        {{"-i", "", "-o", "o"}, "usage: every field must be filled in: --input is empty"},
        {{"--input=in"}, "usage: every field must be filled in: --output is missing"},
        {{"-t", "-h"}, "usage: every field must be filled in: --input is missing, --output is missing"},
        // Two documents cannot go into one stream.
        {{"-i", "in", "-o", "-", "--checksums", "-"}, "usage: " + oneStream},
        {{"-i", "in", "-o", "/dev/stdout", "--checksums=-"}, "usage: " + oneStream},
        {{"-i", "in", "-o", "/dev/null", "--checksums", "/dev/null"}, "usage: " + oneStream},
        {{"-i", "in", "-o", "r", "--checksums", "-", "--sha256", "-"},
         "usage: --checksums and --sha256 name one stream; every output needs one of its own"},
    };
    for (const auto& [arguments, expected] : cases)
        EXPECT_EQ(parsedAs(arguments), expected) << ::testing::PrintToString(arguments);
    // An option's value is the next argument, whatever it looks like.
    for (const std::string value : {"-h", "--version", "-V", "--", "-", "--input"}) {
        EXPECT_EQ(parsedAs({"-i", "in", "-o", "out", "-t", value}), parsedAs({"-i", "in", "-o", "out", "--title", value}));
        EXPECT_EQ(CommandLine::parse({"-i", "in", "-o", "out", "-t", value}).request.title, value);
    }
}

// Every option of the table has its entry in --help, in the manual page and in the completion,
// with its value's word, and they name no other.
TEST(CommandLine, HelpManualPageAndCompletionFollowTheOptionTable)
{
    const std::string help = vaskerel::usageText();
    const std::string page = readSource("data/vaskerel.1");
    const std::string completion = readSource("data/bash-completion/vaskerel");
    std::set<std::string> known;
    for (const vaskerel::OptionRow& option : vaskerel::optionTable()) {
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
