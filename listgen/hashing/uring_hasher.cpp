#include "listgen/hashing/uring_hasher.h"

#include "listgen/common/system_error.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <string>

namespace listgen {

namespace {

constexpr unsigned kRingEntries = 1024;
constexpr unsigned kMostSlots = 512;
// Files up to this size are read in one request and hashed as whole messages.
constexpr std::size_t kSmallFile = std::size_t{256} << 10;
constexpr std::size_t kArenaSize = std::size_t{16} << 20;
constexpr std::size_t kChunkSize = std::size_t{1} << 18;
// One byte more than a chunk, so that the last read of a file also tells whether it grew.
constexpr std::size_t kChunkBuffer = kChunkSize + 64;
constexpr std::size_t kChunks = 12;
constexpr unsigned kReadsPerStream = 2;
constexpr std::size_t kHeldReads = 32;
// A read that took longer than this waited for the device rather than the page cache.
constexpr auto kCacheHit = std::chrono::microseconds(40);
constexpr unsigned kOpBits = 4;
constexpr unsigned kJobBits = 40;

using Clock = std::chrono::steady_clock;

std::size_t roundUp(std::size_t size)
{
    return (size + 63) & ~std::size_t{63};
}

unsigned slotCount()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 64;
    // The kernel counts registered slots against the limit of open files.
    return static_cast<unsigned>(std::min<rlim_t>(kMostSlots, limit.rlim_cur / 2));
}

struct RingGuard {
    io_uring& ring;
    bool armed = true;
    ~RingGuard()
    {
        if (armed)
            io_uring_queue_exit(&ring);
    }
};

int setUpRing(io_uring& ring, unsigned slots)
{
    io_uring_params params{};
    params.flags = IORING_SETUP_SINGLE_ISSUER | IORING_SETUP_COOP_TASKRUN | IORING_SETUP_SUBMIT_ALL;
    int result = io_uring_queue_init_params(kRingEntries, &ring, &params);
    if (result == -EINVAL) {
        params = {};
        result = io_uring_queue_init_params(kRingEntries, &ring, &params);
    }
    if (result < 0)
        return result;
    RingGuard guard{ring};
    io_uring_probe* probe = io_uring_get_probe_ring(&ring);
    if (probe == nullptr)
        return -ENOSYS;
    const bool complete = io_uring_opcode_supported(probe, IORING_OP_STATX) &&
                          io_uring_opcode_supported(probe, IORING_OP_OPENAT) &&
                          io_uring_opcode_supported(probe, IORING_OP_READ) &&
                          io_uring_opcode_supported(probe, IORING_OP_CLOSE);
    io_uring_free_probe(probe);
    if (!complete)
        return -ENOSYS;
    if (slots < 8)
        return -EMFILE;
    result = io_uring_register_files_sparse(&ring, slots);
    if (result < 0)
        return result;
    guard.armed = false;
    return 0;
}

} // namespace

struct UringHasher::Chunk {
    char* data = nullptr;
    std::size_t job = 0;
    std::uint64_t offset = 0;
    std::size_t asked = 0;
    long long got = 0;
    Clock::time_point submitted;
};

struct UringHasher::Job {
    enum class State { Waiting, Opening, Reading, Hashing, Finished };
    Entry* entry = nullptr;
    std::string name;
    struct statx status {};
    State state = State::Waiting;
    int statxResult = 1;
    int openResult = 1;
    unsigned slot = 0;
    bool slotOpen = false;
    std::uint64_t size = 0;
    char* data = nullptr;
    std::size_t asked = 0;
    Clock::time_point submitted;
    Md5Lanes::StreamId stream = Md5Lanes::kNoStream;
    std::uint64_t nextRead = 0;
    std::uint64_t fed = 0;
    bool allAsked = false;
    unsigned readsInFlight = 0;
    unsigned opsInFlight = 0;
    std::vector<std::size_t> readyChunks;
    bool ended = false;
};

bool UringHasher::available()
{
    io_uring ring{};
    if (setUpRing(ring, 8) < 0)
        return false;
    io_uring_queue_exit(&ring);
    return true;
}

UringHasher::UringHasher(const std::atomic<bool>& cancel, ProgressMeter& progress, DevicePace& pace)
    : cancel_(cancel)
    , progress_(progress)
    , pace_(pace)
    , fallback_(cancel)
    , arena_(new char[kArenaSize])
    , chunks_(kChunks)
    , digests_(64)
    , released_(64)
{
    const unsigned slots = slotCount();
    if (const int result = setUpRing(ring_, slots); result < 0)
        throw std::system_error(-result, std::generic_category(), "cannot set up io_uring");
    for (unsigned slot = slots; slot > 0; --slot)
        freeSlots_.push_back(slot - 1);
    static_assert(kChunks < (1U << (64 - kOpBits - kJobBits)));
    for (std::size_t i = 0; i < kChunks; ++i) {
        chunks_[i].data = new char[kChunkBuffer];
        freeChunks_.push_back(i);
    }
}

UringHasher::~UringHasher()
{
    io_uring_queue_exit(&ring_);
    for (Chunk& chunk : chunks_)
        delete[] chunk.data;
}

std::uint64_t UringHasher::userData(Op op, std::size_t job, std::size_t chunk) const
{
    return static_cast<std::uint64_t>(op) | (static_cast<std::uint64_t>(job) << kOpBits) |
           (static_cast<std::uint64_t>(chunk) << (kOpBits + kJobBits));
}

io_uring_sqe* UringHasher::sqe()
{
    io_uring_sqe* entry = io_uring_get_sqe(&ring_);
    if (entry == nullptr) {
        io_uring_submit(&ring_);
        submittedUnsent_ = 0;
        entry = io_uring_get_sqe(&ring_);
    }
    ++submittedUnsent_;
    ++opsInFlight_;
    return entry;
}

void UringHasher::hash(std::span<Entry> batch)
{
    const auto began = Clock::now();
    jobs_.clear();
    for (Entry& entry : batch) {
        if (entry.kind == Entry::Kind::File) {
            jobs_.emplace_back();
            jobs_.back().entry = &entry;
        }
    }
    std::vector<std::size_t> order(jobs_.size());
    for (std::size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    if (pace_.inodeOrder())
        std::sort(order.begin(), order.end(),
                  [&](std::size_t a, std::size_t b) { return jobs_[a].entry->inode < jobs_[b].entry->inode; });
    std::size_t next = 0;
    std::size_t finished = 0;
    for (;;) {
        const bool cancelled = cancel_.load(std::memory_order_relaxed);
        while (!cancelled && next < order.size() && filesInFlight_ < pace_.depth() && !freeSlots_.empty())
            start(order[next++]);
        if (cancelled) {
            for (; next < order.size(); ++next)
                markCancelled(jobs_[order[next]]);
        }
        finished = static_cast<std::size_t>(std::count_if(
            jobs_.begin(), jobs_.end(), [](const Job& job) { return job.state == Job::State::Finished; }));
        if (finished == jobs_.size() && next == order.size())
            break;
        waitForCompletions();
    }
    if (!jobs_.empty())
        pace_.recordBatch(jobs_.size(), Clock::now() - began);
    progress_.tick();
}

void UringHasher::waitForCompletions()
{
    io_uring_cqe* cqe = nullptr;
    if (heldReads_.size() >= kHeldReads || opsInFlight_ == 0)
        submitHeldReads();
    if (submittedUnsent_ > 0 || io_uring_sq_ready(&ring_) > 0) {
        io_uring_submit(&ring_);
        submittedUnsent_ = 0;
    }
    lanes_.hash();
    takeLaneResults();
    if (io_uring_peek_cqe(&ring_, &cqe) != 0) {
        if (opsInFlight_ == 0) {
            // Nothing is being read: finish what the lanes hold, so their buffers come free.
            lanes_.flush();
            takeLaneResults();
            retryWaiting();
            return;
        }
        if (!lanes_.idle()) {
            lanes_.flush();
            takeLaneResults();
        }
        // Woken now and then, so a stop request is seen even while a slow device keeps us waiting.
        __kernel_timespec wake{0, 100'000'000};
        const int result = io_uring_wait_cqe_timeout(&ring_, &cqe, &wake);
        if (result < 0 && result != -EINTR && result != -ETIME)
            throw std::system_error(-result, std::generic_category(), "io_uring");
    }
    unsigned head = 0;
    unsigned seen = 0;
    io_uring_for_each_cqe(&ring_, head, cqe)
    {
        onCompletion(*cqe);
        ++seen;
    }
    io_uring_cq_advance(&ring_, seen);
    takeLaneResults();
    retryWaiting();
}

void UringHasher::start(std::size_t index)
{
    Job& job = jobs_[index];
    job.name = std::string(job.entry->name());
    job.slot = freeSlots_.back();
    freeSlots_.pop_back();
    job.state = Job::State::Opening;
    const int folder = job.entry->folder->fd.get();
    io_uring_sqe* measure = sqe();
    io_uring_prep_statx(measure, folder, job.name.c_str(), 0, STATX_TYPE | STATX_SIZE, &job.status);
    io_uring_sqe_set_data64(measure, userData(Op::Statx, index));
    measure->flags |= IOSQE_IO_LINK;
    io_uring_sqe* open = sqe();
    // O_NONBLOCK: a name swapped for a FIFO after the listing must not hang the reader.
    io_uring_prep_openat_direct(open, folder, job.name.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK, 0, job.slot);
    io_uring_sqe_set_data64(open, userData(Op::Open, index));
    job.opsInFlight = 2;
    ++filesInFlight_;
}

void UringHasher::onCompletion(const io_uring_cqe& cqe)
{
    const std::uint64_t data = io_uring_cqe_get_data64(&cqe);
    const auto op = static_cast<Op>(data & ((1U << kOpBits) - 1));
    const std::size_t index = (data >> kOpBits) & ((std::uint64_t{1} << kJobBits) - 1);
    const std::size_t chunkIndex = data >> (kOpBits + kJobBits);
    Job& job = jobs_[index];
    --opsInFlight_;
    --job.opsInFlight;
    switch (op) {
    case Op::Statx:
        job.statxResult = cqe.res;
        break;
    case Op::Open:
        job.openResult = cqe.res;
        job.slotOpen = cqe.res >= 0;
        if (!job.slotOpen)
            freeSlots_.push_back(job.slot);
        onOpened(index);
        break;
    case Op::ReadWhole: {
        const auto waited = Clock::now() - job.submitted;
        if (waited > kCacheHit)
            pace_.recordWait(waited);
        closeSlot(job);
        if (job.ended)
            break;
        if (cqe.res < 0) {
            fail(job, reasonText(-cqe.res));
        } else if (static_cast<std::uint64_t>(cqe.res) == job.size) {
            progress_.addBytes(job.size);
            submitToLanes(index);
        } else if (job.size == 0) {
            --arenaUsers_;
            handToFileHasher(job);
        } else {
            fail(job, "changed while it was read");
        }
        break;
    }
    case Op::ReadChunk: {
        Chunk& chunk = chunks_[chunkIndex];
        chunk.got = cqe.res;
        const auto waited = Clock::now() - chunk.submitted;
        if (waited > kCacheHit)
            pace_.recordWait(waited);
        --job.readsInFlight;
        job.readyChunks.push_back(chunkIndex);
        feedChunks(index);
        break;
    }
    case Op::Close:
        freeSlots_.push_back(job.slot);
        break;
    }
    settle(job);
}

void UringHasher::onOpened(std::size_t index)
{
    Job& job = jobs_[index];
    if (job.statxResult == 1 || job.openResult == 1)
        return;
    if (job.statxResult < 0 || job.openResult < 0 || !S_ISREG(job.status.stx_mode)) {
        closeSlot(job);
        handToFileHasher(job);
        return;
    }
    if (cancel_.load(std::memory_order_relaxed)) {
        closeSlot(job);
        markCancelled(job);
        return;
    }
    job.size = job.status.stx_size;
    job.state = Job::State::Reading;
    if (job.size <= kSmallFile)
        readWhole(index);
    else
        readChunks(index);
}

void UringHasher::readWhole(std::size_t index)
{
    Job& job = jobs_[index];
    // One byte more than the size, or a little for a file that says it is empty: a read that
    // fills it shows that the file grew, or is one of those of /proc that give more than they say.
    const std::size_t asked = job.size == 0 ? 4096 : static_cast<std::size_t>(job.size) + 1;
    if (arenaUsed_ + roundUp(asked) > kArenaSize) {
        waitingForArena_.push_back(index);
        return;
    }
    job.data = arena_.get() + arenaUsed_;
    arenaUsed_ += roundUp(asked);
    ++arenaUsers_;
    job.asked = asked;
    ++job.opsInFlight;
    heldReads_.push_back(index);
}

// Small files' reads wait here until a few are ready, then go out together in walk order, so
// that the neighbouring files they read merge into one request to the disk.
void UringHasher::submitHeldReads()
{
    std::sort(heldReads_.begin(), heldReads_.end());
    for (const std::size_t index : heldReads_) {
        Job& job = jobs_[index];
        io_uring_sqe* read = sqe();
        io_uring_prep_read(read, static_cast<int>(job.slot), job.data, static_cast<unsigned>(job.asked), 0);
        read->flags |= IOSQE_FIXED_FILE;
        io_uring_sqe_set_data64(read, userData(Op::ReadWhole, index));
        job.submitted = Clock::now();
    }
    heldReads_.clear();
}

void UringHasher::submitToLanes(std::size_t index)
{
    Job& job = jobs_[index];
    job.state = Job::State::Hashing;
    while (!lanes_.submit(job.data, static_cast<std::size_t>(job.size), index)) {
        lanes_.flush();
        takeLaneResults();
    }
}

void UringHasher::readChunks(std::size_t index)
{
    Job& job = jobs_[index];
    if (!job.ended && cancel_.load(std::memory_order_relaxed)) {
        markCancelled(job);
        if (job.stream != Md5Lanes::kNoStream && job.fed < job.size)
            lanes_.finish(job.stream);
    }
    if (job.stream == Md5Lanes::kNoStream && !job.ended) {
        job.stream = lanes_.openStream(index);
        if (job.stream == Md5Lanes::kNoStream) {
            waitingForStream_.push_back(index);
            return;
        }
        streaming_.push_back(index);
    }
    while (!job.ended && !job.allAsked && job.readsInFlight < kReadsPerStream && !freeChunks_.empty()) {
        const std::size_t chunkIndex = freeChunks_.back();
        freeChunks_.pop_back();
        Chunk& chunk = chunks_[chunkIndex];
        const std::uint64_t left = job.size - job.nextRead;
        const bool last = left <= kChunkSize;
        chunk.job = index;
        chunk.offset = job.nextRead;
        chunk.asked = last ? static_cast<std::size_t>(left) + 1 : kChunkSize;
        job.nextRead += last ? left : kChunkSize;
        job.allAsked = last;
        io_uring_sqe* read = sqe();
        io_uring_prep_read(read, static_cast<int>(job.slot), chunk.data, static_cast<unsigned>(chunk.asked),
                           chunk.offset);
        read->flags |= IOSQE_FIXED_FILE;
        io_uring_sqe_set_data64(read, userData(Op::ReadChunk, index, chunkIndex));
        chunk.submitted = Clock::now();
        ++job.readsInFlight;
        ++job.opsInFlight;
    }
    if ((job.allAsked || job.ended) && job.readsInFlight == 0)
        closeSlot(job);
    settle(job);
}

// Feeds the chunks that have arrived to the lanes in file order.
void UringHasher::feedChunks(std::size_t index)
{
    Job& job = jobs_[index];
    for (bool fed = true; fed;) {
        fed = false;
        for (auto it = job.readyChunks.begin(); it != job.readyChunks.end(); ++it) {
            Chunk& chunk = chunks_[*it];
            if (chunk.offset != job.fed)
                continue;
            const std::size_t chunkIndex = *it;
            job.readyChunks.erase(it);
            fed = true;
            const bool last = chunk.offset + kChunkSize >= job.size;
            const std::size_t expected = last ? static_cast<std::size_t>(job.size - chunk.offset) : kChunkSize;
            if (job.ended || chunk.got < 0 || static_cast<std::size_t>(chunk.got) != expected) {
                freeChunks_.push_back(chunkIndex);
                if (!job.ended)
                    fail(job, chunk.got < 0 ? reasonText(static_cast<int>(-chunk.got)) : "changed while it was read");
                break;
            }
            progress_.addBytes(expected);
            while (!lanes_.feed(job.stream, chunk.data, expected, chunkIndex)) {
                lanes_.flush();
                takeLaneResults();
            }
            job.fed += expected;
            if (job.fed == job.size) {
                lanes_.finish(job.stream);
                job.state = Job::State::Hashing;
            }
            break;
        }
    }
    if (job.ended) {
        for (const std::size_t chunkIndex : job.readyChunks)
            freeChunks_.push_back(chunkIndex);
        job.readyChunks.clear();
    }
    readChunks(index);
    progress_.tick();
}

void UringHasher::takeLaneResults()
{
    for (std::size_t count = lanes_.takeReleased(released_); count > 0; count = lanes_.takeReleased(released_)) {
        for (std::size_t i = 0; i < count; ++i)
            freeChunks_.push_back(static_cast<std::size_t>(released_[i]));
    }
    for (std::size_t count = lanes_.takeDigests(digests_); count > 0; count = lanes_.takeDigests(digests_)) {
        for (std::size_t i = 0; i < count; ++i) {
            Job& job = jobs_[static_cast<std::size_t>(digests_[i].tag)];
            if (job.stream != Md5Lanes::kNoStream) {
                job.stream = Md5Lanes::kNoStream;
                std::erase(streaming_, static_cast<std::size_t>(digests_[i].tag));
            } else {
                --arenaUsers_;
            }
            if (job.ended) {
                settle(job);
                continue;
            }
            job.entry->kind = Entry::Kind::Hashed;
            job.entry->facts = {job.size, toHex(digests_[i].value)};
            job.ended = true;
            settle(job);
        }
    }
    if (arenaUsers_ == 0)
        arenaUsed_ = 0;
}

void UringHasher::retryWaiting()
{
    while (!waitingForArena_.empty() && arenaUsed_ == 0) {
        const std::size_t index = waitingForArena_.front();
        waitingForArena_.pop_front();
        readWhole(index);
        if (jobs_[index].data == nullptr)
            break;
    }
    while (!waitingForStream_.empty()) {
        const std::size_t index = waitingForStream_.front();
        if (jobs_[index].ended) {
            waitingForStream_.pop_front();
            readChunks(index);
            continue;
        }
        if ((jobs_[index].stream = lanes_.openStream(index)) == Md5Lanes::kNoStream)
            break;
        waitingForStream_.pop_front();
        streaming_.push_back(index);
        readChunks(index);
    }
    for (const std::size_t index : std::vector<std::size_t>(streaming_))
        readChunks(index);
}

void UringHasher::fail(Job& job, const std::string& reason)
{
    job.entry->kind = Entry::Kind::Unreadable;
    job.entry->reason = reason;
    job.ended = true;
    if (job.stream != Md5Lanes::kNoStream && job.fed < job.size) {
        // The lanes still hold the stream; finishing it lets its digest come out and be ignored.
        lanes_.finish(job.stream);
    } else if (job.stream == Md5Lanes::kNoStream && job.data != nullptr) {
        --arenaUsers_;
    }
    closeSlot(job);
}

void UringHasher::markCancelled(Job& job)
{
    job.entry->kind = Entry::Kind::Cancelled;
    job.ended = true;
    if (job.state == Job::State::Waiting)
        job.state = Job::State::Finished;
}

void UringHasher::handToFileHasher(Job& job)
{
    fallback_.hash(*job.entry);
    job.ended = true;
}

void UringHasher::closeSlot(Job& job)
{
    if (!job.slotOpen || job.readsInFlight > 0)
        return;
    job.slotOpen = false;
    io_uring_sqe* close = sqe();
    io_uring_prep_close_direct(close, job.slot);
    io_uring_sqe_set_data64(close, userData(Op::Close, static_cast<std::size_t>(&job - jobs_.data())));
    ++job.opsInFlight;
}

void UringHasher::settle(Job& job)
{
    if (job.state == Job::State::Finished || !job.ended || job.opsInFlight > 0 || job.slotOpen)
        return;
    if (job.stream != Md5Lanes::kNoStream)
        return;
    job.state = Job::State::Finished;
    --filesInFlight_;
}

} // namespace listgen
