#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vaskerel {

// Does what the arguments ask and returns the exit status; with no arguments, or a folder alone,
// it calls `openWindow` with that folder as an absolute path (or an empty one). A build without
// a window gives an `openWindow` that explains instead.
int runCommandLine(const std::vector<std::string>& arguments,
                   const std::function<int(const std::string& inputFolder)>& openWindow);

// What a start without arguments says where no window can open: `reason` and the usage, on
// standard error; returns the exit status of wrong usage.
int refuseWindow(std::string_view reason);

} // namespace vaskerel
