#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vaskerel {

// Does what the arguments ask and returns the exit status; with no arguments, or a folder alone,
// it calls `openWindow` with that folder as an absolute path (or an empty one). A build without
// a window gives an `openWindow` that explains instead.
int runCommandLine(const std::vector<std::string>& arguments,
                   const std::function<int(const std::string& inputFolder)>& openWindow);

} // namespace vaskerel
