#include "cli/localized.h"
#include "cli/run_command_line.h"
#include "app/window_start.h"

#include <string>
#include <vector>

int main(int argc, char** argv)
{
    vaskerel::useUserLocale();
    return vaskerel::runCommandLine(std::vector<std::string>(argv + 1, argv + argc),
                                    [&](const std::string& inputFolder) {
                                        return vaskerel::startWindow(argc, argv, inputFolder);
                                    });
}
