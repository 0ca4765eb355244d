#pragma once

#include <string_view>

namespace listgen {

// Report order of names in one folder: ASCII case folded first, then the raw bytes,
// so "B.txt" < "b.txt" < "c.TXT" whatever the locale.
bool nameLess(std::string_view a, std::string_view b) noexcept;

} // namespace listgen
