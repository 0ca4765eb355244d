#pragma once

#include <string_view>

namespace listgen {

// The path below the root: the full path without the root and the one "/" that follows it.
std::string_view relName(std::string_view strPath, std::string_view strRoot) noexcept;

} // namespace listgen
