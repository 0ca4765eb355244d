#include "cli/command_line.h"

#include "listgen/common/display_text.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>

namespace vaskerel {

namespace {

constexpr const char* kJobsProblem = "--jobs takes a whole number from 1 to 1024";

bool parseJobs(const std::string& text, unsigned& jobs)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), jobs);
    return error == std::errc{} && end == text.data() + text.size() && jobs > 0 && jobs <= 1024;
}

// Help and version win over everything else on the line, as long as they come before "--".
CommandLine::Action informationAsked(const std::vector<std::string>& arguments)
{
    for (const std::string& argument : arguments) {
        if (argument == "--")
            break;
        if (argument == "-h" || argument == "--help")
            return CommandLine::Action::Help;
        if (argument == "-V" || argument == "--version")
            return CommandLine::Action::Version;
    }
    return CommandLine::Action::Generate;
}

// The parser for `line`; `jobs` and `checksums` receive their texts to be checked after parsing.
struct Parser {
    CLI::App app{"vaskerel"};
    std::string jobs;
    bool informationFlag = false;
    CLI::Option* verify = nullptr;
    CLI::Option* writeStylesheet = nullptr;
    std::vector<CLI::Option*> generateOnly;

    explicit Parser(CommandLine& line)
    {
        app.set_help_flag();
        app.add_flag("-h,--help", informationFlag, "show this help");
        app.add_flag("-V,--version", informationFlag, "show the version");
        app.add_option("-i,--input", line.request.inputDir, "the folder to list")->type_name("DIR");
        generateOnly.push_back(
            app.add_option("-o,--output", line.request.outputFile, "the report to write")->type_name("FILE"));
        generateOnly.push_back(app.add_option("-t,--title", line.request.title, "the page title")->type_name("TEXT"));
        generateOnly.push_back(
            app.add_option("-s,--stylesheet", line.request.stylesheet, "the stylesheet reference")->type_name("REF"));
        generateOnly.push_back(app.add_option("--checksums", line.request.checksumsFile, "an md5sum manifest to write")
                                   ->type_name("FILE"));
        app.add_option("-x,--exclude", line.request.excludes, "leave out matching entries")
            ->type_name("PATTERN")
            ->expected(1)
            ->allow_extra_args(false)
            ->take_all();
        app.add_option("-j,--jobs", jobs, "files hashed at once")->type_name("N");
        app.add_flag("-q,--quiet", line.quiet, "no progress line");
        verify = app.add_option("--verify", line.verifyReport, "the report or manifest to check")->type_name("REPORT");
        writeStylesheet = app.add_option("--write-stylesheet", line.stylesheetFile, "write the reports' stylesheet")
                              ->type_name("FILE");
    }
};

} // namespace

CommandLine CommandLine::parse(const std::vector<std::string>& arguments)
{
    CommandLine line;
    if (arguments.empty())
        return line;
    // What a file manager runs to open a folder with the tool.
    if (arguments.size() == 1 && !arguments[0].empty() && !arguments[0].starts_with('-')) {
        line.action = Action::OpenFolder;
        line.request.inputDir = arguments[0];
        return line;
    }
    line.action = informationAsked(arguments);
    if (line.action != Action::Generate)
        return line;
    Parser parser(line);
    // CLI11 reads "--name=" as a name still waiting for its value; it is an empty value.
    std::vector<std::string> reversed;
    for (auto argument = arguments.rbegin(); argument != arguments.rend(); ++argument) {
        if (argument->starts_with("--") && argument->size() > 3 && argument->ends_with("=") &&
            argument->find('=') == argument->size() - 1) {
            reversed.emplace_back();
            reversed.push_back(argument->substr(0, argument->size() - 1));
        } else {
            reversed.push_back(*argument);
        }
    }
    try {
        parser.app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        line.action = Action::UsageError;
        line.error = listgen::displayText(error.what());
        return line;
    }
    const auto fail = [&](std::string problem) {
        line.action = Action::UsageError;
        line.error = std::move(problem);
        return line;
    };
    if (!parser.jobs.empty() || parser.app.count("--jobs") > 0) {
        if (!parseJobs(parser.jobs, line.request.jobs))
            return fail(kJobsProblem);
    }
    if (parser.writeStylesheet->count() > 0) {
        if (line.stylesheetFile.empty())
            return fail("--write-stylesheet needs a file, or - for standard output");
        const std::vector<CLI::Option*> options = parser.app.get_options();
        const bool others = std::any_of(options.begin(), options.end(), [&](const CLI::Option* option) {
            return option != parser.writeStylesheet && option->count() > 0;
        });
        if (others)
            return fail("--write-stylesheet takes no other option");
        line.action = Action::WriteStylesheet;
        return line;
    }
    if (parser.verify->count() > 0) {
        if (line.verifyReport.empty())
            return fail("--verify needs a report: a file, or - for standard input");
        const bool mixed = std::any_of(parser.generateOnly.begin(), parser.generateOnly.end(),
                                       [](const CLI::Option* option) { return option->count() > 0; });
        if (mixed)
            return fail("--verify takes --input, --exclude and --jobs only");
        line.action = Action::Verify;
    }
    return line;
}

listgen::VerifyRequest CommandLine::verifyRequest() const
{
    return {verifyReport, request.inputDir, request.excludes, request.jobs};
}

std::vector<std::string> optionNames()
{
    CommandLine line;
    Parser parser(line);
    std::vector<std::string> names;
    for (const CLI::Option* option : parser.app.get_options()) {
        for (const std::string& name : option->get_snames())
            names.push_back("-" + name);
        for (const std::string& name : option->get_lnames())
            names.push_back("--" + name);
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string usageText()
{
    return "Usage: vaskerel -i DIR -o FILE [-t TEXT] [-s REF] [--checksums FILE]\n"
           "                [-x PATTERN]... [-j N] [-q]\n"
           "       vaskerel --verify REPORT -i DIR [-x PATTERN]... [-j N]\n"
           "       vaskerel --write-stylesheet FILE\n"
           "       vaskerel [FOLDER]\n"
           "       vaskerel -h | -V\n"
           "\n"
           "Writes an HTML report of every file below DIR to FILE: its path, size and MD5.\n"
           "With no arguments, vaskerel opens its window; with a FOLDER, the window with\n"
           "that folder as its input.\n"
           "\n"
           "  -i, --input DIR         the folder to list\n"
           "  -o, --output FILE       the report to write; - for standard output\n"
           "  -t, --title TEXT        the page title\n"
           "  -s, --stylesheet REF    the stylesheet the report links to: a URL relative to\n"
           "                          the report, so \"#\" starts a fragment, \"?\" a query,\n"
           "                          \"%\" an escape such as %20, and a \":\" before the\n"
           "                          first \"/\" a scheme (https:); spaces and characters\n"
           "                          past ASCII are percent-encoded as UTF-8\n"
           "      --write-stylesheet FILE\n"
           "                          write vaskerel's stylesheet for reports to FILE\n"
           "                          (- for standard output), to give with -s, and stop\n"
           "      --checksums FILE    also write an md5sum manifest of the same files, which\n"
           "                          md5sum -c FILE checks when run in DIR\n"
           "      --verify REPORT     check DIR against a report or a manifest written by\n"
           "                          vaskerel (- reads standard input); prints \"changed\",\n"
           "                          \"missing\" and \"new\" lines\n"
           "  -x, --exclude PATTERN   leave out matching entries (fnmatch(3)): without \"/\" each\n"
           "                          name at any depth; a leading \"/\" or \"./\" anchors it at\n"
           "                          DIR; a trailing \"/\" matches folders only; \"**/\" matches\n"
           "                          any number of folders\n"
           "  -j, --jobs N            read N files at once (default: chosen from the disk)\n"
           "  -q, --quiet             no progress line on a terminal\n"
           "  -V, --version           show the version\n"
           "  -h, --help              show this help\n"
           "\n"
           "Browsers need less memory and time for a large report with vaskerel's\n"
           "stylesheet beside it:\n"
           "  vaskerel --write-stylesheet out/report.css\n"
           "  vaskerel -i DIR -o out/list.htm -s report.css\n"
           "\n"
           "A value that starts with \"-\" is given in the form --title=-VALUE.\n"
           "Exit status: 0 complete; 1 nothing written; 2 wrong usage;\n"
           "             3 written, with entries left out (named on standard error).\n"
           "With --verify: 0 the tree matches; 1 it differs; 2 it cannot be verified.\n";
}

} // namespace vaskerel
