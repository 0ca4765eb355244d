#include "listgen/hashing/work_queue.h"

#include <algorithm>

namespace listgen {

WorkQueue::WorkQueue(unsigned readers)
    : streams_(std::max(1U, readers), 0)
    , retired_(streams_.size(), false)
    , busy_(streams_.size(), false)
{
}

void WorkQueue::setReaders(unsigned readers)
{
    {
        const std::lock_guard lock(mutex_);
        streams_.resize(std::max(1U, readers));
        retired_.resize(streams_.size(), false);
        busy_.resize(streams_.size(), false);
    }
    forReaders_.notify_all();
}

WorkQueue::Batch* WorkQueue::find(std::uint64_t batch)
{
    for (Batch& candidate : batches_) {
        if (candidate.number == batch)
            return &candidate;
    }
    return nullptr;
}

const WorkQueue::Batch* WorkQueue::find(std::uint64_t batch) const
{
    return const_cast<WorkQueue*>(this)->find(batch);
}

void WorkQueue::skipToFiles(Batch& batch) const
{
    while (batch.next < batch.entries.size() && batch.entries[batch.next].kind != Entry::Kind::File)
        ++batch.next;
}

void WorkQueue::add(std::uint64_t batch, std::span<Entry> entries)
{
    Batch added;
    added.number = batch;
    added.entries = entries;
    added.unfinished = static_cast<std::size_t>(
        std::count_if(entries.begin(), entries.end(), [](const Entry& entry) { return entry.kind == Entry::Kind::File; }));
    skipToFiles(added);
    {
        const std::lock_guard lock(mutex_);
        batches_.push_back(added);
    }
    forReaders_.notify_all();
    forPipeline_.notify_all();
}

void WorkQueue::closeInput()
{
    {
        const std::lock_guard lock(mutex_);
        inputClosed_ = true;
    }
    forReaders_.notify_all();
}

void WorkQueue::abandon()
{
    {
        const std::lock_guard lock(mutex_);
        abandoned_ = true;
        inputClosed_ = true;
    }
    forReaders_.notify_all();
    forPipeline_.notify_all();
}

bool WorkQueue::done(std::uint64_t batch) const
{
    const std::lock_guard lock(mutex_);
    const Batch* found = find(batch);
    return found != nullptr && found->unfinished == 0;
}

void WorkQueue::waitUntilDone(std::uint64_t batch, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    forPipeline_.wait_for(lock, timeout, [&] {
        const Batch* found = find(batch);
        return abandoned_ || (found != nullptr && found->unfinished == 0);
    });
}

void WorkQueue::written(std::uint64_t batch)
{
    const std::lock_guard lock(mutex_);
    std::erase_if(batches_, [&](const Batch& candidate) { return candidate.number == batch; });
}

std::size_t WorkQueue::claim(std::span<Claim> out)
{
    const std::lock_guard lock(mutex_);
    std::size_t taken = 0;
    if (abandoned_)
        return 0;
    for (Batch& batch : batches_) {
        while (taken < out.size() && batch.next < batch.entries.size()) {
            out[taken++] = {&batch.entries[batch.next], batch.number};
            ++batch.next;
            skipToFiles(batch);
        }
        if (taken == out.size())
            break;
    }
    return taken;
}

void WorkQueue::finished(std::span<const Claim> claims)
{
    bool anyDone = false;
    {
        const std::lock_guard lock(mutex_);
        for (const Claim& claim : claims) {
            Batch* batch = find(claim.batch);
            if (batch != nullptr && batch->unfinished > 0 && --batch->unfinished == 0)
                anyDone = true;
        }
    }
    if (anyDone)
        forPipeline_.notify_all();
}

void WorkQueue::postLarge(LargeFile file)
{
    {
        const std::lock_guard lock(mutex_);
        large_.push_back(std::move(file));
    }
    forReaders_.notify_all();
}

bool WorkQueue::fewest(unsigned reader) const
{
    for (std::size_t other = 0; other < streams_.size(); ++other) {
        if (!retired_[other] && streams_[other] < streams_[reader])
            return false;
    }
    return true;
}

bool WorkQueue::fewestStreams(unsigned reader) const
{
    const std::lock_guard lock(mutex_);
    return fewest(reader);
}

std::optional<LargeFile> WorkQueue::takeLarge(unsigned reader)
{
    const std::lock_guard lock(mutex_);
    if (abandoned_ || large_.empty() || !fewest(reader))
        return std::nullopt;
    LargeFile file = std::move(large_.front());
    large_.pop_front();
    ++streams_[reader];
    return file;
}

void WorkQueue::retire(unsigned reader)
{
    {
        const std::lock_guard lock(mutex_);
        retired_[reader] = true;
        busy_[reader] = false;
    }
    forReaders_.notify_all();
}

void WorkQueue::setBusy(unsigned reader, bool busy)
{
    {
        const std::lock_guard lock(mutex_);
        busy_[reader] = busy;
    }
    if (!busy)
        forReaders_.notify_all();
}

void WorkQueue::setStreams(unsigned reader, unsigned streams)
{
    bool fewer = false;
    {
        const std::lock_guard lock(mutex_);
        fewer = streams < streams_[reader];
        streams_[reader] = streams;
    }
    // Another reader may be waiting to be allowed a large file.
    if (fewer)
        forReaders_.notify_all();
}

bool WorkQueue::haveWork(unsigned reader) const
{
    if (!large_.empty() && fewest(reader))
        return true;
    return std::any_of(batches_.begin(), batches_.end(),
                       [](const Batch& batch) { return batch.next < batch.entries.size(); });
}

bool WorkQueue::over() const
{
    if (abandoned_)
        return true;
    return inputClosed_ && large_.empty() && std::none_of(busy_.begin(), busy_.end(), [](bool busy) { return busy; }) &&
           std::none_of(batches_.begin(), batches_.end(),
                        [](const Batch& batch) { return batch.next < batch.entries.size(); });
}

bool WorkQueue::waitForWork(unsigned reader, std::chrono::milliseconds timeout)
{
    std::unique_lock lock(mutex_);
    forReaders_.wait_for(lock, timeout, [&] { return haveWork(reader) || over(); });
    return !over();
}

} // namespace listgen
