#include "cli/command_line.h"

#include <charconv>
#include <optional>
#include <string_view>

namespace vaskerel {

namespace {

// Accepts "--name value" and "--name=value"; advances `at` past what it used.
std::optional<std::string> optionValue(const std::vector<std::string>& arguments, std::size_t& at,
                                       std::string_view name, std::string& error)
{
    const std::string& argument = arguments[at];
    if (argument == name) {
        if (at + 1 >= arguments.size()) {
            error = "option " + std::string(name) + " needs a value";
            return std::nullopt;
        }
        return arguments[++at];
    }
    if (argument.size() > name.size() && argument.compare(0, name.size(), name) == 0 && argument[name.size()] == '=')
        return argument.substr(name.size() + 1);
    return std::nullopt;
}

bool parseJobs(const std::string& text, unsigned& jobs)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), jobs);
    return error == std::errc{} && end == text.data() + text.size() && jobs > 0 && jobs <= 1024;
}

} // namespace

CommandLine CommandLine::parse(const std::vector<std::string>& arguments)
{
    CommandLine line;
    if (arguments.empty())
        return line;
    line.action = Action::Generate;
    for (std::size_t at = 0; at < arguments.size(); ++at) {
        const std::string& argument = arguments[at];
        if (argument == "--help" || argument == "-h") {
            line.action = Action::Help;
            return line;
        }
        if (argument == "--quiet" || argument == "-q") {
            line.quiet = true;
            continue;
        }
        if (argument == "--version") {
            line.action = Action::Version;
            return line;
        }
        std::string error;
        if (auto value = optionValue(arguments, at, "--input", error))
            line.request.inputDir = *value;
        else if (auto value = optionValue(arguments, at, "--output", error))
            line.request.outputFile = *value;
        else if (auto value = optionValue(arguments, at, "--title", error))
            line.request.title = *value;
        else if (auto value = optionValue(arguments, at, "--stylesheet", error))
            line.request.stylesheet = *value;
        else if (auto value = optionValue(arguments, at, "--verify", error))
            line.verifyReport = *value;
        else if (auto value = optionValue(arguments, at, "--exclude", error))
            line.request.excludes.push_back(*value);
        else if (auto value = optionValue(arguments, at, "--jobs", error)) {
            if (!parseJobs(*value, line.request.jobs))
                error = "--jobs takes a whole number from 1 to 1024";
        } else if (error.empty()) {
            error = "unknown argument " + argument;
        }
        if (!error.empty()) {
            line.action = Action::UsageError;
            line.error = error;
            return line;
        }
    }
    if (!line.verifyReport.empty()) {
        line.action = Action::Verify;
        if (!line.request.outputFile.empty() || !line.request.title.empty() || !line.request.stylesheet.empty()) {
            line.action = Action::UsageError;
            line.error = "--verify takes --input, --exclude and --jobs only";
        }
    }
    return line;
}

listgen::VerifyRequest CommandLine::verifyRequest() const
{
    return {verifyReport, request.inputDir, request.excludes, request.jobs};
}

std::string usageText()
{
    return "Usage: vaskerel --input DIR --output FILE [--title TEXT] [--stylesheet REF]\n"
           "                [--exclude PATTERN]... [--jobs N] [--quiet]\n"
           "       vaskerel --verify REPORT --input DIR [--exclude PATTERN]... [--jobs N]\n"
           "       vaskerel --help | --version\n"
           "\n"
           "Writes an HTML report of every file below DIR to FILE: its path, size and MD5.\n"
           "With no arguments, vaskerel opens its window.\n"
           "\n"
           "  --verify REPORT    check DIR against a report written by vaskerel; prints\n"
           "                     \"changed\", \"missing\" and \"new\" lines\n"
           "  --exclude PATTERN  leave out entries matching an fnmatch(3) pattern: without \"/\"\n"
           "                     against each name, with \"/\" against the path below DIR\n"
           "  --jobs N           hash N files at once (default: one per core, one on a spinning disk)\n"
           "  --quiet            no progress line on a terminal\n"
           "\n"
           "Exit status: 0 complete; 1 nothing written; 2 wrong usage;\n"
           "             3 written, with entries left out (named on standard error).\n"
           "With --verify: 0 the tree matches; 1 it differs; 2 it cannot be verified.\n";
}

} // namespace vaskerel
