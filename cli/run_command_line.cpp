#include "cli/run_command_line.h"

#include "cli/batch_run.h"
#include "cli/command_line.h"
#include "cli/stylesheet_run.h"
#include "cli/verify_run.h"
#include "listgen/common/display_text.h"

#include <filesystem>
#include <iostream>

namespace vaskerel {

namespace {

// `folder` from the current folder, without "." parts or a trailing "/"; a leading ".." steps out
// of the current folder, which has no links in its path, while a later one is kept, since the
// part before it may be a link.
std::string absoluteFolder(const std::string& folder)
{
    const std::filesystem::path given(folder);
    std::filesystem::path absolute = given.is_absolute() ? given.root_path() : std::filesystem::current_path();
    bool named = given.is_absolute();
    for (const std::filesystem::path& part : given.relative_path()) {
        if (part.empty() || part == ".")
            continue;
        if (part == ".." && !named) {
            absolute = absolute.parent_path();
            continue;
        }
        absolute /= part;
        named = true;
    }
    return absolute.string();
}

} // namespace

int runCommandLine(const std::vector<std::string>& arguments,
                   const std::function<int(const std::string& inputFolder)>& openWindow)
{
    const CommandLine line = CommandLine::parse(arguments);
    switch (line.action) {
    case CommandLine::Action::OpenWindow:
        return openWindow({});
    case CommandLine::Action::OpenFolder: {
        std::error_code error;
        if (std::filesystem::is_directory(line.request.inputDir, error))
            return openWindow(absoluteFolder(line.request.inputDir));
        std::cerr << "vaskerel: " << listgen::displayText(line.request.inputDir) << " is not a folder\n\n"
                  << usageText();
        return kExitUsage;
    }
    case CommandLine::Action::WriteStylesheet:
        return runWriteStylesheet(line.stylesheetFile, std::cerr);
    case CommandLine::Action::Generate:
        return runBatch(line.request, line.quiet, std::cerr);
    case CommandLine::Action::Verify:
        return runVerify(line.verifyRequest(), std::cout, std::cerr);
    case CommandLine::Action::Help:
        std::cout << usageText();
        return kExitComplete;
    case CommandLine::Action::Version:
        std::cout << "vaskerel " << VASKEREL_VERSION << '\n';
        return kExitComplete;
    case CommandLine::Action::UsageError:
        break;
    }
    std::cerr << "vaskerel: " << line.error << "\n\n" << usageText();
    return kExitUsage;
}

} // namespace vaskerel
