#pragma once

#include <string_view>

namespace listgen {

// The path below the root: the full path without the root and the one "/" that follows it.
std::string_view relName(std::string_view strPath, std::string_view strRoot) noexcept;

// A path below the root as a walk can give it: not empty, no leading "/", no empty, "." or
// ".." part, no NUL byte.
bool isWalkPath(std::string_view path) noexcept;

} // namespace listgen
