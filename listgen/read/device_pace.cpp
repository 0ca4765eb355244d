#include "listgen/read/device_pace.h"

#include <algorithm>

namespace listgen {

namespace {

// Misses timed before the device is classified.
constexpr std::size_t kSamples = 32;
constexpr auto kSpinning = std::chrono::milliseconds(2);
constexpr auto kFast = std::chrono::microseconds(500);
// A read that took no longer than this came from the page cache.
constexpr auto kCacheHit = std::chrono::microseconds(40);
// One disk arm, whatever the number of readers.
constexpr unsigned kSpinningDepth = 4;
constexpr unsigned kStartDepth = 32;

} // namespace

DevicePace::DevicePace(bool reportsRotational, unsigned fixedDepth, unsigned readers)
    : fixed_(fixedDepth > 0)
    , readers_(std::max(1U, readers))
    , depth_(fixedDepth > 0 ? fixedDepth : reportsRotational ? kSpinningDepth : kStartDepth * readers_)
{
}

unsigned DevicePace::reserve(unsigned wanted) noexcept
{
    unsigned taken = inFlight_.load(std::memory_order_relaxed);
    unsigned granted = 0;
    do {
        const unsigned depth = this->depth();
        granted = taken < depth ? std::min(wanted, depth - taken) : 0;
    } while (granted > 0 && !inFlight_.compare_exchange_weak(taken, taken + granted, std::memory_order_relaxed));
    return granted;
}

void DevicePace::giveBack(unsigned places)
{
    const unsigned before = inFlight_.fetch_sub(places, std::memory_order_relaxed);
    if (before >= depth()) {
        const std::lock_guard lock(roomMutex_);
        room_.notify_all();
    }
}

void DevicePace::waitForRoom(std::chrono::milliseconds timeout)
{
    std::unique_lock lock(roomMutex_);
    room_.wait_for(lock, timeout, [&] { return inFlight_.load(std::memory_order_relaxed) < depth(); });
}

void DevicePace::recordRead(std::chrono::nanoseconds atLeast, std::chrono::nanoseconds atMost)
{
    if (atMost <= kCacheHit)
        recordHit();
    else if (atMost - atLeast <= kCacheHit)
        recordWait(atMost);
}

void DevicePace::recordWait(std::chrono::nanoseconds latency)
{
    if (fixed_ || kind() != Kind::Unknown)
        return;
    const std::lock_guard lock(measuring_);
    if (waits_.size() >= kSamples)
        return;
    waits_.push_back(latency);
    if (waits_.size() < kSamples)
        return;
    std::nth_element(waits_.begin(), waits_.begin() + kSamples / 2, waits_.end());
    const std::chrono::nanoseconds median = waits_[kSamples / 2];
    const Kind kind = median >= kSpinning ? Kind::Spinning : median < kFast ? Kind::Fast : Kind::Between;
    depth_.store(kind == Kind::Spinning ? kSpinningDepth : kStartDepth * readers_, std::memory_order_relaxed);
    kind_.store(kind, std::memory_order_relaxed);
}

void DevicePace::recordHit()
{
    if (fixed_ || kind() != Kind::Unknown || depth() >= kStartDepth * readers_)
        return;
    if (hits_.fetch_add(1, std::memory_order_relaxed) + 1 < kSamples)
        return;
    const std::lock_guard lock(measuring_);
    if (kind() == Kind::Unknown && waits_.size() < kSamples / 4)
        depth_.store(kStartDepth * readers_, std::memory_order_relaxed);
}

void DevicePace::recordBatch(std::size_t files, std::chrono::nanoseconds took)
{
    if (fixed_ || kind() != Kind::Fast || took.count() <= 0)
        return;
    const std::lock_guard lock(measuring_);
    const double rate = static_cast<double>(files) / static_cast<double>(took.count());
    const unsigned depth = this->depth();
    if (rate > lastRate_ * 1.1 && depth < kDeepest * readers_)
        depth_.store(std::min(kDeepest * readers_, depth * 2), std::memory_order_relaxed);
    lastRate_ = std::max(lastRate_, rate);
}

} // namespace listgen
