#pragma once

#include "listgen/verify_tree.h"

#include <ostream>

namespace vaskerel {

enum VerifyExitStatus : int {
    kVerifyMatches = 0,
    kVerifyDiffers = 1,
    kVerifyImpossible = 2,
    kVerifyOutputLost = 4,
};

struct VerifyOptions {
    // No progress line.
    bool quiet = false;
    // Nothing printed but what makes the check fail to complete.
    bool statusOnly = false;
};

// Checks a tree against its report from the command line: one line per difference on the
// file descriptor `output`, a summary on `errors`.
int runVerify(const listgen::VerifyRequest& request, const VerifyOptions& options, int output, std::ostream& errors);

} // namespace vaskerel
