#pragma once

#include "listgen/common/run_values.h"
#include "listgen/common/system_error.h"
#include "listgen/verify/line_reader.h"

#include <atomic>
#include <optional>
#include <string>
#include <system_error>

namespace listgen {

struct CheckRequest {
    // The manifest, or "-" for standard input.
    std::string manifest;
    // The folder its names are relative to; empty for the current one.
    std::string inputDir;
    unsigned jobs = 0;
};

// What one line of a manifest came to, in the manifest's order.
struct CheckedLine {
    enum class Result {
        Ok,
        Failed,       // the digest differs
        Unreadable,   // `reason` says why; ENOENT for a file that does not exist
        Misformatted, // a line md5sum -c would not read, or a digest of the other kind
    };
    Result result = Result::Ok;
    // As the manifest gives it, unescaped; empty for a misformatted line.
    std::string name;
    // From 1.
    std::size_t line = 0;
    std::error_code reason;
};

// Takes the lines' results one by one, on the thread that called CheckFiles.
class CheckListener {
public:
    virtual ~CheckListener() = default;
    virtual void checked(const CheckedLine& line) = 0;
};

struct CheckOutcome {
    enum class Status { Done, Failed, Cancelled };
    Status status = Status::Failed;
    // With Failed: the manifest or the folder could not be read.
    std::optional<RunFailure> failure;
    std::optional<ListingFailure> listing;
    // Why io_uring could not be used, so files were read one by one; empty when it was.
    std::error_code readerFallback;
};

// Checks the files an md5sum or sha256sum manifest lists, line by line as md5sum -c and
// sha256sum -c do, hashing them through the same readers as a run.
CheckOutcome CheckFiles(const CheckRequest& request, CheckListener& listener, const ProgressCallback& onProgress,
                        const std::atomic<bool>& cancel);

} // namespace listgen
