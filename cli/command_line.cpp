#include "cli/command_line.h"

#include "listgen/common/display_text.h"

#include <CLI/CLI.hpp>

#include <sys/stat.h>
#include <unistd.h>

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
CommandLine::Action informationAsked(const std::vector<std::string>& tokens)
{
    for (const std::string& token : tokens) {
        if (token == "--")
            break;
        if (token == "-h" || token == "--help")
            return CommandLine::Action::Help;
        if (token == "-V" || token == "--version")
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
        generateOnly.push_back(
            app.add_option("--sha256", line.request.sha256File, "a sha256sum manifest to write")->type_name("FILE"));
        app.add_option("-x,--exclude", line.request.excludes, "leave out matching entries")
            ->type_name("PATTERN")
            ->expected(1)
            ->allow_extra_args(false)
            ->take_all();
        app.add_option("-j,--jobs", jobs, "files hashed at once")->type_name("N");
        app.add_flag("-q,--quiet", line.quiet, "no progress line");
        app.add_flag("--status", line.statusOnly, "verify printing nothing but failures");
        verify = app.add_option("--verify", line.verifyReport, "the report or manifest to check")->type_name("REPORT");
        writeStylesheet = app.add_option("--write-stylesheet", line.stylesheetFile, "write the reports' stylesheet")
                              ->type_name("FILE");
    }
};

bool takesValue(const CLI::Option& option)
{
    return option.get_items_expected_min() > 0;
}

const CLI::Option* optionNamed(const CLI::App& app, std::string_view name, bool isLong)
{
    for (const CLI::Option* option : app.get_options()) {
        const std::vector<std::string>& names = isLong ? option->get_lnames() : option->get_snames();
        if (std::find(names.begin(), names.end(), name) != names.end())
            return option;
    }
    return nullptr;
}

// The arguments with every option's value joined to its name, and the first option that is
// unknown or lacks its value.
struct SpelledArguments {
    std::vector<std::string> tokens;
    std::string problem;
};

// Reads options as getopt_long does: one that takes a value takes the next argument whatever it
// looks like, and short options may be bundled ("-qh", "-j4"). Each value goes to CLI11 as
// "--name=value", since CLI11 would read a value such as "-h" as an option.
SpelledArguments spellOut(const std::vector<std::string>& arguments, const CLI::App& app)
{
    SpelledArguments spelled;
    std::vector<std::string>& tokens = spelled.tokens;
    const auto problem = [&](std::string text) {
        if (spelled.problem.empty())
            spelled.problem = std::move(text);
    };
    // CLI11 reads "--name=" as a name still waiting for its value, so an empty value goes apart.
    const auto withValue = [&](const CLI::Option& option, std::string_view value) {
        const bool isLong = !option.get_lnames().empty();
        const std::string name = isLong ? "--" + option.get_lnames().front() : "-" + option.get_snames().front();
        if (value.empty()) {
            tokens.push_back(name);
            tokens.emplace_back();
        } else {
            tokens.push_back(name + (isLong ? "=" : "") + std::string(value));
        }
    };
    std::size_t at = 0;
    // An option that ends its argument takes the next one as its value.
    const auto withNextValue = [&](const CLI::Option& option, const std::string& name) {
        if (at + 1 < arguments.size())
            withValue(option, arguments[++at]);
        else
            problem(name + " needs a value");
    };
    for (; at < arguments.size(); ++at) {
        const std::string& argument = arguments[at];
        if (argument == "--") {
            tokens.insert(tokens.end(), arguments.begin() + static_cast<std::ptrdiff_t>(at), arguments.end());
            break;
        }
        if (argument.starts_with("--")) {
            const std::size_t equals = argument.find('=');
            const std::string name = argument.substr(0, equals);
            const CLI::Option* option = optionNamed(app, std::string_view(name).substr(2), true);
            if (option == nullptr)
                problem("unknown option " + listgen::displayText(name));
            else if (!takesValue(*option))
                tokens.push_back(argument);
            else if (equals != std::string::npos)
                withValue(*option, std::string_view(argument).substr(equals + 1));
            else
                withNextValue(*option, name);
            continue;
        }
        if (argument.size() < 2 || argument[0] != '-') {
            tokens.push_back(argument);
            continue;
        }
        for (std::size_t letter = 1; letter < argument.size(); ++letter) {
            const std::string name = std::string("-") + argument[letter];
            const CLI::Option* option = optionNamed(app, name.substr(1), false);
            if (option == nullptr) {
                problem("unknown option " + listgen::displayText(name));
                break;
            }
            if (!takesValue(*option)) {
                tokens.push_back(name);
                continue;
            }
            if (letter + 1 < argument.size())
                withValue(*option, std::string_view(argument).substr(letter + 1));
            else
                withNextValue(*option, name);
            break;
        }
    }
    return spelled;
}

std::string unexpectedText(const std::vector<std::string>& extras)
{
    std::string text = extras.size() == 1 ? "unexpected argument:" : "unexpected arguments:";
    for (const std::string& extra : extras)
        text += " " + listgen::displayText(extra);
    return text;
}

// The window's warning, followed by the fields it asks for that are empty, in the command line's words.
std::string missingFields(const CommandLine& line, const CLI::App& app)
{
    std::vector<std::string> problems;
    for (const auto& [name, value] : {std::pair{"--input", &line.request.inputDir},
                                      std::pair{"--output", &line.request.outputFile}}) {
        if (value->empty())
            problems.push_back(std::string(name) + (app.count(name) > 0 ? " is empty" : " is missing"));
    }
    std::string text(listgen::kEmptyFieldsMessage);
    for (std::size_t i = 0; i < problems.size(); ++i)
        text += (i == 0 ? ": " : ", ") + problems[i];
    return text;
}

bool identify(const std::string& path, struct stat& status)
{
    return path == "-" ? ::fstat(STDOUT_FILENO, &status) == 0 : ::stat(path.c_str(), &status) == 0;
}

// Two documents cannot share one stream: "-" twice, or two names of one pipe or terminal.
bool intoOneStream(const std::string& output, const std::string& checksums)
{
    if (output == "-" && checksums == "-")
        return true;
    struct stat first {};
    struct stat second {};
    if (!identify(output, first) || !identify(checksums, second) || first.st_dev != second.st_dev ||
        first.st_ino != second.st_ino)
        return false;
    return output == "-" || checksums == "-" || !S_ISREG(first.st_mode);
}

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
    Parser parser(line);
    const SpelledArguments spelled = spellOut(arguments, parser.app);
    line.action = informationAsked(spelled.tokens);
    if (line.action != Action::Generate)
        return line;
    const auto fail = [&](std::string problem) {
        line.action = Action::UsageError;
        line.error = std::move(problem);
        return line;
    };
    if (!spelled.problem.empty())
        return fail(spelled.problem);
    // CLI11 takes its arguments last first.
    std::vector<std::string> reversed(spelled.tokens.rbegin(), spelled.tokens.rend());
    parser.app.allow_extras();
    try {
        parser.app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        return fail(listgen::displayText(error.what()));
    }
    // The operands nothing took, in the order given, without the "--" that ended the options.
    std::vector<std::string> extras = parser.app.remaining();
    if (const auto end = std::find(extras.begin(), extras.end(), "--"); end != extras.end())
        extras.erase(end);
    if (!extras.empty())
        return fail(unexpectedText(extras));
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
            return fail("--verify takes --input, --exclude, --jobs, --quiet and --status only");
        line.action = Action::Verify;
        return line;
    }
    if (line.statusOnly)
        return fail("--status goes with --verify only");
    if (!listgen::hasMandatoryFields(line.request))
        return fail(missingFields(line, parser.app));
    const std::pair<const char*, const std::string*> outputs[] = {{"--output", &line.request.outputFile},
                                                                   {"--checksums", &line.request.checksumsFile},
                                                                   {"--sha256", &line.request.sha256File}};
    for (std::size_t first = 0; first < std::size(outputs); ++first) {
        for (std::size_t second = first + 1; second < std::size(outputs); ++second) {
            if (!outputs[first].second->empty() && !outputs[second].second->empty() &&
                intoOneStream(*outputs[first].second, *outputs[second].second))
                return fail(std::string(outputs[first].first) + " and " + outputs[second].first +
                            " name one stream; every output needs one of its own");
        }
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

std::string usageSynopsis()
{
    return "Usage: vaskerel -i DIR -o FILE [-t TEXT] [-s REF] [--checksums FILE] [--sha256 FILE]\n"
           "                [-x PATTERN]... [-j N] [-q]\n"
           "       vaskerel --verify REPORT -i DIR [-x PATTERN]... [-j N] [-q] [--status]\n"
           "       vaskerel --write-stylesheet FILE\n"
           "       vaskerel [FOLDER]\n"
           "       vaskerel -h | -V\n";
}

std::string usageText()
{
    return usageSynopsis() +
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
           "      --sha256 FILE       also write a sha256sum manifest of them, from the same\n"
           "                          reads, which sha256sum -c FILE checks when run in DIR\n"
           "      --verify REPORT     check DIR against a report, or a manifest in any form\n"
           "                          md5sum -c or sha256sum -c reads (- reads standard\n"
           "                          input); prints \"changed\", \"missing\" and \"new\" lines\n"
           "      --status            with --verify, print nothing but failures\n"
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
           "An option's value is the next argument, even one that starts with \"-\".\n"
           "Exit status: 0 complete; 1 nothing written; 2 wrong usage;\n"
           "             3 written, with entries left out (named on standard error).\n"
           "With --verify: 0 the tree matches; 1 it differs; 2 it cannot be verified;\n"
           "             4 the differences could not be written to standard output.\n";
}

} // namespace vaskerel
