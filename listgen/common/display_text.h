#pragma once

#include <string>
#include <string_view>

namespace listgen {

// A name, path or argument made safe to print: control characters, bidirectional controls and
// bytes that are not UTF-8 become \xNN and a backslash \\, so no name can move the cursor,
// hide or reorder itself, or print like another. `asciiOnly` escapes every byte past ASCII
// too, for a terminal whose character set is not UTF-8.
std::string displayText(std::string_view text, bool asciiOnly = false);

} // namespace listgen
