#pragma once

#include "listgen/common/run_values.h"
#include "listgen/verify/verify_outcome.h"
#include "listgen/walk/exclude_filter.h"

#include <atomic>
#include <string>
#include <vector>

namespace listgen {

struct VerifyRequest {
    std::string report;
    std::string inputDir;
    std::vector<ExcludePattern> excludes;
    unsigned jobs = 0;
    bool oneFileSystem = false;
};

// Checks a tree against a report that this tool wrote, or an md5sum manifest, walking and
// hashing as a run does, with progress as a run reports it.
VerifyOutcome VerifyTree(const VerifyRequest& request, const ProgressCallback& onProgress,
                         const std::atomic<bool>& cancel);

} // namespace listgen
