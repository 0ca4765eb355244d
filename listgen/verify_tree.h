#pragma once

#include "listgen/verify/verify_outcome.h"

#include <atomic>
#include <string>
#include <vector>

namespace listgen {

struct VerifyRequest {
    std::string report;
    std::string inputDir;
    std::vector<std::string> excludes;
    unsigned jobs = 0;
};

// Checks a tree against a report that this tool wrote, walking and hashing as a run does.
VerifyOutcome VerifyTree(const VerifyRequest& request, const std::atomic<bool>& cancel);

} // namespace listgen
