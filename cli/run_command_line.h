#pragma once

#include <functional>
#include <string>
#include <vector>

namespace vaskerel {

// Does what the arguments ask and returns the exit status; with no arguments it calls
// `openWindow`, which a build without a window replaces by an explanation.
int runCommandLine(const std::vector<std::string>& arguments, const std::function<int()>& openWindow);

} // namespace vaskerel
