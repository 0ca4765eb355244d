#include "listgen/common/progress_meter.h"

namespace listgen {

namespace {

constexpr auto kInterval = std::chrono::milliseconds(100);

} // namespace

ProgressMeter::ProgressMeter(const ProgressCallback& callback)
    : callback_(callback)
    , last_(std::chrono::steady_clock::now())
{
}

void ProgressMeter::tick()
{
    if (!callback_)
        return;
    const std::unique_lock lock(calling_, std::try_to_lock);
    if (!lock.owns_lock())
        return;
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < kInterval)
        return;
    last_ = now;
    callback_({files_.load(std::memory_order_relaxed), bytes_.load(std::memory_order_relaxed)});
}

void ProgressMeter::finish(const Progress& totals)
{
    if (!callback_)
        return;
    const std::lock_guard lock(calling_);
    callback_(totals);
}

} // namespace listgen
