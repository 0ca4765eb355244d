#pragma once

#include "listgen/generate_list.h"

#include <QString>

namespace vaskerel {

inline constexpr const char* kDoneMessage = "Done";
inline constexpr int kNamedSkippedEntries = 10;

// The warning after a report written with entries left out: "Done", how many, the first ten.
QString partialReportText(const listgen::Outcome& outcome);

// The error after a run that wrote nothing: what could not be done, to which path, and why.
QString notWrittenText(const listgen::Outcome& outcome);

// The note after a run stopped on request.
QString cancelledText();

} // namespace vaskerel
