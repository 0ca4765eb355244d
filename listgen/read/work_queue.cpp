#include "listgen/read/work_queue.h"

#include <algorithm>

namespace listgen {

WorkQueue::WorkQueue(unsigned readers, const Placement* placement)
    : placement_(placement)
    , mustGive_(std::make_unique<std::atomic<bool>[]>(std::max(1U, readers)))
    , active_(std::max(1U, readers), true)
    , busy_(active_.size(), false)
{
}

void WorkQueue::setReaders(unsigned readers)
{
    {
        const std::lock_guard lock(mutex_);
        active_.resize(std::clamp(readers, 1U, static_cast<unsigned>(active_.size())));
        busy_.resize(active_.size(), false);
        replan();
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

WorkQueue::Stream* WorkQueue::findStream(std::uint64_t stream)
{
    const auto found = std::find_if(streams_.begin(), streams_.end(), [&](const Stream& s) { return s.number == stream; });
    return found == streams_.end() ? nullptr : &*found;
}

// Places every stream again and tells the readers that hold one placed elsewhere.
void WorkQueue::replan()
{
    if (placement_ == nullptr)
        return;
    std::vector<StreamLoad> loads;
    for (const Stream& stream : streams_)
        loads.push_back(stream.load);
    const std::vector<int> placed = placement_->plan(loads, active_);
    for (std::size_t i = 0; i < streams_.size(); ++i)
        streams_[i].placed = placed[i];
    flagGivers();
}

void WorkQueue::flagGivers()
{
    for (unsigned reader = 0; reader < active_.size(); ++reader) {
        const bool misplaced = std::any_of(streams_.begin(), streams_.end(), [&](const Stream& stream) {
            return stream.load.reader == static_cast<int>(reader) && stream.placed != static_cast<int>(reader);
        });
        mustGive_[reader].store(misplaced, std::memory_order_relaxed);
    }
}

bool WorkQueue::addStream(unsigned reader, LargeFile& file, std::uint64_t size)
{
    bool kept = true;
    {
        const std::lock_guard lock(mutex_);
        file.stream = nextStream_++;
        streams_.push_back({file.stream, {static_cast<int>(reader), size}, static_cast<int>(reader)});
        replan();
        if (streams_.back().placed != static_cast<int>(reader)) {
            streams_.back().load.reader = StreamLoad::kWaiting;
            large_.push_back(std::move(file));
            kept = false;
            flagGivers();
        }
    }
    if (!kept)
        forReaders_.notify_all();
    return kept;
}

void WorkQueue::streamProgress(std::uint64_t stream, std::uint64_t bytesLeft)
{
    const std::lock_guard lock(mutex_);
    if (Stream* found = findStream(stream))
        found->load.bytesLeft = bytesLeft;
}

void WorkQueue::streamEnded(std::uint64_t stream)
{
    {
        const std::lock_guard lock(mutex_);
        std::erase_if(streams_, [&](const Stream& s) { return s.number == stream; });
        replan();
    }
    forReaders_.notify_all();
}

std::vector<std::uint64_t> WorkQueue::streamsToGive(unsigned reader)
{
    const std::lock_guard lock(mutex_);
    mustGive_[reader].store(false, std::memory_order_relaxed);
    std::vector<std::uint64_t> give;
    for (const Stream& stream : streams_) {
        if (stream.load.reader == static_cast<int>(reader) && stream.placed != static_cast<int>(reader))
            give.push_back(stream.number);
    }
    return give;
}

void WorkQueue::giveUp(LargeFile file)
{
    {
        const std::lock_guard lock(mutex_);
        if (Stream* stream = findStream(file.stream))
            stream->load.reader = StreamLoad::kWaiting;
        large_.push_back(std::move(file));
    }
    forReaders_.notify_all();
}

std::optional<LargeFile> WorkQueue::takeLarge(unsigned reader)
{
    const std::lock_guard lock(mutex_);
    if (abandoned_)
        return std::nullopt;
    for (auto file = large_.begin(); file != large_.end(); ++file) {
        Stream* stream = findStream(file->stream);
        // Without a placement, or once the stream has ended, whoever asks takes it.
        if (stream != nullptr && placement_ != nullptr && stream->placed != static_cast<int>(reader))
            continue;
        if (stream != nullptr)
            stream->load.reader = static_cast<int>(reader);
        LargeFile taken = std::move(*file);
        large_.erase(file);
        return taken;
    }
    return std::nullopt;
}

void WorkQueue::takesNoStreams(unsigned reader)
{
    {
        const std::lock_guard lock(mutex_);
        active_[reader] = false;
        replan();
    }
    forReaders_.notify_all();
}

void WorkQueue::retire(unsigned reader)
{
    {
        const std::lock_guard lock(mutex_);
        active_[reader] = false;
        busy_[reader] = false;
        replan();
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

bool WorkQueue::haveWork(unsigned reader) const
{
    if (mustGive_[reader].load(std::memory_order_relaxed))
        return true;
    if (std::any_of(large_.begin(), large_.end(), [&](const LargeFile& file) {
            const Stream* stream = const_cast<WorkQueue*>(this)->findStream(file.stream);
            return placement_ == nullptr || stream == nullptr || stream->placed == static_cast<int>(reader);
        }))
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
