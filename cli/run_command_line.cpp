#include "cli/run_command_line.h"

#include "cli/batch_run.h"
#include "cli/command_line.h"
#include "cli/verify_run.h"

#include <iostream>

namespace vaskerel {

int runCommandLine(const std::vector<std::string>& arguments, const std::function<int()>& openWindow)
{
    const CommandLine line = CommandLine::parse(arguments);
    switch (line.action) {
    case CommandLine::Action::OpenWindow:
        return openWindow();
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
