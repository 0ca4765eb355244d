#pragma once

#include <ostream>
#include <string>

namespace vaskerel {

// Writes the reports' stylesheet to `path`; returns the exit status, with the reason for a
// failure on `errors`.
int runWriteStylesheet(const std::string& path, std::ostream& errors);

} // namespace vaskerel
