#pragma once

#include "listgen/common/progress_meter.h"
#include "listgen/hashing/device_pace.h"
#include "listgen/hashing/ordered_pipeline.h"

#include <atomic>
#include <string>

namespace listgen {

// How one run reads and hashes: io_uring readers with SIMD lanes, one per core, paced by what
// the device turns out to be; or, where io_uring is not allowed, one thread per file as
// before. `requestedJobs` (--jobs) fixes the number of files read at once; 0 measures it.
class HashingPlan {
public:
    HashingPlan(unsigned requestedJobs, const std::string& folder, const std::atomic<bool>& cancel,
                ProgressMeter& progress);

    const PipelineShape& shape() const noexcept { return shape_; }
    const HasherFactory& hashers() const noexcept { return hashers_; }
    bool readsThroughUring() const noexcept { return uring_; }

private:
    bool uring_;
    DevicePace pace_;
    PipelineShape shape_;
    HasherFactory hashers_;
};

} // namespace listgen
