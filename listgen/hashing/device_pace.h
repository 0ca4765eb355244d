#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <vector>

namespace listgen {

// How many files each reader keeps in flight, found by timing the reads that had to wait for
// the device: a spinning disk (2 ms and more) gets a few, in inode order; fast storage (under
// 0.5 ms) starts at 32 and grows while files per second keep rising; anything between gets 32.
// Virtual disks and USB bridges claim to be rotational, so that flag only sets the start, and
// reads that all come from the page cache lift that start to the fast one.
// Shared by the readers of one run.
class DevicePace {
public:
    enum class Kind { Unknown, Spinning, Between, Fast };

    // `fixedDepth` (from --jobs) turns the measuring off.
    DevicePace(bool reportsRotational, unsigned fixedDepth);

    unsigned depth() const noexcept { return depth_.load(std::memory_order_relaxed); }
    bool inodeOrder() const noexcept { return kind() == Kind::Spinning; }
    Kind kind() const noexcept { return kind_.load(std::memory_order_relaxed); }

    // A read that did not complete at once, and how long it took.
    void recordWait(std::chrono::nanoseconds latency);
    // A read that came from the page cache: while reads come from there, whatever the device,
    // the depth only feeds the hashing.
    void recordHit();
    // A finished batch of a reader: in fast mode the depth grows while the rate rises.
    void recordBatch(std::size_t files, std::chrono::nanoseconds took);

    static constexpr unsigned kDeepest = 256;

private:
    const bool fixed_;
    std::atomic<unsigned> depth_;
    std::atomic<Kind> kind_{Kind::Unknown};
    std::mutex measuring_;
    std::vector<std::chrono::nanoseconds> waits_;
    std::atomic<unsigned> hits_{0};
    double lastRate_ = 0;
};

} // namespace listgen
