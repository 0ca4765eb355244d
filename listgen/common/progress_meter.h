#pragma once

#include "listgen/common/run_values.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <mutex>

namespace listgen {

// Counts files done and bytes read from any thread, and passes them on to a progress callback
// a few times a second, so the count moves during one large file too.
class ProgressMeter {
public:
    explicit ProgressMeter(const ProgressCallback& callback);

    void addBytes(std::uint64_t bytes) noexcept { bytes_.fetch_add(bytes, std::memory_order_relaxed); }
    void addFile() noexcept { files_.fetch_add(1, std::memory_order_relaxed); }
    std::uint64_t bytes() const noexcept { return bytes_.load(std::memory_order_relaxed); }
    // Calls the callback when the last call is long enough ago; never blocks on another caller.
    void tick();
    // The last call, with the run's exact totals.
    void finish(const Progress& totals);

private:
    const ProgressCallback& callback_;
    std::atomic<std::uint64_t> files_{0};
    std::atomic<std::uint64_t> bytes_{0};
    std::mutex calling_;
    std::chrono::steady_clock::time_point last_;
};

} // namespace listgen
