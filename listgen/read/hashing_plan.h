#pragma once

#include "listgen/common/progress_meter.h"
#include "listgen/read/device_pace.h"
#include "listgen/read/ordered_pipeline.h"
#include "listgen/read/placement.h"

#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <system_error>

namespace listgen {

// How one run reads and hashes: io_uring readers with SIMD lanes, one per core, paced by what
// the device turns out to be, their large files placed by the kernels' measured rates; or,
// where io_uring is not allowed, threads that read file by file. `requestedJobs` (--jobs)
// fixes the number of files read at once; 0 measures it.
// A reader whose ring or buffers cannot be had under the limits in force reads file by file
// instead; only a failure of that ends the run.
class HashingPlan {
public:
    // `sha256` has every reader compute that digest besides MD5, from the same bytes.
    HashingPlan(unsigned requestedJobs, const std::string& folder, const std::atomic<bool>& cancel,
                ProgressMeter& progress, bool sha256 = false);

    const PipelineShape& shape() const noexcept { return shape_; }
    const HasherFactory& hashers() const noexcept { return hashers_; }
    // Why a reader fell back to reading file by file; empty when none did.
    std::error_code readerFallback() const;

private:
    void noteFallback(std::error_code reason);

    DevicePace pace_;
    std::unique_ptr<Placement> placement_;
    PipelineShape shape_;
    HasherFactory hashers_;
    mutable std::mutex fallbackMutex_;
    std::error_code fallback_;
};

} // namespace listgen
