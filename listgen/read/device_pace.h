#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <vector>

namespace listgen {

// How many files all readers of one run keep in flight on the device, found by timing reads
// from their submission to their completion: a spinning disk (2 ms and more) gets a few in
// all, in inode order; fast storage (under 0.5 ms) starts at 32 per reader and grows while
// files per second keep rising; anything between gets 32 per reader. Virtual disks and USB
// bridges claim to be rotational, so that flag only sets the start, and reads that all come
// from the page cache lift that start to the fast one.
// Shared by the readers of one run.
class DevicePace {
public:
    enum class Kind { Unknown, Spinning, Between, Fast };

    // `fixedDepth` (from --jobs) turns the measuring off.
    DevicePace(bool reportsRotational, unsigned fixedDepth, unsigned readers = 1);

    unsigned depth() const noexcept { return depth_.load(std::memory_order_relaxed); }
    bool inodeOrder() const noexcept { return kind() == Kind::Spinning; }
    Kind kind() const noexcept { return kind_.load(std::memory_order_relaxed); }

    // Takes up to `wanted` places of the depth for files about to go in flight; returns how
    // many. Each is given back once its file's data has come.
    unsigned reserve(unsigned wanted) noexcept;
    void giveBack(unsigned places = 1);
    // Waits until a place is free or `timeout` passes.
    void waitForRoom(std::chrono::milliseconds timeout);

    // A read whose completion came between `atLeast` and `atMost` after it was submitted:
    // counted only when that is known closely enough to tell the device from the page cache.
    void recordRead(std::chrono::nanoseconds atLeast, std::chrono::nanoseconds atMost);
    // A read that did not complete at once, and how long it took.
    void recordWait(std::chrono::nanoseconds latency);
    // A read that came from the page cache: while reads come from there, whatever the device,
    // the depth only feeds the hashing.
    void recordHit();
    // A finished batch of a reader: in fast mode the depth grows while the rate rises.
    void recordBatch(std::size_t files, std::chrono::nanoseconds took);

    // Per reader.
    static constexpr unsigned kDeepest = 256;

private:
    const bool fixed_;
    const unsigned readers_;
    std::atomic<unsigned> depth_;
    std::atomic<unsigned> inFlight_{0};
    std::atomic<Kind> kind_{Kind::Unknown};
    std::mutex measuring_;
    std::vector<std::chrono::nanoseconds> waits_;
    std::atomic<unsigned> hits_{0};
    double lastRate_ = 0;
    std::mutex roomMutex_;
    std::condition_variable room_;
};

} // namespace listgen
