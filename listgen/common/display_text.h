#pragma once

#include <string>
#include <string_view>

namespace listgen {

// A file name made safe to print on a terminal: control characters and bytes that are not
// UTF-8 become \xNN, so a name cannot move the cursor or hide itself.
std::string displayText(std::string_view text);

} // namespace listgen
