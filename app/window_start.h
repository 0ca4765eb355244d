#pragma once

#include <string>

namespace vaskerel {

// Opens the window (on `inputFolder` when one is given) where this session can show one and runs
// it until it is closed; elsewhere prints why, with the usage, and returns the exit status of
// wrong usage.
int startWindow(int& argc, char** argv, const std::string& inputFolder);

} // namespace vaskerel
