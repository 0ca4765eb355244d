#include "cli/run_command_line.h"

#include "cli/localized.h"
#include "listgen/common/system_error.h"
#include "cli/batch_run.h"
#include "cli/checked_output.h"
#include "cli/command_line.h"
#include "cli/option_table.h"
#include "cli/failure_text.h"
#include "cli/stylesheet_run.h"
#include "cli/verify_run.h"

#include <unistd.h>

#include <filesystem>
#include <iostream>

namespace vaskerel {

namespace {

// Help and version on standard output; a write that fails is an error, as in coreutils.
int printInformation(const std::string& text)
{
    CheckedOutput output(STDOUT_FILENO);
    output.write(text);
    if (const int error = output.flush(); error != 0) {
        std::cerr << "vaskerel: " << tr("write error") << ": " << reasonText(listgen::systemCode(error)) << '\n';
        return kExitNotWritten;
    }
    return kExitComplete;
}

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

// As GNU tools print it: the version, then the copyright and the licence.
std::string versionText()
{
    return std::string("vaskerel ") + VASKEREL_VERSION + "\n"
           "Copyright (C) 2026 The Vaskerel developers.\n"
           "License MIT <https://spdx.org/licenses/MIT.html>.\n"
           "This is free software: you are free to change and redistribute it.\n"
           "There is NO WARRANTY, to the extent permitted by law.\n";
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
        std::cerr << "vaskerel: " << withValue(tr("%s is not a folder"), shown(line.request.inputDir)) << '\n' << tryHelpText();
        return kExitUsage;
    }
    case CommandLine::Action::WriteStylesheet:
        return runWriteStylesheet(line.stylesheetFile, std::cerr);
    case CommandLine::Action::Generate:
        return runBatch(line.request, line.quiet, std::cerr);
    case CommandLine::Action::Verify:
        return runVerify(line.verifyRequest(), {line.quiet, line.statusOnly}, STDOUT_FILENO, std::cerr);
    case CommandLine::Action::Check:
        return runCheck(line.checkRequest(), line.check, STDOUT_FILENO, std::cerr);
    case CommandLine::Action::Help:
        return printInformation(usageText());
    case CommandLine::Action::Version:
        return printInformation(versionText());
    case CommandLine::Action::UsageError:
        break;
    }
    std::cerr << "vaskerel: " << line.error << '\n' << tryHelpText();
    return kExitUsage;
}

int refuseWindow(std::string_view reason)
{
    std::cerr << "vaskerel: " << shown(reason) << '\n' << usageSynopsis();
    return kExitUsage;
}

} // namespace vaskerel
