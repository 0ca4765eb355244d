#pragma once

#include "listgen/generate_list.h"

#include <ostream>

namespace vaskerel {

enum ExitStatus : int {
    kExitComplete = 0,
    kExitNotWritten = 1,
    kExitUsage = 2,
    kExitPartial = 3,
};

// Runs one generate from the command line: SIGINT and SIGTERM cancel it, and the outcome
// becomes the exit status with its explanation on `errors`.
int runBatch(const listgen::ListRequest& request, bool quiet, std::ostream& errors);

} // namespace vaskerel
