#pragma once

#include "listgen/generate_list.h"

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

struct Difference {
    enum class Kind { Changed, Missing, New };
    Kind kind = Kind::Changed;
    std::string relName;
};

struct VerifyOutcome {
    enum class Status {
        Matches,     // every row matches the tree
        Differs,     // `differences` says how
        Incomplete,  // some entries could not be read; `unreadable` names them
        Failed,      // nothing could be checked; `error` says why
        Cancelled,
    };
    Status status = Status::Failed;
    std::string error;
    // Changed and missing rows in report order, then new files in walk order.
    std::vector<Difference> differences;
    std::vector<SkippedEntry> unreadable;
    std::uint64_t rowsChecked = 0;
};

// Checks a tree against a report that this tool wrote, walking and hashing as a run does.
VerifyOutcome VerifyTree(const VerifyRequest& request, const std::atomic<bool>& cancel);

} // namespace listgen
