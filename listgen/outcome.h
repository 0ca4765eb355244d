#pragma once

#include "listgen/common/run_values.h"
#include "listgen/common/system_error.h"

#include <optional>
#include <string>
#include <system_error>
#include <vector>

namespace listgen {

// What became of one generate run.
struct Outcome {
    enum class Status {
        Complete,   // written, every file listed
        Partial,    // written, with `skipped` left out
        NotWritten, // `failure` says why; the old report is as it was
        Cancelled,  // stopped on request; the old report is as it was
        Refused,    // the input folder or the output file is empty
    };
    Status status = Status::NotWritten;
    // Set with NotWritten; with a folder that could not be synced, the report is in place.
    std::optional<RunFailure> failure;
    std::vector<SkippedEntry> skipped;
    Progress totals;
    // Exclude patterns that matched nothing in the whole run.
    std::vector<std::string> unusedExcludes;
    // Folders on other file systems, not entered (--one-file-system).
    std::vector<std::string> otherFileSystems;
    // Why io_uring could not be used, so files were read one by one; empty when it was.
    std::error_code readerFallback;
};

} // namespace listgen
