#pragma once

#include <string_view>

namespace listgen {

// Whether `text` matches the shell pattern `pattern` as fnmatch(3) without flags matches it in
// the C locale: `*`, `?`, bracket expressions with ranges, negation and character classes,
// and backslash escapes. Time grows with the product of the two lengths at most, whatever the
// pattern, where fnmatch may take exponential time.
bool globMatches(std::string_view pattern, std::string_view text) noexcept;

} // namespace listgen
