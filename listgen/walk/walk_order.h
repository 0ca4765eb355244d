#pragma once

#include <string_view>

namespace listgen {

// The order in which the walk reaches two paths below the root: at the first component where
// they part, a folder comes before a file, and names otherwise compare as in a folder listing.
bool walkOrderLess(std::string_view a, std::string_view b) noexcept;

} // namespace listgen
