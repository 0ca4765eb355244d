#pragma once

#include <string>

namespace vaskerel {

// Shows the window and runs until it is closed; returns the process's exit status. A non-empty
// `inputFolder` goes into 入力 in place of the stored one.
int openWindow(int& argc, char** argv, const std::string& inputFolder);

} // namespace vaskerel
