#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace vaskerel {

// Does what the arguments ask and returns the exit status; with no arguments it calls
// `openWindow`, which a build without a window replaces by an explanation.
int runCommandLine(const std::vector<std::string>& arguments, const std::function<int()>& openWindow);

// What a start without arguments says where no window can open: `reason` and the usage, on
// standard error; returns the exit status of wrong usage.
int refuseWindow(std::string_view reason);

} // namespace vaskerel
