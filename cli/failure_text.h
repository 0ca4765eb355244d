#pragma once

#include "listgen/common/system_error.h"
#include "listgen/verify/line_reader.h"

#include <string>
#include <system_error>

namespace vaskerel {

// The command line's words for the core's codes: the system's own for an errno value, the
// tool's for its RunErrors.
std::string reasonText(const std::error_code& reason);
// "cannot <action> <path>: <reason>", with what the tool does where that explains it.
std::string failureText(const listgen::RunFailure& failure);
// "<path> is not <what it was taken for>: <problem> (line N)".
std::string listingText(const listgen::ListingFailure& failure);

} // namespace vaskerel
