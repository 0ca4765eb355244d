#pragma once

#include <string>
#include <string_view>

namespace listgen {

// A name, path or argument made safe to print: invisible characters (controls, bidirectional
// and other format characters, default-ignorable code points), the combining characters of a
// name not in Unicode NFC and bytes that are not UTF-8 become \xNN, and a backslash \\, so no
// name can move the cursor, hide or reorder itself, or print like another. `asciiOnly` escapes
// every byte past ASCII too, for a terminal whose character set is not UTF-8.
std::string displayText(std::string_view text, bool asciiOnly = false);

} // namespace listgen
