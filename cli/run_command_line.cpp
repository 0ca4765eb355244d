#include "cli/run_command_line.h"

#include "listgen/common/display_text.h"
#include "listgen/common/system_error.h"
#include "cli/batch_run.h"
#include "cli/checked_output.h"
#include "cli/command_line.h"
#include "cli/verify_run.h"

#include <unistd.h>

#include <iostream>

namespace vaskerel {

namespace {

// Help and version on standard output; a write that fails is an error, as in coreutils.
int printInformation(const std::string& text)
{
    CheckedOutput output(STDOUT_FILENO);
    output.write(text);
    if (const int error = output.flush(); error != 0) {
        std::cerr << "vaskerel: write error: " << listgen::reasonText(error) << '\n';
        return kExitNotWritten;
    }
    return kExitComplete;
}

} // namespace

int runCommandLine(const std::vector<std::string>& arguments, const std::function<int()>& openWindow)
{
    const CommandLine line = CommandLine::parse(arguments);
    switch (line.action) {
    case CommandLine::Action::OpenWindow:
        return openWindow();
    case CommandLine::Action::Generate:
        return runBatch(line.request, line.quiet, std::cerr);
    case CommandLine::Action::Verify:
        return runVerify(line.verifyRequest(), {line.quiet, line.statusOnly}, STDOUT_FILENO, std::cerr);
    case CommandLine::Action::Help:
        return printInformation(usageText());
    case CommandLine::Action::Version:
        return printInformation(std::string("vaskerel ") + VASKEREL_VERSION + '\n');
    case CommandLine::Action::UsageError:
        break;
    }
    std::cerr << "vaskerel: " << line.error << '\n' << kTryHelp;
    return kExitUsage;
}

int refuseWindow(std::string_view reason)
{
    std::cerr << "vaskerel: " << listgen::displayText(reason) << '\n' << usageSynopsis();
    return kExitUsage;
}

} // namespace vaskerel
