#include "listgen/read/uring_hasher.h"

#include "listgen/common/entry_file.h"
#include "listgen/common/file_descriptor.h"
#include "listgen/common/file_version.h"
#include "listgen/common/pseudo_files.h"
#include "listgen/common/system_error.h"
#include "listgen/read/uring_ring.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <string>

namespace listgen {

namespace {

constexpr unsigned kRingEntries = 1024;
constexpr unsigned kMostSlots = 512;
// Files up to this size are read in one request and hashed as whole messages.
constexpr std::size_t kSmallFile = std::size_t{256} << 10;
constexpr std::size_t kChunkSize = std::size_t{1} << 17;
// One byte more than a chunk, so that the last read of a file also tells whether it grew.
constexpr std::size_t kChunkBuffer = kChunkSize + 64;
constexpr std::size_t kHeldReads = 32;
// Large files opened and waiting for a stream of the lanes hold a slot each; a few are enough.
constexpr std::size_t kMostWaitingForStream = 16;
constexpr unsigned kMostStreams = UringHasher::kMostStreams;
constexpr unsigned kReadsPerStream = UringHasher::kReadsPerStream;
constexpr std::size_t kMostJobs = DevicePace::kDeepest + kMostWaitingForStream + kMostStreams + 16;
constexpr std::size_t kClaimsAtOnce = 32;
constexpr std::size_t kNoSha256 = ~std::size_t{0};
// The device pace hears how fast files go after this many.
constexpr std::size_t kPaceEvery = 128;
constexpr auto kWakeUp = std::chrono::milliseconds(100);
constexpr unsigned kOpBits = 4;
constexpr unsigned kJobBits = 40;
constexpr int kOpenFlags = O_RDONLY | O_NOCTTY | O_NONBLOCK;
// For asking who has a file open for writing.
constexpr int kProbeFlags = kOpenFlags | O_CLOEXEC;

using Clock = std::chrono::steady_clock;

std::size_t roundUp(std::size_t size)
{
    return (size + 63) & ~std::size_t{63};
}

// The address space a reader may take for its buffers: an eighth of what the limit leaves.
std::size_t bufferBudget()
{
    rlimit limit{};
    if (::getrlimit(RLIMIT_AS, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return ~std::size_t{0};
    std::ifstream statm("/proc/self/statm");
    std::size_t pages = 0;
    statm >> pages;
    const std::size_t used = pages * static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    return limit.rlim_cur > used ? (limit.rlim_cur - used) / 8 : 0;
}

// The largest buffers within the budget; below the least a reader can work with, none.
UringHasher::Buffers buffersWithin(std::size_t budget)
{
    UringHasher::Buffers buffers;
    while (buffers.arena + buffers.chunks * kChunkBuffer > budget && buffers.arena > roundUp(kSmallFile + 1)) {
        buffers.arena /= 2;
        buffers.chunks = std::max<std::size_t>(kReadsPerStream, buffers.chunks / 2);
    }
    buffers.arena = std::max(buffers.arena, roundUp(kSmallFile + 1));
    if (buffers.arena + buffers.chunks * kChunkBuffer > budget)
        throw std::bad_alloc();
    return buffers;
}

} // namespace

struct UringHasher::Chunk {
    char* data = nullptr;
    std::size_t job = 0;
    std::uint64_t offset = 0;
    std::size_t asked = 0;
    int got = 0;
    Clock::time_point submitted;
};

struct UringHasher::Job {
    enum class State { Waiting, Opening, Reading, Hashing, Finished };
    Claim claim;
    // The name the ring opens, and for a link the descriptor of what it leads to.
    std::string name;
    FileDescriptor linkTarget;
    struct statx status {};
    // Read from the file systems' clock just before the ring measured the file.
    timespec measuredAt{};
    State state = State::Finished;
    // Counts against the device's depth while its data is still to come from the device.
    bool holdsDepth = false;
    // Holds a stream of this reader: a large file it keeps or took from the queue.
    bool large = false;
    // Taken from the queue: the file must still be the one another reader measured.
    bool taken = false;
    // As another reader measured it first.
    struct statx expected {};
    // Passed on to the queue: whoever takes it finishes it.
    bool passed = false;
    // The queue's number for it, once it is a stream; placed with another reader, it moves.
    std::uint64_t queued = 0;
    bool giving = false;
    // Where a stream that moved here goes on from.
    std::uint64_t resumeAt = 0;
    Md5StreamState md5From;
    Sha256State sha256From;
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
    // The SHA-256 context the stream feeds, when the run asks for SHA-256.
    std::size_t sha256 = kNoSha256;
    bool ended = false;
};

std::unique_ptr<UringHasher> UringHasher::create(const std::atomic<bool>& cancel, ProgressMeter& progress,
                                                 DevicePace& pace, bool sha256)
{
    const Buffers buffers = buffersWithin(bufferBudget());
    std::error_code error;
    std::unique_ptr<UringRing> ring = UringRing::create(kRingEntries, kMostSlots, error);
    if (!ring)
        throw SystemError(RunAction::SetUpRing, "io_uring", error);
    return std::make_unique<UringHasher>(std::move(ring), cancel, progress, pace, buffers, sha256);
}

UringHasher::UringHasher(std::unique_ptr<ReadRing> ring, const std::atomic<bool>& cancel, ProgressMeter& progress,
                         DevicePace& pace, const Buffers& buffers, bool sha256)
    : cancel_(cancel)
    , progress_(progress)
    , pace_(pace)
    , arena_(buffers.arena)
    , chunkMemory_(buffers.chunks * kChunkBuffer)
    , chunks_(buffers.chunks)
    , jobs_(kMostJobs)
    , ring_(std::move(ring))
    , step_(*ring_)
    , lanes_(Md5Lanes::Options{.streams = kMostStreams})
    , fallback_(cancel, &progress_, FileHasher::kDefaultBufferSize, sha256)
    , digests_(64)
    , released_(64)
{
    for (unsigned slot = step_.fileSlots(); slot > 0; --slot)
        freeSlots_.push_back(slot - 1);
    for (std::size_t job = jobs_.size(); job > 0; --job)
        freeJobs_.push_back(job - 1);
    static_assert(kOpBits + kJobBits < 64);
    for (std::size_t i = 0; i < chunks_.size(); ++i) {
        chunks_[i].data = chunkMemory_.get() + i * kChunkBuffer;
        freeChunks_.push_back(i);
    }
    if (sha256) {
        wholeSha256_ = std::make_unique<Sha256Stream>();
        // A stream holds its context from its first chunk until its digest comes out.
        for (std::size_t i = 0; i < kMostStreams; ++i) {
            streamSha256_.push_back(std::make_unique<Sha256Stream>());
            freeStreamSha256_.push_back(i);
        }
    }
}

UringHasher::~UringHasher()
{
    if (!step_.drain()) {
        // The kernel may still write into them (statx results into the jobs): better lost
        // than given back.
        arena_.abandon();
        chunkMemory_.abandon();
        static std::vector<std::vector<Job>> abandoned;
        abandoned.push_back(std::move(jobs_));
    }
}

std::uint64_t UringHasher::tag(Op op, std::size_t job, std::size_t chunk) const
{
    return static_cast<std::uint64_t>(op) | (static_cast<std::uint64_t>(job) << kOpBits) |
           (static_cast<std::uint64_t>(chunk) << (kOpBits + kJobBits));
}

void UringHasher::work(WorkQueue& queue, unsigned reader)
{
    if (broken_)
        throw std::logic_error("io_uring reader used after a failure");
    queue_ = &queue;
    reader_ = reader;
    try {
        serve(queue, reader);
    } catch (...) {
        broken_ = true;
        step_.drain();
        queue.retire(reader);
        throw;
    }
    queue.retire(reader);
}

void UringHasher::serve(WorkQueue& queue, unsigned reader)
{
    paceSince_ = Clock::now();
    bool busy = false;
    for (;;) {
        takeFiles(queue, reader);
        // Told before its finished files, so that the others never see the run over while
        // this reader may still pass a large file on.
        if (jobsInFlight_ > 0 && !busy)
            queue.setBusy(reader, busy = true);
        if (queue.mustGive(reader))
            giveStreams(queue.streamsToGive(reader));
        if (!finishedClaims_.empty()) {
            queue.finished(finishedClaims_);
            finishedClaims_.clear();
        }
        if (jobsInFlight_ == 0 && busy)
            queue.setBusy(reader, busy = false);
        if (jobsInFlight_ == 0) {
            if (!queue.waitForWork(reader, kWakeUp))
                break;
            // Other readers may hold every place the device has.
            pace_.waitForRoom(kWakeUp);
            continue;
        }
        waitForCompletions();
    }
    progress_.tick();
}

// A disk known to spin gets few streams, so that it seeks less; any other device, or one not
// measured yet, as many as the lanes and the chunk buffers allow.
unsigned UringHasher::mostStreams() const
{
    const auto byChunks = static_cast<unsigned>(chunks_.size() / kReadsPerStream);
    const unsigned byDevice = pace_.kind() == DevicePace::Kind::Spinning ? pace_.depth() / 2 : kMostStreams;
    return std::max(1U, std::min({kMostStreams, byChunks, byDevice}));
}

// Takes what there is room for: files in walk order within the device's depth, and large
// files other readers passed on while this one streams no more than any other.
void UringHasher::takeFiles(WorkQueue& queue, unsigned reader)
{
    Claim claims[kClaimsAtOnce];
    if (cancel_.load(std::memory_order_relaxed)) {
        for (std::size_t count = queue.claim(claims); count > 0; count = queue.claim(claims)) {
            for (std::size_t i = 0; i < count; ++i)
                claims[i].entry->kind = Entry::Kind::Cancelled;
            queue.finished(std::span<const Claim>(claims, count));
        }
        while (std::optional<LargeFile> file = queue.takeLarge(reader)) {
            file->claim.entry->kind = Entry::Kind::Cancelled;
            queue.finished(file->claim);
            queue.streamEnded(file->stream);
        }
        return;
    }
    const std::size_t reserve = kMostStreams + kMostWaitingForStream;
    while (!freeSlots_.empty() && freeJobs_.size() > reserve && waitingForStream_.size() < kMostWaitingForStream) {
        const unsigned room = pace_.reserve(
            static_cast<unsigned>(std::min({kClaimsAtOnce, freeSlots_.size(), freeJobs_.size() - reserve})));
        const std::size_t count = room == 0 ? 0 : queue.claim(std::span<Claim>(claims, room));
        if (count < room)
            pace_.giveBack(static_cast<unsigned>(room - count));
        if (count == 0)
            break;
        if (pace_.inodeOrder())
            std::sort(claims, claims + count,
                      [](const Claim& a, const Claim& b) { return a.entry->inode < b.entry->inode; });
        for (std::size_t i = 0; i < count; ++i) {
            const std::size_t index = newJob(claims[i]);
            jobs_[index].holdsDepth = true;
            start(index);
        }
    }
    while (streamsHeld_ < mostStreams() && !freeSlots_.empty() && !freeJobs_.empty()) {
        std::optional<LargeFile> file = queue.takeLarge(reader);
        if (!file)
            break;
        ++streamsHeld_;
        const std::size_t index = newJob(file->claim);
        Job& job = jobs_[index];
        job.large = true;
        job.taken = true;
        job.queued = file->stream;
        job.expected = file->status;
        job.linkTarget = std::move(file->linkTarget);
        job.resumeAt = job.nextRead = job.fed = file->offset;
        job.md5From = file->md5;
        job.sha256From = file->sha256;
        start(index);
    }
}

std::size_t UringHasher::newJob(const Claim& claim)
{
    const std::size_t index = freeJobs_.back();
    freeJobs_.pop_back();
    Job& job = jobs_[index];
    job = Job{};
    job.claim = claim;
    job.state = Job::State::Waiting;
    ++jobsInFlight_;
    return index;
}

// Files waiting for a stream of the lanes do not count against the depth, so small files
// always have their share of it while large ones stream.
void UringHasher::waitForCompletions()
{
    if (heldReads_.size() >= kHeldReads || opensInFlight_ == 0)
        submitHeldReads();
    lanes_.hash();
    takeLaneResults();
    look(std::chrono::milliseconds(0));
    if (done_.empty()) {
        // About to wait: hash what the lanes hold, so their buffers come free meanwhile.
        if (!lanes_.idle()) {
            lanes_.flush();
            takeLaneResults();
            retryWaiting();
        }
        if (step_.pending() == 0) {
            retryWaiting();
            return;
        }
        // Woken now and then, so a stop request is seen even while a slow device keeps us waiting.
        look(kWakeUp);
    }
    for (const ReadStep::Done& done : done_)
        onCompletion(done);
    done_.clear();
    takeLaneResults();
    retryWaiting();
}

// Takes what has completed. A completion taken now came after the last look, which bounds how
// long its read took from both sides.
void UringHasher::look(std::chrono::milliseconds wait)
{
    step_.advance(done_, wait);
    previousLook_ = lookedAt_;
    lookedAt_ = Clock::now();
}

void UringHasher::recordRead(Clock::time_point submitted)
{
    const auto atLeast = previousLook_ > submitted ? previousLook_ - submitted : Clock::duration::zero();
    pace_.recordRead(atLeast, lookedAt_ - submitted);
}

void UringHasher::start(std::size_t index)
{
    Job& job = jobs_[index];
    Entry& entry = *job.claim.entry;
    if (entry.folder->pseudoFiles)
        return handToFileHasher(job);
    if (cancel_.load(std::memory_order_relaxed))
        return markCancelled(job);
    if (entry.throughLink && !job.linkTarget.valid()) {
        // What a link leads to is looked at before anything opens it for reading, and then
        // opened through /proc by the descriptor that looked.
        std::error_code refused;
        job.linkTarget = openLinkTarget(entry, refused);
        if (!job.linkTarget.valid() || onPseudoFileSystem(job.linkTarget.get()))
            return handToFileHasher(job);
    }
    if (job.linkTarget.valid()) {
        job.name = "/proc/self/fd/" + std::to_string(job.linkTarget.get());
        open(index, AT_FDCWD, true);
    } else {
        job.name = std::string(entry.name());
        open(index, entry.folder->fd.get(), false);
    }
}

void UringHasher::open(std::size_t index, int folder, bool follow)
{
    Job& job = jobs_[index];
    job.slot = freeSlots_.back();
    freeSlots_.pop_back();
    job.state = Job::State::Opening;
    job.measuredAt = FileVersion::now();
    step_.measureAndOpen(folder, job.name.c_str(), follow, kOpenFlags, &job.status, job.slot, tag(Op::Measure, index),
                         tag(Op::Open, index));
    job.opsInFlight = 2;
    ++opensInFlight_;
}

void UringHasher::onCompletion(const ReadStep::Done& done)
{
    const std::uint64_t data = done.tag;
    const auto op = static_cast<Op>(data & ((1U << kOpBits) - 1));
    const std::size_t index = (data >> kOpBits) & ((std::uint64_t{1} << kJobBits) - 1);
    const std::size_t chunkIndex = data >> (kOpBits + kJobBits);
    Job& job = jobs_[index];
    --job.opsInFlight;
    switch (op) {
    case Op::Measure:
        job.statxResult = done.result;
        onOpened(index);
        break;
    case Op::Open:
        --opensInFlight_;
        job.openResult = done.result;
        job.slotOpen = done.result >= 0;
        if (!job.slotOpen)
            freeSlots_.push_back(job.slot);
        onOpened(index);
        break;
    case Op::ReadWhole:
        onWholeRead(index, done.result);
        break;
    case Op::ReadChunk: {
        Chunk& chunk = chunks_[chunkIndex];
        chunk.got = done.result;
        recordRead(chunk.submitted);
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
    // Whatever went wrong (a name that became a link, a failed open, no regular file, a file
    // that is no longer the one measured before), the file-by-file reader finds out again and
    // gives the same outcome as it would alone.
    const bool same = !job.taken || FileVersion::of(job.status) == FileVersion::of(job.expected);
    // Half hashed by another reader, a file that is not the one it measured has changed.
    if (job.resumeAt > 0 && (job.statxResult < 0 || job.openResult < 0 || !same)) {
        closeSlot(job);
        fail(job, RunError::ChangedWhileRead);
        return;
    }
    // So does a file changed so lately that a write may be under way, which that reader waits
    // out or finds still going on. One taken from another reader was settled when it measured it.
    if (job.statxResult < 0 || job.openResult < 0 || !S_ISREG(job.status.stx_mode) || !same ||
        (!job.taken && !settled(job))) {
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
    if (job.size <= kSmallFile && !job.taken)
        readWhole(index);
    else if (keepOrPass(index))
        readChunks(index);
}

// The work queue's placement says whether a large file stays with this reader; one it cannot
// hold goes to the queue all the same, for whoever can.
bool UringHasher::keepOrPass(std::size_t index)
{
    Job& job = jobs_[index];
    if (job.large)
        return true;
    LargeFile file;
    file.claim = job.claim;
    file.status = job.status;
    file.linkTarget = std::move(job.linkTarget);
    if (queue_->addStream(reader_, file, job.size)) {
        if (streamsHeld_ < mostStreams()) {
            job.linkTarget = std::move(file.linkTarget);
            job.queued = file.stream;
            job.large = true;
            ++streamsHeld_;
            return true;
        }
        queue_->giveUp(std::move(file));
    }
    job.passed = true;
    job.ended = true;
    closeSlot(job);
    return false;
}

// Streams the queue has placed with other readers stop reading and leave once their reads are
// in; those that have not started streaming leave at once.
void UringHasher::giveStreams(const std::vector<std::uint64_t>& streams)
{
    for (const std::uint64_t stream : streams) {
        for (std::size_t index = 0; index < jobs_.size(); ++index) {
            Job& job = jobs_[index];
            if (job.large && job.queued == stream && job.state != Job::State::Finished && !job.ended) {
                job.giving = true;
                if (job.state == Job::State::Reading)
                    readChunks(index);
            }
        }
    }
}

// Hands the stream, with where its hashes have got to, to the queue for the reader it is now
// placed with.
void UringHasher::giveAway(std::size_t index)
{
    Job& job = jobs_[index];
    LargeFile file;
    file.claim = job.claim;
    file.stream = job.queued;
    file.status = job.taken ? job.expected : job.status;
    file.linkTarget = std::move(job.linkTarget);
    file.offset = job.fed;
    file.md5 = job.stream != Md5Lanes::kNoStream ? lanes_.exportStream(job.stream) : job.md5From;
    file.sha256 = job.sha256 != kNoSha256 ? streamSha256_[job.sha256]->state() : job.sha256From;
    if (job.sha256 != kNoSha256)
        freeStreamSha256_.push_back(job.sha256);
    job.sha256 = kNoSha256;
    job.stream = Md5Lanes::kNoStream;
    std::erase(streaming_, index);
    std::erase(waitingForStream_, index);
    job.large = false;
    --streamsHeld_;
    job.passed = true;
    job.ended = true;
    releaseDepth(job);
    closeSlot(job);
    queue_->giveUp(std::move(file));
    takeLaneResults();
    settle(job);
}

void UringHasher::readWhole(std::size_t index)
{
    Job& job = jobs_[index];
    // One byte more than the size, or a little for a file that says it is empty: a read that
    // fills it shows that the file grew.
    const std::size_t asked = job.size == 0 ? 4096 : static_cast<std::size_t>(job.size) + 1;
    // Behind files already waiting, so that none of them waits for ever.
    job.data = waitingForArena_.empty() || waitingForArena_.front() == index ? arena_.take(asked) : nullptr;
    if (job.data == nullptr) {
        if (waitingForArena_.empty() || waitingForArena_.front() != index)
            waitingForArena_.push_back(index);
        return;
    }
    job.asked = asked;
    ++job.opsInFlight;
    heldReads_.push_back(index);
}

// Small files' reads wait here until a few are ready or no open is under way, then go out
// together in walk order, so that the neighbouring files they read merge into one request to
// the disk.
void UringHasher::submitHeldReads()
{
    std::sort(heldReads_.begin(), heldReads_.end(), [&](std::size_t a, std::size_t b) {
        return jobs_[a].claim.batch != jobs_[b].claim.batch ? jobs_[a].claim.batch < jobs_[b].claim.batch
                                                              : jobs_[a].claim.entry < jobs_[b].claim.entry;
    });
    for (const std::size_t index : heldReads_) {
        Job& job = jobs_[index];
        step_.read(job.slot, job.data, job.asked, 0, job.size, false, tag(Op::ReadWhole, index));
        job.submitted = Clock::now();
    }
    heldReads_.clear();
}

void UringHasher::onWholeRead(std::size_t index, int result)
{
    Job& job = jobs_[index];
    releaseDepth(job);
    recordRead(job.submitted);
    closeSlot(job);
    if (job.ended)
        return;
    if (result >= 0 && static_cast<std::uint64_t>(result) == job.size) {
        if (!unchanged(job))
            return fail(job, RunError::ChangedWhileRead);
        progress_.addBytes(job.size);
        if (wholeSha256_) {
            wholeSha256_->begin();
            wholeSha256_->update(job.data, static_cast<std::size_t>(job.size));
            job.claim.entry->facts.sha256 = toHex(wholeSha256_->finish());
        }
        submitToLanes(index);
        return;
    }
    // A file that says it is empty but gave bytes, or that the kernel kept refusing.
    if ((result > 0 && job.size == 0) || result == -EAGAIN || result == -EINTR || result == -ECANCELED) {
        letGoOfData(job);
        handToFileHasher(job);
        return;
    }
    fail(job, result < 0 ? systemCode(-result) : make_error_code(RunError::ChangedWhileRead));
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
        letGoOfData(job);
    }
    // Placed with another reader, it leaves once its reads are in, unless all of it is fed.
    if (job.giving && !job.ended && job.readsInFlight == 0 && job.fed < job.size)
        return giveAway(index);
    if (job.stream == Md5Lanes::kNoStream && !job.ended) {
        job.stream = lanes_.openStream(index, job.md5From);
        if (job.stream != Md5Lanes::kNoStream && !streamSha256_.empty()) {
            job.sha256 = freeStreamSha256_.back();
            freeStreamSha256_.pop_back();
            if (job.resumeAt > 0)
                streamSha256_[job.sha256]->begin(job.sha256From);
            else
                streamSha256_[job.sha256]->begin();
        }
        if (job.stream == Md5Lanes::kNoStream) {
            if (std::find(waitingForStream_.begin(), waitingForStream_.end(), index) == waitingForStream_.end()) {
                // Waiting for a stream, it leaves its place of the device's depth to small files.
                releaseDepth(job);
                waitingForStream_.push_back(index);
            }
            return;
        }
        streaming_.push_back(index);
    }
    while (!job.ended && !job.allAsked && !job.giving && job.readsInFlight < kReadsPerStream && !freeChunks_.empty()) {
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
        step_.read(job.slot, chunk.data, chunk.asked, chunk.offset, job.size, true, tag(Op::ReadChunk, index, chunkIndex));
        chunk.submitted = Clock::now();
        ++job.readsInFlight;
        ++job.opsInFlight;
    }
    if ((job.allAsked || job.ended) && job.readsInFlight == 0) {
        releaseDepth(job);
        closeSlot(job);
    }
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
                if (job.ended)
                    break;
                if (chunk.got == -EAGAIN || chunk.got == -EINTR || chunk.got == -ECANCELED) {
                    letGoOfData(job);
                    handToFileHasher(job);
                } else {
                    fail(job, chunk.got < 0 ? systemCode(-chunk.got) : make_error_code(RunError::ChangedWhileRead));
                }
                break;
            }
            progress_.addBytes(expected);
            if (job.sha256 != kNoSha256)
                streamSha256_[job.sha256]->update(chunk.data, expected);
            while (!lanes_.feed(job.stream, chunk.data, expected, chunkIndex)) {
                lanes_.flush();
                takeLaneResults();
            }
            job.fed += expected;
            queue_->streamProgress(job.queued, job.size - job.fed);
            if (job.fed == job.size) {
                lanes_.finish(job.stream);
                job.state = Job::State::Hashing;
                // The digest that comes out for it is ignored.
                if (!unchanged(job))
                    fail(job, RunError::ChangedWhileRead);
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
            const auto index = static_cast<std::size_t>(digests_[i].tag);
            Job& job = jobs_[index];
            const std::size_t sha256 = job.sha256;
            if (job.stream != Md5Lanes::kNoStream) {
                job.stream = Md5Lanes::kNoStream;
                job.sha256 = kNoSha256;
                std::erase(streaming_, index);
            } else {
                arena_.giveBack(job.data);
            }
            if (!job.ended) {
                FileFacts& facts = job.claim.entry->facts;
                job.claim.entry->kind = Entry::Kind::Hashed;
                facts.size = job.size;
                facts.md5 = toHex(digests_[i].value);
                if (sha256 != kNoSha256)
                    facts.sha256 = toHex(streamSha256_[sha256]->finish());
                job.ended = true;
            }
            if (sha256 != kNoSha256)
                freeStreamSha256_.push_back(sha256);
            settle(job);
        }
    }
}

void UringHasher::retryWaiting()
{
    while (!waitingForArena_.empty()) {
        const std::size_t index = waitingForArena_.front();
        readWhole(index);
        if (jobs_[index].data == nullptr)
            break;
        waitingForArena_.pop_front();
    }
    while (!waitingForStream_.empty()) {
        const std::size_t index = waitingForStream_.front();
        // Stays first in the queue while it still cannot stream; one given away has left it.
        readChunks(index);
        if (waitingForStream_.empty() || waitingForStream_.front() != index)
            continue;
        if (jobs_[index].stream == Md5Lanes::kNoStream && !jobs_[index].ended)
            break;
        waitingForStream_.pop_front();
    }
    for (const std::size_t index : std::vector<std::size_t>(streaming_))
        readChunks(index);
}

bool UringHasher::settled(const Job& job) const
{
    const FileVersion version = FileVersion::of(job.status);
    FileVersion::Writers writers = FileVersion::Writers::None;
    if (version.recentAt(job.measuredAt)) {
        // Opened again through /proc only while it is the regular file measured, like a link's
        // target, so that nothing else that took its name is ever opened.
        FileDescriptor place;
        if (!job.linkTarget.valid())
            place.reset(::openat(job.claim.entry->folder->fd.get(), job.name.c_str(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        const int measured = job.linkTarget.valid() ? job.linkTarget.get() : place.get();
        struct stat status {};
        if (measured < 0 || ::fstat(measured, &status) != 0 || !S_ISREG(status.st_mode) ||
            FileIdentity::of(status) != version.identity)
            return false;
        const FileDescriptor file(::open(("/proc/self/fd/" + std::to_string(measured)).c_str(), kProbeFlags));
        writers = FileVersion::writersOf(file.get());
    }
    return writers != FileVersion::Writers::Some && !earlier(job.measuredAt, version.settledFrom(writers));
}

// The file as it is now against what the ring measured before opening it: by the descriptor
// of a link's target, else by its name, so that a name given to another file counts too.
bool UringHasher::unchanged(const Job& job) const
{
    const bool byLink = job.linkTarget.valid();
    struct statx now {};
    return ::statx(byLink ? job.linkTarget.get() : job.claim.entry->folder->fd.get(), byLink ? "" : job.name.c_str(),
                   byLink ? AT_EMPTY_PATH : AT_SYMLINK_NOFOLLOW, STATX_BASIC_STATS, &now) == 0 &&
           FileVersion::of(now) == FileVersion::of(job.status);
}

void UringHasher::fail(Job& job, std::error_code reason)
{
    job.claim.entry->kind = Entry::Kind::Unreadable;
    job.claim.entry->reason = reason;
    job.ended = true;
    letGoOfData(job);
    closeSlot(job);
}

// Gives up the job's hold on the lanes and the arena; a stream still open is finished, and
// its digest, once it comes out, is ignored.
void UringHasher::letGoOfData(Job& job)
{
    if (job.stream != Md5Lanes::kNoStream) {
        if (job.fed < job.size) {
            job.fed = job.size;
            lanes_.finish(job.stream);
        }
    } else if (job.data != nullptr && job.state == Job::State::Reading) {
        arena_.giveBack(job.data);
        job.data = nullptr;
    }
}

void UringHasher::markCancelled(Job& job)
{
    job.claim.entry->kind = Entry::Kind::Cancelled;
    job.ended = true;
    settle(job);
}

void UringHasher::handToFileHasher(Job& job)
{
    fallback_.hash(*job.claim.entry);
    job.ended = true;
    settle(job);
}

void UringHasher::releaseDepth(Job& job)
{
    if (job.holdsDepth) {
        job.holdsDepth = false;
        pace_.giveBack();
    }
}

void UringHasher::closeSlot(Job& job)
{
    if (!job.slotOpen || job.readsInFlight > 0)
        return;
    job.slotOpen = false;
    step_.close(job.slot, tag(Op::Close, static_cast<std::size_t>(&job - jobs_.data())));
    ++job.opsInFlight;
}

// A job whose file is done with and whose requests have all come back gives its claim back to
// the queue (unless it passed the file on) and its place to the next.
void UringHasher::settle(Job& job)
{
    if (job.state == Job::State::Finished || !job.ended || job.opsInFlight > 0 || job.slotOpen)
        return;
    if (job.stream != Md5Lanes::kNoStream)
        return;
    job.state = Job::State::Finished;
    if (!job.passed)
        finishedClaims_.push_back(job.claim);
    if (job.large) {
        --streamsHeld_;
        queue_->streamEnded(job.queued);
    }
    releaseDepth(job);
    job.linkTarget.reset();
    --jobsInFlight_;
    freeJobs_.push_back(static_cast<std::size_t>(&job - jobs_.data()));
    if (++finishedSincePace_ == kPaceEvery) {
        const auto now = Clock::now();
        pace_.recordBatch(finishedSincePace_, now - paceSince_);
        paceSince_ = now;
        finishedSincePace_ = 0;
    }
}

} // namespace listgen
