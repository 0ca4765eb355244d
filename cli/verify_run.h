#pragma once

#include "listgen/verify_tree.h"

#include <ostream>

namespace vaskerel {

enum VerifyExitStatus : int {
    kVerifyMatches = 0,
    kVerifyDiffers = 1,
    kVerifyImpossible = 2,
};

// Checks a tree against its report from the command line: one line per difference on
// `output`, a summary on `errors`.
int runVerify(const listgen::VerifyRequest& request, std::ostream& output, std::ostream& errors);

} // namespace vaskerel
