#pragma once

#include <string>
#include <string_view>

namespace listgen {

// The stylesheet shipped for reports (data/report.css, installed under share/vaskerel): rows laid
// out as grids, which browsers show far sooner than the table layout of a large report.
std::string_view reportStylesheet() noexcept;

// Writes it to `path` as a report is written: complete or not at all, or into the open stream
// that `path` names. Throws SystemError.
void writeReportStylesheet(const std::string& path);

} // namespace listgen
