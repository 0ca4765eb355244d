#include "window/batch_run.h"
#include "window/command_line.h"

#include <iostream>

int main(int argc, char** argv)
{
    using vaskerel::CommandLine;
    const CommandLine line = CommandLine::parse(std::vector<std::string>(argv + 1, argv + argc));
    switch (line.action) {
    case CommandLine::Action::Generate:
        return vaskerel::runBatch(line.request, line.quiet, std::cerr);
    case CommandLine::Action::Help:
        std::cout << vaskerel::usageText();
        return vaskerel::kExitComplete;
    case CommandLine::Action::Version:
        std::cout << "vaskerel " << VASKEREL_VERSION << '\n';
        return vaskerel::kExitComplete;
    case CommandLine::Action::UsageError:
        std::cerr << "vaskerel: " << line.error << "\n\n" << vaskerel::usageText();
        return vaskerel::kExitUsage;
    case CommandLine::Action::OpenWindow:
        break;
    }
    std::cerr << vaskerel::usageText();
    return vaskerel::kExitUsage;
}
