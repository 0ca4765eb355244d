#include "cli/command_line.h"

#include "listgen/common/system_error.h"
#include "listgen/walk/exclude_filter.h"
#include "cli/failure_text.h"
#include "cli/localized.h"
#include "cli/option_table.h"

#include <getopt.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <set>

namespace vaskerel {

namespace {

constexpr int kLongOnly = 256;

bool parseJobs(const std::string& text, unsigned& jobs)
{
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), jobs);
    return error == std::errc{} && end == text.data() + text.size() && jobs > 0 && jobs <= 1024;
}

// One of getopt's own messages, in its words and the user's language, without its "vaskerel: ".
template <typename... Values>
std::string getoptWords(const char* format, Values... values)
{
    char text[1024];
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wformat-nonliteral"
    std::snprintf(text, sizeof text, ::dgettext("libc", format), "vaskerel", values...);
#pragma GCC diagnostic pop
    std::string words(text);
    if (words.starts_with("vaskerel: "))
        words.erase(0, 10);
    while (words.ends_with('\n'))
        words.pop_back();
    return words;
}

// Why getopt_long refused a long option it could not tell: unknown, or the start of several.
std::string unknownLongOption(const std::string& argument)
{
    const std::string given = shown(argument.substr(2));
    const std::string name = argument.substr(2, argument.find('=') - 2);
    std::string possibilities;
    for (const OptionRow& option : optionTable()) {
        if (std::string_view(option.longName).starts_with(name))
            possibilities.append(" '--").append(option.longName).append("'");
    }
    if (possibilities.empty())
        return getoptWords("%s: unrecognized option '%s%s'\n", "--", given.c_str());
    return getoptWords("%s: option '%s%s' is ambiguous; possibilities:", "--", given.c_str()) + possibilities;
}

std::string unexpectedText(const std::vector<std::string>& extras)
{
    std::string text = trn("unexpected argument:", "unexpected arguments:", extras.size());
    for (const std::string& extra : extras)
        text.append(" ").append(shown(extra));
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

std::string joined(const std::vector<std::string>& names, const char* last)
{
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? last : ", ") + names[i];
    return text;
}

// The option that chose each mode, by the mode's name.
const OptionRow* modeOption(Mode mode)
{
    switch (mode) {
    case Mode::Verify: return &optionRow(OptionId::Verify);
    case Mode::Check: return &optionRow(OptionId::Check);
    case Mode::WriteStylesheet: return &optionRow(OptionId::WriteStylesheet);
    default: return nullptr;
    }
}

// Why `option` cannot be given in `mode`, in words made from the table.
std::string notInMode(const OptionRow& option, Mode mode)
{
    if (const OptionRow* chooser = modeOption(mode)) {
        std::vector<std::string> allowed;
        for (const OptionRow& other : optionTable()) {
            if (&other != chooser && other.goesWith(mode))
                allowed.push_back(optionName(other));
        }
        if (allowed.empty())
            return withValue(tr("%s takes no other option"), optionName(*chooser));
        return withValues(tr("%s takes %s only"), {optionName(*chooser), joined(allowed, tr(" and "))});
    }
    std::vector<std::string> modes;
    for (const Mode other : {Mode::Verify, Mode::Check}) {
        if (option.goesWith(other))
            modes.push_back(optionName(*modeOption(other)));
    }
    return withValues(tr("%s goes with %s only"), {optionName(option), joined(modes, tr(" or "))});
}

// Reads the arguments through getopt_long into `line`, noting which options were given.
class Reader {
public:
    Reader(CommandLine& line, const std::vector<std::string>& arguments) : line_(line), arguments_(arguments) {}

    void read()
    {
        std::string shortOptions = ":";
        std::vector<option> longOptions;
        const std::span<const OptionRow> table = optionTable();
        for (std::size_t i = 0; i < table.size(); ++i) {
            if (table[i].shortName != 0)
                shortOptions.append(1, table[i].shortName).append(table[i].takesValue() ? ":" : "");
            longOptions.push_back({table[i].longName, table[i].takesValue() ? required_argument : no_argument, nullptr,
                                   kLongOnly + static_cast<int>(i)});
        }
        longOptions.push_back({});
        std::vector<char*> argv{const_cast<char*>("vaskerel")};
        std::vector<std::string> storage(arguments_);
        for (std::string& argument : storage)
            argv.push_back(argument.data());
        argv.push_back(nullptr);
        const int argc = static_cast<int>(argv.size() - 1);
        // getopt keeps its place in globals; 0 starts it afresh, permuting as GNU does.
        optind = 0;
        opterr = 0;
        for (;;) {
            const int got = ::getopt_long(argc, argv.data(), shortOptions.c_str(), longOptions.data(), nullptr);
            if (got == -1)
                break;
            // optopt names the option at fault: its letter, its place in the table, or 0 for a long
            // option getopt could not tell, which is then the argument it just passed.
            const OptionRow* row = got == '?' || got == ':' ? rowOf(optopt) : rowOf(got);
            if (got == '?' && row == nullptr && optopt == 0)
                problem(unknownLongOption(argv[static_cast<std::size_t>(optind - 1)]));
            else if (got == '?' && row == nullptr)
                problem(getoptWords("%s: invalid option -- '%c'\n", optopt));
            else if (got == '?')
                problem(getoptWords("%s: option '%s%s' doesn't allow an argument\n", "--", row->longName));
            else if (got == ':' && optopt >= kLongOnly)
                problem(getoptWords("%s: option '%s%s' requires an argument\n", "--", row->longName));
            else if (got == ':')
                problem(getoptWords("%s: option requires an argument -- '%c'\n", optopt));
            else
                take(*row, optarg != nullptr ? optarg : "");
        }
        for (int i = optind; i < argc; ++i)
            operands_.emplace_back(argv[static_cast<std::size_t>(i)]);
    }

    void take(const OptionRow& row, std::string value)
    {
        given_.insert(row.id);
        listgen::ListRequest& request = line_.request;
        switch (row.id) {
        case OptionId::Input: request.inputDir = std::move(value); break;
        case OptionId::Output: request.outputFile = std::move(value); break;
        case OptionId::Title: request.title = std::move(value); break;
        case OptionId::Stylesheet: request.stylesheet = std::move(value); break;
        case OptionId::WriteStylesheet: line_.stylesheetFile = std::move(value); break;
        case OptionId::Checksums: request.checksumsFile = std::move(value); break;
        case OptionId::Sha256: request.sha256File = std::move(value); break;
        case OptionId::Verify:
        case OptionId::Check: line_.verifyReport = std::move(value); break;
        case OptionId::Status: line_.statusOnly = true; line_.check.verbosity = CheckVerbosity::StatusOnly; break;
        case OptionId::Warn: line_.statusOnly = false; line_.check.verbosity = CheckVerbosity::Warn; break;
        case OptionId::Strict: line_.check.strict = true; break;
        case OptionId::IgnoreMissing: line_.check.ignoreMissing = true; break;
        case OptionId::Exclude: request.excludes.emplace_back(std::move(value)); break;
        case OptionId::ExcludeFrom: readPatterns(value); break;
        case OptionId::OneFileSystem: request.oneFileSystem = true; break;
        case OptionId::Jobs:
            if (!parseJobs(value, request.jobs))
                problem(tr("--jobs takes a whole number from 1 to 1024"));
            break;
        case OptionId::Quiet: line_.quiet = true; line_.check.verbosity = CheckVerbosity::Quiet; break;
        case OptionId::Help: information(CommandLine::Action::Help); break;
        case OptionId::Version: information(CommandLine::Action::Version); break;
        }
    }

    bool given(OptionId id) const { return given_.contains(id); }
    const std::vector<std::string>& operands() const { return operands_; }
    CommandLine::Action informationAsked() const { return information_; }
    const std::string& firstProblem() const { return problem_; }

private:
    // The option getopt_long returned: a letter, or kLongOnly plus its place in the table.
    static const OptionRow* rowOf(int got)
    {
        const std::span<const OptionRow> table = optionTable();
        if (got >= kLongOnly)
            return &table[static_cast<std::size_t>(got - kLongOnly)];
        const auto letter = std::find_if(table.begin(), table.end(),
                                         [got](const OptionRow& option) { return option.shortName == got; });
        return letter == table.end() || got == 0 ? nullptr : &*letter;
    }

    void problem(std::string text)
    {
        if (problem_.empty())
            problem_ = std::move(text);
    }

    // Help and version win over everything else on the line; the first of them counts.
    void information(CommandLine::Action action)
    {
        if (information_ == CommandLine::Action::Generate)
            information_ = action;
    }

    void readPatterns(const std::string& path)
    {
        try {
            std::vector<listgen::ExcludePattern> patterns = listgen::readExcludeFile(path);
            line_.request.excludes.insert(line_.request.excludes.end(), patterns.begin(), patterns.end());
        } catch (const listgen::SystemError& error) {
            problem(failureText(error.failure()));
        }
    }

    CommandLine& line_;
    const std::vector<std::string>& arguments_;
    std::set<OptionId> given_;
    std::vector<std::string> operands_;
    CommandLine::Action information_ = CommandLine::Action::Generate;
    std::string problem_;
};

// The window's warning, followed by the fields it asks for that are empty, in the command line's words.
std::string missingFields(const CommandLine& line, const Reader& reader)
{
    std::vector<std::string> problems;
    for (const auto& [id, value] : {std::pair{OptionId::Input, &line.request.inputDir},
                                    std::pair{OptionId::Output, &line.request.outputFile}}) {
        if (value->empty())
            problems.push_back(withValue(reader.given(id) ? tr("%s is empty") : tr("%s is missing"), optionName(optionRow(id))));
    }
    std::string text = tr("every field must be filled in");
    for (std::size_t i = 0; i < problems.size(); ++i)
        text += (i == 0 ? ": " : ", ") + problems[i];
    return text;
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
    Reader reader(line, arguments);
    reader.read();
    line.action = reader.informationAsked();
    if (line.action != Action::Generate)
        return line;
    const auto fail = [&](std::string problem) {
        line.action = Action::UsageError;
        line.error = std::move(problem);
        return line;
    };
    if (!reader.firstProblem().empty())
        return fail(reader.firstProblem());
    if (!reader.operands().empty())
        return fail(unexpectedText(reader.operands()));
    std::vector<Mode> modes;
    for (const Mode mode : {Mode::WriteStylesheet, Mode::Verify, Mode::Check}) {
        if (reader.given(modeOption(mode)->id))
            modes.push_back(mode);
    }
    if (modes.size() > 1)
        return fail(withValues(tr("%s and %s cannot be given together"),
                               {optionName(*modeOption(modes[0])), optionName(*modeOption(modes[1]))}));
    const Mode mode = modes.empty() ? Mode::Generate : modes.front();
    for (const OptionRow& option : optionTable()) {
        if (reader.given(option.id) && !option.goesWith(mode) && &option != modeOption(mode))
            return fail(notInMode(option, mode));
    }
    switch (mode) {
    case Mode::WriteStylesheet:
        if (line.stylesheetFile.empty())
            return fail(tr("--write-stylesheet needs a file, or - for standard output"));
        line.action = Action::WriteStylesheet;
        return line;
    case Mode::Verify:
        if (line.verifyReport.empty())
            return fail(tr("--verify needs a report: a file, or - for standard input"));
        line.action = Action::Verify;
        return line;
    case Mode::Check:
        if (line.verifyReport.empty())
            return fail(tr("--check needs a manifest: a file, or - for standard input"));
        line.action = Action::Check;
        return line;
    default: break;
    }
    if (!listgen::hasMandatoryFields(line.request))
        return fail(missingFields(line, reader));
    const std::pair<OptionId, const std::string*> outputs[] = {{OptionId::Output, &line.request.outputFile},
                                                               {OptionId::Checksums, &line.request.checksumsFile},
                                                               {OptionId::Sha256, &line.request.sha256File}};
    for (std::size_t first = 0; first < std::size(outputs); ++first) {
        for (std::size_t second = first + 1; second < std::size(outputs); ++second) {
            if (!outputs[first].second->empty() && !outputs[second].second->empty() &&
                intoOneStream(*outputs[first].second, *outputs[second].second))
                return fail(withValues(tr("%s and %s name one stream; every output needs one of its own"),
                                       {optionName(optionRow(outputs[first].first)),
                                        optionName(optionRow(outputs[second].first))}));
        }
    }
    line.action = Action::Generate;
    return line;
}

listgen::VerifyRequest CommandLine::verifyRequest() const
{
    return {verifyReport, request.inputDir, request.excludes, request.jobs, request.oneFileSystem};
}

listgen::CheckRequest CommandLine::checkRequest() const
{
    return {verifyReport, request.inputDir, request.jobs};
}

} // namespace vaskerel
