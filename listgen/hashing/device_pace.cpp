#include "listgen/hashing/device_pace.h"

#include <algorithm>

namespace listgen {

namespace {

// Misses timed before the device is classified.
constexpr std::size_t kSamples = 32;
constexpr auto kSpinning = std::chrono::milliseconds(2);
constexpr auto kFast = std::chrono::microseconds(500);
constexpr unsigned kSpinningDepth = 4;
constexpr unsigned kStartDepth = 32;

} // namespace

DevicePace::DevicePace(bool reportsRotational, unsigned fixedDepth)
    : fixed_(fixedDepth > 0)
    , depth_(fixedDepth > 0 ? fixedDepth : reportsRotational ? kSpinningDepth : kStartDepth)
{
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
    depth_.store(kind == Kind::Spinning ? kSpinningDepth : kStartDepth, std::memory_order_relaxed);
    kind_.store(kind, std::memory_order_relaxed);
}

void DevicePace::recordHit()
{
    if (fixed_ || kind() != Kind::Unknown || depth() >= kStartDepth)
        return;
    if (hits_.fetch_add(1, std::memory_order_relaxed) + 1 < kSamples)
        return;
    const std::lock_guard lock(measuring_);
    if (kind() == Kind::Unknown && waits_.size() < kSamples / 4)
        depth_.store(kStartDepth, std::memory_order_relaxed);
}

void DevicePace::recordBatch(std::size_t files, std::chrono::nanoseconds took)
{
    if (fixed_ || kind() != Kind::Fast || took.count() <= 0)
        return;
    const std::lock_guard lock(measuring_);
    const double rate = static_cast<double>(files) / static_cast<double>(took.count());
    const unsigned depth = this->depth();
    if (rate > lastRate_ * 1.1 && depth < kDeepest)
        depth_.store(std::min(kDeepest, depth * 2), std::memory_order_relaxed);
    lastRate_ = std::max(lastRate_, rate);
}

} // namespace listgen
