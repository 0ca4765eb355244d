#include "listgen/read/read_step.h"

#include <algorithm>
#include <cerrno>
#include <climits>

namespace listgen {

namespace {

// Tags of the ring's own requests, apart from the records' indexes.
constexpr std::uint64_t kCancelTag = ~std::uint64_t{0};
constexpr std::size_t kCompletionsAtOnce = 256;
// The largest read one request asks for; a larger one goes on like a short read.
constexpr std::size_t kLargestRead = std::size_t{1} << 30;

} // namespace

ReadStep::ReadStep(ReadRing& ring)
    : ring_(ring)
    , completions_(kCompletionsAtOnce)
{
}

ReadStep::~ReadStep()
{
    drain();
}

std::size_t ReadStep::newRecord(Kind kind, std::uint64_t tag)
{
    std::size_t index = 0;
    if (freeRecords_.empty()) {
        index = records_.size();
        records_.emplace_back();
    } else {
        index = freeRecords_.back();
        freeRecords_.pop_back();
    }
    records_[index] = Record{};
    records_[index].kind = kind;
    records_[index].tag = tag;
    return index;
}

void ReadStep::release(std::size_t index)
{
    records_[index].inRing = false;
    freeRecords_.push_back(index);
}

unsigned ReadStep::requestsOf(const Record& record) const noexcept
{
    return record.kind == Kind::Measure ? 2 : 1;
}

void ReadStep::measureAndOpen(int folderFd, const char* name, bool follow, int openFlags, struct statx* status,
                              unsigned slot, std::uint64_t measureTag, std::uint64_t openTag)
{
    const std::size_t measure = newRecord(Kind::Measure, measureTag);
    const std::size_t open = newRecord(Kind::Open, openTag);
    records_[open].partner = measure;
    Record& record = records_[measure];
    record.folderFd = folderFd;
    record.name = name;
    record.follow = follow;
    record.openFlags = openFlags;
    record.status = status;
    record.slot = slot;
    record.partner = open;
    records_[open].slot = slot;
    waiting_.push_back(measure);
    sendWaiting();
}

void ReadStep::read(unsigned slot, char* buffer, std::size_t size, std::uint64_t offset, std::uint64_t expectedEnd,
                    bool elsewhere, std::uint64_t tag)
{
    const std::size_t index = newRecord(Kind::Read, tag);
    Record& record = records_[index];
    record.slot = slot;
    record.buffer = buffer;
    record.size = size;
    record.offset = offset;
    record.expectedEnd = expectedEnd;
    record.elsewhere = elsewhere;
    waiting_.push_back(index);
    sendWaiting();
}

void ReadStep::close(unsigned slot, std::uint64_t tag)
{
    const std::size_t index = newRecord(Kind::Close, tag);
    records_[index].slot = slot;
    waiting_.push_back(index);
    sendWaiting();
}

void ReadStep::sendWaiting()
{
    // One request of room is kept for a cancel.
    while (!waiting_.empty() && inRing_ + requestsOf(records_[waiting_.front()]) < ring_.capacity()) {
        const std::size_t index = waiting_.front();
        waiting_.pop_front();
        send(index);
    }
}

void ReadStep::send(std::size_t index)
{
    Record& record = records_[index];
    switch (record.kind) {
    case Kind::Measure:
        ring_.measureAndOpen(record.folderFd, record.name, record.follow, record.openFlags, record.status, record.slot,
                             index, record.partner);
        records_[record.partner].inRing = true;
        break;
    case Kind::Open:
        return;
    case Kind::Read: {
        const std::size_t left = std::min(record.size - record.got, kLargestRead);
        ring_.read(record.slot, record.buffer + record.got, static_cast<unsigned>(left), record.offset + record.got,
                   record.elsewhere, index);
        break;
    }
    case Kind::Close:
        ring_.close(record.slot, index);
        break;
    }
    record.inRing = true;
    inRing_ += requestsOf(record);
}

void ReadStep::advance(std::vector<Done>& done, std::chrono::milliseconds wait)
{
    sendWaiting();
    const std::size_t count = ring_.submitAndTake(completions_, inRing_ > 0 ? wait : std::chrono::milliseconds(0));
    for (std::size_t i = 0; i < count; ++i) {
        const RingCompletion& completion = completions_[i];
        if (completion.tag == kCancelTag) {
            --inRing_;
            continue;
        }
        --inRing_;
        completed(static_cast<std::size_t>(completion.tag), completion.result, done);
    }
    sendWaiting();
}

void ReadStep::completed(std::size_t index, int result, std::vector<Done>& done)
{
    Record& record = records_[index];
    record.inRing = false;
    const bool again = result == -EAGAIN || result == -EINTR;
    if (record.kind != Kind::Read) {
        // Opens and measures hand back whatever they came to; the two records of a pair are
        // released together, once the open has completed too.
        done.push_back({record.tag, result});
        if (record.kind == Kind::Close) {
            release(index);
            return;
        }
        const std::size_t measure = record.kind == Kind::Measure ? index : record.partner;
        if (++records_[measure].halvesDone == 2) {
            release(records_[measure].partner);
            release(measure);
        }
        return;
    }
    if (again && ++record.retries <= kMostRetries) {
        waiting_.push_back(index);
        return;
    }
    if (result > 0) {
        record.got += static_cast<std::size_t>(result);
        const bool full = record.got == record.size;
        const bool atExpectedEnd = record.offset + record.got == record.expectedEnd;
        if (!full && !atExpectedEnd) {
            record.retries = 0;
            waiting_.push_back(index);
            return;
        }
    }
    const int outcome = result < 0 ? result : static_cast<int>(std::min<std::size_t>(record.got, INT_MAX));
    done.push_back({record.tag, outcome});
    release(index);
}

bool ReadStep::drain() noexcept
{
    waiting_.clear();
    try {
        if (inRing_ > 0) {
            ring_.cancelAll(kCancelTag);
            ++inRing_;
        }
        while (inRing_ > 0) {
            const std::size_t count = ring_.submitAndTake(completions_, std::chrono::milliseconds(100));
            inRing_ -= static_cast<unsigned>(count);
        }
    } catch (...) {
        return false;
    }
    records_.clear();
    freeRecords_.clear();
    return true;
}

} // namespace listgen
