#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace listgen {

// The four field values of one run.
struct ListRequest {
    std::string inputDir;
    std::string outputFile;
    std::string title;
    std::string stylesheet;
    // Files hashed at once; 0 picks one per core, or one on a rotational disk.
    unsigned jobs = 0;
    // fnmatch(3) patterns of entries to leave out; see ExcludeFilter.
    std::vector<std::string> excludes;
};

struct Progress {
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
};

// Called on the generating thread, a few times a second at most and once at the end.
using ProgressCallback = std::function<void(const Progress&)>;

// An entry below the input folder that the report leaves out, and why.
struct SkippedEntry {
    enum class Kind { File, Folder };
    Kind kind = Kind::File;
    std::string path;
    std::string reason;
};

struct Outcome {
    enum class Status {
        Complete,   // written, every file listed
        Partial,    // written, with `skipped` left out
        NotWritten, // `error` says why; the old report is as it was
        Cancelled,  // stopped on request; the old report is as it was
        Refused,    // the input folder or the output file is empty
    };
    Status status = Status::NotWritten;
    std::string error;
    std::vector<SkippedEntry> skipped;
    Progress totals;
};

// Writes the report of every file below `request.inputDir` to `request.outputFile`.
Outcome GenerateList(const ListRequest& request, const ProgressCallback& onProgress, const std::atomic<bool>& cancel);

} // namespace listgen
